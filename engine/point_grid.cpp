// Cell grid: a counting sort of the points by cell, then searches over runs
// of cells.
#include "point_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kriging {
namespace {

// The guessed squared distance over the last k-th squared distance: on even
// data a disc of 20 % more area, about 0.2 k spare candidates, seldom too few.
constexpr double kGuessMargin = 1.2;

}  // namespace

PointGrid::PointGrid(int n, const double* x, const double* y) {
  if (n <= 0) return;
  double maxX = x[0], maxY = y[0];
  minX_ = x[0], minY_ = y[0];
  for (int i = 1; i < n; ++i) {
    minX_ = std::min(minX_, x[i]), maxX = std::max(maxX, x[i]);
    minY_ = std::min(minY_, y[i]), maxY = std::max(maxY, y[i]);
  }
  // About two points a cell on spread data; a line or a single place gets
  // cells along its extent only.
  const double width = maxX - minX_, height = maxY - minY_;
  const double cells = std::max(1.0, n / 2.0);
  double side = std::sqrt(width * height / cells);
  if (!(side > 0)) side = std::max(width, height) / cells;
  if (!(side > 0) || !std::isfinite(side)) side = 1;
  inverseSide_ = 1 / side;
  columns_ = static_cast<int>(std::min(width * inverseSide_, 4.0 * cells)) + 1;
  rows_ = static_cast<int>(std::min(height * inverseSide_, 4.0 * cells)) + 1;
  const std::size_t cellCount = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  std::vector<int> cellOf(static_cast<std::size_t>(n));
  start_.assign(cellCount + 1, 0);
  for (int i = 0; i < n; ++i) {
    const int c = CellY(y[i]) * columns_ + CellX(x[i]);
    cellOf[static_cast<std::size_t>(i)] = c;
    ++start_[static_cast<std::size_t>(c) + 1];
  }
  for (std::size_t c = 0; c < cellCount; ++c) start_[c + 1] += start_[c];
  std::vector<int> next(start_.begin(), start_.end() - 1);
  x_.resize(static_cast<std::size_t>(n)), y_.resize(static_cast<std::size_t>(n));
  index_.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const auto at = static_cast<std::size_t>(next[static_cast<std::size_t>(cellOf[static_cast<std::size_t>(i)])]++);
    x_[at] = x[i], y_[at] = y[i], index_[at] = i;
  }
}

// The cell of a coordinate, clamped to the grid; monotone in the coordinate,
// so a point at or beyond a square's edge is in or beyond the edge's cell.
int PointGrid::CellX(double x) const {
  const double c = std::floor((x - minX_) * inverseSide_);
  return c <= 0 ? 0 : (c >= columns_ - 1 ? columns_ - 1 : static_cast<int>(c));
}

int PointGrid::CellY(double y) const {
  const double c = std::floor((y - minY_) * inverseSide_);
  return c <= 0 ? 0 : (c >= rows_ - 1 ? rows_ - 1 : static_cast<int>(c));
}

int PointGrid::Gather(double x0, double y0, int cx0, int cx1, int cy0, int cy1, double limit2,
                      PointGridScratch& scratch, int count) const {
  std::vector<Neighbour>& found = scratch.candidates;
  for (int cy = cy0; cy <= cy1; ++cy) {
    const int begin = start_[static_cast<std::size_t>(cy * columns_ + cx0)];
    const int end = start_[static_cast<std::size_t>(cy * columns_ + cx1) + 1];
    if (found.size() < static_cast<std::size_t>(count + end - begin))
      found.resize(static_cast<std::size_t>(count + end - begin) * 2);
    Neighbour* out = found.data();
    for (int p = begin; p < end; ++p) {
      const double dx = x_[static_cast<std::size_t>(p)] - x0;
      const double dy = y_[static_cast<std::size_t>(p)] - y0;
      const double d2 = dx * dx + dy * dy;
      out[count] = Neighbour{d2, index_[static_cast<std::size_t>(p)], p};
      count += d2 <= limit2 ? 1 : 0;
    }
  }
  return count;
}

int PointGrid::GatherWithin(double x0, double y0, double limit2,
                            PointGridScratch& scratch) const {
  int cx0 = 0, cx1 = columns_ - 1, cy0 = 0, cy1 = rows_ - 1;
  if (std::isfinite(limit2)) {
    // Widened a little: the rounding of x0 - r must not drop an edge cell.
    const double r = std::sqrt(limit2) * (1 + 1e-9) + 1e-300;
    cx0 = CellX(x0 - r), cx1 = CellX(x0 + r), cy0 = CellY(y0 - r), cy1 = CellY(y0 + r);
  }
  return Gather(x0, y0, cx0, cx1, cy0, cy1, limit2, scratch, 0);
}

int PointGrid::Nearest(double x0, double y0, int k, double maxDistance2,
                       PointGridScratch& scratch, Neighbour* out, double bound2,
                       Order order) const {
  if (k <= 0 || index_.empty()) return 0;
  const auto nearer = [](const Neighbour& a, const Neighbour& b) { return NearerThan(a, b); };
  double limit2 = maxDistance2;
  if (bound2 >= 0 && bound2 < limit2) limit2 = bound2;
  const int qx = CellX(x0), qy = CellY(y0);
  if (bound2 < 0) {
    // Squares of cells around the query's cell, doubled until they hold k
    // points within the limit (the k-th nearest of those bounds the k-th
    // nearest of all) or cover the limit's square.
    const double radius = std::sqrt(limit2);
    for (int half = 1; (half - 1) / inverseSide_ < radius; half *= 2) {
      const int cx0 = std::max(qx - half, 0), cx1 = std::min(qx + half, columns_ - 1);
      const int cy0 = std::max(qy - half, 0), cy1 = std::min(qy + half, rows_ - 1);
      const int count = Gather(x0, y0, cx0, cx1, cy0, cy1, limit2, scratch, 0);
      const bool whole = cx0 == 0 && cy0 == 0 && cx1 == columns_ - 1 && cy1 == rows_ - 1;
      if (count >= k || whole) {
        if (count < k) break;  // fewer than k points in all: every one of them
        Neighbour* found = scratch.candidates.data();
        std::nth_element(found, found + (k - 1), found + count, nearer);
        limit2 = found[k - 1].distance2;
        break;
      }
    }
  }
  // A guess from the previous search's k-th distance first: when k points or
  // more lie within it, the k nearest are among them (the answer is the same,
  // from fewer candidates); else the whole bound.
  int count = -1;
  const double guess2 = scratch.guess2;
  if (bound2 >= 0 && guess2 > 0 && guess2 < limit2) {
    count = GatherWithin(x0, y0, guess2, scratch);
    if (count < k) count = -1;
  }
  if (count < 0) count = GatherWithin(x0, y0, limit2, scratch);
  Neighbour* found = scratch.candidates.data();
  double kth2 = 0;  // the k-th squared distance, when k points were found
  if (count > k && order == Order::kStored) {
    // The candidates come in storage order: the k-th found on a copy, those
    // not after it kept in place (exactly k: the order is total).
    scratch.selection.assign(found, found + count);
    Neighbour* copy = scratch.selection.data();
    std::nth_element(copy, copy + (k - 1), copy + count, nearer);
    const Neighbour kth = copy[k - 1];
    int kept = 0;
    for (int c = 0; c < count; ++c) {
      found[kept] = found[c];
      kept += NearerThan(kth, found[c]) ? 0 : 1;
    }
    count = k, kth2 = kth.distance2;
  } else if (count > k) {
    std::nth_element(found, found + (k - 1), found + count, nearer);
    count = k, kth2 = found[k - 1].distance2;
  } else if (count == k) {
    for (int c = 0; c < k; ++c) kth2 = std::max(kth2, found[c].distance2);
  }
  // Next time: a little beyond this k-th distance, so that the guess mostly holds.
  scratch.guess2 = kth2 * kGuessMargin;
  if (order == Order::kIndex)
    std::sort(found, found + count, [](const Neighbour& a, const Neighbour& b) { return a.index < b.index; });
  else if (order == Order::kNeighbour)
    std::sort(found, found + count, nearer);
  std::copy(found, found + count, out);
  return count;
}

}  // namespace kriging

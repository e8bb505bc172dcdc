#pragma once
// A grid of square cells over 2-D points, for the k-nearest searches of local
// kriging: about two points a cell, the points stored cell by cell along
// rows of cells, so that the cells of one row inside a query square are one
// contiguous run of coordinates.
//
// Answers are those of KdTree::Nearest (kd_tree.h): the first k points of the
// neighbour order (squared distance in double, then index) within the limit,
// whatever the layout. A search gathers every point of the cells that meet
// the square around the query of half-side sqrt(limit), then selects; with
// no limit or bound it first takes a bound from a square of cells holding k
// points; with a bound it first tries a little beyond the previous search's
// k-th distance (kept in the scratch), which on a row of nodes usually holds
// k points and halves the candidates. Cost: O(points in the square); on clustered data a cell may hold
// many points, and the search is still exact.
#include <vector>

#include "kd_tree.h"

namespace kriging {

// Work space of one searching thread; grows only when a search gathers more
// points than any before it.
struct PointGridScratch {
  std::vector<Neighbour> candidates;
  std::vector<Neighbour> selection;  // a copy to select from (kStored)
  double guess2 = 0;  // a squared distance likely to hold k points next time (0: none)
};

class PointGrid {
 public:
  // Copies the n points (finite coordinates).
  PointGrid(int n, const double* x, const double* y);

  // As KdTree::Nearest: the k nearest points to (x0, y0) with squared
  // distance <= maxDistance2, in out[0..count) in neighbour order, or by
  // increasing index or position when the caller wants the set only; `bound2`, when >= 0,
  // must be at least the squared distance of the k-th nearest point, and
  // only narrows the search.
  // kStored: by increasing position (below), the cheapest (no sort).
  enum class Order { kNeighbour, kIndex, kStored };
  int Nearest(double x0, double y0, int k, double maxDistance2, PointGridScratch& scratch,
              Neighbour* out, double bound2 = -1, Order order = Order::kNeighbour) const;

  // The points as stored, cell by cell: a found neighbour's `position` is
  // its place here. Reading its coordinates here, not by its index, keeps
  // the neighbours of one place close in memory.
  const double* StoredX() const { return x_.data(); }
  const double* StoredY() const { return y_.data(); }
  const int* StoredIndex() const { return index_.data(); }

 private:
  int CellX(double x) const;
  int CellY(double y) const;
  // Every point of the cells [cx0, cx1] x [cy0, cy1] with squared distance
  // <= limit2 appended to scratch from `count` on; returns the new count.
  // They come by increasing position.
  int Gather(double x0, double y0, int cx0, int cx1, int cy0, int cy1, double limit2,
             PointGridScratch& scratch, int count) const;
  // Every point with squared distance <= limit2 into scratch, from the cells
  // that meet the square around (x0, y0) of half-side sqrt(limit2); the count.
  int GatherWithin(double x0, double y0, double limit2, PointGridScratch& scratch) const;

  double minX_ = 0, minY_ = 0, inverseSide_ = 1;
  int columns_ = 0, rows_ = 0;
  std::vector<int> start_;     // first point of each cell, columns_ * rows_ + 1
  std::vector<double> x_, y_;  // coordinates cell by cell
  std::vector<int> index_;     // original index of each stored point
};

}  // namespace kriging

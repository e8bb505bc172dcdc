#include "platform/contour_lines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace sorvan::platform {

namespace {

// Cell edges are named by the grid edge they lie on, so that the two cells
// sharing an edge compute the same crossing point and their segments join:
// horizontal edge (i,j)-(i+1,j) and vertical edge (i,j)-(i,j+1).
long long horizontalEdge(const SurfaceGrid& g, int i, int j) { return 2LL * (i + static_cast<long long>(g.nx) * j); }
long long verticalEdge(const SurfaceGrid& g, int i, int j) { return 2LL * (i + static_cast<long long>(g.nx) * j) + 1; }

ContourPoint crossing(const SurfaceGrid& g, long long edge, double level) {
  const long long node = edge / 2;
  const int i = static_cast<int>(node % g.nx);
  const int j = static_cast<int>(node / g.nx);
  const bool vertical = edge % 2 == 1;
  const double a = g.at(i, j);
  const double b = vertical ? g.at(i, j + 1) : g.at(i + 1, j);
  const double t = (a == b) ? 0.5 : std::clamp((level - a) / (b - a), 0.0, 1.0);
  return vertical ? ContourPoint{g.x(i), g.y(j) + t * g.dy} : ContourPoint{g.x(i) + t * g.dx, g.y(j)};
}

}  // namespace

std::vector<ContourPolyline> ContourLines(const SurfaceGrid& g, double level) {
  std::vector<ContourPolyline> lines;
  if (g.nx < 2 || g.ny < 2 || static_cast<long long>(g.z.size()) < static_cast<long long>(g.nx) * g.ny) return lines;

  // Phase 1: segments, as pairs of edge names.
  std::vector<std::array<long long, 2>> segments;
  for (int j = 0; j + 1 < g.ny; ++j) {
    for (int i = 0; i + 1 < g.nx; ++i) {
      // Corners counter-clockwise from (i,j); edge k runs from corner k to k+1.
      const float v[4] = {g.at(i, j), g.at(i + 1, j), g.at(i + 1, j + 1), g.at(i, j + 1)};
      if (g.isHole(v[0]) || g.isHole(v[1]) || g.isHole(v[2]) || g.isHole(v[3])) continue;
      bool above[4];
      int mask = 0;
      for (int k = 0; k < 4; ++k) {
        above[k] = v[k] >= level;
        mask |= above[k] << k;
      }
      if (mask == 0 || mask == 15) continue;
      const long long edge[4] = {horizontalEdge(g, i, j), verticalEdge(g, i + 1, j), horizontalEdge(g, i, j + 1),
                                 verticalEdge(g, i, j)};
      std::vector<int> cut;
      for (int k = 0; k < 4; ++k)
        if (above[k] != above[(k + 1) % 4]) cut.push_back(k);
      if (cut.size() == 2) {
        segments.push_back({edge[cut[0]], edge[cut[1]]});
        continue;
      }
      // Saddle: the mean of the corners decides which diagonal pair is
      // joined through the centre; the corners on the other side of the
      // centre's value are cut off, each by the two edges meeting at it.
      const bool centreAbove = (v[0] + v[1] + v[2] + v[3]) / 4.0 >= level;
      for (int k = 0; k < 4; ++k)
        if (above[k] != centreAbove) segments.push_back({edge[(k + 3) % 4], edge[k]});
    }
  }

  // Phase 2: join segments that share an edge into polylines.
  std::unordered_map<long long, std::array<int, 2>> byEdge;
  byEdge.reserve(segments.size() * 2);
  for (int s = 0; s < static_cast<int>(segments.size()); ++s) {
    for (long long e : segments[s]) {
      auto [it, fresh] = byEdge.try_emplace(e, std::array<int, 2>{-1, -1});
      it->second[it->second[0] < 0 ? 0 : 1] = s;
    }
  }
  std::vector<bool> used(segments.size(), false);
  auto next = [&](long long edge, int from) {
    const auto& pair = byEdge[edge];
    const int other = pair[0] == from ? pair[1] : pair[0];
    return (other >= 0 && !used[other]) ? other : -1;
  };
  for (int start = 0; start < static_cast<int>(segments.size()); ++start) {
    if (used[start]) continue;
    used[start] = true;
    std::vector<long long> chain = {segments[start][0], segments[start][1]};
    // Forward from the last edge, then backward from the first.
    for (int pass = 0; pass < 2; ++pass) {
      int seg = start;
      for (;;) {
        const long long tip = chain.back();
        const int s = next(tip, seg);
        if (s < 0) break;
        used[s] = true;
        chain.push_back(segments[s][0] == tip ? segments[s][1] : segments[s][0]);
        seg = s;
      }
      std::reverse(chain.begin(), chain.end());
    }
    ContourPolyline line;
    line.reserve(chain.size());
    for (long long e : chain) line.push_back(crossing(g, e, level));
    lines.push_back(std::move(line));
  }
  return lines;
}

namespace {
// The round step (1, 2, 2.5 or 5 times a power of ten) nearest above span / count.
double roundStep(double span, int count) {
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0})
    if (m * power >= raw * 0.999) return m * power;
  return 10.0 * power;
}
}  // namespace

std::vector<double> RoundContourLevels(double zmin, double zmax, int count) {
  std::vector<double> levels;
  if (!(zmax > zmin) || count < 1 || !std::isfinite(zmin) || !std::isfinite(zmax)) return levels;
  const double step = roundStep(zmax - zmin, count);
  for (double k = std::floor(zmin / step) + 1; k * step < zmax; k += 1) {
    const double level = k * step;
    if (level > zmin) levels.push_back(std::abs(level) < step * 1e-9 ? 0.0 : level);
  }
  return levels;
}

std::vector<double> EvenContourLevels(double zmin, double zmax, int n) {
  std::vector<double> levels;
  if (n < 1) return levels;
  if (n == 1) return {zmin};
  for (int k = 0; k < n; ++k) levels.push_back(zmin + (zmax - zmin) * k / (n - 1));
  return levels;
}

void NiceAxisRange(double zmin, double zmax, int count, double* lo, double* hi, int* segments) {
  if (!(zmax > zmin) || !std::isfinite(zmin) || !std::isfinite(zmax) || count < 1) {
    *lo = zmin, *hi = zmax, *segments = 1;
    return;
  }
  const double step = roundStep(zmax - zmin, count);
  // The small allowance keeps limits that are round already (up to the float
  // precision of the grids) from moving out by a whole step.
  const double slack = 1e-6;
  *lo = std::floor(zmin / step + slack) * step;
  *hi = std::ceil(zmax / step - slack) * step;
  *segments = std::max(1, static_cast<int>(std::lround((*hi - *lo) / step)));
}

namespace {
bool nearlyWhole(double x) { return std::abs(x - std::round(x)) < 1e-4; }

// Significant digits of x > 0 (7 for anything longer).
int significantDigits(double x) {
  for (int digits = 1; digits < 7; ++digits) {
    const double scale = std::pow(10.0, digits - 1 - std::floor(std::log10(x)));
    if (std::abs(x * scale - std::round(x * scale)) < 1e-5 * x * scale) return digits;
  }
  return 7;
}
}  // namespace

int FixedAxisSegments(double zmin, double zmax, const std::vector<double>& levels, int maxSegments) {
  const double span = zmax - zmin;
  if (!(span > 0) || !std::isfinite(span)) return 1;
  if (levels.size() >= 2) {
    const double step = levels[1] - levels[0];
    bool even = step > 0;
    for (std::size_t k = 2; even && k < levels.size(); ++k) even = std::abs(levels[k] - levels[k - 1] - step) < 1e-4 * step;
    if (even && nearlyWhole(span / step) && nearlyWhole((levels[0] - zmin) / step)) {
      const int count = static_cast<int>(std::lround(span / step));
      const int group = SegmentsPerLabel(count, maxSegments);
      if (count / group >= 3) return count / group;
    }
  }
  int best = 6, bestDigits = 8;
  for (int n : {6, 5, 4, 8, 7, 9, 10, 3}) {
    const int digits = significantDigits(span / n);
    if (digits < bestDigits) best = n, bestDigits = digits;
  }
  return best;
}

int SegmentsPerLabel(int segments, int maxLabels) {
  for (int group = 1; group < segments; ++group)
    if (segments % group == 0 && segments / group <= std::max(maxLabels, 1)) return group;
  return std::max(segments, 1);
}

int TickDecimals(double lo, double step) {
  for (int decimals = 0; decimals < 6; ++decimals) {
    const double scale = std::pow(10.0, decimals);
    if (nearlyWhole(lo * scale) && nearlyWhole(step * scale)) return decimals;
  }
  return 6;
}

}  // namespace sorvan::platform

#pragma once
// Contour (level) lines of a grid surface by marching squares.
#include "platform/chart_grid.h"

#include <vector>

namespace sorvan::platform {

struct ContourPoint {
  double x = 0.0;
  double y = 0.0;
};
// A connected piece of one level line, in the grid's x/y coordinates. A closed
// ring repeats its first point at the end.
using ContourPolyline = std::vector<ContourPoint>;

// The lines where the surface equals `level`. Each grid cell whose four
// corners are defined contributes 0, 1 or 2 segments; cells touching a hole
// node contribute none, so lines stop at the edge of the defined area. A node
// exactly at the level counts as above it. The segments are joined into
// polylines through the cell edges they share. Cost O(nx*ny).
std::vector<ContourPolyline> ContourLines(const SurfaceGrid& grid, double level);

// About `count` round levels (steps of 1, 2, 2.5 or 5 times a power of ten)
// strictly inside (zmin, zmax), ascending. Empty if zmax <= zmin.
std::vector<double> RoundContourLevels(double zmin, double zmax, int count = 10);

// `n` levels evenly spaced from zmin to zmax inclusive (one level, zmin, if
// n == 1; none if n < 1).
std::vector<double> EvenContourLevels(double zmin, double zmax, int n);

// The range [lo, hi] covering [zmin, zmax] out to round values, divided into
// `segments` round steps (about `count`); limits that are already multiples of
// the step stay as they are. For axes and colour scales.
void NiceAxisRange(double zmin, double zmax, int count, double* lo, double* hi, int* segments);

// The number of equal segments for an axis that must end exactly at zmin and
// zmax (a range fixed by the user): one segment per level when `levels` are
// evenly spaced on a lattice through both ends (in groups of levels when
// that gives more than `maxSegments`); otherwise the count from 3 to 10 whose
// step is written with the fewest significant digits, about 6 where several
// tie (0..36 gives 6 segments of 6).
int FixedAxisSegments(double zmin, double zmax, const std::vector<double>& levels, int maxSegments = 12);

// How many segments to group under one label so that at most `maxLabels` + 1
// labels show: the smallest divisor of `segments` that does it (`segments`
// itself, labelling only the ends, when none smaller does).
int SegmentsPerLabel(int segments, int maxLabels);

// Decimals needed to write lo + k*step for every k (at most 6).
int TickDecimals(double lo, double step);

}  // namespace sorvan::platform

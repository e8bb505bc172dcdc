#pragma once
// Contour (level) lines of a grid surface by marching squares.
#include "platform/chart_grid.h"

#include <vector>

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

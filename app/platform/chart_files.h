#pragma once
// Readers of the two chart file layouts. Both take the file as a stream of
// blank-separated numbers (line breaks are blanks too, so wrapped lists read
// the same) and fail with a message naming the file when it is missing,
// truncated or not of the layout; they never return half a result.
#include "platform/chart_grid.h"

#include <QString>
#include <vector>

namespace sorvan::platform {

// "GENERAL" data file: a line "GENERAL nSeries maxPoints", optionally a line
// "HOLE value", then per series: comment lines beginning with "#" (skipped),
// the point count, the X values, the Y values. The series count of the header
// is trusted; its maxPoints is not (each series states its own count).
struct GeneralSeries {
  std::vector<double> x, y;
};
struct GeneralData {
  double hole = -1.0;
  std::vector<GeneralSeries> series;
};
bool ReadGeneralFile(const QString& path, GeneralData& data, QString* error);

// Surface file: an optional range line beginning with "#", the word "GRID"
// with nx and ny, the line "hole dx dy xMin yMin", then nx rows of ny values
// (row i holds the nodes x = xMin + i*dx, j = 0..ny-1). The values land in
// `grid.z` with the X index fastest.
bool ReadSurfaceFile(const QString& path, SurfaceGrid& grid, QString* error);

// The numbers of a whitespace/comma separated text, stopping at the first
// item that is not a number; `complete` tells whether the whole text was read.
std::vector<double> ReadNumberStream(const QByteArray& text, bool* complete);

}  // namespace sorvan::platform

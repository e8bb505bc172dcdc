#pragma once
// One complete kriging run behind the exported SKU: the run log, stage I
// (trend and semivariogram), stage II (the grid), stage III (surface files).
#include <cstdint>

namespace kriging {

// The caller's arguments, 0-based views of the 1-based by-reference arrays of
// SKU. Scalars marked in/out are written back as the stages say.
struct KrigingRun {
  std::int32_t n;
  const float* z;
  const float* x;
  const float* y;
  float& firstLag;             // in/out
  float& lagWidth;             // in/out
  std::int32_t& lagCount;      // in/out
  std::int32_t& fitLagCount;   // in/out
  std::int32_t modelCode;
  std::int32_t trendDegree;    // 0..3; values outside are clamped to that range
  std::int32_t nx, ny;
  float xMin, yMin, dx, dy;
  std::int32_t gridRows;       // leading dimension of the two grids
  float* prediction;           // gridRows x ny, column-major; in: holeValue marks nodes left out
  float* variance;             // gridRows x ny
  float holeValue;
  std::int32_t* options;       // 7 entries, in/out
  float* parameters;           // 10 entries, in/out; [0], [1] receive the kriged range
};

// Runs the whole kriging in the current working directory: writes
// "KRIGING.LOG", the semivariogram chart files, "SKUPRE.SUP" and "SKUVAR.SUP".
//
// Grid rows beyond the leading dimension cannot be addressed: when gridRows <
// nx (and ny > 0) only the first max(gridRows, 0) rows are kriged and written,
// the surface files describe that many rows, and the log says so.
//
// Fatal numerical errors and failed allocations end the process with the
// reason as the last line of the run log.
void RunKriging(const KrigingRun& run);

}  // namespace kriging

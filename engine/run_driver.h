#pragma once
// One complete kriging run behind the exported SKU: the run log, stage I
// (trend and semivariogram), stage II (the grid), stage III (surface files).
#include <cstdint>
#include <cstdio>

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
  // The run log: null opens "KRIGING.LOG" in the run's folder (run_context.h).
  std::FILE* log = nullptr;
  // Called between the grid and the surface files (may be null), to look at
  // or amend the grids before they are written.
  void (*afterGrid)(const KrigingRun& run, void* data) = nullptr;
  void* afterGridData = nullptr;
  // Grid origin written to the surface files when the run computes on
  // coordinates shifted from the caller's (the named interface).
  bool hasFileOrigin = false;
  float fileXMin = 0, fileYMin = 0;
};

// Runs the whole kriging in the current run context's folder (the working
// directory for SKU): writes "KRIGING.LOG", the semivariogram chart files,
// "SKUPRE.SUP" and "SKUVAR.SUP" (only the log when the context writes no files).
//
// Grid rows beyond the leading dimension cannot be addressed: when gridRows <
// nx (and ny > 0) only the first max(gridRows, 0) rows are kriged and written,
// the surface files describe that many rows, and the log says so.
//
// Fatal numerical errors, failed allocations and failed writes end the
// process with the reason as the last line of the run log; in a context whose
// services throw, they throw ServiceStopped instead.
void RunKriging(const KrigingRun& run);

}  // namespace kriging

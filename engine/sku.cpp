#include "sku.h"

#include "run_driver.h"

// The 1-based by-reference border: from here on the engine works on 0-based
// pointers and plain values.
extern "C" __attribute__((visibility("default"))) void SKU(
    int32_t* n, float* z, float* x, float* y, float* firstLag, float* lagWidth,
    int32_t* lagCount, int32_t* fitLagCount, int32_t* modelCode, int32_t* trendDegree,
    int32_t* nx, int32_t* ny, float* xMin, float* yMin, float* dx, float* dy, int32_t* gridRows,
    float* prediction, float* variance, float* holeValue, int32_t* VariogramOptions,
    float* VariogramParameters) {
  const kriging::KrigingRun run{*n,          z,           x,         y,
                                *firstLag,   *lagWidth,   *lagCount, *fitLagCount,
                                *modelCode,  *trendDegree, *nx,      *ny,
                                *xMin,       *yMin,       *dx,       *dy,
                                *gridRows,   prediction,  variance,  *holeValue,
                                VariogramOptions, VariogramParameters};
  kriging::RunKriging(run);
}

#pragma once
/* The single export of the kriging library: one complete 2-D kriging run.
 *
 * Every argument is passed by reference; arrays are 1-based in the caller's
 * terms and the two grids are column-major with leading dimension *gridRows:
 * node (i, j), i = 1..nx along x, j = 1..ny along y, lies at
 * x = xMin + (i - 1) dx, y = yMin + (j - 1) dy and is element
 * (i - 1) + (j - 1) * gridRows. No return value: a call that returns has
 * succeeded; fatal errors end the process after writing the reason as the last
 * line of KRIGING.LOG in the current working directory.
 *
 * Arguments the caller is trusted with, and what a call makes of them when
 * they are out of range: trendDegree is taken within 0..3; when gridRows < nx
 * (and ny > 0) only the first gridRows grid rows, all the caller's arrays can
 * hold, are kriged and written to the surface files, with a warning in the log.
 *
 * Files written in the current working directory: KRIGING.LOG, SKUESTIM.SV,
 * SKUESTIM.FMT, SKUEAJUS.SV, SKUEAJUS.FMT, SKUPRE.SUP, SKUVAR.SUP.
 * Not reentrant: one run at a time per process. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

__attribute__((visibility("default"))) void SKU(
    int32_t* n, float* z, float* x, float* y, float* firstLag, float* lagWidth,
    int32_t* lagCount, int32_t* fitLagCount, int32_t* modelCode, int32_t* trendDegree,
    int32_t* nx, int32_t* ny, float* xMin, float* yMin, float* dx, float* dy, int32_t* gridRows,
    float* prediction, float* variance, float* holeValue, int32_t* VariogramOptions,
    float* VariogramParameters);

#ifdef __cplusplus
}
#endif

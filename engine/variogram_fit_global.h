#pragma once
// The "global" fitting method: the direct fit (all parameters at once by the
// bounded solver) from several starting points, keeping the lowest weighted
// criterion. The local methods stop at the first minimum they meet, which for
// the oscillatory and power models (and for flat or noisy classes in general)
// is often far from the best one.
//
// Starting points: the automatic start, and for each of a spread of values of
// a across the fitted distances (ranges from 0.02 to 3 times the distance of
// the last fitted class; squared for the rational quadratic model; exponents
// 0.1 to 1.9 for the power model) the c0, c1 >= 0 that fit the classes best
// by weighted linear least squares at that a.
#include <cstdint>
#include <vector>

namespace kriging {

struct FitStart {
  float c0 = 0, c1 = 0, a = 1;
};

// The classes of a fit: N_i, h_i, gamma^_i (m entries).
struct FitClassView {
  int m = 0;
  const std::int32_t* count = nullptr;
  const float* distance = nullptr;
  const float* estimate = nullptr;
};

// Starting points for model `code`, the automatic start first (when it has
// three finite values).
std::vector<FitStart> GlobalFitStarts(int code, const FitClassView& classes,
                                      const float automaticStart[3]);

// c0, c1 >= 0 minimising sum N_i ((gamma^_i - c0 - c1 g(h_i; a)) / gamma^_i)^2 at fixed a.
FitStart LevelAtRange(int code, const FitClassView& classes, double a);

// The whole fit by the global method, with the arguments of FitVariogramModel
// (variogram_fit.h) and the same outputs: params[0..3] the model and its fit
// error, params[5..7] the start of the best local fit, maxIterations the
// iterations of that fit. The run log shows the number of starts and then the
// best local fit as the direct method logs it.
void FitVariogramGlobal(int modelCode, const float* fitted, const float* meanDistance,
                        const std::int32_t* count, int lagCount, int fitLagCount, int minPairs,
                        float params[10], std::int32_t& maxIterations);

}  // namespace kriging

// The global fitting method: direct fits from a spread of starting points.
#include "variogram_fit_global.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "numerics/error_service.h"
#include "run_context.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {
namespace {

constexpr int kDirectMethod = 2;
constexpr int kRangeStarts = 12;
constexpr double kShortestRange = 0.02, kLongestRange = 3.0;  // times the last fitted distance
constexpr double kLowestExponent = 0.1, kHighestExponent = 1.9;

double Unit(const ModelShape& shape, double h, double a) {
  if (h < kOriginThreshold) return 0;
  return static_cast<double>(shape.unit(h, a));
}

// Points the engine's output units at a scratch file for the silent trials,
// and keeps their messages out of the run's collected ones.
class SilencedOutput {
 public:
  SilencedOutput()
      : output_(OutputDestination(2)), errors_(OutputDestination(3)),
        collecting_(CurrentContext().errors.collect) {
    CurrentContext().errors.collect = false;
    scratch_ = std::tmpfile();
    if (scratch_ == nullptr) return;
    OutputUnit(-2, scratch_);
    OutputUnit(-3, scratch_);
  }
  ~SilencedOutput() {
    CurrentContext().errors.collect = collecting_;
    if (scratch_ == nullptr) return;
    OutputUnit(-2, output_);
    OutputUnit(-3, errors_);
    std::fclose(scratch_);
  }
  SilencedOutput(const SilencedOutput&) = delete;
  SilencedOutput& operator=(const SilencedOutput&) = delete;

 private:
  std::FILE* output_;
  std::FILE* errors_;
  bool collecting_;
  std::FILE* scratch_ = nullptr;
};

}  // namespace

FitStart LevelAtRange(int code, const FitClassView& classes, double a) {
  const ModelShape* shape = FindModelShape(code);
  FitStart start;
  start.a = static_cast<float>(a);
  if (shape == nullptr || classes.m < 1) return start;
  // Weighted sums of the normal equations for gamma^ ~ c0 + c1 g, weights N / gamma^^2.
  double sw = 0, sg = 0, sgg = 0, sy = 0, sgy = 0;
  for (int i = 0; i < classes.m; ++i) {
    const double y = classes.estimate[i];
    if (!(y > 0)) continue;
    const double w = classes.count[i] / (y * y), g = Unit(*shape, classes.distance[i], a);
    if (!std::isfinite(g)) continue;
    sw += w, sg += w * g, sgg += w * g * g, sy += w * y, sgy += w * g * y;
  }
  if (!(sw > 0)) return start;
  const double det = sw * sgg - sg * sg;
  double c0 = 0, c1 = 0;
  if (det > 1e-12 * sw * sgg) {
    c0 = (sgg * sy - sg * sgy) / det;
    c1 = (sw * sgy - sg * sy) / det;
  }
  // Keep both non-negative: the better of the two one-parameter fits.
  if (!(c0 >= 0) || !(c1 >= 0)) {
    const double only_c1 = sgg > 0 ? sgy / sgg : 0, only_c0 = sy / sw;
    auto residual = [&](double p0, double p1) {
      double q = 0;
      for (int i = 0; i < classes.m; ++i) {
        const double y = classes.estimate[i];
        if (!(y > 0)) continue;
        const double e = (y - p0 - p1 * Unit(*shape, classes.distance[i], a)) / y;
        q += classes.count[i] * e * e;
      }
      return q;
    };
    if (only_c1 > 0 && residual(0, only_c1) < residual(only_c0, 0))
      c0 = 0, c1 = only_c1;
    else
      c0 = only_c0, c1 = 0;
  }
  start.c0 = static_cast<float>(c0);
  start.c1 = static_cast<float>(c1);
  return start;
}

std::vector<FitStart> GlobalFitStarts(int code, const FitClassView& classes,
                                      const float automaticStart[3]) {
  std::vector<FitStart> starts;
  const ModelShape* shape = FindModelShape(code);
  if (shape == nullptr) return starts;
  if (automaticStart != nullptr && std::isfinite(automaticStart[0]) &&
      std::isfinite(automaticStart[1]) && std::isfinite(automaticStart[2]))
    starts.push_back({automaticStart[0], automaticStart[1], automaticStart[2]});
  if (classes.m < 1) return starts;
  if (shape->parameterCount < 3) {
    starts.push_back(LevelAtRange(code, classes, automaticStart != nullptr ? automaticStart[2] : 1));
    return starts;
  }
  const double last = classes.distance[classes.m - 1];
  for (int k = 0; k < kRangeStarts; ++k) {
    const double t = static_cast<double>(k) / (kRangeStarts - 1);
    double a;
    if (shape->shapeUnitsIsExponent) {
      a = kLowestExponent + t * (kHighestExponent - kLowestExponent);
    } else {
      const double range = last * kShortestRange * std::pow(kLongestRange / kShortestRange, t);
      a = std::pow(range, shape->rangeUnits);
    }
    if (std::isfinite(a) && a > 0) starts.push_back(LevelAtRange(code, classes, a));
  }
  return starts;
}

void FitVariogramGlobal(int modelCode, const float* fitted, const float* meanDistance,
                        const std::int32_t* count, int lagCount, int fitLagCount, int minPairs,
                        float params[10], std::int32_t& maxIterations) {
  // The classes the fit will take (the rule of FitVariogramModel).
  std::vector<std::int32_t> n;
  std::vector<float> h, estimate;
  const int wanted = std::min(fitLagCount, kFitCapacity);
  for (int k = 0; k < lagCount && static_cast<int>(n.size()) < wanted; ++k) {
    if (count[k] <= minPairs) continue;
    n.push_back(count[k]);
    h.push_back(meanDistance[k]);
    estimate.push_back(fitted[k]);
  }
  const FitClassView classes{static_cast<int>(n.size()), n.data(), h.data(), estimate.data()};

  float automatic[3] = {params[0], params[1], params[2]};
  if (params[0] < 0 && classes.m > 0)
    InitialApproximation(modelCode, classes.m, estimate.data(), h.data(), automatic);
  std::vector<FitStart> starts = GlobalFitStarts(modelCode, classes, automatic);
  if (starts.empty()) starts.push_back({automatic[0], automatic[1], automatic[2]});

  FitStart best = starts.front();
  {
    SilencedOutput silence;
    double lowest = std::numeric_limits<double>::infinity();
    for (const FitStart& start : starts) {
      float trial[10];
      std::copy(params, params + 10, trial);
      trial[0] = start.c0, trial[1] = start.c1, trial[2] = start.a;
      std::int32_t iterations = maxIterations;
      FitVariogramModel(modelCode, fitted, meanDistance, count, lagCount, fitLagCount, minPairs,
                        trial, iterations, kDirectMethod);
      if (trial[3] < lowest) lowest = trial[3], best = start;
    }
  }
  // The best local fit once more, now on the run log (the solver is
  // deterministic: the same result, and its own messages).
  std::FILE* log = OutputDestination(2);
  if (log != nullptr)
    std::fprintf(log, "    Ajuste global: %d puntos de partida\n", static_cast<int>(starts.size()));
  params[0] = best.c0, params[1] = best.c1, params[2] = best.a;
  FitVariogramModel(modelCode, fitted, meanDistance, count, lagCount, fitLagCount, minPairs, params,
                    maxIterations, kDirectMethod);
}

}  // namespace kriging

// The semivariogram model fit: class selection, the two fitting methods on the
// bounded least-squares solver, and the residual functions the solver calls.
#include "variogram_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "numerics/bounded_least_squares.h"
#include "numerics/error_service.h"
#include "run_context.h"
#include "variogram_models.h"

namespace kriging {
namespace {

constexpr int kSeverityFatal = 4;
constexpr int kMaxAlternatingCycles = 10;
constexpr float kAlternatingTolerance = 0.005f;
constexpr float kLowerBound = 0.001f, kUpperBound = 100.0f;

const ModelInfo& Shape() {
  const ModelInfo* shape = FindModel(CurrentModel().code);
  return shape != nullptr ? *shape : *FindModel(1);
}

// Unit of parameter j (0 c0, 1 c1, 2 a) in data terms; c1 of the power model
// carries D^a, a being the exponent.
double ParameterUnit(int j, double a) {
  const ModelInfo& shape = Shape();
  const double D = CurrentFitSet().distanceScale, S = CurrentFitSet().semivarianceScale;
  if (j == 0) return S;
  if (j == 1) return S / std::pow(D, shape.shapeUnitsIsExponent ? a : shape.shapeUnits);
  return std::pow(D, shape.rangeUnits);
}

// A starting value in the solver's units. Where the unit itself over- or
// underflows (the power model's D^a for a huge exponent) the start goes to the
// nearer end of the box, as the solver would clip it there anyway.
float ToSolver(int j, const float p[3]) {
  const double x = p[j] / ParameterUnit(j, p[2]);
  if (std::isnan(x)) return kLowerBound;
  if (std::isinf(x)) return x > 0 ? kUpperBound : kLowerBound;
  return static_cast<float>(x);
}

// The a of the model from the solver's variable (the exponent needs no unit).
float RangeFromSolver(float x) { return static_cast<float>(x * ParameterUnit(2, 0)); }

// Relative misfit of class i; a model that matches the value exactly has none,
// also where both are zero (a constant variable).
float Misfit(int i, float gamma) {
  const float estimate = CurrentFitSet().estimate[i];
  return estimate == gamma ? 0.0f : estimate / gamma - 1.0f;
}

void FillResiduals(int m, float* f) {
  const int code = CurrentModel().code;
  for (int i = 0; i < m; ++i) {
    const float gamma = EvaluateVariogram(code, CurrentFitSet().distance[i]);
    f[i] = std::sqrt(static_cast<float>(CurrentFitSet().count[i])) * Misfit(i, gamma);
  }
}

// The settings shared by both methods: the solver's defaults with a larger
// iteration limit, tighter step and function tolerances, and the caller's
// gradient tolerance if any.
struct SolverSettings {
  std::int32_t iparam[6];
  float rparam[7];
  SolverSettings(std::int32_t maxIterations, float gradientTolerance) {
    BCLSFDefaults(iparam, rparam);
    iparam[2] = maxIterations;
    if (gradientTolerance > 0) rparam[0] = gradientTolerance;
    rparam[1] *= 0.01f;
    rparam[2] *= 0.001f;
  }
};

// One bounded solve of n scaled variables from x (overwritten with the result).
void Solve(ResidualFunction residuals, int n, float* x, SolverSettings& settings) {
  const int m = CurrentFitSet().m;
  const float lower = kLowerBound, upper = kUpperBound;
  const float xscale[3] = {1, 1, 1};
  float fscale[kFitCapacity];
  std::fill(fscale, fscale + kFitCapacity, 1.0f);
  float guess[3];
  std::copy(x, x + n, guess);
  BCLSF(residuals, m, n, guess, 3, &lower, &upper, xscale, fscale, settings.iparam,
        settings.rparam, x, CurrentFitSet().residuals, CurrentFitSet().jacobian, kFitCapacity);
}

// Largest change of the parameters relative to their new values, floored at 1.
float ChangeMeasure(const float p[3], const float previous[3], int npar) {
  float delta = 0;
  for (int j = 0; j < npar; ++j)
    delta = std::max(delta, std::abs(p[j] - previous[j]) / std::max(p[j], 1.0f));
  return delta;
}

}  // namespace

void LogFitValues(std::FILE* log, const char* label, int count, const float* values) {
  if (log == nullptr) return;
  std::fputs(label, log);
  for (int i = 0; i < count; ++i) std::fprintf(log, " %.7g", values[i]);
  std::fputc('\n', log);
}

FitSet& CurrentFitSet() { return CurrentContext().fit; }

void ResidualsAll(int m, int n, const float* x, float* f) {
  VariogramModel& model = CurrentModel();
  if (n >= 3) model.a = RangeFromSolver(x[2]);
  model.c0 = static_cast<float>(x[0] * ParameterUnit(0, model.a));
  model.c1 = static_cast<float>(x[1] * ParameterUnit(1, model.a));
  FillResiduals(m, f);
}

void ResidualsRangeOnly(int m, int n, const float* x, float* f) {
  CurrentModel().a = RangeFromSolver(x[n - 1]);
  FillResiduals(m, f);
}

double FitCriterion() {
  const int code = CurrentModel().code;
  double sum = 0;
  for (int i = 0; i < CurrentFitSet().m; ++i) {
    const float gamma = EvaluateVariogram(code, CurrentFitSet().distance[i]);
    const double misfit =
        CurrentFitSet().estimate[i] == gamma ? 0.0 : static_cast<double>(CurrentFitSet().estimate[i]) / gamma - 1;
    sum += CurrentFitSet().count[i] * misfit * misfit;
  }
  return sum;
}

void FitVariogramModel(int modelCode, const float* fitted, const float* meanDistance,
                       const std::int32_t* count, int lagCount, int fitLagCount, int minPairs,
                       float params[10], std::int32_t& maxIterations, int method) {
  std::FILE* log = OutputDestination(2);
  CurrentModel().code = modelCode;
  const int npar = Shape().parameterCount;

  // Classes with more than minPairs pairs, in order, up to the capacity.
  FitSet& fit = CurrentFitSet();
  const int wanted = std::min(fitLagCount, kFitCapacity);
  fit.m = 0;
  for (int k = 0; k < lagCount && fit.m < wanted; ++k) {
    if (count[k] <= minPairs) continue;
    fit.count[fit.m] = count[k];
    fit.distance[fit.m] = meanDistance[k];
    fit.estimate[fit.m] = fitted[k];
    ++fit.m;
  }
  const int m = fit.m;

  // The data's own units of distance and semivariance (1 where they vanish).
  double mean_estimate = 0;
  for (int i = 0; i < m; ++i) mean_estimate += fit.estimate[i];
  mean_estimate = m > 0 ? mean_estimate / m : 0;
  const double last_distance = m > 0 ? fit.distance[m - 1] : 0;
  fit.distanceScale = last_distance > 0 && std::isfinite(last_distance) ? last_distance : 1;
  fit.semivarianceScale = mean_estimate > 0 && std::isfinite(mean_estimate) ? mean_estimate : 1;

  if (params[0] < 0) InitialApproximation(modelCode, m, fit.estimate, fit.distance, params);
  std::copy(params, params + 3, params + 5);

  // Limits reached by the solver are logged, not fatal, during the fit.
  SetErrorActions(kSeverityFatal, 1, 0);
  SolverSettings settings(maxIterations, params[4]);
  bool solved = false;
  if (method == 1) {
    // Alternating: c0, c1 by weighted regression, then a alone by the solver.
    int cycles = 0;
    float delta = 0;
    while (cycles < kMaxAlternatingCycles) {
      ++cycles;
      float previous[3];
      std::copy(params, params + 3, previous);
      LinearStep(params);
      SetModelParameters(params);
      if (npar == 3) {
        float x = ToSolver(2, params);
        Solve(ResidualsRangeOnly, 1, &x, settings);
        params[2] = RangeFromSolver(x);
        solved = true;
      }
      delta = ChangeMeasure(params, previous, npar);
      // The linear model has no nonlinear part: all cycles run.
      if (npar == 3 && delta <= kAlternatingTolerance) break;
    }
    if (log != nullptr)
      std::fprintf(log, "    Numero de iteraciones %d, Error MCP: %.7g\n", cycles, delta);
  } else if (method == 2) {
    SetModelParameters(params);
    float x[3];
    for (int j = 0; j < npar; ++j) x[j] = ToSolver(j, params);
    Solve(ResidualsAll, npar, x, settings);
    if (npar == 3) params[2] = RangeFromSolver(x[2]);
    for (int j = 0; j < 2; ++j) params[j] = static_cast<float>(x[j] * ParameterUnit(j, params[2]));
    solved = true;
  }
  LogFitValues(log, "    Par\xC3\xA1metros estimados:", npar, params);
  SetErrorActions(kSeverityFatal, 2, 2);

  SetModelParameters(params);
  params[3] = static_cast<float>(FitCriterion());
  if (solved) maxIterations = settings.iparam[2];
}

}  // namespace kriging

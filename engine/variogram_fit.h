#pragma once
// Weighted least-squares fit of a semivariogram model to the lag classes,
// with Cressie's weights: the classes' squared relative misfits weighted by
// their pair counts,
//     sum_i N_i (gamma^_i / gamma(h_i) - 1)^2,
// minimised by the bounded Levenberg-Marquardt solver, either over all the
// parameters at once (direct method) or alternating a weighted linear
// regression for c0, c1 with a one-variable fit of a (alternating method).
//
// The solver keeps its variables in [0.001, 100]. They are the parameters in
// units of the data: distances relative to the mean distance D of the last
// class in the fit, semivariances relative to the mean S of the fitted values
// (c0 = x0 S, c1 = x1 S / D^k with k the distance units of the model's shape,
// a = x2 D^j with j those of a; the power model's exponent is not scaled).
// The optimum is thus the same for any unit of the coordinates or values.
//
// Arrays are 0-based; params[10] is the parameter vector of the run options:
// [0..2] c0, c1, a (start in, result out; params[0] < 0 asks for starting
// values), [3] the fit error sum f_i^2 at the result, [4] gradient tolerance
// (used if > 0), [5..7] the starting values actually used.
#include <cstdint>
#include <cstdio>

namespace kriging {

inline constexpr int kFitCapacity = 50;  // classes in a fit, rows of the Jacobian

// The classes in the current fit (module state, rebuilt by every fit).
struct FitSet {
  int m = 0;                           // classes in the fit
  std::int32_t count[kFitCapacity];    // N_i
  float distance[kFitCapacity];        // h_i, mean pair distance
  float estimate[kFitCapacity];        // gamma^_i
  float residuals[kFitCapacity];
  float jacobian[kFitCapacity * 3];    // filled by the solver
  double distanceScale = 1;            // D
  double semivarianceScale = 1;        // S
};
FitSet& CurrentFitSet();

// The whole fit. Takes, in class order, the classes k < lagCount with more than
// minPairs pairs, stopping at min(fitLagCount, kFitCapacity) of them; fitted,
// meanDistance and count hold lagCount classes. method 1 alternating, 2 direct,
// other: the starting values stand. maxIterations is the solver's limit, set
// back to the solver's value after the fit. Leaves the result in params and in
// CurrentModel(); logs its progress on the run log.
void FitVariogramModel(int modelCode, const float* fitted, const float* meanDistance,
                       const std::int32_t* count, int lagCount, int fitLagCount, int minPairs,
                       float params[10], std::int32_t& maxIterations, int method);

// Starting values p[3] from the m classes (gammaHat, h): a straight line through
// the first half of the classes reaching the mean level of the second half.
void InitialApproximation(int modelCode, int m, const float* gammaHat, const float* h, float p[3]);

// c0, c1 (p[0], p[1]) by weighted linear regression on the model's unit shape
// with a = p[2] fixed, weights sqrt(N_i) / gamma(h_i) at the incoming p; both
// kept >= 0. Leaves CurrentModel() with c0 = 0, c1 = 1.
void LinearStep(float p[3]);

// Residuals f_i = sqrt(N_i) (gamma^_i / gamma(h_i) - 1) of the fit set.
// ResidualsAll takes the n scaled parameters (c0, c1[, a]) and sets them in
// CurrentModel(); ResidualsRangeOnly takes the scaled a in x[n-1] and changes
// only a.
void ResidualsAll(int m, int n, const float* x, float* f);
void ResidualsRangeOnly(int m, int n, const float* x, float* f);

// One run-log line: the label and the values in free format (log may be null).
void LogFitValues(std::FILE* log, const char* label, int count, const float* values);

// The fit error sum f_i^2 (double sums) for the current model, from the fit set.
double FitCriterion();

}  // namespace kriging

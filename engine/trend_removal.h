#pragma once
// Trend removal for universal kriging and the iterative residual semivariogram
// of Neuman and Jacobson: ordinary least-squares residuals give a first model;
// each iteration then takes generalized least-squares residuals under the
// covariance C(h) = S - gamma(h) of the current model and refits, until the
// model parameters change by no more than the tolerance.
#include <cstdint>

#include "drift_terms.h"
#include "variogram_models.h"

namespace kriging {

// Stage I of a run. Arrays 0-based (z, x, y: n entries; options[7] and
// params[10] are the SKU option vectors, options[0] being entry 1).
// trendTermCount p = 1 estimates and fits the semivariogram of z itself and
// logs nothing of its own. Otherwise, with options[6] the iteration limit
// (default 5 when < 1) and params[8] the tolerance (default 0.005 when <= 0),
// iterates as described above; on return options[6] holds the iterations
// performed and params[8] the last change measure. The linear and power models
// need params[9] = L > 0 (sill taken as gamma(L sqrt 2)); without it the model
// fitted to the least-squares residuals stands. The trend coefficients are
// written to the run log only.
void EstimateTrendAndSemivariogram(int n, const float* z, const float* x, const float* y,
                                   int trendTermCount, DriftFunction driftTerm, float& firstLag,
                                   float& lagWidth, std::int32_t& lagCount,
                                   std::int32_t modelCode, std::int32_t& fitLagCount,
                                   std::int32_t options[7], float params[10]);

// r = z - X beta, beta the ordinary least-squares coefficients of z on the p
// drift columns X(i, k) = driftTerm(k + 1, x_i, y_i). r: n, beta: p entries.
void TrendResidualsOLS(int n, const float* x, const float* y, const float* z, float* r, int p,
                       float* beta, DriftFunction driftTerm);

// r = z - X beta, beta = (X^T K^-1 X)^-1 X^T K^-1 z the generalized
// least-squares coefficients under K(i, j) = sill - variogram(x_i - x_j,
// y_i - y_j). K is inverted as a positive definite matrix: coinciding points
// make it singular and the inverse reports it.
void TrendResidualsGLS(int n, const float* x, const float* y, const float* z, float* r, int p,
                       float* beta, DriftFunction driftTerm, LagVariogram variogram, float sill);

// Sill S that turns the model into a covariance: c0 + c1 f(a) for models with
// a sill (f from the model table: 1, or a for the rational quadratic), gamma
// of the lag (L, L) with the current model for the others. params as above
// (params[0..2] = c0, c1, a; params[9] = L).
float CovarianceSill(int modelCode, const float params[10]);
bool HasSill(int modelCode);

}  // namespace kriging

#include "numerics/regression.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "numerics/error_service.h"

namespace kriging {

// Straight line by the normal equations centred at the means (two passes in
// double, so no cancellation from large coordinates).
void RLINE(int nobs, const float* x, const float* y, float& b0, float& b1, float stat[12]) {
  ServiceCall call("RLINE");
  MessageValues v;
  v.i1 = nobs;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  if (nobs < 1) {
    ReportError(5, 1,
                FormatMessage("The number of data points must be at least one but NOBS = %(I1) "
                              "is given.",
                              v));
    return;
  }
  int valid = 0;
  double sx = 0.0, sy = 0.0;
  for (int i = 0; i < nobs; ++i) {
    if (std::isnan(x[i]) || std::isnan(y[i])) continue;
    ++valid;
    sx += x[i];
    sy += y[i];
  }
  if (valid == 0) {
    b0 = b1 = nan;
    std::fill(stat, stat + 12, nan);
    stat[9] = 0.0f;
    stat[10] = 0.0f;
    stat[11] = static_cast<float>(nobs);
    ReportError(4, 1,
                "There are no valid data points.  Each (x,y) pair contains NaN (not a number).");
    return;
  }
  const double mx = sx / valid, my = sy / valid;
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int i = 0; i < nobs; ++i) {
    if (std::isnan(x[i]) || std::isnan(y[i])) continue;
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
    sxy += (x[i] - mx) * (y[i] - my);
  }
  // All x equal (or one point): the slope is undetermined; the horizontal
  // line through the mean of y is the least-squares line of smallest slope.
  const double slope = sxx > 0.0 ? sxy / sxx : 0.0;
  const double sse = std::max(0.0, syy - slope * sxy);
  b1 = static_cast<float>(slope);
  b0 = static_cast<float>(my - slope * mx);
  const int dfe = valid - 2;
  stat[0] = static_cast<float>(mx);
  stat[1] = static_cast<float>(my);
  stat[2] = valid > 1 ? static_cast<float>(sxx / (valid - 1)) : 0.0f;
  stat[3] = valid > 1 ? static_cast<float>(syy / (valid - 1)) : 0.0f;
  stat[4] = syy > 0.0 ? static_cast<float>(1.0 - sse / syy) : nan;
  stat[5] = dfe > 0 ? static_cast<float>(std::sqrt(sse / dfe)) : nan;
  stat[6] = static_cast<float>(syy);
  stat[7] = static_cast<float>(syy - sse);
  stat[8] = static_cast<float>(sse);
  stat[9] = static_cast<float>(std::max(dfe, 0));
  stat[10] = static_cast<float>(valid);
  stat[11] = static_cast<float>(nobs - valid);
}

// Householder QR of the design matrix (Golub & Van Loan 5.2, 5.3): each
// reflection zeroes one column below the diagonal and is applied at once to
// the response, so Q^T y is formed without storing Q; then R b = (Q^T y)_1..p.
void RLSE(int nobs, const float* y, int nind, const float* x, int ldx, int intcep, float* b,
          float& sst, float& sse) {
  ServiceCall call("RLSE");
  MessageValues v;
  v.i1 = intcep;
  v.i2 = nind;
  if (intcep != 0 && intcep != 1) {
    ReportError(5, 1,
                FormatMessage("INTCEP = %(I1).  The intercept option, INTCEP, must be equal to 0 "
                              "or 1.",
                              v));
    return;
  }
  if (nind < 0 || intcep + nind < 1) {
    ReportError(5, 2,
                FormatMessage("INTCEP = %(I1) and NIND = %(I2).  There must be at least one "
                              "regressor in the model.",
                              v));
    return;
  }
  if (nobs < 1) {
    v.i1 = nobs;
    ReportError(5, 4,
                FormatMessage("The number of observations must be positive while NOBS = %(I1) "
                              "is given.",
                              v));
    return;
  }
  if (nind > 0 && ldx < nobs) {
    v.i1 = ldx;
    v.i2 = nobs;
    ReportError(5, 5,
                FormatMessage("The leading dimension of X must be greater than or equal to NOBS "
                              "while LDX = %(I1) and NOBS = %(I2) are given.",
                              v));
    return;
  }
  const int p = intcep + nind;
  std::vector<double> q, r;
  try {
    q.resize(static_cast<std::size_t>(nobs) * p);
    r.resize(nobs);
  } catch (const std::bad_alloc&) {
    ReportError(5, 3,
                FormatMessage("The required storage cannot be allocated.  The workspace "
                              "requirement is based on INTCEP = %(I1) and NIND = %(I2).",
                              v));
    return;
  }
  auto Q = [&q, nobs](int i, int j) -> double& { return q[i + static_cast<std::size_t>(j) * nobs]; };
  for (int i = 0; i < nobs; ++i) {
    if (intcep == 1) Q(i, 0) = 1.0;
    for (int j = 0; j < nind; ++j) Q(i, intcep + j) = x[i + static_cast<long long>(j) * ldx];
    r[i] = y[i];
  }

  // Sums of squares of y: about the mean with an intercept, about zero
  // without (the regression through the origin).
  double mean = 0.0;
  if (intcep == 1) {
    for (int i = 0; i < nobs; ++i) mean += r[i];
    mean /= nobs;
  }
  double total = 0.0;
  for (int i = 0; i < nobs; ++i) total += (r[i] - mean) * (r[i] - mean);
  sst = static_cast<float>(total);

  // Householder reflections. A column whose part orthogonal to the columns
  // before it is below the resolution of 32-bit data (relative 1e-7 of its
  // own length) depends linearly on them: it is left out of the model (its
  // coefficient is 0) and takes no row of R.
  std::vector<double> diagonal(p, 0.0);
  std::vector<int> pivotRow(p, -1);
  int rank = 0;
  for (int k = 0; k < p && rank < nobs; ++k) {
    double original = 0.0, norm = 0.0;
    for (int i = 0; i < nobs; ++i) original = std::hypot(original, Q(i, k));
    for (int i = rank; i < nobs; ++i) norm = std::hypot(norm, Q(i, k));
    if (!(norm > 1e-7 * original)) continue;
    const double alpha = Q(rank, k) > 0.0 ? -norm : norm;
    // v = column - alpha e_rank, kept in Q(rank.., k); H = I - 2 v v^T / v^T v.
    Q(rank, k) -= alpha;
    double vv = 0.0;
    for (int i = rank; i < nobs; ++i) vv += Q(i, k) * Q(i, k);
    auto reflect = [&](auto&& element) {
      double s = 0.0;
      for (int i = rank; i < nobs; ++i) s += Q(i, k) * element(i);
      s *= 2.0 / vv;
      for (int i = rank; i < nobs; ++i) element(i) -= s * Q(i, k);
    };
    for (int j = k + 1; j < p; ++j) reflect([&](int i) -> double& { return Q(i, j); });
    reflect([&](int i) -> double& { return r[i]; });
    diagonal[k] = alpha;
    pivotRow[k] = rank++;
  }

  // Back substitution R b = (Q^T y)_1..rank; the rest of Q^T y is the residual.
  std::vector<double> coef(p, 0.0);
  for (int k = p - 1; k >= 0; --k) {
    if (pivotRow[k] < 0) continue;
    double s = r[pivotRow[k]];
    for (int j = k + 1; j < p; ++j) s -= Q(pivotRow[k], j) * coef[j];
    coef[k] = s / diagonal[k];
  }
  double residual = 0.0;
  for (int i = rank; i < nobs; ++i) residual += r[i] * r[i];
  for (int j = 0; j < p; ++j) b[j] = static_cast<float>(coef[j]);
  sse = static_cast<float>(residual);
}

}  // namespace kriging

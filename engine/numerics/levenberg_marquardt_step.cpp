#include "numerics/levenberg_marquardt_step.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>

namespace kriging {
namespace {

double Norm(const std::vector<double>& v) {
  double s = 0.0;
  for (double e : v) s = std::hypot(s, e);
  return s;
}

// Least squares min ||[J; sqrt(lambda) D] s + [f; 0]|| by Householder QR.
// Leaves the n x n triangle in r (column-major). A column whose pivot is
// negligible (only possible with lambda = 0) is dropped: its component of s
// is 0 and the function returns false (J is rank deficient). qtb receives
// the first n entries of Q^T [-f; 0] of the kept columns.
bool DampedLeastSquares(int m, int n, const std::vector<double>& jac, const std::vector<double>& f,
                        const std::vector<double>& d, double lambda, std::vector<double>& s,
                        std::vector<double>& r, std::vector<double>& qtb) {
  const int rows = m + n;
  std::vector<double> a(static_cast<std::size_t>(rows) * n, 0.0), b(rows, 0.0);
  const double root = std::sqrt(lambda);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < m; ++i) a[i + static_cast<std::size_t>(j) * rows] = jac[i + static_cast<std::size_t>(j) * m];
    a[m + j + static_cast<std::size_t>(j) * rows] = root * d[j];
  }
  for (int i = 0; i < m; ++i) b[i] = -f[i];
  auto A = [&](int i, int j) -> double& { return a[i + static_cast<std::size_t>(j) * rows]; };

  std::vector<double> diagonal(n, 0.0);
  std::vector<int> pivotRow(n, -1);
  int rank = 0;
  bool fullRank = true;
  for (int k = 0; k < n; ++k) {
    double original = 0.0, norm = 0.0;
    for (int i = 0; i < rows; ++i) original = std::hypot(original, A(i, k));
    for (int i = rank; i < rows; ++i) norm = std::hypot(norm, A(i, k));
    if (!(norm > 64 * DBL_EPSILON * original) || norm == 0.0) {
      fullRank = false;
      continue;
    }
    const double alpha = A(rank, k) > 0.0 ? -norm : norm;
    A(rank, k) -= alpha;
    double vv = 0.0;
    for (int i = rank; i < rows; ++i) vv += A(i, k) * A(i, k);
    auto reflect = [&](auto&& element) {
      double t = 0.0;
      for (int i = rank; i < rows; ++i) t += A(i, k) * element(i);
      t *= 2.0 / vv;
      for (int i = rank; i < rows; ++i) element(i) -= t * A(i, k);
    };
    for (int j = k + 1; j < n; ++j) reflect([&](int i) -> double& { return A(i, j); });
    reflect([&](int i) -> double& { return b[i]; });
    diagonal[k] = alpha;
    pivotRow[k] = rank++;
  }

  // R and Q^T b in compact form: row pivotRow[k] of the reflected matrix is
  // row k of R (dropped columns give a zero row and column).
  std::fill(r.begin(), r.end(), 0.0);
  std::fill(qtb.begin(), qtb.end(), 0.0);
  for (int k = 0; k < n; ++k) {
    if (pivotRow[k] < 0) continue;
    r[k + static_cast<std::size_t>(k) * n] = diagonal[k];
    for (int j = k + 1; j < n; ++j) r[k + static_cast<std::size_t>(j) * n] = A(pivotRow[k], j);
    qtb[k] = b[pivotRow[k]];
  }
  s.assign(n, 0.0);
  for (int k = n - 1; k >= 0; --k) {
    if (pivotRow[k] < 0) continue;
    double t = qtb[k];
    for (int j = k + 1; j < n; ++j) t -= r[k + static_cast<std::size_t>(j) * n] * s[j];
    s[k] = t / diagonal[k];
  }
  return fullRank;
}

// ||D s|| and the derivative of phi(lambda) = ||D s(lambda)|| - delta:
// phi' = -||R^{-T} D (D s) / ||D s|| ||^2 / ||D s|| (Moré 1978, (5.5)). Returns
// the squared norm ||R^{-T} w||^2 with w = D (D s) / ||D s||.
double InverseTransposeNormSquared(int n, const std::vector<double>& r, const std::vector<double>& d,
                                   const std::vector<double>& s, double dsNorm) {
  std::vector<double> z(n);
  for (int j = 0; j < n; ++j) z[j] = d[j] * (d[j] * s[j]) / dsNorm;
  // Forward substitution with R^T (lower triangular).
  for (int j = 0; j < n; ++j) {
    double t = z[j];
    for (int i = 0; i < j; ++i) t -= r[i + static_cast<std::size_t>(j) * n] * z[i];
    const double rjj = r[j + static_cast<std::size_t>(j) * n];
    z[j] = rjj != 0.0 ? t / rjj : 0.0;
  }
  double sum = 0.0;
  for (double e : z) sum += e * e;
  return sum;
}

}  // namespace

void LevenbergMarquardtStep(int m, int n, const std::vector<double>& jac,
                            const std::vector<double>& f, const std::vector<double>& d,
                            double delta, double& lambda, std::vector<double>& s,
                            double& gaussNewtonReduction) {
  std::vector<double> r(static_cast<std::size_t>(n) * n), qtb(n), ds(n);
  auto scaledNorm = [&](const std::vector<double>& v) {
    for (int j = 0; j < n; ++j) ds[j] = d[j] * v[j];
    return Norm(ds);
  };

  // Gauss-Newton step; it is taken when it lies (nearly) inside the region.
  const bool fullRank = DampedLeastSquares(m, n, jac, f, d, 0.0, s, r, qtb);
  gaussNewtonReduction = 0.5 * std::inner_product(qtb.begin(), qtb.end(), qtb.begin(), 0.0);
  double dsNorm = scaledNorm(s);
  double fp = dsNorm - delta;
  if (fp <= 0.1 * delta) {
    lambda = 0.0;
    return;
  }

  // Bounds on lambda: the lower from one Newton step at 0 (phi is convex),
  // the upper from ||D^{-1} J^T f|| / delta.
  double lower = 0.0;
  if (fullRank) {
    const double zz = InverseTransposeNormSquared(n, r, d, s, dsNorm);
    if (zz > 0.0) lower = (fp / delta) / zz;
  }
  double gradientNorm = 0.0;
  for (int j = 0; j < n; ++j) {
    double g = 0.0;
    for (int i = 0; i < m; ++i) g += jac[i + static_cast<std::size_t>(j) * m] * f[i];
    gradientNorm = std::hypot(gradientNorm, g / d[j]);
  }
  double upper = gradientNorm / delta;
  if (upper == 0.0) upper = DBL_MIN / std::min(delta, 0.1);


  double previousFp = fp;
  for (int iteration = 1; iteration <= 10; ++iteration) {
    if (!(lambda > 0.0) || lambda < lower || lambda > upper)
      lambda = std::max(DBL_MIN, std::max(0.001 * upper, std::sqrt(lower * upper)));
    DampedLeastSquares(m, n, jac, f, d, lambda, s, r, qtb);
    dsNorm = scaledNorm(s);
    fp = dsNorm - delta;
    // Close enough to the boundary, or lambda = lower = 0 already gives a
    // step shorter than delta that is not getting longer.
    if (std::fabs(fp) <= 0.1 * delta || (lower == 0.0 && fp <= previousFp && previousFp < 0.0) ||
        iteration == 10)
      break;
    const double zz = InverseTransposeNormSquared(n, r, d, s, dsNorm);
    const double correction = zz > 0.0 ? (fp / delta) / zz : 0.0;
    if (fp > 0.0) lower = std::max(lower, lambda);
    if (fp < 0.0) upper = std::min(upper, lambda);
    lambda = std::max(lower, lambda + correction);
    previousFp = fp;
  }
}

}  // namespace kriging

#include "numerics/symmetric_solve_refined.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "numerics/bunch_kaufman.h"
#include "numerics/condition_warnings.h"
#include "numerics/error_service.h"
#include "numerics/inverse_one_norm_estimate.h"

namespace kriging {
namespace {

constexpr int kMaxRefinementSteps = 10;

}  // namespace

void SymmetricSolveRefined(int n, const float* a, int lda, const float* b, float* x) {
  ServiceCall call("LSASF");
  MessageValues v;
  v.i1 = n;
  if (n <= 0) {
    ReportError(5, 1,
                FormatMessage("The number of equations must be positive while N = %(I1) is "
                              "given.",
                              v));
    return;
  }
  if (n > lda) {
    v.i2 = lda;
    ReportError(5, 2,
                FormatMessage("The order of the matrix must be less than or equal to its leading "
                              "dimension while N = %(I1) and LDA = %(I2) are given.",
                              v));
    return;
  }

  // Work storage: the factor, its pivot record, the right-hand side in double.
  std::vector<float> fac, work;
  std::vector<std::int32_t> ipvt;
  std::vector<double> xd, residual;
  try {
    fac.resize(static_cast<std::size_t>(n) * n);
    work.resize(n);
    ipvt.resize(n);
    xd.resize(n);
    residual.resize(n);
  } catch (const std::bad_alloc&) {
    ReportError(5, 3,
                FormatMessage("The required storage cannot be allocated.  The workspace is based "
                              "on N, where N = %(I1).",
                              v));
    return;
  }
  // Factor a copy of the upper triangle (Bunch-Kaufman).
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) fac[i + static_cast<std::size_t>(j) * n] = a[i + static_cast<long long>(j) * lda];
  const int singular = BunchKaufmanFactorInPlace(n, fac.data(), n, ipvt.data());
  if (singular != 0) {
    v.i1 = singular;
    ReportError(4, 2,
                FormatMessage("The input matrix is singular because pivot block %(I1) is "
                              "singular.",
                              v));
    return;
  }
  auto solveInPlace = [&](std::vector<double>& r) {
    for (int i = 0; i < n; ++i) work[i] = static_cast<float>(r[i]);
    BunchKaufmanSolveInPlace(n, fac.data(), n, ipvt.data(), work.data());
    for (int i = 0; i < n; ++i) r[i] = work[i];
  };

  // Reciprocal L1 condition number: ||A||_1 exactly, ||A^-1||_1 estimated.
  std::vector<double> columnSum(n, 0.0);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i <= j; ++i) {
      const double e = std::fabs(a[i + static_cast<long long>(j) * lda]);
      columnSum[j] += e;
      if (i != j) columnSum[i] += e;
    }
  }
  const double normA = *std::max_element(columnSum.begin(), columnSum.end());
  const double normInverse = EstimateSymmetricInverseOneNorm(n, solveInPlace);
  const double rcond = (normA > 0.0 && normInverse > 0.0) ? 1.0 / (normA * normInverse) : 0.0;
  v.r1 = rcond;
  if (rcond <= kAlgorithmicallySingularRcond) {
    ReportError(3, 1,
                FormatMessage("The matrix is algorithmically singular.  An estimate of the "
                              "reciprocal of its L1 condition number is RCOND = %(R1).",
                              v));
  } else if (rcond < kIllConditionedRcond) {
    ReportError(3, 2,
                FormatMessage("The matrix is too ill-conditioned.  An estimate of the reciprocal "
                              "of its L1 condition number is RCOND = %(R1).  The solution might "
                              "not be accurate.",
                              v));
  }

  // Iterative refinement (Wilkinson; Higham ch. 12): residuals of the double
  // iterate accumulated in double, corrections from the float factor. It
  // stops when a correction no longer changes the float result, and gives up
  // when corrections stop shrinking by half (cond(A) eps is then near 1).
  for (int i = 0; i < n; ++i) xd[i] = b[i];
  solveInPlace(xd);
  const double eps = 1.1920928955078125e-7;
  double previousCorrection = HUGE_VAL;
  bool converged = false;
  for (int step = 0; step < kMaxRefinementSteps && !converged; ++step) {
    // r = b - A x from the upper triangle, column by column.
    for (int i = 0; i < n; ++i) residual[i] = b[i];
    for (int j = 0; j < n; ++j) {
      const float* column = a + static_cast<long long>(j) * lda;
      double t = 0.0;
      for (int i = 0; i < j; ++i) {
        residual[i] -= column[i] * xd[j];
        t += column[i] * xd[i];
      }
      residual[j] -= t + column[j] * xd[j];
    }
    solveInPlace(residual);
    double correction = 0.0, size = 0.0;
    for (int i = 0; i < n; ++i) {
      xd[i] += residual[i];
      correction = std::max(correction, std::fabs(residual[i]));
      size = std::max(size, std::fabs(xd[i]));
    }
    if (std::isnan(correction)) break;
    if (correction <= 0.5 * eps * size) {
      converged = true;
    } else if (correction > 0.5 * previousCorrection) {
      break;
    }
    previousCorrection = correction;
  }
  if (!converged)
    ReportError(3, 3, "The matrix is too ill-conditioned for iterative refinement to be effective.");
  for (int i = 0; i < n; ++i) x[i] = static_cast<float>(xd[i]);
}

}  // namespace kriging

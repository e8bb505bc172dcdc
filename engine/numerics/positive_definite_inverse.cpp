#include "numerics/positive_definite_inverse.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "numerics/condition_warnings.h"
#include "numerics/error_service.h"

namespace kriging {

// Cholesky factorization A = R^T R (Golub & Van Loan 4.2), then R^{-1} by
// column-oriented back substitution and A^{-1} = R^{-1} R^{-T}, all in a
// double work copy so that the 32-bit result is as accurate as its format
// allows for any reasonably conditioned A.
void PositiveDefiniteInverse(int n, const float* a, int lda, float* ainv, int ldainv) {
  ServiceCall call("LINDS");
  MessageValues v;
  v.i1 = n;
  if (n <= 0) {
    ReportError(5, 1,
                FormatMessage("The order of the matrix must be positive while N = %(I1) is given.",
                              v));
    return;
  }
  if (n > lda || n > ldainv) {
    v.i2 = n > lda ? lda : ldainv;
    ReportError(5, 2,
                FormatMessage(std::string("The order of the matrix must be less than or equal to "
                                          "its leading dimension while N = %(I1) and ") +
                                  (n > lda ? "LDA" : "LDAINV") + " = %(I2) are given.",
                              v));
    return;
  }
  std::vector<double> r;
  try {
    r.resize(static_cast<std::size_t>(n) * n);
  } catch (const std::bad_alloc&) {
    ReportError(5, 3,
                FormatMessage("The required storage cannot be allocated.  The workspace is based "
                              "on N, where N = %(I1).",
                              v));
    return;
  }
  auto R = [&r, n](int i, int j) -> double& { return r[i + static_cast<std::size_t>(j) * n]; };

  // Upper triangle of A, and ||A||_1 of the symmetric matrix it stands for.
  std::vector<double> columnSum(n, 0.0);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i <= j; ++i) {
      const double e = a[i + static_cast<long long>(j) * lda];
      R(i, j) = e;
      columnSum[j] += std::fabs(e);
      if (i != j) columnSum[i] += std::fabs(e);
    }
  }
  const double normA = *std::max_element(columnSum.begin(), columnSum.end());

  // R^T R = A, column by column (upper triangle of r).
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < j; ++i) {
      double s = R(i, j);
      for (int k = 0; k < i; ++k) s -= R(k, i) * R(k, j);
      R(i, j) = s / R(i, i);
    }
    double d = R(j, j);
    for (int k = 0; k < j; ++k) d -= R(k, j) * R(k, j);
    if (!(d > 0.0)) {
      v.i1 = j + 1;
      ReportError(4, 2,
                  FormatMessage("The leading %(I1) by %(I1) submatrix of the input matrix is not "
                                "positive definite.",
                                v));
      return;  // ainv is left as it was
    }
    R(j, j) = std::sqrt(d);
  }

  // R := R^{-1}. With R = [R11 r12; 0 r22], R^{-1} = [R11^{-1} -R11^{-1} r12 / r22;
  // 0 1 / r22]: column j is the already inverted leading block times the old
  // column, scaled by -1 / r22 (LAPACK's unblocked triangular inverse).
  for (int j = 0; j < n; ++j) {
    R(j, j) = 1.0 / R(j, j);
    const double scale = -R(j, j);
    for (int i = 0; i < j; ++i) {
      double s = 0.0;
      for (int k = i; k < j; ++k) s += R(i, k) * R(k, j);
      R(i, j) = s;  // later rows read only R(k, j) with k > i: still the old column
    }
    for (int i = 0; i < j; ++i) R(i, j) *= scale;
  }

  // A^{-1} = R^{-1} R^{-T}: entry (i, j), i <= j, sums over k >= j. Written to
  // both triangles of ainv; its 1-norm gives the condition number directly,
  // which is exact rather than estimated since the inverse is at hand.
  std::fill(columnSum.begin(), columnSum.end(), 0.0);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i <= j; ++i) {
      double s = 0.0;
      for (int k = j; k < n; ++k) s += R(i, k) * R(j, k);
      const float e = static_cast<float>(s);
      ainv[i + static_cast<long long>(j) * ldainv] = e;
      ainv[j + static_cast<long long>(i) * ldainv] = e;
      columnSum[j] += std::fabs(s);
      if (i != j) columnSum[i] += std::fabs(s);
    }
  }
  const double normInverse = *std::max_element(columnSum.begin(), columnSum.end());
  v.r1 = (normA > 0.0 && std::isfinite(normInverse)) ? 1.0 / (normA * normInverse) : 0.0;
  if (v.r1 <= kAlgorithmicallySingularRcond) {
    ReportError(3, 1,
                FormatMessage("The matrix is algorithmically singular.  An estimate of the "
                              "reciprocal of its L1 condition number is RCOND = %(R1).",
                              v));
  } else if (v.r1 < kIllConditionedRcond) {
    ReportError(3, 2,
                FormatMessage("The matrix is too ill-conditioned. An estimate of the reciprocal "
                              "of its L1 condition number is RCOND = %(R1).  The inverse might "
                              "not be accurate.",
                              v));
  }
}

}  // namespace kriging

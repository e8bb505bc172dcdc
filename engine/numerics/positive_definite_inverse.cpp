#include "numerics/positive_definite_inverse.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "numerics/blocked_cholesky_inverse.h"
#include "numerics/condition_warnings.h"
#include "numerics/error_service.h"
#include "numerics/thread_pool.h"

namespace kriging {

// Cholesky factorization A = R^T R (Golub & Van Loan 4.2), then R^{-1} and
// A^{-1} = R^{-1} R^{-T}, blocked, all in a double work copy so that the 32-bit result is as accurate as its format
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

  // Cholesky factor, triangular inverse and the product R^{-1} R^{-T}, each
  // in column blocks with packed matrix-matrix updates shared over threads
  // (blocked_cholesky_inverse.h). The lower triangle of r is zero, as the
  // blocked phases require.
  if (const int failed = BlockedCholeskyInverseInPlace(n, r.data(), n, WorkerCount());
      failed != 0) {
    v.i1 = failed;
    ReportError(4, 2,
                FormatMessage("The leading %(I1) by %(I1) submatrix of the input matrix is "
                              "not positive definite.",
                              v));
    return;  // ainv is left as it was
  }

  // Both triangles of ainv; the 1-norm of the inverse gives the condition
  // number directly, exact rather than estimated since the inverse is at hand.
  std::fill(columnSum.begin(), columnSum.end(), 0.0);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i <= j; ++i) {
      const double e = R(i, j);
      ainv[i + static_cast<long long>(j) * ldainv] = static_cast<float>(e);
      ainv[j + static_cast<long long>(i) * ldainv] = static_cast<float>(e);
      columnSum[j] += std::fabs(e);
      if (i != j) columnSum[i] += std::fabs(e);
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

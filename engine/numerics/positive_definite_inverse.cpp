#include "numerics/positive_definite_inverse.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "numerics/condition_warnings.h"
#include "numerics/error_service.h"

namespace kriging {
namespace {

// Columns per block of the three phases.
constexpr int kBlock = 32;

// x . y over n terms, with four partial sums so that the additions do not
// wait on each other.
double Dot(const double* x, const double* y, int n) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    s0 += x[k] * y[k];
    s1 += x[k + 1] * y[k + 1];
    s2 += x[k + 2] * y[k + 2];
    s3 += x[k + 3] * y[k + 3];
  }
  for (; k < n; ++k) s0 += x[k] * y[k];
  return (s0 + s1) + (s2 + s3);
}

}  // namespace

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
  std::vector<double> r, block;
  try {
    r.resize(static_cast<std::size_t>(n) * n);
    block.resize(static_cast<std::size_t>(n) * kBlock);
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

  // The three phases below are the textbook column algorithms, with the
  // columns taken kBlock at a time: each column of the finished part is then
  // read once per block instead of once per column, which keeps the O(n^3)
  // memory traffic of an n = 2048 matrix (32 MB) within reach of the caches.

  // R^T R = A, left-looking: R(i, j) = (A(i, j) - R(0:i, i) . R(0:i, j)) / R(i, i).
  for (int j0 = 0; j0 < n; j0 += kBlock) {
    const int j1 = std::min(n, j0 + kBlock);
    for (int i = 0; i < j0; ++i)
      for (int j = j0; j < j1; ++j) R(i, j) = (R(i, j) - Dot(&R(0, i), &R(0, j), i)) / R(i, i);
    for (int j = j0; j < j1; ++j) {
      for (int i = j0; i < j; ++i) R(i, j) = (R(i, j) - Dot(&R(0, i), &R(0, j), i)) / R(i, i);
      const double d = R(j, j) - Dot(&R(0, j), &R(0, j), j);
      if (!(d > 0.0)) {
        v.i1 = j + 1;
        ReportError(4, 2,
                    FormatMessage("The leading %(I1) by %(I1) submatrix of the input matrix is "
                                  "not positive definite.",
                                  v));
        return;  // ainv is left as it was
      }
      R(j, j) = std::sqrt(d);
    }
  }

  // R := R^{-1}. With R = [R11 r12; 0 r22], R^{-1} = [R11^{-1} -R11^{-1} r12 / r22;
  // 0 1 / r22]: column j is the already inverted leading block T times the old
  // column x, scaled by -1 / r22 (LAPACK's unblocked triangular inverse). T x
  // is accumulated column by column of T: x(0:k) += T(0:k, k) x_k, x_k = T(k, k) x_k,
  // for k ascending (x_k is still the old value when its turn comes).
  auto applyInvertedColumn = [&](int k, int j) {
    const double t = R(k, j);
    const double* tk = &R(0, k);
    double* xj = &R(0, j);
    for (int i = 0; i < k; ++i) xj[i] += tk[i] * t;
    xj[k] = tk[k] * t;
  };
  for (int j0 = 0; j0 < n; j0 += kBlock) {
    const int j1 = std::min(n, j0 + kBlock);
    for (int k = 0; k < j0; ++k)
      for (int j = j0; j < j1; ++j) applyInvertedColumn(k, j);
    for (int j = j0; j < j1; ++j) {
      for (int k = j0; k < j; ++k) applyInvertedColumn(k, j);
      R(j, j) = 1.0 / R(j, j);
      const double scale = -R(j, j);
      for (int i = 0; i < j; ++i) R(i, j) *= scale;
    }
  }

  // A^{-1} = R^{-1} R^{-T}: column j above the diagonal is the sum over k >= j
  // of column k of R^{-1} (rows 0..j) times R^{-1}(j, k). Written to both
  // triangles of ainv; its 1-norm gives the condition number directly, which
  // is exact rather than estimated since the inverse is at hand.
  std::fill(columnSum.begin(), columnSum.end(), 0.0);
  for (int j0 = 0; j0 < n; j0 += kBlock) {
    const int j1 = std::min(n, j0 + kBlock);
    std::fill(block.begin(), block.end(), 0.0);
    for (int k = j0; k < n; ++k) {
      const double* tk = &R(0, k);
      for (int j = j0; j < std::min(j1, k + 1); ++j) {
        const double t = tk[j];
        double* column = &block[static_cast<std::size_t>(j - j0) * n];
        for (int i = 0; i <= j; ++i) column[i] += tk[i] * t;
      }
    }
    for (int j = j0; j < j1; ++j) {
      const double* column = &block[static_cast<std::size_t>(j - j0) * n];
      for (int i = 0; i <= j; ++i) {
        const float e = static_cast<float>(column[i]);
        ainv[i + static_cast<long long>(j) * ldainv] = e;
        ainv[j + static_cast<long long>(i) * ldainv] = e;
        columnSum[j] += std::fabs(column[i]);
        if (i != j) columnSum[i] += std::fabs(column[i]);
      }
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

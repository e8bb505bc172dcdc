#include "numerics/bunch_kaufman.h"

#include <cmath>
#include <utility>

#include "numerics/blocked_bunch_kaufman.h"
#include "numerics/error_service.h"
#include "numerics/target_clones.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

// Reports the leading-dimension error; `ldName` is "LDA" or "LDFAC".
void ReportLeadingDimension(int n, int ld, const char* ldName) {
  MessageValues v;
  v.i1 = n;
  v.i2 = ld;
  ReportError(5, 2,
              FormatMessage(std::string("The order of the matrix must be less than or equal to its "
                                        "leading dimension while N = %(I1) and ") +
                                ldName + " = %(I2) are given.",
                            v));
}

}  // namespace

// Bunch-Kaufman partial pivoting (Bunch & Kaufman 1977; Golub & Van Loan
// 4.4.4), upper-triangle variant: columns are eliminated from the last to the
// first. At column k, with colmax the largest off-diagonal entry of column k
// and rowmax that of the candidate column imax:
//   |a_kk| >= alpha colmax (colmax / rowmax) -> 1x1 pivot a_kk
//   |a_rr| >= alpha rowmax (r = imax)        -> 1x1 pivot after swapping k, r
//   otherwise                                -> 2x2 pivot on (k-1, k) after
//                                                swapping k-1 and r.
// alpha = (1 + sqrt 17) / 8 bounds the element growth (by 2.57^(n-1)).
int BunchKaufmanFactorInPlace(int n, float* fac, int ldfac, std::int32_t* ipvt) {
  const float alpha = (1.0f + std::sqrt(17.0f)) / 8.0f;
  auto A = [fac, ldfac](int i, int j) -> float& {
    return fac[i + static_cast<long long>(j) * ldfac];
  };
  int firstSingular = 0;
  int k = n - 1;
  while (k >= 0) {
    int kstep = 1;
    int kp = k;
    const float absakk = std::fabs(A(k, k));
    int imax = 0;
    float colmax = 0.0f;
    for (int i = 0; i < k; ++i) {
      if (std::fabs(A(i, k)) > colmax) {
        colmax = std::fabs(A(i, k));
        imax = i;
      }
    }
    if (std::fmax(absakk, colmax) == 0.0f) {
      // Column k of the reduced matrix is zero: D(k,k) = 0, nothing to
      // eliminate. Keep going so that the factor and the record are whole.
      if (firstSingular == 0) firstSingular = k + 1;
      ipvt[k] = k;
      k -= 1;
      continue;
    }
    if (absakk < alpha * colmax) {
      // Largest off-diagonal entry of row/column imax of the reduced matrix.
      float rowmax = 0.0f;
      for (int j = imax + 1; j <= k; ++j) rowmax = std::fmax(rowmax, std::fabs(A(imax, j)));
      for (int i = 0; i < imax; ++i) rowmax = std::fmax(rowmax, std::fabs(A(i, imax)));
      if (absakk >= alpha * colmax * (colmax / rowmax)) {
        kp = k;
      } else if (std::fabs(A(imax, imax)) >= alpha * rowmax) {
        kp = imax;
      } else {
        kp = imax;
        kstep = 2;
      }
    }

    // Symmetric interchange of kk and kp in the leading (k+1) x (k+1) block,
    // touching only its upper triangle.
    const int kk = k - kstep + 1;
    if (kp != kk) {
      for (int i = 0; i < kp; ++i) std::swap(A(i, kk), A(i, kp));
      for (int j = kp + 1; j < kk; ++j) std::swap(A(j, kk), A(kp, j));
      std::swap(A(kk, kk), A(kp, kp));
      if (kstep == 2) std::swap(A(k - 1, k), A(kp, k));
    }

    if (kstep == 1) {
      // A(0:k-1, 0:k-1) -= x x^T / d with x = A(0:k-1, k); then x / d is the
      // column of U.
      const float r1 = 1.0f / A(k, k);
      for (int j = k - 1; j >= 0; --j) {
        const float t = -r1 * A(j, k);
        for (int i = 0; i <= j; ++i) A(i, j) += t * A(i, k);
      }
      for (int i = 0; i < k; ++i) A(i, k) *= r1;
      ipvt[k] = kp;
    } else {
      // 2x2 block D = [d11 d12; d12 d22] at (k-1, k). The two columns of U are
      // W D^{-1} with W = A(0:k-2, k-1:k); D^{-1} written so that no entry is
      // divided twice by a small number (scaled by d12, which is the largest
      // entry of the block's column by the pivot choice).
      if (k > 1) {
        float d12 = A(k - 1, k);
        const float d22 = A(k - 1, k - 1) / d12;
        const float d11 = A(k, k) / d12;
        const float t = 1.0f / (d11 * d22 - 1.0f);
        d12 = t / d12;
        for (int j = k - 2; j >= 0; --j) {
          const float wkm1 = d12 * (d11 * A(j, k - 1) - A(j, k));
          const float wk = d12 * (d22 * A(j, k) - A(j, k - 1));
          for (int i = j; i >= 0; --i) A(i, j) -= A(i, k) * wk + A(i, k - 1) * wkm1;
          A(j, k) = wk;
          A(j, k - 1) = wkm1;
        }
      }
      ipvt[k] = ~kp;
      ipvt[k - 1] = ~kp;
    }
    k -= kstep;
  }
  return firstSingular;
}

namespace {

// sum_i a[i] x[i], i < count, in double, in eight partial sums combined in a
// fixed order: independent chains of additions, the same bits on every
// processor.
SORVAN_CLONES double ColumnDot(int count, const float* __restrict a, const float* __restrict x) {
  double sum[8] = {};
  int i = 0;
  for (; i + 8 <= count; i += 8)
    for (int j = 0; j < 8; ++j) sum[j] += static_cast<double>(a[i + j]) * x[i + j];
  for (; i < count; ++i) sum[i % 8] += static_cast<double>(a[i]) * x[i];
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

}  // namespace

// Solve with U D U^T: x := U^{-1} x (applying the interchanges from the last
// column), x := D^{-1} x, then x := U^{-T} x (interchanges from the first).
// Both triangular sweeps are organised the same way as the factorization, so
// that only the upper triangle of fac is read.
void BunchKaufmanSolveInPlace(int n, const float* fac, int ldfac, const std::int32_t* ipvt,
                              float* x) {
  auto A = [fac, ldfac](int i, int j) { return fac[i + static_cast<long long>(j) * ldfac]; };

  // U D y = b.
  int k = n - 1;
  while (k >= 0) {
    if (ipvt[k] >= 0) {
      const int kp = ipvt[k];
      if (kp != k) std::swap(x[k], x[kp]);
      const float xk = x[k];
      for (int i = 0; i < k; ++i) x[i] -= A(i, k) * xk;
      x[k] = xk / A(k, k);
      k -= 1;
    } else {
      const int kp = ~ipvt[k];
      if (kp != k - 1) std::swap(x[k - 1], x[kp]);
      const float xk = x[k], xkm1 = x[k - 1];
      for (int i = 0; i < k - 1; ++i) x[i] -= A(i, k) * xk + A(i, k - 1) * xkm1;
      // 2x2 block solve, scaled by the off-diagonal entry as in the factor.
      const double akm1k = A(k - 1, k);
      const double akm1 = A(k - 1, k - 1) / akm1k;
      const double ak = A(k, k) / akm1k;
      const double denom = akm1 * ak - 1.0;
      const double bkm1 = xkm1 / akm1k;
      const double bk = xk / akm1k;
      x[k - 1] = static_cast<float>((ak * bkm1 - bk) / denom);
      x[k] = static_cast<float>((akm1 * bk - bkm1) / denom);
      k -= 2;
    }
  }

  // U^T x = y.
  k = 0;
  while (k < n) {
    const bool single = ipvt[k] >= 0;
    const int width = single ? 1 : 2;
    for (int c = k; c < k + width; ++c)
      x[c] = static_cast<float>(x[c] - ColumnDot(k, fac + static_cast<long long>(c) * ldfac, x));
    const int kp = single ? ipvt[k] : ~ipvt[k];
    if (kp != k) std::swap(x[k], x[kp]);
    k += width;
  }
}

void SymmetricFactor(int n, const float* a, int lda, float* fac, int ldfac, std::int32_t* ipvt) {
  ServiceCall call("LFTSF");
  MessageValues v;
  v.i1 = n;
  if (n <= 0) {
    ReportError(5, 1,
                FormatMessage("The order of the matrix must be positive while N = %(I1) is given.",
                              v));
    return;
  }
  if (n > lda) return ReportLeadingDimension(n, lda, "LDA");
  if (n > ldfac) return ReportLeadingDimension(n, ldfac, "LDFAC");

  if (fac != a) {
    for (int j = 0; j < n; ++j)
      for (int i = 0; i <= j; ++i)
        fac[i + static_cast<long long>(j) * ldfac] = a[i + static_cast<long long>(j) * lda];
  }
  // The blocked form of the same factorization (blocked_bunch_kaufman.h).
  const int singular = BlockedBunchKaufmanFactorInPlace(n, fac, ldfac, ipvt, WorkerCount());
  if (singular != 0) {
    v.i1 = singular;
    ReportError(4, 2,
                FormatMessage("The input matrix is singular because pivot block %(I1) is "
                              "singular.",
                              v));
  }
}

void SymmetricSolve(int n, const float* fac, int ldfac, const std::int32_t* ipvt, const float* b,
                    float* x) {
  ServiceCall call("LFSSF");
  if (n <= 0) {
    MessageValues v;
    v.i1 = n;
    ReportError(5, 1,
                FormatMessage("The number of equations must be positive while N = %(I1) is "
                              "given.",
                              v));
    return;
  }
  if (n > ldfac) return ReportLeadingDimension(n, ldfac, "LDFAC");
  if (x != b)
    for (int i = 0; i < n; ++i) x[i] = b[i];
  BunchKaufmanSolveInPlace(n, fac, ldfac, ipvt, x);
}

}  // namespace kriging

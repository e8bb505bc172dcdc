#pragma once
// Symmetric indefinite factorization A = U D U^T by Bunch-Kaufman diagonal
// pivoting (partial pivoting, alpha = (1 + sqrt 17) / 8), and its solve.
//
// Storage (0-based, column-major, leading dimension ldfac >= n):
//   the factor occupies the upper triangle of fac: D's 1x1 diagonal entries
//   and the upper triangles of its 2x2 blocks (fac(k-1,k-1), fac(k-1,k),
//   fac(k,k)), and above them the multipliers of U (U's unit diagonal is not
//   stored). The strict lower triangle of fac is never read or written.
//
// Pivot record ipvt[0..n-1], 0-based:
//   ipvt[k] >= 0: D(k,k) is a 1x1 block; before eliminating k, rows and
//     columns k and ipvt[k] (<= k) of the remaining leading submatrix were
//     interchanged (ipvt[k] == k: no interchange).
//   ipvt[k] == ipvt[k-1] < 0: rows/columns k-1 and k hold a 2x2 block of D;
//     before eliminating it, rows and columns k-1 and ~ipvt[k] (= -ipvt[k]-1,
//     <= k-1) were interchanged.
// Elimination runs from the last column down to the first (U D U^T form).
//
// Cost: n^3/3 multiply-adds for the factorization, 2 n^2 for a solve.
#include <cstdint>
namespace kriging {

// Factors the symmetric matrix a (n x n, leading dimension lda), of which only
// the upper triangle is read, into fac (ldfac; fac may be a: in place) and
// ipvt[n]. Reports as "LFTSF": n <= 0 or n > lda, ldfac are terminal; an
// exactly zero pivot block is fatal error 2 naming the 1-based index of that
// diagonal position. The factorization runs to the end even then, so fac and
// ipvt are complete (the zero block makes any solve meaningless).
void SymmetricFactor(int n, const float* a, int lda, float* fac, int ldfac, std::int32_t* ipvt);

// Solves A x = b with the factor; b is not changed; b and x may be the same.
// Reports as "LFSSF" (n <= 0 or n > ldfac terminal). No allocation, no
// singularity test.
void SymmetricSolve(int n, const float* fac, int ldfac, const std::int32_t* ipvt, const float* b,
                    float* x);

// The two algorithms without argument checks or messages, for the services
// that build on them. FactorInPlace overwrites the upper triangle of fac and
// returns 0, or the 1-based index of the first exactly zero pivot.
int BunchKaufmanFactorInPlace(int n, float* fac, int ldfac, std::int32_t* ipvt);
// Overwrites x (n) with A^{-1} x (the dot products of the U^T sweep are
// accumulated in double).
void BunchKaufmanSolveInPlace(int n, const float* fac, int ldfac, const std::int32_t* ipvt,
                              float* x);

}  // namespace kriging

#pragma once
#include <cstdint>
namespace kriging {
// Symmetric indefinite factorization A = U D U^T (Bunch-Kaufman diagonal
// pivoting, alpha = (1 + sqrt 17) / 8), reading only the upper triangle of A
// (n x n, column-major, leading dimension lda). fac may be a (in place).
// ipvt[n] records interchanges and 2x2 blocks. Reports as "LFTSF"; an exactly
// zero pivot block is fatal error 2.
void SymmetricFactor(int n, const float* a, int lda, float* fac, int ldfac, std::int32_t* ipvt);
// Solves A x = b with the factor; b is not changed; b and x may be the same.
// Reports as "LFSSF". No allocation.
void SymmetricSolve(int n, const float* fac, int ldfac, const std::int32_t* ipvt, const float* b,
                    float* x);
}  // namespace kriging

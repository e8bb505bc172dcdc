#pragma once
namespace kriging {
// Inverse of a symmetric positive definite matrix through its Cholesky factor
// (upper triangle of A read; the full inverse, or at least its upper triangle,
// written to ainv). ainv may be a. Reports as "LINDS".
void PositiveDefiniteInverse(int n, const float* a, int lda, float* ainv, int ldainv);
}  // namespace kriging

#pragma once
namespace kriging {
// Solves the symmetric indefinite system A x = b (upper triangle of A read) by
// factoring a copy, estimating the reciprocal L1 condition number and refining
// the solution iteratively. A and b unchanged. Reports as "LSASF".
void SymmetricSolveRefined(int n, const float* a, int lda, const float* b, float* x);
}  // namespace kriging

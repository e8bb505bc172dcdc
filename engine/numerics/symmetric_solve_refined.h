#pragma once
namespace kriging {

// Solves the symmetric indefinite system A x = b (upper triangle of A, n x n,
// leading dimension lda, read) by factoring a copy (Bunch-Kaufman, as
// SymmetricFactor), estimating the reciprocal L1 condition number (Hager-
// Higham) and refining the solution iteratively with residuals accumulated in
// double. a and b are unchanged; x may be b. Cost n^3/3 + O(n^2) per
// refinement step; n^2 floats of workspace.
// Reports as "LSASF": n <= 0, n > lda, no storage are terminal; a zero pivot
// block is fatal 2 (x is then left as it was); warnings: RCOND <= 2^-23
// "algorithmically singular", RCOND < 100 * 2^-23 "too ill-conditioned",
// and corrections that stop shrinking "too ill-conditioned for iterative
// refinement to be effective".
void SymmetricSolveRefined(int n, const float* a, int lda, const float* b, float* x);

}  // namespace kriging

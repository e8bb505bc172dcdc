#pragma once
namespace kriging {

// Inverse of a symmetric positive definite matrix through its Cholesky factor
// R^T R (A^{-1} = R^{-1} R^{-T}), computed in a double work copy. Reads the
// upper triangle of a (n x n, leading dimension lda); writes the full
// symmetric inverse (both triangles) to ainv (leading dimension ldainv);
// ainv may be a. Cost n^3/2 multiply-adds (blocked, shared over
// WorkerCount() threads); workspace one n x n double matrix (the factor, its
// inverse and A^{-1} in turn) and (2 + 2 threads) 96 n doubles of packed
// blocks: about 0.85 GB at n = 10000 on two threads.
// Reports as "LINDS": n <= 0, n > lda or ldainv, no storage are terminal; a
// leading submatrix that is not positive definite is fatal 2 (ainv is then
// left as it was); RCOND = 1 / (||A||_1 ||A^{-1}||_1) <= 2^-23 gives the
// "algorithmically singular" warning, RCOND < 100 * 2^-23 the
// "too ill-conditioned" warning (the inverse is returned in both cases).
void PositiveDefiniteInverse(int n, const float* a, int lda, float* ainv, int ldainv);

}  // namespace kriging

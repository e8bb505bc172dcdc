#pragma once
// Inverse of a symmetric positive definite matrix through its Cholesky factor,
// A = R^T R, A^{-1} = R^{-1} R^{-T}, in three blocked phases on a double work
// matrix (the dense libraries' potrf, trtri and lauum, right-looking, in
// column blocks of kCholeskyBlock):
//   1. R: factor the diagonal block, solve the block row beside it, update the
//      trailing matrix with a packed matrix-matrix product;
//   2. T = R^{-1}: T11 known, the block column beside it is -T11 R12 T22;
//   3. T T^T: block column J is T(0:je, jb:n) T(J, jb:n)^T.
// Every product runs on the register tiles of simd_kernels.h, shared over
// threads by independent blocks of rows or columns, so the result is the same
// bit for bit for any number of threads. R, then R^{-1}, then the inverse
// overwrite r itself; each block of rows of R^{-1} is packed when a product
// needs it, so no second n x n matrix is held.
//
// r: n x n doubles, column-major, leading dimension ld. On entry its upper
// triangle holds A and its strict lower triangle must be zero (it stays
// zero: the phases use it as the zeros of the triangular factors). Cost:
// n^3/2 multiply-adds; workspace about (2 + 2 threads) n kCholeskyBlock
// doubles (packed blocks), nothing of order n^2.
#include <cstddef>

namespace kriging {

inline constexpr int kCholeskyBlock = 96;

// Overwrites the upper triangle of r with that of A^{-1} and returns 0; or,
// when the leading j x j submatrix is not positive definite (a pivot <= 0 or
// NaN at column j, 1-based), returns j with r partly overwritten.
int BlockedCholeskyInverseInPlace(int n, double* r, std::size_t ld, int workers);

}  // namespace kriging

#pragma once
// Strided vector and matrix kernels on 32-bit floats, with the meaning of the
// standard BLAS kernels named beside each (0-based pointers; a negative stride
// walks the vector from its far end, as in the BLAS: the first element used
// is x[(1 - n) * incx]). A non-positive count does nothing; a sum or product
// over no terms is 0. Sums are accumulated in float.
namespace kriging {

float DotProduct(int n, const float* x, int incx, const float* y, int incy);      // SDOT
void CopyVector(int n, const float* x, int incx, float* y, int incy);             // SCOPY
void FillVector(int n, float value, float* v, int incv);
void FillIntegerVector(int n, int value, int* v, int incv);
void ScaledAdd(int n, float a, const float* x, int incx, float* y, int incy);     // SAXPY, y += a x; nothing when a = 0
float PlainSum(int n, const float* x, int incx);                                  // sum x(i), no absolute values

// SGEMV: y = alpha op(A) x + beta y; trans "N", "T" or "C" (either case);
// A is m x n, column-major, leading dimension lda >= max(1, m). beta = 0
// clears y without reading it. Reports as "SGEMV": a bad selector, a
// negative count, lda too small or a zero stride is a terminal error
// naming the argument.
void MatrixVectorProduct(const char* trans, int m, int n, float alpha, const float* a, int lda,
                         const float* x, int incx, float beta, float* y, int incy);

// SGEMM: C = alpha op(A) op(B) + beta C; C is m x n, op(A) m x k, op(B) k x n.
// Reports as "SGEMM", with the same argument checks.
void MatrixMatrixProduct(const char* transA, const char* transB, int m, int n, int k, float alpha,
                         const float* a, int lda, const float* b, int ldb, float beta, float* c,
                         int ldc);

}  // namespace kriging

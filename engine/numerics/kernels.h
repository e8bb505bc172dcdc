#pragma once
// Strided vector and matrix kernels on 32-bit floats (0-based pointers; a
// negative stride walks the vector from its far end, as in the BLAS).
namespace kriging {
float DotProduct(int n, const float* x, int incx, const float* y, int incy);
void CopyVector(int n, const float* x, int incx, float* y, int incy);
void FillVector(int n, float value, float* v, int incv);
void FillIntegerVector(int n, int value, int* v, int incv);
void ScaledAdd(int n, float a, const float* x, int incx, float* y, int incy);  // y += a*x
float PlainSum(int n, const float* x, int incx);
// y = alpha*op(A)*x + beta*y; trans "N", "T" or "C"; A is m x n, column-major.
void MatrixVectorProduct(const char* trans, int m, int n, float alpha, const float* a, int lda,
                         const float* x, int incx, float beta, float* y, int incy);
// C = alpha*op(A)*op(B) + beta*C; C is m x n.
void MatrixMatrixProduct(const char* transA, const char* transB, int m, int n, int k, float alpha,
                         const float* a, int lda, const float* b, int ldb, float beta, float* c,
                         int ldc);
}  // namespace kriging

#include "numerics/kernels.h"

#include <cctype>

#include "numerics/error_service.h"

namespace kriging {
namespace {

// Index of the first element a strided walk of n elements touches: with a
// negative stride the walk starts at the far end, as in the reference BLAS.
inline long long Start(int n, int inc) { return inc < 0 ? static_cast<long long>(1 - n) * inc : 0; }

char TransposeCode(const char* trans) {
  if (trans == nullptr) return '?';
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(trans[0])));
  return (c == 'N' || c == 'T' || c == 'C') ? c : '?';
}

// Argument checks shared by the matrix kernels; each reports one terminal
// error naming the argument and returns false.
bool CheckTranspose(const char* name, const char* trans) {
  if (TransposeCode(trans) != '?') return true;
  MessageValues v;
  v.l1 = trans == nullptr ? std::string() : std::string(1, trans[0]);
  ReportError(5, 1,
              FormatMessage(std::string(name) +
                                " must be equal to N, T or C while " + name + " = %(L1) is given.",
                            v));
  return false;
}

bool CheckCount(const char* name, int value) {
  if (value >= 0) return true;
  MessageValues v;
  v.i1 = value;
  ReportError(5, 2,
              FormatMessage(std::string(name) + " must be greater than or equal to zero while " +
                                name + " = %(I1) is given.",
                            v));
  return false;
}

bool CheckStride(const char* name, int value) {
  if (value != 0) return true;
  MessageValues v;
  v.i1 = value;
  ReportError(5, 3,
              FormatMessage(std::string(name) + " must not be equal to zero while " + name +
                                " = %(I1) is given.",
                            v));
  return false;
}

bool CheckLeading(const char* name, int ld, const char* rowsName, int rows) {
  if (ld > 0 && ld >= rows) return true;
  MessageValues v;
  v.i1 = ld;
  v.i2 = rows;
  ReportError(5, 4,
              FormatMessage(std::string(name) + " must be greater than or equal to " + rowsName +
                                " and greater than zero while " + name + " = %(I1) and " +
                                rowsName + " = %(I2) are given.",
                            v));
  return false;
}

}  // namespace

float DotProduct(int n, const float* x, int incx, const float* y, int incy) {
  if (n <= 0) return 0.0f;
  long long ix = Start(n, incx), iy = Start(n, incy);
  float sum = 0.0f;
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) sum += x[ix] * y[iy];
  return sum;
}

void CopyVector(int n, const float* x, int incx, float* y, int incy) {
  if (n <= 0) return;
  long long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = x[ix];
}

void FillVector(int n, float value, float* v, int incv) {
  if (n <= 0) return;
  long long iv = Start(n, incv);
  for (int i = 0; i < n; ++i, iv += incv) v[iv] = value;
}

void FillIntegerVector(int n, int value, int* v, int incv) {
  if (n <= 0) return;
  long long iv = Start(n, incv);
  for (int i = 0; i < n; ++i, iv += incv) v[iv] = value;
}

void ScaledAdd(int n, float a, const float* x, int incx, float* y, int incy) {
  if (n <= 0 || a == 0.0f) return;
  long long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] += a * x[ix];
}

float PlainSum(int n, const float* x, int incx) {
  if (n <= 0) return 0.0f;
  long long ix = Start(n, incx);
  float sum = 0.0f;
  for (int i = 0; i < n; ++i, ix += incx) sum += x[ix];
  return sum;
}

void MatrixVectorProduct(const char* trans, int m, int n, float alpha, const float* a, int lda,
                         const float* x, int incx, float beta, float* y, int incy) {
  ServiceCall call("SGEMV");
  if (!CheckTranspose("TRANS", trans) || !CheckCount("M", m) || !CheckCount("N", n) ||
      !CheckLeading("LDA", lda, "M", m) || !CheckStride("INCX", incx) ||
      !CheckStride("INCY", incy))
    return;
  const bool plain = TransposeCode(trans) == 'N';
  const int lenx = plain ? n : m;
  const int leny = plain ? m : n;
  if (m == 0 || n == 0 || (alpha == 0.0f && beta == 1.0f)) return;

  // y = beta*y first; beta = 0 clears y without reading it (it may be unset).
  long long iy = Start(leny, incy);
  for (int i = 0; i < leny; ++i, iy += incy) y[iy] = beta == 0.0f ? 0.0f : beta * y[iy];
  if (alpha == 0.0f) return;

  if (plain) {
    // Column by column: y += (alpha x_j) A(:, j).
    long long jx = Start(lenx, incx);
    for (int j = 0; j < n; ++j, jx += incx) {
      const float t = alpha * x[jx];
      const float* col = a + static_cast<long long>(j) * lda;
      iy = Start(leny, incy);
      for (int i = 0; i < m; ++i, iy += incy) y[iy] += t * col[i];
    }
  } else {
    // y_j += alpha A(:, j) . x
    iy = Start(leny, incy);
    for (int j = 0; j < n; ++j, iy += incy) {
      const float* col = a + static_cast<long long>(j) * lda;
      long long ix = Start(lenx, incx);
      float t = 0.0f;
      for (int i = 0; i < m; ++i, ix += incx) t += col[i] * x[ix];
      y[iy] += alpha * t;
    }
  }
}

void MatrixMatrixProduct(const char* transA, const char* transB, int m, int n, int k, float alpha,
                         const float* a, int lda, const float* b, int ldb, float beta, float* c,
                         int ldc) {
  ServiceCall call("SGEMM");
  if (!CheckTranspose("TRANSA", transA) || !CheckTranspose("TRANSB", transB)) return;
  const bool plainA = TransposeCode(transA) == 'N';
  const bool plainB = TransposeCode(transB) == 'N';
  if (!CheckCount("M", m) || !CheckCount("N", n) || !CheckCount("K", k) ||
      !CheckLeading("LDA", lda, plainA ? "M" : "K", plainA ? m : k) ||
      !CheckLeading("LDB", ldb, plainB ? "K" : "N", plainB ? k : n) ||
      !CheckLeading("LDC", ldc, "M", m))
    return;
  if (m == 0 || n == 0) return;
  // op(A)(i, l) and op(B)(l, j) read straight from the column-major storage.
  auto opA = [&](int i, int l) {
    return plainA ? a[i + static_cast<long long>(l) * lda] : a[l + static_cast<long long>(i) * lda];
  };
  auto opB = [&](int l, int j) {
    return plainB ? b[l + static_cast<long long>(j) * ldb] : b[j + static_cast<long long>(l) * ldb];
  };
  for (int j = 0; j < n; ++j) {
    float* cj = c + static_cast<long long>(j) * ldc;
    for (int i = 0; i < m; ++i) {
      float t = 0.0f;
      if (alpha != 0.0f)
        for (int l = 0; l < k; ++l) t += opA(i, l) * opB(l, j);
      cj[i] = (beta == 0.0f ? 0.0f : beta * cj[i]) + alpha * t;
    }
  }
}

}  // namespace kriging

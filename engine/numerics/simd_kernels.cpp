#include "numerics/simd_kernels.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kriging {
namespace {

// Portable tile: the same sums in the same order as the vector kernel except
// for the fused rounding.
template <class T>
void TilePortable(int k, const T* a, const T* b, T* c, std::size_t ldc) {
  constexpr int R = TileRows<T>;
  T acc[kTileColumns][R];
  for (int j = 0; j < kTileColumns; ++j)
    for (int r = 0; r < R; ++r) acc[j][r] = c[r + j * ldc];
  for (int l = 0; l < k; ++l) {
    const T* al = a + static_cast<std::size_t>(l) * R;
    const T* bl = b + static_cast<std::size_t>(l) * kTileColumns;
    for (int j = 0; j < kTileColumns; ++j)
      for (int r = 0; r < R; ++r) acc[j][r] -= al[r] * bl[j];
  }
  for (int j = 0; j < kTileColumns; ++j)
    for (int r = 0; r < R; ++r) c[r + j * ldc] = acc[j][r];
}

// 16 x 6 float tile in twelve 8-lane accumulators.
__attribute__((target("avx2,fma"))) void TileAvx2(int k, const float* a, const float* b,
                                                   float* c, std::size_t ldc) {
  __m256 c0[kTileColumns], c1[kTileColumns];
  for (int j = 0; j < kTileColumns; ++j) {
    c0[j] = _mm256_loadu_ps(c + j * ldc);
    c1[j] = _mm256_loadu_ps(c + j * ldc + 8);
  }
  for (int l = 0; l < k; ++l) {
    const __m256 a0 = _mm256_loadu_ps(a);
    const __m256 a1 = _mm256_loadu_ps(a + 8);
    for (int j = 0; j < kTileColumns; ++j) {
      const __m256 bj = _mm256_broadcast_ss(b + j);
      c0[j] = _mm256_fnmadd_ps(a0, bj, c0[j]);
      c1[j] = _mm256_fnmadd_ps(a1, bj, c1[j]);
    }
    a += 16;
    b += kTileColumns;
  }
  for (int j = 0; j < kTileColumns; ++j) {
    _mm256_storeu_ps(c + j * ldc, c0[j]);
    _mm256_storeu_ps(c + j * ldc + 8, c1[j]);
  }
}

// 8 x 6 double tile in twelve 4-lane accumulators.
__attribute__((target("avx2,fma"))) void TileAvx2(int k, const double* a, const double* b,
                                                   double* c, std::size_t ldc) {
  __m256d c0[kTileColumns], c1[kTileColumns];
  for (int j = 0; j < kTileColumns; ++j) {
    c0[j] = _mm256_loadu_pd(c + j * ldc);
    c1[j] = _mm256_loadu_pd(c + j * ldc + 4);
  }
  for (int l = 0; l < k; ++l) {
    const __m256d a0 = _mm256_loadu_pd(a);
    const __m256d a1 = _mm256_loadu_pd(a + 4);
    for (int j = 0; j < kTileColumns; ++j) {
      const __m256d bj = _mm256_broadcast_sd(b + j);
      c0[j] = _mm256_fnmadd_pd(a0, bj, c0[j]);
      c1[j] = _mm256_fnmadd_pd(a1, bj, c1[j]);
    }
    a += 8;
    b += kTileColumns;
  }
  for (int j = 0; j < kTileColumns; ++j) {
    _mm256_storeu_pd(c + j * ldc, c0[j]);
    _mm256_storeu_pd(c + j * ldc + 4, c1[j]);
  }
}

bool SelectAvx2Fma() {
  const char* choice = std::getenv("SORVAN_SIMD");
  if (choice != nullptr && std::strcmp(choice, "portable") == 0) return false;
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

const bool kAvx2Fma = SelectAvx2Fma();

template <class T>
void Tile(int k, const T* a, const T* b, T* c, std::size_t ldc) {
  if (kAvx2Fma)
    TileAvx2(k, a, b, c, ldc);
  else
    TilePortable(k, a, b, c, ldc);
}

}  // namespace

bool UsesAvx2Fma() { return kAvx2Fma; }

template <class T>
void PackRowSlivers(int rows, int k, const T* src, std::size_t ld, T* dst) {
  constexpr int R = TileRows<T>;
  for (int s = 0; s * R < rows; ++s) {
    const int valid = std::min(R, rows - s * R);
    T* out = dst + static_cast<std::size_t>(s) * R * k;
    for (int l = 0; l < k; ++l) {
      const T* column = src + s * R + l * ld;
      for (int r = 0; r < valid; ++r) out[l * R + r] = column[r];
      for (int r = valid; r < R; ++r) out[l * R + r] = T(0);
    }
  }
}

template <class T>
void PackColumnSlivers(int k, int cols, const T* src, std::size_t ld, bool transposed, T* dst) {
  constexpr int C = kTileColumns;
  for (int t = 0; t * C < cols; ++t) {
    const int valid = std::min(C, cols - t * C);
    T* out = dst + static_cast<std::size_t>(t) * C * k;
    for (int l = 0; l < k; ++l) {
      for (int c = 0; c < valid; ++c) {
        const std::size_t col = static_cast<std::size_t>(t * C + c);
        out[l * C + c] = transposed ? src[col + l * ld] : src[l + col * ld];
      }
      for (int c = valid; c < C; ++c) out[l * C + c] = T(0);
    }
  }
}

template <class T>
void SubtractPackedProduct(int rows, int cols, int k, const T* a, const T* b, T* c,
                           std::size_t ldc) {
  constexpr int R = TileRows<T>, C = kTileColumns;
  if (k <= 0) return;
  // A row sliver (R x k) stays in the first-level cache while the column
  // slivers of B stream past it from the second level.
  for (int s = 0; s * R < rows; ++s) {
    const int validRows = std::min(R, rows - s * R);
    const T* as = a + static_cast<std::size_t>(s) * R * k;
    for (int t = 0; t * C < cols; ++t) {
      const int validCols = std::min(C, cols - t * C);
      const T* bt = b + static_cast<std::size_t>(t) * C * k;
      T* cs = c + s * R + static_cast<std::size_t>(t) * C * ldc;
      if (validRows == R && validCols == C) {
        Tile(k, as, bt, cs, ldc);
      } else {
        // Edge tile: through a whole tile on the stack.
        T tile[R * C] = {};
        for (int j = 0; j < validCols; ++j)
          for (int r = 0; r < validRows; ++r) tile[r + j * R] = cs[r + j * ldc];
        Tile(k, as, bt, tile, R);
        for (int j = 0; j < validCols; ++j)
          for (int r = 0; r < validRows; ++r) cs[r + j * ldc] = tile[r + j * R];
      }
    }
  }
}

template void PackRowSlivers<float>(int, int, const float*, std::size_t, float*);
template void PackRowSlivers<double>(int, int, const double*, std::size_t, double*);
template void PackColumnSlivers<float>(int, int, const float*, std::size_t, bool, float*);
template void PackColumnSlivers<double>(int, int, const double*, std::size_t, bool, double*);
template void SubtractPackedProduct<float>(int, int, int, const float*, const float*, float*,
                                           std::size_t);
template void SubtractPackedProduct<double>(int, int, int, const double*, const double*,
                                            double*, std::size_t);

}  // namespace kriging

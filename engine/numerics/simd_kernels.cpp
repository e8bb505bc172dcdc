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

// The register tiles below name their twelve accumulators one by one: held
// in arrays, the compiler keeps storing them to the stack on every step.
#define SORVAN_TILE_BODY(VEC, LOAD, STORE, BROADCAST, FNMADD, HALF)                    \
  VEC c00 = LOAD(c), c01 = LOAD(c + HALF), c10 = LOAD(c + ldc),                         \
      c11 = LOAD(c + ldc + HALF), c20 = LOAD(c + 2 * ldc), c21 = LOAD(c + 2 * ldc + HALF), \
      c30 = LOAD(c + 3 * ldc), c31 = LOAD(c + 3 * ldc + HALF), c40 = LOAD(c + 4 * ldc),    \
      c41 = LOAD(c + 4 * ldc + HALF), c50 = LOAD(c + 5 * ldc), c51 = LOAD(c + 5 * ldc + HALF); \
  for (int l = 0; l < k; ++l) {                                                         \
    const VEC a0 = LOAD(a), a1 = LOAD(a + HALF);                                         \
    VEC bj = BROADCAST(b);                                                              \
    c00 = FNMADD(a0, bj, c00), c01 = FNMADD(a1, bj, c01);                               \
    bj = BROADCAST(b + 1);                                                              \
    c10 = FNMADD(a0, bj, c10), c11 = FNMADD(a1, bj, c11);                               \
    bj = BROADCAST(b + 2);                                                              \
    c20 = FNMADD(a0, bj, c20), c21 = FNMADD(a1, bj, c21);                               \
    bj = BROADCAST(b + 3);                                                              \
    c30 = FNMADD(a0, bj, c30), c31 = FNMADD(a1, bj, c31);                               \
    bj = BROADCAST(b + 4);                                                              \
    c40 = FNMADD(a0, bj, c40), c41 = FNMADD(a1, bj, c41);                               \
    bj = BROADCAST(b + 5);                                                              \
    c50 = FNMADD(a0, bj, c50), c51 = FNMADD(a1, bj, c51);                               \
    a += 2 * HALF;                                                                      \
    b += kTileColumns;                                                                  \
  }                                                                                     \
  STORE(c, c00), STORE(c + HALF, c01), STORE(c + ldc, c10), STORE(c + ldc + HALF, c11);  \
  STORE(c + 2 * ldc, c20), STORE(c + 2 * ldc + HALF, c21), STORE(c + 3 * ldc, c30);      \
  STORE(c + 3 * ldc + HALF, c31), STORE(c + 4 * ldc, c40), STORE(c + 4 * ldc + HALF, c41); \
  STORE(c + 5 * ldc, c50), STORE(c + 5 * ldc + HALF, c51);

// 16 x 6 float tile in twelve 8-lane accumulators.
__attribute__((target("avx2,fma"))) void TileAvx2(int k, const float* a, const float* b,
                                                   float* c, std::size_t ldc) {
  SORVAN_TILE_BODY(__m256, _mm256_loadu_ps, _mm256_storeu_ps, _mm256_broadcast_ss,
                   _mm256_fnmadd_ps, 8)
}

// 8 x 6 double tile in twelve 4-lane accumulators.
__attribute__((target("avx2,fma"))) void TileAvx2(int k, const double* a, const double* b,
                                                   double* c, std::size_t ldc) {
  SORVAN_TILE_BODY(__m256d, _mm256_loadu_pd, _mm256_storeu_pd, _mm256_broadcast_sd,
                   _mm256_fnmadd_pd, 4)
}

#undef SORVAN_TILE_BODY

// 16 x 6 float tile in six 16-lane accumulators: each entry takes the same
// fused multiply-adds in the same order as in the AVX2 tile (same bits).
__attribute__((target("avx512f"))) void TileAvx512(int k, const float* a, const float* b,
                                                   float* c, std::size_t ldc) {
  __m512 c0 = _mm512_loadu_ps(c), c1 = _mm512_loadu_ps(c + ldc),
         c2 = _mm512_loadu_ps(c + 2 * ldc), c3 = _mm512_loadu_ps(c + 3 * ldc),
         c4 = _mm512_loadu_ps(c + 4 * ldc), c5 = _mm512_loadu_ps(c + 5 * ldc);
  for (int l = 0; l < k; ++l) {
    const __m512 al = _mm512_loadu_ps(a);
    c0 = _mm512_fnmadd_ps(al, _mm512_set1_ps(b[0]), c0);
    c1 = _mm512_fnmadd_ps(al, _mm512_set1_ps(b[1]), c1);
    c2 = _mm512_fnmadd_ps(al, _mm512_set1_ps(b[2]), c2);
    c3 = _mm512_fnmadd_ps(al, _mm512_set1_ps(b[3]), c3);
    c4 = _mm512_fnmadd_ps(al, _mm512_set1_ps(b[4]), c4);
    c5 = _mm512_fnmadd_ps(al, _mm512_set1_ps(b[5]), c5);
    a += 16;
    b += kTileColumns;
  }
  _mm512_storeu_ps(c, c0), _mm512_storeu_ps(c + ldc, c1), _mm512_storeu_ps(c + 2 * ldc, c2);
  _mm512_storeu_ps(c + 3 * ldc, c3), _mm512_storeu_ps(c + 4 * ldc, c4);
  _mm512_storeu_ps(c + 5 * ldc, c5);
}

// Two 16 x 6 float tiles one above the other (row slivers a and a2, one
// column sliver b) in twelve 16-lane accumulators: enough independent sums to
// keep both fused multiply-add units busy. Each entry as in TileAvx512.
__attribute__((target("avx512f"))) void TilePairAvx512(int k, const float* a, const float* a2,
                                                       const float* b, float* c,
                                                       std::size_t ldc) {
  __m512 c0 = _mm512_loadu_ps(c), c1 = _mm512_loadu_ps(c + ldc),
         c2 = _mm512_loadu_ps(c + 2 * ldc), c3 = _mm512_loadu_ps(c + 3 * ldc),
         c4 = _mm512_loadu_ps(c + 4 * ldc), c5 = _mm512_loadu_ps(c + 5 * ldc);
  float* d = c + 16;
  __m512 d0 = _mm512_loadu_ps(d), d1 = _mm512_loadu_ps(d + ldc),
         d2 = _mm512_loadu_ps(d + 2 * ldc), d3 = _mm512_loadu_ps(d + 3 * ldc),
         d4 = _mm512_loadu_ps(d + 4 * ldc), d5 = _mm512_loadu_ps(d + 5 * ldc);
  for (int l = 0; l < k; ++l) {
    const __m512 al = _mm512_loadu_ps(a), bl = _mm512_loadu_ps(a2);
    __m512 bj = _mm512_set1_ps(b[0]);
    c0 = _mm512_fnmadd_ps(al, bj, c0), d0 = _mm512_fnmadd_ps(bl, bj, d0);
    bj = _mm512_set1_ps(b[1]);
    c1 = _mm512_fnmadd_ps(al, bj, c1), d1 = _mm512_fnmadd_ps(bl, bj, d1);
    bj = _mm512_set1_ps(b[2]);
    c2 = _mm512_fnmadd_ps(al, bj, c2), d2 = _mm512_fnmadd_ps(bl, bj, d2);
    bj = _mm512_set1_ps(b[3]);
    c3 = _mm512_fnmadd_ps(al, bj, c3), d3 = _mm512_fnmadd_ps(bl, bj, d3);
    bj = _mm512_set1_ps(b[4]);
    c4 = _mm512_fnmadd_ps(al, bj, c4), d4 = _mm512_fnmadd_ps(bl, bj, d4);
    bj = _mm512_set1_ps(b[5]);
    c5 = _mm512_fnmadd_ps(al, bj, c5), d5 = _mm512_fnmadd_ps(bl, bj, d5);
    a += 16, a2 += 16;
    b += kTileColumns;
  }
  _mm512_storeu_ps(c, c0), _mm512_storeu_ps(c + ldc, c1), _mm512_storeu_ps(c + 2 * ldc, c2);
  _mm512_storeu_ps(c + 3 * ldc, c3), _mm512_storeu_ps(c + 4 * ldc, c4);
  _mm512_storeu_ps(c + 5 * ldc, c5);
  _mm512_storeu_ps(d, d0), _mm512_storeu_ps(d + ldc, d1), _mm512_storeu_ps(d + 2 * ldc, d2);
  _mm512_storeu_ps(d + 3 * ldc, d3), _mm512_storeu_ps(d + 4 * ldc, d4);
  _mm512_storeu_ps(d + 5 * ldc, d5);
}

// Two row slivers by two column slivers (32 x 12) in 24 accumulators: half
// the loads of A per multiply-add of TilePairAvx512 (about a tenth faster on
// a factor panel). Each entry as in TileAvx512.
__attribute__((target("avx512f"))) void TileQuadAvx512(int k, const float* a, const float* a2,
                                                       const float* b, const float* b2, float* c,
                                                       std::size_t ldc) {
  constexpr int C = kTileColumns;
  __m512 top[2 * C], bottom[2 * C];
#pragma GCC unroll 12
  for (int j = 0; j < 2 * C; ++j) {
    top[j] = _mm512_loadu_ps(c + j * ldc);
    bottom[j] = _mm512_loadu_ps(c + j * ldc + 16);
  }
  for (int l = 0; l < k; ++l) {
    const __m512 upper = _mm512_loadu_ps(a + 16 * l), lower = _mm512_loadu_ps(a2 + 16 * l);
#pragma GCC unroll 12
    for (int j = 0; j < 2 * C; ++j) {
      const __m512 bj = _mm512_set1_ps(j < C ? b[C * l + j] : b2[C * l + j - C]);
      top[j] = _mm512_fnmadd_ps(upper, bj, top[j]);
      bottom[j] = _mm512_fnmadd_ps(lower, bj, bottom[j]);
    }
  }
#pragma GCC unroll 12
  for (int j = 0; j < 2 * C; ++j) {
    _mm512_storeu_ps(c + j * ldc, top[j]);
    _mm512_storeu_ps(c + j * ldc + 16, bottom[j]);
  }
}

bool SelectAvx2Fma() {
  const char* choice = std::getenv("SORVAN_SIMD");
  if (choice != nullptr && std::strcmp(choice, "portable") == 0) return false;
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

const bool kAvx2Fma = SelectAvx2Fma();
// AVX-512 for the float tile where the processor has it (SORVAN_SIMD=avx2
// keeps the AVX2 one, for comparison).
const bool kAvx512 = kAvx2Fma && __builtin_cpu_supports("avx512f") &&
                     !(std::getenv("SORVAN_SIMD") != nullptr &&
                       std::strcmp(std::getenv("SORVAN_SIMD"), "avx2") == 0);

template <class T>
void Tile(int k, const T* a, const T* b, T* c, std::size_t ldc) {
  if constexpr (sizeof(T) == 4) {
    if (kAvx512) return TileAvx512(k, a, b, c, ldc);
  }
  if (kAvx2Fma)
    TileAvx2(k, a, b, c, ldc);
  else
    TilePortable(k, a, b, c, ldc);
}

// Rows l0..l0+15 of a whole float sliver (six columns of a column-major
// block) into its packed form, out[6 l + c] = column c at row l: the columns
// are paired row by row (two-source permutes), then the three pairs of a row
// placed side by side (a permute of two pairs and a masked one of the third),
// 64 bits at a time.
__attribute__((target("avx512f"))) void PackSixteenRowsAvx512(const float* src, std::size_t ld,
                                                              float* out) {
  static_assert(kTileColumns == 6, "the permutes interleave six columns");
  struct Indices {
    alignas(64) std::int32_t pairs[2][16];    // rows 0-7 or 8-15 of two columns
    alignas(64) std::int64_t firstTwo[3][8];  // pairs 0 and 1 of units 8 m .. 8 m + 7
    alignas(64) std::int64_t third[3][8];     // pair 2 of those units
    __mmask8 fromThird[3];
    Indices() {
      for (int half = 0; half < 2; ++half)
        for (int i = 0; i < 16; ++i) pairs[half][i] = (i % 2) * 16 + 8 * half + i / 2;
      for (int m = 0; m < 3; ++m) {
        fromThird[m] = 0;
        for (int j = 0; j < 8; ++j) {
          const int unit = 8 * m + j, row = unit / 3, pair = unit % 3;
          firstTwo[m][j] = (pair == 1 ? 8 : 0) + row;
          third[m][j] = row;
          if (pair == 2) fromThird[m] |= static_cast<__mmask8>(1u << j);
        }
      }
    }
  };
  static const Indices indices;
  __m512d pairs[3][2];
  for (int p = 0; p < 3; ++p) {
    const __m512 a = _mm512_loadu_ps(src + 2 * p * ld), b = _mm512_loadu_ps(src + (2 * p + 1) * ld);
    for (int half = 0; half < 2; ++half)
      pairs[p][half] =
          _mm512_castps_pd(_mm512_permutex2var_ps(a, _mm512_load_si512(indices.pairs[half]), b));
  }
  for (int half = 0; half < 2; ++half) {
    for (int m = 0; m < 3; ++m) {
      __m512d v = _mm512_permutex2var_pd(pairs[0][half], _mm512_load_si512(indices.firstTwo[m]),
                                         pairs[1][half]);
      v = _mm512_mask_permutexvar_pd(v, indices.fromThird[m], _mm512_load_si512(indices.third[m]),
                                     pairs[2][half]);
      _mm512_storeu_pd(reinterpret_cast<double*>(out + 16 * (3 * half + m)), v);
    }
  }
}

}  // namespace

bool UsesAvx2Fma() { return kAvx2Fma; }
bool UsesAvx512() { return kAvx512; }

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
void PackRowSliversTransposed(int rows, int k, const T* src, std::size_t ld, T* dst) {
  constexpr int R = TileRows<T>;
  for (int s = 0; s * R < rows; ++s) {
    const int valid = std::min(R, rows - s * R);
    T* out = dst + static_cast<std::size_t>(s) * R * k;
    for (int r = 0; r < valid; ++r) {
      const T* row = src + (s * R + r) * ld;
      for (int l = 0; l < k; ++l) out[l * R + r] = row[l];
    }
    for (int r = valid; r < R; ++r)
      for (int l = 0; l < k; ++l) out[l * R + r] = T(0);
  }
}

template <class T>
void PackColumnSlivers(int k, int cols, const T* src, std::size_t ld, bool transposed, T* dst) {
  constexpr int C = kTileColumns;
  for (int t = 0; t * C < cols; ++t) {
    const int valid = std::min(C, cols - t * C);
    T* out = dst + static_cast<std::size_t>(t) * C * k;
    int first = 0;
    if constexpr (sizeof(T) == 4) {
      if (kAvx512 && !transposed && valid == C) {
        const T* block = src + static_cast<std::size_t>(t) * C * ld;
        for (; first + 16 <= k; first += 16)
          PackSixteenRowsAvx512(block + first, ld, out + first * C);
      }
    }
    for (int l = first; l < k; ++l) {
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
  // slivers of B stream past it from the second level; with the AVX-512
  // float tile, two row slivers at a time, and two column slivers where
  // there are two.
  auto tile = [&](int s, int t) {
    const int validRows = std::min(R, rows - s * R);
    const int validCols = std::min(C, cols - t * C);
    const T* as = a + static_cast<std::size_t>(s) * R * k;
    const T* bt = b + static_cast<std::size_t>(t) * C * k;
    T* cs = c + s * R + static_cast<std::size_t>(t) * C * ldc;
    if (validRows == R && validCols == C) {
      Tile(k, as, bt, cs, ldc);
    } else {
      // Edge tile: through a whole tile on the stack.
      T whole[R * C] = {};
      for (int j = 0; j < validCols; ++j)
        for (int r = 0; r < validRows; ++r) whole[r + j * R] = cs[r + j * ldc];
      Tile(k, as, bt, whole, R);
      for (int j = 0; j < validCols; ++j)
        for (int r = 0; r < validRows; ++r) cs[r + j * ldc] = whole[r + j * R];
    }
  };
  for (int s = 0; s * R < rows; ++s) {
    bool pair = false;
    if constexpr (sizeof(T) == 4) pair = kAvx512 && (s + 2) * R <= rows;
    for (int t = 0; t * C < cols; ++t) {
      if (!pair) {
        tile(s, t);
        continue;
      }
      if constexpr (sizeof(T) == 4) {
        if ((t + 2) * C <= cols) {
          const T* as = a + static_cast<std::size_t>(s) * R * k;
          const T* bt = b + static_cast<std::size_t>(t) * C * k;
          TileQuadAvx512(k, as, as + static_cast<std::size_t>(R) * k, bt,
                         bt + static_cast<std::size_t>(C) * k,
                         c + s * R + static_cast<std::size_t>(t) * C * ldc, ldc);
          ++t;
          continue;
        }
        if ((t + 1) * C <= cols) {
          const T* as = a + static_cast<std::size_t>(s) * R * k;
          TilePairAvx512(k, as, as + static_cast<std::size_t>(R) * k,
                         b + static_cast<std::size_t>(t) * C * k,
                         c + s * R + static_cast<std::size_t>(t) * C * ldc, ldc);
          continue;
        }
      }
      tile(s, t), tile(s + 1, t);
    }
    if (pair) ++s;
  }
}

template void PackRowSlivers<float>(int, int, const float*, std::size_t, float*);
template void PackRowSlivers<double>(int, int, const double*, std::size_t, double*);
template void PackRowSliversTransposed<float>(int, int, const float*, std::size_t, float*);
template void PackRowSliversTransposed<double>(int, int, const double*, std::size_t, double*);
template void PackColumnSlivers<float>(int, int, const float*, std::size_t, bool, float*);
template void PackColumnSlivers<double>(int, int, const double*, std::size_t, bool, double*);
template void SubtractPackedProduct<float>(int, int, int, const float*, const float*, float*,
                                           std::size_t);
template void SubtractPackedProduct<double>(int, int, int, const double*, const double*,
                                            double*, std::size_t);

}  // namespace kriging

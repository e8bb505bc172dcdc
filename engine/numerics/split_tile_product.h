#pragma once
// Single-precision products C -= A B on the processor's tile unit (AMX),
// whose bfloat16 dot products run at about fourteen times the rate of the
// AVX-512 float multiply-adds.
//
// Each float is split exactly into three bfloat16 parts, a = a0 + a1 + a2
// (eight significant bits each, each part rounded to nearest from what the
// parts before it leave; the conversion and the tile unit flush subnormal
// numbers, so only parts below about 1e-38 are lost). Of the nine part products of a b the six with
// i + j <= 2 are kept: the three left out come to about 2^-26 of |a b|,
// below the float rounding. The parts' products are exact and add up in
// float, so a product costs six tile dot products and still runs at more
// than twice the float peak, with float accuracy (a sum of k products takes
// 6 k roundings instead of k, each of the size of the running sum's).
//
// Packed layouts, in blocks of 16 x 32 bfloat16 (one tile, 1 KB), with
// zeros beyond the matrix:
//   rows of A (rows x k), negated: block ((s * 3 + p) * chunks(k) + q)
//     holds, at [r * 32 + 2 i + j], part p of -A(16 s + i, 32 q + 2 r + j)
//     (the tile unit's pair-interleaved operand);
//   columns of B (depth x cols): block ((g * 3 + p) * chunks(depth) + q)
//     holds, at [m * 32 + l], part p of B(32 q + l, 16 g + m);
// with chunks(k) = ceil(k / 32). Row and column blocks are counted in pairs
// (rows and cols rounded up to 32), so that every step works on two by two
// tiles. The packed columns of B can be filled and used a range of its rows
// at a time (a solve packs its solution as it goes).
#include <cstddef>
#include <cstdint>

namespace kriging {

// True when the products run on the tile unit: the processor has AMX-BF16,
// AVX512-BF16 and AVX512-BW, the kernel grants the tile state to the
// process, and SORVAN_SIMD is not set to "avx512", "avx2" or "portable".
bool UsesSplitTiles();

// bfloat16 entries of the packed forms.
std::size_t SplitPackedRowsSize(int rows, int k);
std::size_t SplitPackedColumnsSize(int depth, int cols);

// Packs -A, A(i, l) = src[i + l*ld], i < rows, l < k.
void PackSplitRows(int rows, int k, const float* src, std::size_t ld, std::uint16_t* dst);
// Packs rows first..first+k-1 of the depth x cols matrix B, B(first + l, c) =
// src[l + c*ld]; first is a multiple of 32, and rows past first + k in the
// last 32 are zeroed.
void PackSplitColumns(int k, int cols, const float* src, std::size_t ld, int first, int depth,
                      std::uint16_t* dst);

// C(0:rows, 0:cols) -= A B(first:first+k, :), C column-major with leading
// dimension ldc; b is the packed depth x cols matrix, first a multiple of 32.
// Only when UsesSplitTiles().
void SubtractSplitProduct(int rows, int cols, int k, const std::uint16_t* a, const std::uint16_t* b,
                          int first, int depth, float* c, std::size_t ldc);

}  // namespace kriging

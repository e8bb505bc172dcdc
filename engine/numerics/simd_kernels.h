#pragma once
// The inner kernel of the blocked dense routines: C -= A B on one register
// tile, with A and B packed so that the kernel reads both contiguously.
//
// Packed layouts (T is float or double, R = TileRows<T>, 16 for float and 8
// for double, C = kTileColumns = 6):
//   row slivers of A (rows x k):    a[s*R*k + l*R + r] = A(s*R + r, l)
//   column slivers of B (k x cols): b[t*C*k + l*C + c] = B(l, t*C + c)
// Rows and columns beyond the matrix are zero in the packed copies, so every
// tile can be computed whole. One tile costs R*C*k multiply-adds; the
// register tile keeps 12 vector accumulators, and the loads per step (R/8 or
// R/4 vectors of A, C broadcasts of B) stay below the two fused multiply-adds
// per cycle that the processor can issue.
//
// The instruction set is chosen once at run time: AVX2 with FMA when the
// processor has both (and SORVAN_SIMD is not "portable"), for float tiles
// AVX-512 when it has that too (and SORVAN_SIMD is not "avx2": the same
// bits), otherwise a portable loop. Either way the result of a tile does not depend on the tile's
// neighbours or on the thread that computes it.
#include <cstddef>
#include <cstdint>

namespace kriging {

inline constexpr int kTileColumns = 6;
template <class T>
inline constexpr int TileRows = sizeof(T) == 4 ? 16 : 8;

// True when the vector kernels are in use; the second when the float tiles
// are the AVX-512 ones.
bool UsesAvx2Fma();
bool UsesAvx512();

// The first cache line (64 bytes) in p[0..64/sizeof(T)-1]: buffers obtained
// with a line to spare start their tiles' vector loads there, none split
// across two lines.
template <class T>
T* AlignedToLine(T* p) {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  return p + (64 - address % 64) % 64 / sizeof(T);
}
inline constexpr std::size_t kLineFloats = 16;

// Size of the packed copy of a rows x k matrix in row slivers, and of a
// k x cols matrix in column slivers.
template <class T>
std::size_t PackedRowsSize(int rows, int k) {
  const int r = TileRows<T>;
  return static_cast<std::size_t>((rows + r - 1) / r) * r * static_cast<std::size_t>(k);
}
inline std::size_t PackedColumnsSize(int k, int cols) {
  return static_cast<std::size_t>((cols + kTileColumns - 1) / kTileColumns) * kTileColumns *
         static_cast<std::size_t>(k);
}

// Packs A(i, l) = src[i + l*ld], i < rows, l < k, into row slivers.
template <class T>
void PackRowSlivers(int rows, int k, const T* src, std::size_t ld, T* dst);
// The same for A(i, l) = src[l + i*ld] (the transpose of a column-major block).
template <class T>
void PackRowSliversTransposed(int rows, int k, const T* src, std::size_t ld, T* dst);
// Packs B(l, c) = src[l + c*ld] (transposed = false) or src[c + l*ld]
// (transposed = true), l < k, c < cols, into column slivers.
template <class T>
void PackColumnSlivers(int k, int cols, const T* src, std::size_t ld, bool transposed, T* dst);

// C(0:rows, 0:cols) -= A B, with A (rows x k) and B (k x cols) packed as
// above and C column-major with leading dimension ldc. Cost rows*cols*k
// multiply-adds.
template <class T>
void SubtractPackedProduct(int rows, int cols, int k, const T* a, const T* b, T* c,
                           std::size_t ldc);

}  // namespace kriging

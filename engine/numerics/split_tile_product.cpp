#include "numerics/split_tile_product.h"

#include <cpuid.h>
#include <immintrin.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "numerics/simd_kernels.h"

namespace kriging {
namespace {

constexpr int kParts = 3;
constexpr int kEdge = 16;       // rows and columns of a tile
constexpr int kDepth = 32;      // bfloat16 per tile row: the k of one step
constexpr int kBlock = kEdge * kDepth;
constexpr long kBlockStride = 64;  // bytes from one row of a packed block to the next

int Chunks(int k) { return (k + kDepth - 1) / kDepth; }
// Tiles of 16 rows or columns, in whole pairs.
int TilePairs(int count) { return (count + 2 * kEdge - 1) / (2 * kEdge); }

// The three parts of sixteen floats, each in the low half of its 32-bit
// lane: each part rounded to nearest even (on the bits), and v - part exact
// at every step. (The zero-masked forms of the shifts spare GCC 12 a false
// warning about the unmasked forms' undefined pass-through.)
__attribute__((target("avx512f"))) void SplitSixteen(__m512 v, __m512i parts[kParts]) {
  constexpr __mmask16 kAll = 0xFFFF;
  const __m512i half = _mm512_set1_epi32(0x7FFF), one = _mm512_set1_epi32(1);
  for (int p = 0; p < kParts; ++p) {
    const __m512i bits = _mm512_castps_si512(v);
    const __m512i odd = _mm512_and_si512(_mm512_maskz_srli_epi32(kAll, bits, 16), one);
    parts[p] = _mm512_maskz_srli_epi32(
        kAll, _mm512_add_epi32(bits, _mm512_add_epi32(half, odd)), 16);
    v = _mm512_sub_ps(v, _mm512_castsi512_ps(_mm512_maskz_slli_epi32(kAll, parts[p], 16)));
  }
}

struct alignas(64) TileConfig {
  std::uint8_t palette = 1;
  std::uint8_t startRow = 0;
  std::uint8_t reserved[14] = {};
  std::uint16_t bytesPerRow[16] = {};
  std::uint8_t rows[16] = {};
};

// The compiler's tile intrinsics are assembly that does not declare the
// memory it reads or writes: fences keep ordinary loads and stores of the
// same buffers on their side.
inline void CompilerFence() { asm volatile("" ::: "memory"); }

// Two by two tiles of C: tile registers 0-3 hold C (row tiles s, s+1 by
// column tiles g, g+1), 4-5 two column tiles of a part of B, 6-7 two row
// tiles of a part of -A.
__attribute__((target("amx-tile,amx-bf16"))) void SubtractTiles(int rows, int cols, int k,
                                                                 const std::uint16_t* a,
                                                                 const std::uint16_t* b, int first,
                                                                 int depth, float* c,
                                                                 std::size_t ldc) {
  TileConfig config;
  for (int t = 0; t < 8; ++t) config.bytesPerRow[t] = 64, config.rows[t] = kEdge;
  _tile_loadconfig(&config);
  const int chunks = Chunks(k), depthChunks = Chunks(depth), firstChunk = first / kDepth;
  const std::size_t tileSet = static_cast<std::size_t>(kParts) * chunks * kBlock;
  const std::size_t depthSet = static_cast<std::size_t>(kParts) * depthChunks * kBlock;
  const long ldcBytes = static_cast<long>(ldc * sizeof(float));
  alignas(64) float spare[4][kEdge * kEdge];
  for (int s = 0; s < TilePairs(rows); ++s) {
    const std::uint16_t* as = a + 2 * s * tileSet;
    for (int g = 0; g < TilePairs(cols); ++g) {
      const std::uint16_t* bg = b + 2 * g * depthSet;
      // C's tiles in place, or through `spare` where a tile reaches beyond C.
      float* where[4];
      long stride[4];
      bool spared[4];
      for (int slot = 0; slot < 4; ++slot) {
        const int row = (2 * s + slot % 2) * kEdge, col = (2 * g + slot / 2) * kEdge;
        const int validRows = std::clamp(rows - row, 0, kEdge);
        spared[slot] = validRows < kEdge || col + kEdge > cols;
        if (!spared[slot]) {
          where[slot] = c + row + static_cast<std::size_t>(col) * ldc;
          stride[slot] = ldcBytes;
          continue;
        }
        where[slot] = spare[slot];
        stride[slot] = kBlockStride;
        std::fill_n(spare[slot], kEdge * kEdge, 0.0f);
        for (int m = 0; m < kEdge && col + m < cols; ++m)
          std::copy_n(c + row + static_cast<std::size_t>(col + m) * ldc, validRows,
                      spare[slot] + m * kEdge);
      }
      CompilerFence();
      _tile_loadd(0, where[0], stride[0]);
      _tile_loadd(1, where[1], stride[1]);
      _tile_loadd(2, where[2], stride[2]);
      _tile_loadd(3, where[3], stride[3]);
      for (int q = 0; q < chunks; ++q) {
        auto partOfB = [&](int p, int tile) {
          return bg + tile * depthSet + (p * depthChunks + firstChunk + q) * kBlock;
        };
        auto partOfA = [&](int p, int tile) { return as + tile * tileSet + (p * chunks + q) * kBlock; };
#define SORVAN_LOAD(tile, part, p) _tile_loadd(tile, part(p, (tile) % 2), kBlockStride)
        // Part products b_i a_j with i + j <= 2, reusing a loaded part where
        // the order allows. Each group of four frees the registers reloaded
        // next after its first two products, so that the loads overlap the
        // last two.
        SORVAN_LOAD(4, partOfB, 0);
        SORVAN_LOAD(5, partOfB, 0);
        SORVAN_LOAD(6, partOfA, 0);
        SORVAN_LOAD(7, partOfA, 0);
        // b0 a0, then a1
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(2, 5, 6);
        SORVAN_LOAD(6, partOfA, 1);
        _tile_dpbf16ps(1, 4, 7);
        _tile_dpbf16ps(3, 5, 7);
        SORVAN_LOAD(7, partOfA, 1);
        // b0 a1, then b1
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(1, 4, 7);
        SORVAN_LOAD(4, partOfB, 1);
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(3, 5, 7);
        SORVAN_LOAD(5, partOfB, 1);
        // b1 a1, then a0
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(2, 5, 6);
        SORVAN_LOAD(6, partOfA, 0);
        _tile_dpbf16ps(1, 4, 7);
        _tile_dpbf16ps(3, 5, 7);
        SORVAN_LOAD(7, partOfA, 0);
        // b1 a0, then b2
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(1, 4, 7);
        SORVAN_LOAD(4, partOfB, 2);
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(3, 5, 7);
        SORVAN_LOAD(5, partOfB, 2);
        // b2 a0, then b0 and a2
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(1, 4, 7);
        SORVAN_LOAD(4, partOfB, 0);
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(3, 5, 7);
        SORVAN_LOAD(5, partOfB, 0);
        SORVAN_LOAD(6, partOfA, 2);
        SORVAN_LOAD(7, partOfA, 2);
        // b0 a2
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(1, 4, 7);
        _tile_dpbf16ps(3, 5, 7);
#undef SORVAN_LOAD
      }
      _tile_stored(0, where[0], stride[0]);
      _tile_stored(1, where[1], stride[1]);
      _tile_stored(2, where[2], stride[2]);
      _tile_stored(3, where[3], stride[3]);
      CompilerFence();
      for (int slot = 0; slot < 4; ++slot) {
        if (!spared[slot]) continue;
        const int row = (2 * s + slot % 2) * kEdge, col = (2 * g + slot / 2) * kEdge;
        const int validRows = std::clamp(rows - row, 0, kEdge);
        for (int m = 0; m < kEdge && col + m < cols; ++m)
          std::copy_n(spare[slot] + m * kEdge, validRows,
                      c + row + static_cast<std::size_t>(col + m) * ldc);
      }
    }
  }
  _tile_release();
}

__attribute__((target("avx512f"))) void PackColumnsAvx512(int k, int cols, const float* src,
                                                          std::size_t ld, int first, int depth,
                                                          std::uint16_t* dst) {
  const int chunks = Chunks(k), depthChunks = Chunks(depth), firstChunk = first / kDepth;
  const int padded = 2 * kEdge * TilePairs(cols);
  for (int col = 0; col < padded; ++col) {
    const std::size_t tile = static_cast<std::size_t>(col / kEdge) * kParts * depthChunks;
    for (int q = 0; q < chunks; ++q) {
      std::uint16_t* out = dst + (tile + firstChunk + q) * kBlock + (col % kEdge) * kDepth;
      for (int half = 0; half < 2; ++half) {
        const int row = q * kDepth + half * kEdge;
        const int valid = col < cols ? std::clamp(k - row, 0, kEdge) : 0;
        const __mmask16 mask = static_cast<__mmask16>((1u << valid) - 1u);
        const __m512 v =
            _mm512_maskz_loadu_ps(mask, src + row + static_cast<std::size_t>(col) * ld);
        __m512i parts[kParts];
        SplitSixteen(v, parts);
        for (int p = 0; p < kParts; ++p)
          _mm256_storeu_si256(
              reinterpret_cast<__m256i*>(out + static_cast<std::size_t>(p) * depthChunks * kBlock +
                                         half * kEdge),
              _mm512_maskz_cvtepi32_epi16(0xFFFF, parts[p]));
      }
    }
  }
}

// A tile row holds two columns of A interleaved: the parts of both, one in
// each half of a 32-bit lane.
__attribute__((target("avx512f"))) void PackRowsAvx512(int rows, int k, const float* src,
                                                       std::size_t ld, std::uint16_t* dst) {
  const int chunks = Chunks(k);
  const __m512 zero = _mm512_setzero_ps();
  for (int s = 0; s < 2 * TilePairs(rows); ++s) {
    const int valid = std::clamp(rows - s * kEdge, 0, kEdge);
    const __mmask16 mask = static_cast<__mmask16>((1u << valid) - 1u);
    std::uint16_t* tile = dst + static_cast<std::size_t>(s) * kParts * chunks * kBlock;
    for (int l = 0; l < chunks * kDepth; l += 2) {
      auto column = [&](int at) __attribute__((target("avx512f"))) {
        return at < k ? _mm512_sub_ps(zero, _mm512_maskz_loadu_ps(
                                                 mask, src + s * kEdge + static_cast<std::size_t>(at) * ld))
                      : zero;
      };
      __m512i even[kParts], odd[kParts];
      SplitSixteen(column(l), even);
      SplitSixteen(column(l + 1), odd);
      std::uint16_t* out = tile + static_cast<std::size_t>(l / kDepth) * kBlock + l % kDepth / 2 * kDepth;
      for (int p = 0; p < kParts; ++p)
        _mm512_storeu_si512(out + static_cast<std::size_t>(p) * chunks * kBlock,
                            _mm512_or_si512(even[p], _mm512_maskz_slli_epi32(0xFFFF, odd[p], 16)));
    }
  }
}

bool SelectSplitTiles() {
  const char* choice = std::getenv("SORVAN_SIMD");
  if (choice != nullptr && (std::strcmp(choice, "avx512") == 0 ||
                            std::strcmp(choice, "avx2") == 0 || std::strcmp(choice, "portable") == 0))
    return false;
  // Leaf 7: AMX-BF16 is bit 22 of EDX, AMX-TILE bit 24.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!UsesAvx512() || !__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) ||
      (edx & (1u << 22)) == 0 || (edx & (1u << 24)) == 0)
    return false;
  // Linux hands out the 8 KB of tile state only to processes that ask.
  constexpr long kRequestPermission = 0x1023, kTileData = 18;
  return syscall(SYS_arch_prctl, kRequestPermission, kTileData) == 0;
}

}  // namespace

bool UsesSplitTiles() {
  static const bool use = SelectSplitTiles();
  return use;
}

std::size_t SplitPackedRowsSize(int rows, int k) {
  return static_cast<std::size_t>(2 * TilePairs(rows)) * kParts * Chunks(k) * kBlock;
}

std::size_t SplitPackedColumnsSize(int depth, int cols) { return SplitPackedRowsSize(cols, depth); }

void PackSplitRows(int rows, int k, const float* src, std::size_t ld, std::uint16_t* dst) {
  PackRowsAvx512(rows, k, src, ld, dst);
}

void PackSplitColumns(int k, int cols, const float* src, std::size_t ld, int first, int depth,
                      std::uint16_t* dst) {
  PackColumnsAvx512(k, cols, src, ld, first, depth, dst);
}

void SubtractSplitProduct(int rows, int cols, int k, const std::uint16_t* a,
                          const std::uint16_t* b, int first, int depth, float* c,
                          std::size_t ldc) {
  if (rows <= 0 || cols <= 0 || k <= 0) return;
  SubtractTiles(rows, cols, k, a, b, first, depth, c, ldc);
}

}  // namespace kriging

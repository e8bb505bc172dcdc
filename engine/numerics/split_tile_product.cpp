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
constexpr int kEdge = 16;   // rows and columns of a tile
constexpr int kDepth = 32;  // bfloat16 per tile row: the k of one step
constexpr int kBlock = kEdge * kDepth;
constexpr long kBlockStride = 64;  // bytes from one row of a packed block to the next

int Chunks(int k) { return (k + kDepth - 1) / kDepth; }
// Tiles of 16 rows or columns, in whole pairs.
int TilePairs(int count) { return (count + 2 * kEdge - 1) / (2 * kEdge); }

#define SORVAN_SPLIT_TARGET __attribute__((target("avx512f,avx512bw,avx512bf16")))

// 16 floats from the bfloat16 entries in half `h` of a vector of 32.
SORVAN_SPLIT_TARGET __m512 Widened(__m512i parts, int h) {
  // (The zero-masked forms spare GCC 12 a false warning about the unmasked
  // forms' undefined pass-through.)
  const __m256i half = h == 0 ? _mm512_maskz_extracti64x4_epi64(0xF, parts, 0)
                              : _mm512_maskz_extracti64x4_epi64(0xF, parts, 1);
  return _mm512_castsi512_ps(
      _mm512_maskz_slli_epi32(0xFFFF, _mm512_maskz_cvtepu16_epi32(0xFFFF, half), 16));
}

// The three bfloat16 parts of 32 floats (low, then high): each part rounded
// to nearest even from what the parts before it leave, the remainders exact.
SORVAN_SPLIT_TARGET void SplitThirtyTwo(__m512 low, __m512 high, __m512i parts[kParts]) {
  for (int p = 0; p < kParts; ++p) {
    parts[p] = reinterpret_cast<__m512i>(_mm512_cvtne2ps_pbh(high, low));
    if (p + 1 == kParts) break;
    low = _mm512_sub_ps(low, Widened(parts[p], 0));
    high = _mm512_sub_ps(high, Widened(parts[p], 1));
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
        auto partOfA = [&](int p, int tile) {
          return as + tile * tileSet + (p * chunks + q) * kBlock;
        };
#define SORVAN_LOAD(tile, part, p) _tile_loadd(tile, part(p, (tile) % 2), kBlockStride)
        // Part products b_i a_j with i + j <= 2, reusing a loaded part where
        // the order allows. Each group of four frees the registers reloaded
        // next after its first two products, so that the loads overlap the
        // last two.
#define SORVAN_PRODUCTS_THEN_A(p) \
  _tile_dpbf16ps(0, 4, 6);        \
  _tile_dpbf16ps(2, 5, 6);        \
  SORVAN_LOAD(6, partOfA, p);     \
  _tile_dpbf16ps(1, 4, 7);        \
  _tile_dpbf16ps(3, 5, 7);        \
  SORVAN_LOAD(7, partOfA, p)
#define SORVAN_PRODUCTS_THEN_B(p) \
  _tile_dpbf16ps(0, 4, 6);        \
  _tile_dpbf16ps(1, 4, 7);        \
  SORVAN_LOAD(4, partOfB, p);     \
  _tile_dpbf16ps(2, 5, 6);        \
  _tile_dpbf16ps(3, 5, 7);        \
  SORVAN_LOAD(5, partOfB, p)
        SORVAN_LOAD(4, partOfB, 0);
        SORVAN_LOAD(5, partOfB, 0);
        SORVAN_LOAD(6, partOfA, 0);
        SORVAN_LOAD(7, partOfA, 0);
        SORVAN_PRODUCTS_THEN_A(1);  // b0 a0
        SORVAN_PRODUCTS_THEN_B(1);  // b0 a1
        SORVAN_PRODUCTS_THEN_A(0);  // b1 a1
        SORVAN_PRODUCTS_THEN_B(2);  // b1 a0
        SORVAN_PRODUCTS_THEN_B(0);  // b2 a0
        SORVAN_LOAD(6, partOfA, 2);
        SORVAN_LOAD(7, partOfA, 2);
        _tile_dpbf16ps(0, 4, 6);  // b0 a2
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(1, 4, 7);
        _tile_dpbf16ps(3, 5, 7);
#undef SORVAN_PRODUCTS_THEN_A
#undef SORVAN_PRODUCTS_THEN_B
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

SORVAN_SPLIT_TARGET void PackColumnsAvx512(int k, int cols, const float* src, std::size_t ld,
                                           int first, int depth, std::uint16_t* dst) {
  const int chunks = Chunks(k), depthChunks = Chunks(depth), firstChunk = first / kDepth;
  const int padded = 2 * kEdge * TilePairs(cols);
  for (int col = 0; col < padded; ++col) {
    const std::size_t tile = static_cast<std::size_t>(col / kEdge) * kParts * depthChunks;
    const float* column = src + static_cast<std::size_t>(col) * ld;
    for (int q = 0; q < chunks; ++q) {
      // Rows q*32 .. q*32+31 of the column, zeros past k (or past cols).
      const int valid = col < cols ? std::min(k - q * kDepth, kDepth) : 0;
      const __mmask32 mask = valid >= kDepth ? ~__mmask32{0} : (__mmask32{1} << valid) - 1;
      const __m512 low = _mm512_maskz_loadu_ps(static_cast<__mmask16>(mask), column + q * kDepth);
      const __m512 high =
          _mm512_maskz_loadu_ps(static_cast<__mmask16>(mask >> 16), column + q * kDepth + kEdge);
      __m512i parts[kParts];
      SplitThirtyTwo(low, high, parts);
      std::uint16_t* out = dst + (tile + firstChunk + q) * kBlock + (col % kEdge) * kDepth;
      for (int p = 0; p < kParts; ++p)
        _mm512_storeu_si512(out + static_cast<std::size_t>(p) * depthChunks * kBlock, parts[p]);
    }
  }
}

// A tile row holds two columns of A interleaved, entry by entry.
SORVAN_SPLIT_TARGET void PackRowsAvx512(int rows, int k, const float* src, std::size_t ld,
                                        std::uint16_t* dst) {
  const int chunks = Chunks(k);
  const __m512 zero = _mm512_setzero_ps();
  // Entries 0..15 from the first column, 16..31 from the second, in turn.
  alignas(64) static constexpr std::uint16_t kInterleave[32] = {
      0, 16, 1, 17, 2,  18, 3,  19, 4,  20, 5,  21, 6,  22, 7,  23,
      8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31};
  const __m512i interleave = _mm512_load_si512(kInterleave);
  for (int s = 0; s < 2 * TilePairs(rows); ++s) {
    const int valid = std::clamp(rows - s * kEdge, 0, kEdge);
    const __mmask16 mask = static_cast<__mmask16>((1u << valid) - 1u);
    std::uint16_t* tile = dst + static_cast<std::size_t>(s) * kParts * chunks * kBlock;
    auto column = [&](int at) SORVAN_SPLIT_TARGET {
      return at < k ? _mm512_sub_ps(zero,
                                    _mm512_maskz_loadu_ps(
                                        mask, src + s * kEdge + static_cast<std::size_t>(at) * ld))
                    : zero;
    };
    for (int l = 0; l < chunks * kDepth; l += 2) {
      __m512i parts[kParts];
      SplitThirtyTwo(column(l), column(l + 1), parts);
      std::uint16_t* out =
          tile + static_cast<std::size_t>(l / kDepth) * kBlock + l % kDepth / 2 * kDepth;
      for (int p = 0; p < kParts; ++p)
        _mm512_storeu_si512(out + static_cast<std::size_t>(p) * chunks * kBlock,
                            _mm512_permutexvar_epi16(interleave, parts[p]));
    }
  }
}

#undef SORVAN_SPLIT_TARGET

bool SelectSplitTiles() {
  const char* choice = std::getenv("SORVAN_SIMD");
  if (choice != nullptr &&
      (std::strcmp(choice, "avx512") == 0 || std::strcmp(choice, "avx2") == 0 ||
       std::strcmp(choice, "portable") == 0))
    return false;
  // Leaf 7: AVX512BW is bit 30 of EBX, AMX-BF16 bit 22 and AMX-TILE bit 24
  // of EDX; subleaf 1: AVX512-BF16 is bit 5 of EAX.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!UsesAvx512() || !__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) ||
      (ebx & (1u << 30)) == 0 || (edx & (1u << 22)) == 0 || (edx & (1u << 24)) == 0 ||
      !__get_cpuid_count(7, 1, &eax, &ebx, &ecx, &edx) || (eax & (1u << 5)) == 0)
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

void SubtractSplitProduct(int rows, int cols, int k, const std::uint16_t* a, const std::uint16_t* b,
                          int first, int depth, float* c, std::size_t ldc) {
  if (rows <= 0 || cols <= 0 || k <= 0) return;
  SubtractTiles(rows, cols, k, a, b, first, depth, c, ldc);
}

}  // namespace kriging

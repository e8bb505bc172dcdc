#include "numerics/blocked_bunch_kaufman.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "critical_stop.h"
#include "numerics/bunch_kaufman.h"
#include "numerics/simd_kernels.h"
#include "numerics/split_tile_product.h"
#include "numerics/target_clones.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

// Columns of the trailing update handled as one work item (a multiple of the
// tile width 6 and of the tile height 16).
constexpr int kUpdateColumns = 96;

// out(0:rows) -= sum_c coef[c * coefStride] * w(0:rows, c), c = 0..count-1,
// with w column-major (leading dimension ld): the delayed update of one
// column by the panel's earlier columns. Each entry takes the products one
// by one in the order of c (the same bits at every vector width), four
// columns per pass over out.
SORVAN_WIDE_CLONES void SubtractColumns(int rows, int count, const float* w, std::size_t ld,
                                        const float* coef, std::size_t coefStride,
                                        float* __restrict out) {
  int c = 0;
  for (; c + 4 <= count; c += 4) {
    const float f0 = coef[c * coefStride], f1 = coef[(c + 1) * coefStride],
                f2 = coef[(c + 2) * coefStride], f3 = coef[(c + 3) * coefStride];
    const float* __restrict w0 = w + c * ld;
    const float* __restrict w1 = w0 + ld;
    const float* __restrict w2 = w1 + ld;
    const float* __restrict w3 = w2 + ld;
    for (int i = 0; i < rows; ++i) {
      float o = out[i];
      o -= w0[i] * f0;
      o -= w1[i] * f1;
      o -= w2[i] * f2;
      o -= w3[i] * f3;
      out[i] = o;
    }
  }
  for (; c < count; ++c) {
    const float f = coef[c * coefStride];
    const float* __restrict column = w + c * ld;
    for (int i = 0; i < rows; ++i) out[i] -= column[i] * f;
  }
}

// The largest |v[i]|, i < count, 0 when count is 0; NaNs left out, as by
// std::fmax. (The largest is exact whatever the order, so the vector
// version gives the same value.)
float LargestMagnitudePortable(int count, const float* v) {
  float largest = 0.0f;
  for (int i = 0; i < count; ++i) largest = std::fmax(largest, std::fabs(v[i]));
  return largest;
}

__attribute__((target("avx512f"))) float LargestMagnitudeAvx512(int count, const float* v) {
  // max(x, acc) gives acc when x is a NaN. (The zero-masked forms spare GCC
  // 12 a false warning about the unmasked forms' undefined pass-through.)
  constexpr __mmask16 kAll = 0xFFFF;
  __m512 largest = _mm512_setzero_ps();
  int i = 0;
  for (; i + 16 <= count; i += 16)
    largest = _mm512_maskz_max_ps(kAll, _mm512_abs_ps(_mm512_loadu_ps(v + i)), largest);
  const __mmask16 rest = static_cast<__mmask16>((1u << (count - i)) - 1u);
  largest = _mm512_maskz_max_ps(kAll, _mm512_abs_ps(_mm512_maskz_loadu_ps(rest, v + i)), largest);
  float lanes[16];
  _mm512_storeu_ps(lanes, largest);
  return *std::max_element(lanes, lanes + 16);
}

float LargestMagnitude(int count, const float* v) {
  return UsesAvx512() ? LargestMagnitudeAvx512(count, v) : LargestMagnitudePortable(count, v);
}

}  // namespace

int BlockedBunchKaufmanFactorInPlace(int n, float* fac, int ldfac, std::int32_t* ipvt,
                                     int workers) {
  constexpr int nb = kBunchKaufmanPanelColumns;
  if (n <= 2 * nb) return BunchKaufmanFactorInPlace(n, fac, ldfac, ipvt);

  const float alpha = (1.0f + std::sqrt(17.0f)) / 8.0f;
  const std::size_t ld = static_cast<std::size_t>(ldfac);
  const std::size_t wl = static_cast<std::size_t>(n);
  auto A = [fac, ld](int i, int j) -> float& { return fac[i + j * ld]; };
  // W holds the panel's eliminated columns before the division by the pivot
  // (rows 0..k), Uw its multipliers; both with the interchanges made since
  // (their rows follow the matrix that remains), so that the remaining
  // matrix is A(0:k, 0:k) - W Uw^T at every moment. The multipliers stored
  // in fac keep the unblocked layout: no later interchange touches them.
  auto W = ZeroedWorkArray<float>(wl * nb);
  auto Uw = ZeroedWorkArray<float>(wl * nb);
  auto colK = WorkArray<float>(wl);
  auto colI = WorkArray<float>(wl);
  const int maxWorkers = std::max(1, workers);
  const std::size_t packedUSize = PackedColumnsSize(nb, kUpdateColumns);
  auto packedU = ZeroedWorkArray<float>(packedUSize * maxWorkers);
  auto diagonalTile = WorkArray<float>(static_cast<std::size_t>(kUpdateColumns) * kUpdateColumns *
                                       maxWorkers);
  // With the tile unit, the update's products run there: W split once per
  // panel, the work item's rows of Uw transposed (its columns' entries
  // contiguous, as the tile unit takes them) and split.
  const bool tiles = UsesSplitTiles();
  auto packedW = ZeroedWorkArray<float>(tiles ? 0 : PackedRowsSize<float>(n, nb));
  constexpr std::size_t kLineHalves = 32;
  auto splitW =
      ZeroedWorkArray<std::uint16_t>(tiles ? SplitPackedRowsSize(n, nb) + kLineHalves : 0);
  const std::size_t splitUSize =
      tiles ? SplitPackedColumnsSize(nb, kUpdateColumns) + kLineHalves : 0;
  auto splitU = ZeroedWorkArray<std::uint16_t>(splitUSize * maxWorkers);
  auto UwT = ZeroedWorkArray<float>(
      tiles ? static_cast<std::size_t>(kUpdateColumns) * nb * maxWorkers : 0);
  auto w = [&](int i, int c) -> float& { return W[i + c * wl]; };
  auto u = [&](int i, int c) -> float& { return Uw[i + c * wl]; };

  int firstSingular = 0;
  int k = n - 1;
  while (k >= 0) {
    if (k + 1 <= 2 * nb) {
      // The last columns: no trailing matrix worth a blocked update.
      const int singular = BunchKaufmanFactorInPlace(k + 1, fac, ldfac, ipvt);
      if (firstSingular == 0) firstSingular = singular;
      break;
    }
    // ---- Panel: columns top, top-1, ... while a 2x2 step still fits.
    const int top = k;
    int q = 0;  // workspace columns in use
    while (k >= 0 && top - k < nb - 1) {
      // Column k brought up to date: A(0:k, k) - W(0:k, :) Uw(k, :)^T.
      for (int i = 0; i <= k; ++i) colK[i] = A(i, k);
      SubtractColumns(k + 1, q, W.get(), wl, &u(k, 0), wl, colK.data());

      int kstep = 1, kp = k, imax = 0;
      const float absakk = std::fabs(colK[k]);
      // The largest off-diagonal entry and the first row that holds it.
      const float colmax = LargestMagnitude(k, colK.data());
      if (colmax > 0.0f)
        while (std::fabs(colK[imax]) != colmax) ++imax;
      if (std::fmax(absakk, colmax) == 0.0f) {
        if (firstSingular == 0) firstSingular = k + 1;
        for (int i = 0; i <= k; ++i) A(i, k) = colK[i];
        ipvt[k] = k;
        k -= 1;
        continue;
      }
      if (absakk < alpha * colmax) {
        // Column imax brought up to date: entries (i, imax) for i <= imax
        // from the column, (imax, i) for i > imax from the row.
        for (int i = 0; i <= imax; ++i) colI[i] = A(i, imax);
        for (int i = imax + 1; i <= k; ++i) colI[i] = A(imax, i);
        SubtractColumns(imax + 1, q, W.get(), wl, &u(imax, 0), wl, colI.data());
        if (k > imax)
          SubtractColumns(k - imax, q, Uw.get() + imax + 1, wl, &w(imax, 0), wl,
                          colI.data() + imax + 1);
        const float rowmax = std::fmax(LargestMagnitude(imax, colI.data()),
                                       LargestMagnitude(k - imax, colI.data() + imax + 1));
        if (absakk >= alpha * colmax * (colmax / rowmax)) {
          kp = k;
        } else if (std::fabs(colI[imax]) >= alpha * rowmax) {
          kp = imax;
        } else {
          kp = imax;
          kstep = 2;
        }
      }
      const int kk = k - kstep + 1;

      // Pivot columns after the interchange of kk and kp: `pivot` is column
      // k, `pivotLow` column k-1 of a 2x2 step.
      float* pivot = colK.data();
      float* pivotLow = nullptr;
      if (kstep == 1 && kp != k) {
        pivot = colI.data();
        std::swap(pivot[k], pivot[kp]);
      } else if (kstep == 2) {
        pivotLow = colI.data();
        if (kp != kk) {
          std::swap(pivot[kk], pivot[kp]);
          std::swap(pivotLow[kk], pivotLow[kp]);
        }
      }

      // The interchange in the stored (not yet updated) leading block and in
      // the rows of the panel's workspace.
      if (kp != kk) {
        for (int i = 0; i < kp; ++i) std::swap(A(i, kk), A(i, kp));
        for (int j = kp + 1; j < kk; ++j) std::swap(A(j, kk), A(kp, j));
        std::swap(A(kk, kk), A(kp, kp));
        if (kstep == 2) std::swap(A(k - 1, k), A(kp, k));
        for (int c = 0; c < q; ++c) {
          std::swap(w(kk, c), w(kp, c));
          std::swap(u(kk, c), u(kp, c));
        }
      }

      if (kstep == 1) {
        const float d = pivot[k];
        const float r1 = 1.0f / d;
        for (int i = 0; i < k; ++i) {
          const float multiplier = pivot[i] * r1;
          w(i, q) = pivot[i];
          u(i, q) = multiplier;
          A(i, k) = multiplier;
        }
        A(k, k) = d;
        ipvt[k] = kp;
        q += 1;
      } else {
        // 2x2 block, D^{-1} scaled by the off-diagonal entry as in the
        // unblocked routine.
        const float a11 = pivotLow[k - 1], a12 = pivot[k - 1], a22 = pivot[k];
        if (k > 1) {
          float d12 = a12;
          const float d22 = a11 / d12;
          const float d11 = a22 / d12;
          const float t = 1.0f / (d11 * d22 - 1.0f);
          d12 = t / d12;
          for (int j = 0; j < k - 1; ++j) {
            const float wkm1 = d12 * (d11 * pivotLow[j] - pivot[j]);
            const float wk = d12 * (d22 * pivot[j] - pivotLow[j]);
            w(j, q) = pivotLow[j];
            u(j, q) = wkm1;
            w(j, q + 1) = pivot[j];
            u(j, q + 1) = wk;
            A(j, k - 1) = wkm1;
            A(j, k) = wk;
          }
        }
        A(k - 1, k - 1) = a11;
        A(k - 1, k) = a12;
        A(k, k) = a22;
        ipvt[k] = ~kp;
        ipvt[k - 1] = ~kp;
        q += 2;
      }
      k -= kstep;
    }

    // ---- Trailing update of the upper triangle of A(0:k, 0:k) -= W Uw^T,
    // in blocks of kUpdateColumns columns, the largest first.
    if (k < 0 || q == 0) continue;
    const int rows = k + 1;
    std::uint16_t* splitWData = AlignedToLine(splitW.get());
    if (tiles) {
      // W split on the threads, kUpdateColumns rows (a multiple of 32: whole
      // pairs of tile rows) at a time.
      const int rowBlocks = (rows + kUpdateColumns - 1) / kUpdateColumns;
      ParallelFor(rowBlocks, WorkersFor(8.0 * rows * q, maxWorkers), [&](int b, int) {
        const int first = b * kUpdateColumns,
                  count = std::min(rows, first + kUpdateColumns) - first;
        PackSplitRows(count, q, W.get() + first, wl, splitWData + SplitPackedRowsSize(first, q));
      });
    } else {
      PackRowSlivers<float>(rows, q, W.get(), wl, packedW.get());
    }
    const int blocks = (rows + kUpdateColumns - 1) / kUpdateColumns;
    ParallelFor(blocks, WorkersFor(0.5 * rows * rows * q, maxWorkers), [&](int item, int worker) {
      const int jb = (blocks - 1 - item) * kUpdateColumns;
      const int width = std::min(rows, jb + kUpdateColumns) - jb;
      float* packed = packedU.get() + packedUSize * worker;
      std::uint16_t* split = AlignedToLine(splitU.get() + splitUSize * worker);
      // Rows above the block's diagonal square.
      if (tiles) {
        // The block's rows of Uw transposed: each column's entries contiguous.
        float* transposed = UwT.get() + static_cast<std::size_t>(kUpdateColumns) * nb * worker;
        for (int c = 0; c < q; ++c)
          for (int i = 0; i < width; ++i) transposed[c + i * q] = u(jb + i, c);
        PackSplitColumns(q, width, transposed, q, 0, q, split);
        SubtractSplitProduct(jb, width, q, splitWData, split, 0, q, fac + jb * ld, ld);
      } else {
        PackColumnSlivers<float>(q, width, Uw.get() + jb, wl, true, packed);
        SubtractPackedProduct<float>(jb, width, q, packedW.get(), packed, fac + jb * ld, ld);
      }
      // The diagonal square through a tile of its own; only its upper
      // triangle goes back.
      float* tile = diagonalTile.data() +
                    static_cast<std::size_t>(kUpdateColumns) * kUpdateColumns * worker;
      for (int j = 0; j < width; ++j)
        for (int i = 0; i <= j; ++i) tile[i + j * kUpdateColumns] = A(jb + i, jb + j);
      if (tiles)
        // jb is a multiple of 32: row jb starts a pair of row tiles.
        SubtractSplitProduct(width, width, q, splitWData + SplitPackedRowsSize(jb, q), split, 0, q,
                             tile, kUpdateColumns);
      else
        SubtractPackedProduct<float>(width, width, q,
                                     packedW.get() + static_cast<std::size_t>(jb) * q, packed, tile,
                                     kUpdateColumns);
      for (int j = 0; j < width; ++j)
        for (int i = 0; i <= j; ++i) A(jb + i, jb + j) = tile[i + j * kUpdateColumns];
    });
  }
  return firstSingular;
}

}  // namespace kriging

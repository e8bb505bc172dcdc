#include "numerics/blocked_triangular_solve.h"

#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "critical_stop.h"
#include "numerics/simd_kernels.h"
#include "numerics/split_tile_product.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

constexpr std::size_t kLineHalves = 32;  // bfloat16 entries in a cache line

// sum_k alpha_k v_k^2 + beta_k v_k v_{k+1} in double, in eight partial sums
// (lane j takes k = j mod 8) combined in a fixed order. beta_{n-1} is 0 (no
// 2x2 block starts at the last entry). The portable loop and the vector ones
// make the same operations in the same order: the same bits.
double WeightedSquaresPortable(int n, const double* alpha, const double* beta, const float* v) {
  double sum[8] = {};
  for (int k = 0; k < n; ++k) {
    const double a = v[k], b = k + 1 < n ? v[k + 1] : 0.0;
    sum[k % 8] += alpha[k] * a * a + beta[k] * a * b;
  }
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

__attribute__((target("avx2"))) double WeightedSquaresAvx2(int n, const double* alpha,
                                                           const double* beta, const float* v) {
  __m256d low = _mm256_setzero_pd(), high = _mm256_setzero_pd();
  int k = 0;
  auto terms = [&](int at) __attribute__((target("avx2"))) {
    const __m256d a = _mm256_cvtps_pd(_mm_loadu_ps(v + at));
    const __m256d b = _mm256_cvtps_pd(_mm_loadu_ps(v + at + 1));
    return _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_loadu_pd(alpha + at), a), a),
                         _mm256_mul_pd(_mm256_mul_pd(_mm256_loadu_pd(beta + at), a), b));
  };
  for (; k + 8 < n; k += 8) {
    low = _mm256_add_pd(low, terms(k));
    high = _mm256_add_pd(high, terms(k + 4));
  }
  double sum[8];
  _mm256_storeu_pd(sum, low);
  _mm256_storeu_pd(sum + 4, high);
  for (; k < n; ++k) {
    const double a = v[k], b = k + 1 < n ? v[k + 1] : 0.0;
    sum[k % 8] += alpha[k] * a * a + beta[k] * a * b;
  }
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

// The same eight partial sums in the eight lanes of one vector.
__attribute__((target("avx512f"))) double WeightedSquaresAvx512(int n, const double* alpha,
                                                                const double* beta,
                                                                const float* v) {
  __m512d lanes = _mm512_setzero_pd();
  int k = 0;
  for (; k + 8 < n; k += 8) {
    const __m512d a = _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(v + k));
    const __m512d b = _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(v + k + 1));
    lanes = _mm512_add_pd(
        lanes, _mm512_add_pd(_mm512_mul_pd(_mm512_mul_pd(_mm512_loadu_pd(alpha + k), a), a),
                             _mm512_mul_pd(_mm512_mul_pd(_mm512_loadu_pd(beta + k), a), b)));
  }
  double sum[8];
  _mm512_storeu_pd(sum, lanes);
  for (; k < n; ++k) {
    const double a = v[k], b = k + 1 < n ? v[k + 1] : 0.0;
    sum[k % 8] += alpha[k] * a * a + beta[k] * a * b;
  }
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

// Columns l0..l1-1 of T^{-1} (only its first kVectors vectors of rows are
// nonzero there) times two columns of U, into the sums w0 and w1.
template <int kVectors>
__attribute__((target("avx512f"), always_inline)) inline void AccumulateInverseColumns(
    const double* inverse, int width, int l0, int l1, const __mmask8* rows, const float* u0,
    const float* u1, __m512d* w0, __m512d* w1) {
  for (int l = l0; l < l1; ++l) {
    const __m512d b0 = _mm512_set1_pd(u0[l]), b1 = _mm512_set1_pd(u1[l]);
    const double* t = inverse + static_cast<std::size_t>(l) * width;
    for (int v = 0; v < kVectors; ++v) {
      const __m512d tv = _mm512_maskz_loadu_pd(rows[v], t + 8 * v);
      w0[v] = _mm512_fmadd_pd(tv, b0, w0[v]);
      w1[v] = _mm512_fmadd_pd(tv, b1, w1[v]);
    }
  }
}

// Segment s of the columns of T^{-1} (8s..8s+7, nonzero in vectors 0..s).
template <int... kSegments>
__attribute__((target("avx512f"), always_inline)) inline void AccumulateSegment(
    std::integer_sequence<int, kSegments...>, int s, const double* inverse, int width,
    const __mmask8* rows, const float* u0, const float* u1, __m512d* w0, __m512d* w1) {
  const int l0 = 8 * s, l1 = std::min(width, l0 + 8);
  ((s == kSegments
        ? AccumulateInverseColumns<kSegments + 1>(inverse, width, l0, l1, rows, u0, u1, w0, w1)
        : void()),
   ...);
}

// out(:, c) = T^{-1} U(:, c) for the count columns of U (u, leading dimension
// ld; width <= kPanelColumns rows), with T^{-1} the panel's inverse in double
// (column l in inverse[l * width ...], zero below the diagonal), summed in
// double and rounded once: in float, as U - (I - T^{-1}) U, it would lose
// the cancellation between the two terms (twice the error in the variances).
// Two columns of U per pass share the loads of T^{-1}; the vectors of rows
// below a column's diagonal are left out (their terms are zeros, so the sums
// are the same bits). Only with the tile unit, so on processors with AVX-512.
__attribute__((target("avx512f"))) void MultiplyByInverse(int width, const double* inverse,
                                                          int count, const float* u, std::size_t ld,
                                                          float* out) {
  static_assert(BlockedFactorSolve::kPanelColumns == 64, "eight vectors of eight rows");
  const int vectors = (width + 7) / 8;
  const __mmask8 tail = static_cast<__mmask8>(width % 8 == 0 ? 0xFF : (1u << (width % 8)) - 1u);
  // Rows of each vector within the width (the loads past it are zeros).
  __mmask8 rows[8];
  for (int v = 0; v < 8; ++v) rows[v] = v + 1 < vectors ? 0xFF : v + 1 == vectors ? tail : 0;
  for (int c = 0; c < count; c += 2) {
    const float* u0 = u + c * ld;
    const float* u1 = c + 1 < count ? u0 + ld : u0;
    __m512d w0[8], w1[8];
    for (int v = 0; v < 8; ++v) w0[v] = w1[v] = _mm512_setzero_pd();
    for (int s = 0; s < vectors; ++s)
      AccumulateSegment(std::make_integer_sequence<int, 8>(), s, inverse, width, rows, u0, u1, w0,
                        w1);
    float rounded[2][64];
    for (int v = 0; v < 8; ++v) {
      _mm256_storeu_ps(rounded[0] + 8 * v, _mm512_maskz_cvtpd_ps(0xFF, w0[v]));
      _mm256_storeu_ps(rounded[1] + 8 * v, _mm512_maskz_cvtpd_ps(0xFF, w1[v]));
    }
    std::copy_n(rounded[0], width, out + static_cast<std::size_t>(c) * width);
    if (c + 1 < count)
      std::copy_n(rounded[1], width, out + static_cast<std::size_t>(c + 1) * width);
  }
}

}  // namespace

BlockedFactorSolve::BlockedFactorSolve(int n, float* fac, std::size_t ld, const std::int32_t* ipvt,
                                       int workers)
    : n_(n), tiles_(UsesSplitTiles()) {
  multiplierRows_ = WorkArray<std::int32_t>(n);
  squareWeights_ = WorkArray<double>(n);
  crossWeights_ = WorkArray<double>(n);
  // Steps from the last column down, as the factorization took them. stepTop
  // is the highest column of the step: the step's interchange reaches the
  // multipliers of every column above stepTop.
  std::vector<std::int32_t> stepTop;
  for (int k = n - 1; k >= 0;) {
    if (ipvt[k] >= 0) {
      squareWeights_[k] = 1.0 / fac[k + k * ld];
      crossWeights_[k] = 0.0;
      multiplierRows_[k] = k;
      if (ipvt[k] != k) {
        swapRow_.push_back(k);
        swapWith_.push_back(ipvt[k]);
        stepTop.push_back(k);
      }
      k -= 1;
    } else {
      // [a b; b c]^{-1} = [c -b; -b a] / (a c - b^2)
      const double a = fac[(k - 1) + (k - 1) * ld], b = fac[(k - 1) + k * ld], c = fac[k + k * ld],
                   det = a * c - b * b;
      squareWeights_[k - 1] = c / det;
      squareWeights_[k] = a / det;
      crossWeights_[k - 1] = -2.0 * b / det;
      crossWeights_[k] = 0.0;
      multiplierRows_[k] = multiplierRows_[k - 1] = k - 1;
      if (~ipvt[k] != k - 1) {
        swapRow_.push_back(k - 1);
        swapWith_.push_back(~ipvt[k]);
        stepTop.push_back(k);
      }
      k -= 2;
    }
  }

  // Column j takes, in the order they were made, the interchanges of the steps
  // below it (stepTop < j).
  const int swaps = static_cast<int>(swapRow_.size());
  ParallelFor(n, WorkersFor(0.25 * n * n, workers), [&](int j, int) {
    const auto first = std::upper_bound(stepTop.begin(), stepTop.end(), j,
                                        [](int value, int top) { return value > top; });
    float* column = fac + j * ld;
    for (int s = static_cast<int>(first - stepTop.begin()); s < swaps; ++s)
      std::swap(column[swapRow_[s]], column[swapWith_[s]]);
  });

  // Panel t covers columns kb..ke-1 (kb = t * kPanelColumns). Its packed
  // part: the rows 0..kb-1 above the diagonal triangle T (the update of the
  // rows above once the panel is solved). With the tile unit instead, the
  // panel's rows of [I - T^{-1}, T^{-1} U(kb:ke, ke:n)]: the panel is solved
  // by one long product from all the rows below it, x := x - (I - T^{-1}) x -
  // T^{-1} U x(ke:n) = T^{-1} (x - U x(ke:n)), and a long product per tile of
  // the result makes its loads and stores cheap.
  const int panelCount = (n + kPanelColumns - 1) / kPanelColumns;
  panelStart_.resize(panelCount + 1);
  panelStart_[0] = 0;
  for (int t = 0; t < panelCount; ++t) {
    const int kb = t * kPanelColumns, ke = std::min(n, kb + kPanelColumns);
    panelStart_[t + 1] = panelStart_[t] + (tiles_ ? SplitPackedRowsSize(ke - kb, n - kb)
                                                  : PackedRowsSize<float>(kb, ke - kb));
  }
  if (tiles_)
    splitPanels_ = UnfilledWorkArray<std::uint16_t>(panelStart_[panelCount] + kLineHalves);
  else
    panels_ = WorkArray<float>(panelStart_[panelCount] + kLineFloats);
  panelData_ = AlignedToLine(panels_.data());
  splitData_ = AlignedToLine(splitPanels_.get());
  diagonalStart_.resize(panelCount + 1);
  diagonalStart_[0] = 0;
  for (int t = 0; t < panelCount; ++t) {
    const int width = std::min(n, (t + 1) * kPanelColumns) - t * kPanelColumns;
    diagonalStart_[t + 1] = diagonalStart_[t] + PackedRowsSize<float>(width, width);
  }
  diagonals_ = WorkArray<float>(diagonalStart_[panelCount] + kLineFloats);
  diagonalData_ = AlignedToLine(diagonals_.data());
  // A 2x2 block across a panel boundary kb has D's entry at (kb-1, kb), not
  // U's: out of the packed copies.
  std::vector<std::pair<float*, float>> across;
  for (int kb = kPanelColumns; kb < n; kb += kPanelColumns) {
    if (multiplierRows_[kb] != kb - 1) continue;
    float* entry = fac + (kb - 1) + kb * ld;
    across.emplace_back(entry, *entry);
    *entry = 0.0f;
  }
  // Each worker's triangle inverse, in double and as packed. With the tile
  // unit, T^{-1} U takes kPanelColumns^2 multiply-adds per column right of
  // the panel: n^2 kPanelColumns / 2 in all.
  const int threads =
      WorkersFor((tiles_ ? 0.5 * kPanelColumns : 0.5) * n * static_cast<double>(n), workers);
  constexpr std::size_t kSquare = static_cast<std::size_t>(kPanelColumns) * kPanelColumns;
  auto inverses = WorkArray<double>(kSquare * threads);
  auto stricts = WorkArray<float>(kSquare * threads);
  // With the tile unit, each worker's [I - T^{-1}, T^{-1} U] in floats
  // (kPanelColumns rows).
  const std::size_t wide = tiles_ ? static_cast<std::size_t>(kPanelColumns) * n : 0;
  auto combined = ZeroedWorkArray<float>(wide * threads);
  ParallelFor(panelCount, threads, [&](int t, int worker) {
    const int kb = t * kPanelColumns, ke = std::min(n, kb + kPanelColumns), width = ke - kb;
    if (!tiles_) PackRowSlivers<float>(kb, width, fac + kb * ld, ld, panelData_ + panelStart_[t]);
    // I - T^{-1} for the panel's unit upper triangle T, the inverse in
    // double, column by column: T y = e_j.
    double* inverse = inverses.data() + kSquare * worker;
    float* strict = stricts.data() + kSquare * worker;
    for (int j = 0; j < width; ++j) {
      double* y = inverse + static_cast<std::size_t>(j) * width;
      std::fill(y, y + width, 0.0);
      y[j] = 1.0;
      for (int l = j; l > 0; --l) {
        // Column l's multipliers: the rows above it but the 2x2 partner's.
        const int column = kb + l, rows = std::min(l, multiplierRows_[column] - kb);
        const float* u = fac + kb + column * ld;
        for (int i = 0; i < rows; ++i) y[i] -= u[i] * y[l];
      }
      float* column = strict + static_cast<std::size_t>(j) * width;
      for (int i = 0; i < width; ++i) column[i] = i < j ? static_cast<float>(-y[i]) : 0.0f;
    }
    PackRowSlivers<float>(width, width, strict, width, diagonalData_ + diagonalStart_[t]);
    if (!tiles_) return;
    // T^{-1} U right of I - T^{-1}.
    float* rows = combined.get() + wide * worker;
    std::copy_n(strict, static_cast<std::size_t>(width) * width, rows);
    MultiplyByInverse(width, inverse, n - ke, fac + kb + ke * ld, ld,
                      rows + static_cast<std::size_t>(width) * width);
    PackSplitRows(width, n - kb, rows, width, splitData_ + panelStart_[t]);
  });
  for (const auto& [entry, value] : across) *entry = value;
}

BlockedFactorSolve::Scratch::Scratch(int n, int cols)
    : packed(ZeroedWorkArray<float>(PackedColumnsSize(kPanelColumns, cols))),
      split(ZeroedWorkArray<std::uint16_t>(
          UsesSplitTiles() ? SplitPackedColumnsSize(n, cols) + kLineHalves : 0)) {}

void BlockedFactorSolve::Solve(float* x, std::size_t ldx, int cols, Scratch& scratch) const {
  for (int c = 0; c < cols; ++c) {
    float* xc = x + c * ldx;
    for (std::size_t s = 0; s < swapRow_.size(); ++s) std::swap(xc[swapRow_[s]], xc[swapWith_[s]]);
  }
  const int panelCount = static_cast<int>(panelStart_.size()) - 1;
  if (tiles_) {
    // The split copy of x holds the solved rows below the panel and, for the
    // product, the panel's own rows as they stand.
    std::uint16_t* split = AlignedToLine(scratch.split.get());
    for (int t = panelCount - 1; t >= 0; --t) {
      const int kb = t * kPanelColumns, rows = std::min(n_, kb + kPanelColumns) - kb;
      PackSplitColumns(rows, cols, x + kb, ldx, kb, n_, split);
      SubtractSplitProduct(rows, cols, n_ - kb, splitData_ + panelStart_[t], split, kb, n_, x + kb,
                           ldx);
      if (kb > 0) PackSplitColumns(rows, cols, x + kb, ldx, kb, n_, split);
    }
    return;
  }
  float* packed = scratch.packed.get();
  for (int t = panelCount - 1; t >= 0; --t) {
    const int kb = t * kPanelColumns, ke = std::min(n_, kb + kPanelColumns), rows = ke - kb;
    // x(kb:ke, :) := T^{-1} x(kb:ke, :) = x - (I - T^{-1}) x, from a packed copy.
    PackColumnSlivers<float>(rows, cols, x + kb, ldx, false, packed);
    SubtractPackedProduct<float>(rows, cols, rows, diagonalData_ + diagonalStart_[t], packed,
                                 x + kb, ldx);
    if (kb == 0) break;
    // x(0:kb, :) -= U(0:kb, kb:ke) x(kb:ke, :)
    PackColumnSlivers<float>(rows, cols, x + kb, ldx, false, packed);
    SubtractPackedProduct<float>(kb, cols, rows, panelData_ + panelStart_[t], packed, x, ldx);
  }
}

double BlockedFactorSolve::DiagonalQuadraticForm(const float* v) const {
  if (UsesAvx512())
    return WeightedSquaresAvx512(n_, squareWeights_.data(), crossWeights_.data(), v);
  return UsesAvx2Fma()
             ? WeightedSquaresAvx2(n_, squareWeights_.data(), crossWeights_.data(), v)
             : WeightedSquaresPortable(n_, squareWeights_.data(), crossWeights_.data(), v);
}

void BlockedFactorSolve::DiagonalQuadraticForms(const float* v, std::size_t ldv, int cols,
                                                double* forms) const {
  for (int c = 0; c < cols; ++c) forms[c] = DiagonalQuadraticForm(v + c * ldv);
}

}  // namespace kriging

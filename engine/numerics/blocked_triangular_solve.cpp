#include "numerics/blocked_triangular_solve.h"

#include "numerics/target_clones.h"

#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "critical_stop.h"
#include "numerics/simd_kernels.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

// The small diagonal triangle column by column, as SolveUnitTriangleTile
// (simd_kernels.h) does in registers: for j from rows-1 down to 1,
// x(i, c) -= u(i, j) x(j, c) for i < ends[j]. Compiled twice, chosen by the
// processor at load time; neither version fuses the multiply and subtract.
SORVAN_CLONES void SolveTriangle(int rows, const float* u, std::size_t ldu, const int* ends,
                                 float* x, std::size_t ldx, int cols) {
  for (int c = 0; c < cols; ++c) {
    float* __restrict xc = x + c * ldx;
    for (int j = rows - 1; j >= 1; --j) {
      const float xj = xc[j];
      const float* __restrict uj = u + j * ldu;
      for (int i = 0; i < ends[j]; ++i) xc[i] -= uj[i] * xj;
    }
  }
}

// DiagonalQuadraticForm for eight columns in the lanes of one vector: the same
// operations in the same order per column. Every operation is masked by the
// run-time mask of the columns present, so none is fused with another.
__attribute__((target("avx512f"))) void QuadraticFormsAvx512(
    int n, const float* fac, std::size_t ld, const std::int8_t* blockSize, const float* v,
    std::size_t ldv, int cols, double* forms) {
  const __mmask8 live = static_cast<__mmask8>((1u << cols) - 1u);
  const __m256i columns = _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                             _mm256_set1_epi32(static_cast<int>(ldv)));
  const __m256 present = _mm256_castsi256_ps(_mm256_cmpgt_epi32(
      _mm256_set1_epi32(cols), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
  // Entry k of the eight columns, in double.
#define SORVAN_ROW(k)                                                                    \
  _mm512_cvtps_pd(_mm256_mask_i32gather_ps(_mm256_setzero_ps(), v + (k), columns, present, \
                                           sizeof(float)))
  __m512d sum = _mm512_setzero_pd();
  for (int k = 0; k < n; ++k) {
    if (blockSize[k] == 1) {
      const __m512d vk = SORVAN_ROW(k);
      const __m512d d = _mm512_set1_pd(fac[k + k * ld]);
      sum = _mm512_maskz_add_pd(
          live, sum, _mm512_maskz_div_pd(live, _mm512_maskz_mul_pd(live, vk, vk), d));
    } else if (blockSize[k] == 2) {
      const double a = fac[k + k * ld], b = fac[k + (k + 1) * ld], c = fac[(k + 1) + (k + 1) * ld];
      const __m512d v1 = SORVAN_ROW(k), v2 = SORVAN_ROW(k + 1);
      const __m512d t1 =
          _mm512_maskz_mul_pd(live, _mm512_maskz_mul_pd(live, _mm512_set1_pd(c), v1), v1);
      const __m512d t2 = _mm512_maskz_mul_pd(
          live, _mm512_maskz_mul_pd(live, _mm512_set1_pd(2.0 * b), v1), v2);
      const __m512d t3 =
          _mm512_maskz_mul_pd(live, _mm512_maskz_mul_pd(live, _mm512_set1_pd(a), v2), v2);
      const __m512d ac = _mm512_maskz_mul_pd(live, _mm512_set1_pd(a), _mm512_set1_pd(c));
      const __m512d bb = _mm512_maskz_mul_pd(live, _mm512_set1_pd(b), _mm512_set1_pd(b));
      const __m512d numerator =
          _mm512_maskz_add_pd(live, _mm512_maskz_sub_pd(live, t1, t2), t3);
      sum = _mm512_maskz_add_pd(
          live, sum, _mm512_maskz_div_pd(live, numerator, _mm512_maskz_sub_pd(live, ac, bb)));
    }
  }
#undef SORVAN_ROW
  _mm512_mask_storeu_pd(forms, live, sum);
}

}  // namespace

BlockedFactorSolve::BlockedFactorSolve(int n, float* fac, std::size_t ld,
                                       const std::int32_t* ipvt, int workers)
    : n_(n), fac_(fac), ld_(ld) {
  multiplierRows_ = WorkArray<std::int32_t>(n);
  triangleEnds_ = WorkArray<int>(n);
  blockSize_ = WorkArray<std::int8_t>(n);
  // Steps from the last column down, as the factorization took them. stepTop
  // is the highest column of the step: the step's interchange reaches the
  // multipliers of every column above stepTop.
  std::vector<std::int32_t> stepTop;
  for (int k = n - 1; k >= 0;) {
    if (ipvt[k] >= 0) {
      blockSize_[k] = 1;
      multiplierRows_[k] = k;
      if (ipvt[k] != k) {
        swapRow_.push_back(k);
        swapWith_.push_back(ipvt[k]);
        stepTop.push_back(k);
      }
      k -= 1;
    } else {
      blockSize_[k - 1] = 2;
      multiplierRows_[k] = multiplierRows_[k - 1] = k - 1;
      if (~ipvt[k] != k - 1) {
        swapRow_.push_back(k - 1);
        swapWith_.push_back(~ipvt[k]);
        stepTop.push_back(k);
      }
      k -= 2;
    }
  }

  // Rows of column k's multipliers inside its diagonal triangle.
  for (int k = 0; k < n; ++k)
    triangleEnds_[k] =
        std::max(0, std::min(k, multiplierRows_[k]) - k / kInnerColumns * kInnerColumns);

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

  // Panel t covers columns kb..ke-1 (kb = t * kPanelColumns) and its packed
  // part the rows 0..kb-1 above the diagonal triangle.
  const int panelCount = (n + kPanelColumns - 1) / kPanelColumns;
  panelStart_.resize(panelCount + 1);
  panelStart_[0] = 0;
  for (int t = 0; t < panelCount; ++t) {
    const int kb = t * kPanelColumns, width = std::min(n, kb + kPanelColumns) - kb;
    panelStart_[t + 1] = panelStart_[t] + PackedRowsSize<float>(kb, width);
  }
  panels_ = WorkArray<float>(panelStart_[panelCount] + kLineFloats);
  panelData_ = AlignedToLine(panels_.data());
  constexpr int innerPerPanel = kPanelColumns / kInnerColumns;
  innerStart_.resize(static_cast<std::size_t>(panelCount) * innerPerPanel + 1);
  innerStart_[0] = 0;
  for (int t = 0; t < panelCount; ++t) {
    for (int s = 0; s < innerPerPanel; ++s) {
      const int kb = t * kPanelColumns, sb = kb + s * kInnerColumns;
      const int width = std::max(0, std::min({n, sb + kInnerColumns, kb + kPanelColumns}) - sb);
      const std::size_t at = static_cast<std::size_t>(t) * innerPerPanel + s;
      innerStart_[at + 1] = innerStart_[at] + PackedRowsSize<float>(sb - kb, width);
    }
  }
  inner_ = WorkArray<float>(innerStart_.back() + kLineFloats);
  innerData_ = AlignedToLine(inner_.data());
  // Packs U(first:last, columns..columns+width) into dst; a 2x2 block across
  // the boundary at `columns` has D's entry at (columns-1, columns), not U's.
  auto pack = [&](int first, int last, int columns, int width, float* dst) {
    PackRowSlivers<float>(last - first, width, fac + first + columns * ld, ld, dst);
    if (columns > first && width > 0 && multiplierRows_[columns] == columns - 1) {
      const int r = columns - 1 - first;
      dst[static_cast<std::size_t>(r / 16) * 16 * width + r % 16] = 0.0f;
    }
  };
  ParallelFor(panelCount, WorkersFor(0.5 * n * n, workers), [&](int t, int) {
    const int kb = t * kPanelColumns, ke = std::min(n, kb + kPanelColumns);
    pack(0, kb, kb, ke - kb, panelData_ + panelStart_[t]);
    for (int s = 1; s < innerPerPanel; ++s) {
      const int sb = kb + s * kInnerColumns;
      if (sb >= ke) break;
      pack(kb, sb, sb, std::min(ke, sb + kInnerColumns) - sb,
           innerData_ + innerStart_[static_cast<std::size_t>(t) * innerPerPanel + s]);
    }
  });
}

std::size_t BlockedFactorSolve::ScratchSize(int cols) {
  return PackedColumnsSize(kPanelColumns, cols);
}

void BlockedFactorSolve::Solve(float* x, std::size_t ldx, int cols, float* scratch) const {
  for (int c = 0; c < cols; ++c) {
    float* xc = x + c * ldx;
    for (std::size_t s = 0; s < swapRow_.size(); ++s) std::swap(xc[swapRow_[s]], xc[swapWith_[s]]);
  }
  const int panelCount = static_cast<int>(panelStart_.size()) - 1;
  constexpr int innerPerPanel = kPanelColumns / kInnerColumns;
  constexpr int C = kTileColumns;
  // The diagonal block of a panel, C right-hand sides at a time, in a copy
  // that stays in the first-level cache between its triangles and updates.
  alignas(64) float block[kPanelColumns * C];
  alignas(64) float packedBlock[kInnerColumns * C];
  for (int t = panelCount - 1; t >= 0; --t) {
    const int kb = t * kPanelColumns, ke = std::min(n_, kb + kPanelColumns), rows = ke - kb;
    for (int g = 0; g < cols; g += C) {
      const int width = std::min(C, cols - g);
      for (int c = 0; c < C; ++c) {
        const float* xc = x + kb + (g + c) * ldx;
        for (int i = 0; i < rows; ++i) block[i + c * kPanelColumns] = c < width ? xc[i] : 0.0f;
      }
      for (int s = (rows - 1) / kInnerColumns; s >= 0; --s) {
        const int sb = s * kInnerColumns, se = std::min(rows, sb + kInnerColumns);
        const float* u = fac_ + (kb + sb) * (ld_ + 1);
        const int* ends = triangleEnds_.data() + kb + sb;
        if (!SolveUnitTriangleTile(se - sb, u, ld_, ends, block + sb, kPanelColumns))
          SolveTriangle(se - sb, u, ld_, ends, block + sb, kPanelColumns, C);
        if (s == 0) break;
        // block(0:sb, :) -= U(kb:kb+sb, kb+sb:kb+se) block(sb:se, :)
        PackColumnSlivers<float>(se - sb, C, block + sb, kPanelColumns, false, packedBlock);
        SubtractPackedProduct<float>(
            sb, C, se - sb,
            innerData_ + innerStart_[static_cast<std::size_t>(t) * innerPerPanel + s],
            packedBlock, block, kPanelColumns);
      }
      for (int c = 0; c < width; ++c) {
        float* xc = x + kb + (g + c) * ldx;
        for (int i = 0; i < rows; ++i) xc[i] = block[i + c * kPanelColumns];
      }
    }
    if (kb == 0) break;
    // x(0:kb, :) -= U(0:kb, kb:ke) x(kb:ke, :)
    PackColumnSlivers<float>(rows, cols, x + kb, ldx, false, scratch);
    SubtractPackedProduct<float>(kb, cols, rows, panelData_ + panelStart_[t], scratch, x,
                                 ldx);
  }
}

double BlockedFactorSolve::DiagonalQuadraticForm(const float* v) const {
  double sum = 0.0;
  for (int k = 0; k < n_; ++k) {
    if (blockSize_[k] == 1) {
      sum += static_cast<double>(v[k]) * v[k] / fac_[k + k * ld_];
    } else if (blockSize_[k] == 2) {
      // [a b; b c]^{-1} = [c -b; -b a] / (a c - b^2)
      const double a = fac_[k + k * ld_], b = fac_[k + (k + 1) * ld_],
                   c = fac_[(k + 1) + (k + 1) * ld_];
      const double v1 = v[k], v2 = v[k + 1];
      sum += (c * v1 * v1 - 2.0 * b * v1 * v2 + a * v2 * v2) / (a * c - b * b);
    }
  }
  return sum;
}

void BlockedFactorSolve::DiagonalQuadraticForms(const float* v, std::size_t ldv, int cols,
                                                double* forms) const {
  for (int c = 0; c < cols; c += 8) {
    if (UsesAvx512())
      QuadraticFormsAvx512(n_, fac_, ld_, blockSize_.data(), v + c * ldv, ldv,
                           std::min(8, cols - c), forms + c);
    else
      for (int j = c; j < std::min(cols, c + 8); ++j) forms[j] = DiagonalQuadraticForm(v + j * ldv);
  }
}

}  // namespace kriging

#include "numerics/blocked_triangular_solve.h"

#include "numerics/target_clones.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "critical_stop.h"
#include "numerics/simd_kernels.h"
#include "numerics/thread_pool.h"

namespace kriging {
namespace {

// Four lanes of double, and of float (widened to double): GCC's vector types,
// so that every clone computes the same lane operations.
typedef double Doubles4 __attribute__((vector_size(32)));
typedef float Floats4 __attribute__((vector_size(16)));

// sum_k alpha_k v_k^2 + beta_k v_k v_{k+1} in double, in eight partial sums
// combined in a fixed order: vectorised, and the same bits on every
// processor. beta_{n-1} is 0 (no 2x2 block starts at the last entry).
SORVAN_CLONES double WeightedSquares(int n, const double* __restrict alpha,
                                     const double* __restrict beta,
                                     const float* __restrict v) {
  Doubles4 low = {}, high = {};
  int k = 0;
  for (; k + 8 < n; k += 8) {
    Floats4 f[4];
    Doubles4 square[2], cross[2];
    std::memcpy(&f[0], v + k, sizeof f[0]);
    std::memcpy(&f[1], v + k + 4, sizeof f[1]);
    std::memcpy(&f[2], v + k + 1, sizeof f[2]);  // the successors v_{k+1}
    std::memcpy(&f[3], v + k + 5, sizeof f[3]);
    std::memcpy(square, alpha + k, sizeof square);
    std::memcpy(cross, beta + k, sizeof cross);
    const Doubles4 a0 = __builtin_convertvector(f[0], Doubles4);
    const Doubles4 a1 = __builtin_convertvector(f[1], Doubles4);
    const Doubles4 b0 = __builtin_convertvector(f[2], Doubles4);
    const Doubles4 b1 = __builtin_convertvector(f[3], Doubles4);
    low += square[0] * a0 * a0 + cross[0] * a0 * b0;
    high += square[1] * a1 * a1 + cross[1] * a1 * b1;
  }
  double sum[8];
  std::memcpy(sum, &low, sizeof low);
  std::memcpy(sum + 4, &high, sizeof high);
  for (; k < n; ++k) {
    const double a = v[k], b = k + 1 < n ? v[k + 1] : 0.0;
    sum[k % 8] += alpha[k] * a * a + beta[k] * a * b;
  }
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

}  // namespace

BlockedFactorSolve::BlockedFactorSolve(int n, float* fac, std::size_t ld,
                                       const std::int32_t* ipvt, int workers)
    : n_(n) {
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
      const double a = fac[(k - 1) + (k - 1) * ld], b = fac[(k - 1) + k * ld],
                   c = fac[k + k * ld], det = a * c - b * b;
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
  diagonalStart_.resize(panelCount + 1);
  diagonalStart_[0] = 0;
  for (int t = 0; t < panelCount; ++t) {
    const int width = std::min(n, (t + 1) * kPanelColumns) - t * kPanelColumns;
    diagonalStart_[t + 1] = diagonalStart_[t] + PackedRowsSize<float>(width, width);
  }
  diagonals_ = WorkArray<float>(diagonalStart_[panelCount] + kLineFloats);
  diagonalData_ = AlignedToLine(diagonals_.data());
  ParallelFor(panelCount, WorkersFor(0.5 * n * n, workers), [&](int t, int) {
    const int kb = t * kPanelColumns, ke = std::min(n, kb + kPanelColumns), width = ke - kb;
    // U(0:kb, kb:ke); a 2x2 block across the boundary at kb has D's entry at
    // (kb-1, kb), not U's.
    float* panel = panelData_ + panelStart_[t];
    PackRowSlivers<float>(kb, width, fac + kb * ld, ld, panel);
    if (kb > 0 && multiplierRows_[kb] == kb - 1) {
      const int r = kb - 1;
      panel[static_cast<std::size_t>(r / 16) * 16 * width + r % 16] = 0.0f;
    }
    // I - T^{-1} for the panel's unit upper triangle T, the inverse in
    // double, column by column: T y = e_j.
    std::vector<double> inverse(static_cast<std::size_t>(width) * width, 0.0);
    std::vector<float> strict(static_cast<std::size_t>(width) * width, 0.0f);
    for (int j = 0; j < width; ++j) {
      double* y = inverse.data() + static_cast<std::size_t>(j) * width;
      y[j] = 1.0;
      for (int l = j; l > 0; --l) {
        // Column l's multipliers: the rows above it but the 2x2 partner's.
        const int column = kb + l, rows = std::min(l, multiplierRows_[column] - kb);
        const float* u = fac + kb + column * ld;
        for (int i = 0; i < rows; ++i) y[i] -= u[i] * y[l];
      }
      for (int i = 0; i < j; ++i) strict[i + static_cast<std::size_t>(j) * width] = static_cast<float>(-y[i]);
    }
    PackRowSlivers<float>(width, width, strict.data(), width, diagonalData_ + diagonalStart_[t]);
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
  for (int t = panelCount - 1; t >= 0; --t) {
    const int kb = t * kPanelColumns, ke = std::min(n_, kb + kPanelColumns), rows = ke - kb;
    // x(kb:ke, :) := T^{-1} x(kb:ke, :) = x - (I - T^{-1}) x, from a packed copy.
    PackColumnSlivers<float>(rows, cols, x + kb, ldx, false, scratch);
    SubtractPackedProduct<float>(rows, cols, rows, diagonalData_ + diagonalStart_[t], scratch,
                                 x + kb, ldx);
    if (kb == 0) break;
    // x(0:kb, :) -= U(0:kb, kb:ke) x(kb:ke, :)
    PackColumnSlivers<float>(rows, cols, x + kb, ldx, false, scratch);
    SubtractPackedProduct<float>(kb, cols, rows, panelData_ + panelStart_[t], scratch, x,
                                 ldx);
  }
}

double BlockedFactorSolve::DiagonalQuadraticForm(const float* v) const {
  return WeightedSquares(n_, squareWeights_.data(), crossWeights_.data(), v);
}

void BlockedFactorSolve::DiagonalQuadraticForms(const float* v, std::size_t ldv, int cols,
                                                double* forms) const {
  for (int c = 0; c < cols; ++c) forms[c] = DiagonalQuadraticForm(v + c * ldv);
}

}  // namespace kriging

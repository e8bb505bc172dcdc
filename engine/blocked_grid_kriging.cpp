#include "blocked_grid_kriging.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "critical_stop.h"
#include "grid_kriging.h"
#include "numerics/blocked_triangular_solve.h"
#include "numerics/bunch_kaufman.h"
#include "numerics/error_service.h"
#include "numerics/machine_constant.h"
#include "numerics/simd_kernels.h"
#include "numerics/target_clones.h"
#include "numerics/thread_pool.h"
#include "variogram_rows.h"

namespace kriging {
namespace {

// Refinement steps of the dual weights: the factor is single precision, the
// residual is formed in double from the copy of the matrix.
constexpr int kRefinementSteps = 2;

// r(0:count) -= column(0:count) wj; returns column(0:count) . w(0:count) in
// eight partial sums combined in a fixed order: vectorised, and the same bits
// on every processor.
SORVAN_CLONES double SubtractAndDot(int count, const float* __restrict column, double wj,
                                    const double* __restrict w, double* __restrict r) {
  double sum[8] = {};
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    for (int l = 0; l < 8; ++l) {
      r[i + l] -= column[i + l] * wj;
      sum[l] += column[i + l] * w[i + l];
    }
  }
  for (; i < count; ++i) {
    r[i] -= column[i] * wj;
    sum[i % 8] += column[i] * w[i];
  }
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

// w = A^{-1} rhs with iterative refinement: solve with the factor in float,
// form r = rhs - A w in double from the matrix kept in the strict lower
// triangle (A(i, j) = a[i + j ld] for i > j) and the diagonal, correct, repeat.
std::vector<double> RefinedSolve(int order, const float* a, std::size_t ld, const float* diagonal,
                                 const std::int32_t* pivots, const std::vector<double>& rhs) {
  auto w = WorkArray<double>(order);
  auto r = WorkArray<double>(order);
  auto correction = WorkArray<float>(order);
  for (int i = 0; i < order; ++i) correction[i] = static_cast<float>(rhs[i]);
  BunchKaufmanSolveInPlace(order, a, static_cast<int>(ld), pivots, correction.data());
  for (int i = 0; i < order; ++i) w[i] = correction[i];
  for (int step = 0; step < kRefinementSteps; ++step) {
    for (int i = 0; i < order; ++i) r[i] = rhs[i] - static_cast<double>(diagonal[i]) * w[i];
    for (int j = 0; j < order; ++j) {
      const int below = order - j - 1;
      r[j] -= SubtractAndDot(below, a + j * ld + j + 1, w[j], w.data() + j + 1, r.data() + j + 1);
    }
    for (int i = 0; i < order; ++i) correction[i] = static_cast<float>(r[i]);
    BunchKaufmanSolveInPlace(order, a, static_cast<int>(ld), pivots, correction.data());
    for (int i = 0; i < order; ++i) w[i] += correction[i];
  }
  return w;
}

// w^T column in double, in eight partial sums combined in a fixed order:
// vectorised, and the same bits on every processor.
SORVAN_CLONES double DualWeightSum(int order, const double* __restrict w,
                                   const float* __restrict column) {
  double sum[8] = {};
  int k = 0;
  for (; k + 8 <= order; k += 8)
    for (int j = 0; j < 8; ++j) sum[j] += w[k + j] * column[k + j];
  for (; k < order; ++k) sum[k % 8] += w[k] * column[k];
  return ((sum[0] + sum[1]) + (sum[2] + sum[3])) + ((sum[4] + sum[5]) + (sum[6] + sum[7]));
}

}  // namespace

void KrigeGridBlocked(int n, const float* z, const float* x, const float* y, int trendTermCount,
                      DriftFunction driftTerm, LagVariogram variogram, int firstI, int firstJ,
                      int nx, int ny, float xMin, float yMin, float dx, float dy, int gridRows,
                      float* prediction, float* variance, float holeValue, float range[2]) {
  std::FILE* log = OutputDestination(2);
  const int p = trendTermCount;
  const int order = n + p;
  const std::size_t ld = static_cast<std::size_t>(order);
  const int workers = WorkerCount();

  auto pivots = WorkArray<std::int32_t>(ld);
  auto system = UnfilledWorkArray<float>(ld * ld);  // written whole below
  auto diagonal = WorkArray<float>(ld);
  auto dataOrder = WorkArray<int>(static_cast<std::size_t>(std::max(n, 0)));
  float* a = system.get();

  // Upper triangle as the reference path builds it; the strict lower triangle
  // and `diagonal` keep the matrix for the refinement (the factorization reads
  // and writes the upper triangle only).
  std::fprintf(log, "    Inicializando la matriz ...\n");
  ParallelFor(order, WorkersFor(10.0 * order * order, workers), [&](int j, int) {
    float* column = a + j * ld;
    if (j < n) {
      if (variogram == &SemivariogramOfLag) {
        // gamma(x_i - x_j) from the point x_j; the diagonal lag is exactly 0.
        CurrentModelAtLagsSingle(j + 1, x, y, x[j], y[j], column);
      } else {
        for (int i = 0; i <= j; ++i) column[i] = variogram(x[i] - x[j], y[i] - y[j]);
      }
    } else {
      for (int i = 0; i < n; ++i) column[i] = driftTerm(j - n + 1, x[i], y[i]);
      for (int i = n; i <= j; ++i) column[i] = 0.0f;
    }
  });
  // The strict lower triangle from the upper one, in square tiles (each
  // read by columns and written by rows within the caches).
  constexpr int kTile = 64;
  const int tiles = (order + kTile - 1) / kTile;
  ParallelFor(tiles, WorkersFor(2.0 * order * order, workers), [&](int tj, int) {
    const int jb = tj * kTile, je = std::min(order, jb + kTile);
    for (int j = jb; j < je; ++j) diagonal[j] = a[j + j * ld];
    for (int ib = 0; ib <= jb; ib += kTile)
      for (int i = ib; i < std::min(ib + kTile, je); ++i)
        for (int j = std::max(jb, i + 1); j < je; ++j) a[j + i * ld] = a[i + j * ld];
  });

  std::fprintf(log, "    Factorizando ...\n");
  std::fflush(log);
  ReportHiddenSingularity(n, p, x, y, dataOrder.data());
  SymmetricFactor(order, a, order, a, order, pivots.data());

  // Dual weights w = A^{-1} [z; 0], with the factor still in the form the
  // unblocked solve takes.
  auto dualRhs = WorkArray<double>(ld);
  for (int k = 0; k < n; ++k) dualRhs[k] = z[k];
  const std::vector<double> w = RefinedSolve(order, a, ld, diagonal.data(), pivots.data(), dualRhs);
  const BlockedFactorSolve solve(order, a, ld, pivots.data(), workers);

  range[0] = MachineConstant(7);
  range[1] = MachineConstant(8);

  std::fprintf(log, "    Dando valores ...\n");
  // Nodes to krige, in the order of the reference path (x outer, y inner).
  const int iFirst = std::max(firstI, 0), jFirst = std::max(firstJ, 0);
  const std::size_t visited = static_cast<std::size_t>(std::max(nx - iFirst, 0)) *
                              static_cast<std::size_t>(std::max(ny - jFirst, 0));
  auto nodes = WorkArray<std::size_t>(visited);
  auto nodeI = WorkArray<std::int32_t>(visited);
  auto nodeJ = WorkArray<std::int32_t>(visited);
  int nodeCount = 0;
  for (int i = iFirst; i < nx; ++i) {
    for (int j = jFirst; j < ny; ++j) {
      const std::size_t node = static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * gridRows;
      if (prediction[node] == holeValue) {
        variance[node] = holeValue;
        continue;
      }
      nodes[nodeCount] = node;
      nodeI[nodeCount] = i;
      nodeJ[nodeCount] = j;
      ++nodeCount;
    }
  }
  const int blocks = (nodeCount + kNodesPerBlock - 1) / kNodesPerBlock;
  const int threads = std::max(
      1, std::min(WorkersFor(0.5 * static_cast<double>(order) * order * nodeCount, workers), blocks));
  // Right-hand sides with columns starting on cache lines (a leading
  // dimension of whole lines), so that the tiles' loads and stores of them
  // are not split across lines.
  const std::size_t ldb = (ld + 15) / 16 * 16;
  auto rhs = ZeroedWorkArray<float>(ldb * kNodesPerBlock * threads + kLineFloats);
  float* rhsBase = AlignedToLine(rhs.get());
  std::vector<BlockedFactorSolve::Scratch> scratch;
  for (int t = 0; t < threads; ++t) scratch.emplace_back(order, kNodesPerBlock);

  ParallelFor(blocks, threads, [&](int block, int worker) {
    float* b = rhsBase + ldb * kNodesPerBlock * worker;
    const int first = block * kNodesPerBlock;
    const int count = std::min(kNodesPerBlock, nodeCount - first);
    for (int c = 0; c < count; ++c) {
      const float x0 = static_cast<float>(nodeI[first + c]) * dx + xMin;
      const float y0 = static_cast<float>(nodeJ[first + c]) * dy + yMin;
      float* column = b + c * ldb;
      if (variogram == &SemivariogramOfLag)
        CurrentModelAtLagsSingle(n, x, y, x0, y0, column);
      else
        for (int k = 0; k < n; ++k) column[k] = variogram(x[k] - x0, y[k] - y0);
      for (int k = 0; k < p; ++k) column[n + k] = driftTerm(k + 1, x0, y0);
      prediction[nodes[first + c]] = static_cast<float>(DualWeightSum(order, w.data(), column));
    }
    solve.Solve(b, ldb, count, scratch[worker]);
    double forms[kNodesPerBlock];
    solve.DiagonalQuadraticForms(b, ldb, count, forms);
    for (int c = 0; c < count; ++c) variance[nodes[first + c]] = static_cast<float>(forms[c]);
  });

  for (int c = 0; c < nodeCount; ++c) {
    range[0] = std::min(range[0], prediction[nodes[c]]);
    range[1] = std::max(range[1], prediction[nodes[c]]);
  }
}

}  // namespace kriging

#include "grid_kriging.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "blocked_grid_kriging.h"
#include "critical_stop.h"
#include "numerics/bunch_kaufman.h"
#include "numerics/error_service.h"
#include "numerics/kernels.h"
#include "numerics/machine_constant.h"

namespace kriging {
namespace {

// 1-based index of the later of two data at the same coordinates, or 0.
// Coinciding data give two equal rows of the system, singular in exact
// arithmetic; in floats the Bunch-Kaufman elimination may leave a rounding
// residue instead of an exactly zero pivot block and the solves would return
// meaningless weights without any message. `order` is work space of n entries.
int CoincidingDatum(int n, const float* x, const float* y, int* order) {
  for (int i = 0; i < n; ++i) order[i] = i;
  std::sort(order, order + n, [&](int a, int b) {
    return x[a] < x[b] || (x[a] == x[b] && (y[a] < y[b] || (y[a] == y[b] && a < b)));
  });
  for (int k = 1; k < n; ++k) {
    const int a = order[k - 1], b = order[k];
    if (x[a] == x[b] && y[a] == y[b]) return std::max(a, b) + 1;
  }
  return 0;
}

// The same fatal error the factorization gives for an exactly zero pivot block.
void ReportSingularSystem(int block) {
  ServiceCall call("LFTSF");
  MessageValues values;
  values.i1 = block;
  ReportError(4, 2, FormatMessage("The input matrix is singular because pivot block %(I1) is "
                                  "singular.",
                                  values));
}

}  // namespace

void ReportHiddenSingularity(int n, int p, const float* x, const float* y, int* order) {
  // Two exactly singular cases that rounding may hide from the pivot test:
  // coinciding data, and fewer data than drift terms (rank at most 2n < N).
  if (const int block = CoincidingDatum(n, x, y, order); block != 0)
    ReportSingularSystem(block);
  else if (n < p)
    ReportSingularSystem(n + p);
}

void KrigeGrid(int n, const float* z, const float* x, const float* y, int trendTermCount,
               DriftFunction driftTerm, LagVariogram variogram, int firstI, int firstJ, int nx,
               int ny, float xMin, float yMin, float dx, float dy, int gridRows,
               float* prediction, float* variance, float holeValue, float range[2]) {
  KrigeGridBlocked(n, z, x, y, trendTermCount, driftTerm, variogram, firstI, firstJ, nx, ny, xMin,
                   yMin, dx, dy, gridRows, prediction, variance, holeValue, range);
}

void KrigeGridReference(int n, const float* z, const float* x, const float* y,
                        int trendTermCount, DriftFunction driftTerm, LagVariogram variogram,
                        int firstI, int firstJ, int nx, int ny, float xMin, float yMin, float dx,
                        float dy, int gridRows, float* prediction, float* variance,
                        float holeValue, float range[2]) {
  std::FILE* log = OutputDestination(2);
  const int p = trendTermCount;
  const int order = n + p;
  const std::size_t ld = static_cast<std::size_t>(order);

  // Work arrays, obtained once: pivot record, system matrix (then its factor),
  // right-hand side, solution.
  auto pivots = WorkArray<std::int32_t>(ld);
  auto system = WorkArray<float>(ld * ld);
  auto rhs = WorkArray<float>(ld);
  auto solution = WorkArray<float>(ld);
  auto dataOrder = WorkArray<int>(static_cast<std::size_t>(std::max(n, 0)));
  float* a = system.data();

  std::fprintf(log, "    Inicializando la matriz ...\n");
  for (int i = 0; i < n; ++i) {
    for (int j = i; j < n; ++j) a[i + j * ld] = variogram(x[i] - x[j], y[i] - y[j]);
    for (int k = 0; k < p; ++k) a[i + (n + k) * ld] = driftTerm(k + 1, x[i], y[i]);
  }
  for (int k = n; k < order; ++k)
    for (int l = k; l < order; ++l) a[k + l * ld] = 0;

  std::fprintf(log, "    Factorizando ...\n");
  std::fflush(log);
  ReportHiddenSingularity(n, p, x, y, dataOrder.data());
  SymmetricFactor(order, a, order, a, order, pivots.data());

  range[0] = MachineConstant(7);
  range[1] = MachineConstant(8);

  std::fprintf(log, "    Dando valores ...\n");
  for (int i = std::max(firstI, 0); i < nx; ++i) {
    const float x0 = static_cast<float>(i) * dx + xMin;
    for (int j = std::max(firstJ, 0); j < ny; ++j) {
      const std::size_t node = static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * gridRows;
      if (prediction[node] == holeValue) {
        variance[node] = holeValue;
        continue;
      }
      const float y0 = static_cast<float>(j) * dy + yMin;
      for (int k = 0; k < n; ++k) rhs[k] = variogram(x[k] - x0, y[k] - y0);
      for (int k = 0; k < p; ++k) rhs[n + k] = driftTerm(k + 1, x0, y0);
      SymmetricSolve(order, a, order, pivots.data(), rhs.data(), solution.data());
      const float value = DotProduct(n, z, 1, solution.data(), 1);
      prediction[node] = value;
      variance[node] = DotProduct(order, rhs.data(), 1, solution.data(), 1);
      range[0] = std::min(range[0], value);
      range[1] = std::max(range[1], value);
    }
  }
}

}  // namespace kriging

#pragma once
// Universal kriging of every node of a regular grid from all the data at once
// (no search neighbourhood), in the semivariogram form:
//
//   | G   F | |lambda|   | g0 |      G(i, j) = gamma(x_i - x_j, y_i - y_j)   (n x n)
//   | F^T 0 | |  mu  | = | f0 |      F(i, k) = f_k(x_i, y_i)                 (n x p)
//
// with g0(i) = gamma(x_i - x0, y_i - y0) and f0(k) = f_k(x0, y0) for the node
// (x0, y0). Kriged value: sum lambda_i z_i; kriging variance: the dot product
// of the right-hand side with the solution, sum lambda_i g0(i) + sum mu_k f0(k).
//
// Cost: the system of order N = n + p is built (upper triangle only) and
// factored once, O(N^3); each node then costs one solve with the stored factor
// and two dot products, O(N^2), without allocation.
#include "drift_terms.h"
#include "variogram_models.h"

namespace kriging {

// Arrays are 0-based: z, x, y hold n data. prediction and variance are
// column-major with leading dimension gridRows (>= nx): node (i, j), i along x,
// j along y, lies at x = xMin + i dx, y = yMin + j dy (computed in float, one
// multiplication and one addition) and is stored at [i + j * gridRows].
//
// Nodes i = firstI..nx-1, j = firstJ..ny-1 are visited. A node whose prediction
// equals holeValue exactly on entry is not kriged: its prediction is kept and
// its variance set to holeValue. range[0] and range[1] receive the lowest and
// highest kriged value (+inf and -inf when no node is kriged).
//
// Progress lines go to destination 2 of the output-unit service. Work arrays
// not obtained: CriticalStop. A factor with an exactly zero pivot block, two
// data at the same coordinates (equal rows) or fewer data than drift terms
// (systems singular in exact arithmetic whose rounding may hide the zero pivot
// from the factorization): the factorization's fatal singular-pivot error,
// which under the default actions ends the process before any grid value is
// written.
void KrigeGrid(int n, const float* z, const float* x, const float* y, int trendTermCount,
               DriftFunction driftTerm, LagVariogram variogram, int firstI, int firstJ, int nx,
               int ny, float xMin, float yMin, float dx, float dy, int gridRows,
               float* prediction, float* variance, float holeValue, float range[2]);

// KrigeGrid does the work in blocks of nodes (KrigeGridBlocked,
// blocked_grid_kriging.h). This is the straightforward path it replaces, one
// SymmetricSolve per node, kept as the reference the tests compare against.
// Same contract.
void KrigeGridReference(int n, const float* z, const float* x, const float* y,
                        int trendTermCount, DriftFunction driftTerm, LagVariogram variogram,
                        int firstI, int firstJ, int nx, int ny, float xMin, float yMin, float dx,
                        float dy, int gridRows, float* prediction, float* variance,
                        float holeValue, float range[2]);

// Shared by both paths, before the factorization: coinciding data (two equal
// rows) or fewer data than drift terms are reported as the factorization's
// fatal singular-pivot error, since rounding may hide the zero pivot block
// from it. `order` is work space of n ints.
void ReportHiddenSingularity(int n, int p, const float* x, const float* y, int* order);

}  // namespace kriging

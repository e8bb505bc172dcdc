#pragma once
// Kriging with a moving search neighbourhood ("Kriging Local"): every grid
// node gets its own small system built from the N data nearest to it within
// the maximum distance D, optionally up to N/4 from each quadrant, in the
// semivariogram form of the global path (grid_kriging.h):
//
//   | G   F | |lambda|   | g0 |   G(i, j) = gamma(|x_i - x_j|), i, j neighbours
//   | F^T 0 | |  mu  | = | f0 |   F(i, k) = f_k(x_i): drift monomials of degree d
//
// prediction sum lambda_i z_i, kriging variance sum lambda_i g0(i) + sum mu_k f0(k).
//
// Numerics: double precision throughout; for the models with a sill (the
// model table's sill factor) the covariance form C = sill - gamma is solved
// by Cholesky, otherwise (or when that is not positive definite) the system
// above by Gaussian elimination with partial pivoting after scaling G to a
// largest entry of 1.
// The drift monomials are taken on a frame centred on the neighbours' mean
// and scaled by their extent: a polynomial space is the same in any affine
// frame, so the result is that of the global frame (drift_terms.h) in exact
// arithmetic, and the local frame keeps a cubic drift well conditioned even
// when the neighbourhood is a thousandth of the data's extent.
//
// Holes: a node with fewer than max(M, p) neighbours (p drift terms), or
// whose system is singular (coinciding data inside the neighbourhood, or
// neighbours on a line under a linear or higher drift), gets the hole value
// in both grids and is counted; it never receives a number.
//
// Work: grid rows are shared over the engine's threads; along a row each node
// starts its search with the bound given by the previous node's neighbours,
// and when its neighbour set is the previous one, reuses that factorization.
// Both reuses are exact, so the output has the same bits for any thread
// count. No allocation per node. Cost per node O(N^3 / 3) for the
// elimination plus, on spread data, O(N) for the search (point_grid.h).
#include <limits>
#include <string>

namespace kriging {

struct LocalNeighbourhood {
  int maxPoints = 32;  // N: neighbours taken (with 4 sectors: N / 4 per quadrant)
  int minPoints = 1;   // M: fewer neighbours leave a hole
  double maxDistance = std::numeric_limits<double>::infinity();  // D > 0
  int sectors = 1;     // 1, or 4 for the quadrant search
  // Neighbours a node can get at most: N, or 4 (N / 4) with four sectors.
  int Capacity() const { return sectors == 4 ? 4 * (maxPoints / 4) : maxPoints; }
};

// A polynomial trend fixed beforehand (the global trend of the "Tendencia"
// unchecked variant): removed from the data, kriged residuals, added back.
// The monomials are those of drift_terms.h on u = (x - centreX) / scale,
// v = (y - centreY) / scale.
struct FixedTrend {
  int terms = 0;  // 0 (no trend), 1, 3, 6 or 10
  double centreX = 0, centreY = 0, scale = 1;
  double beta[10] = {};
  double At(double x, double y) const;
};

struct LocalKrigingInput {
  int n = 0;  // data: x, y, z of n points, 0-based
  const double* x = nullptr;
  const double* y = nullptr;
  const double* z = nullptr;
  int modelCode = 1;  // 1..6 (variogram_models.h)
  double c0 = 0, c1 = 1, a = 1;
  int trendDegree = 0;  // 0..3: drift inside each neighbourhood (0: ordinary)
  FixedTrend trend;     // global trend removed first (terms 0: none)
  LocalNeighbourhood neighbourhood;
  // Grid of nx x ny nodes: node (i, j) at x = xMin + i dx, y = yMin + j dy
  // (double), stored at [i + j * gridRows] of the two output grids.
  int nx = 0, ny = 0;
  double xMin = 0, yMin = 0, dx = 1, dy = 1;
  int gridRows = 0;  // >= nx
  float holeValue = -10000.0f;
};

struct LocalKrigingSummary {
  long long kriged = 0;            // nodes that received a value
  long long leftOut = 0;           // holes on entry (not kriged by request)
  long long tooFewNeighbours = 0;  // holes: fewer than max(M, p) neighbours
  long long singular = 0;          // holes: singular neighbourhood system
  long long reusedSystems = 0;     // nodes that reused the previous node's factorization
  double minimum = std::numeric_limits<double>::infinity();  // range of the kriged values
  double maximum = -std::numeric_limits<double>::infinity();
  long long Holes() const { return tooFewNeighbours + singular; }
};

// Empty when the neighbourhood can serve a drift of degree trendDegree, else
// a message in Spanish naming the value at fault: N below the drift terms
// (with 4 sectors: 4 (N / 4) below them), N above 500, M < 1, M > N, D <= 0
// or not a number, sectors other than 1 and 4.
std::string CheckNeighbourhood(const LocalNeighbourhood& neighbourhood, int trendDegree);

// Empty when the input can be kriged, else a message in Spanish naming the
// value at fault (N below the drift terms, M > N, D <= 0, a bad sector count,
// model, grid, or a non-finite datum).
std::string CheckLocalKriging(const LocalKrigingInput& input);

// Kriges every node of the grid. A node whose prediction equals holeValue on
// entry is left out: its prediction is kept and its variance set to
// holeValue. Other nodes receive the prediction and the variance rounded to
// float, or holeValue in both (counted in the summary). `threads` < 1 means
// the engine's worker count. Call only with an input CheckLocalKriging
// accepts.
LocalKrigingSummary KrigeGridLocal(const LocalKrigingInput& input, float* prediction,
                                   float* variance, int threads = 0);

// The drift monomials 1, u, v, uu, uv, vv, uuu, uuv, vvu, vvv (drift_terms.h
// order), the first `terms` of them written to f.
void DriftMonomials(double u, double v, int terms, double* f);

}  // namespace kriging

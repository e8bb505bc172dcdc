// Local-neighbourhood kriging of a grid: search, one small system per node,
// Gaussian elimination with partial pivoting in double.
#include "local_kriging.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "kd_tree.h"
#include "point_grid.h"
#include "numerics/target_clones.h"
#include "numerics/thread_pool.h"
#include "variogram_models.h"

namespace kriging {
namespace {

// Largest N accepted: a node's system is dense, O(N^3) per node.
constexpr int kMaxNeighbours = 500;

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

int DriftCount(int degree) { return (degree + 1) * (degree + 2) / 2; }

// gamma(h) = c0 + c1 g(h; a) beyond the origin threshold, 0 at the origin
// (the nugget is a jump), over many lengths at once with the model table's
// double rows (vectorised where the shape allows).
class Semivariogram {
 public:
  Semivariogram(const ModelInfo* model, double c0, double c1, double a)
      : model_(model), c0_(c0), c1_(c1), a_(a) {}
  void AtLengths(int count, const double* h, double* values) const {
    ModelAtLengths(*model_, count, h, values, c0_, c1_, a_);
  }

 private:
  const ModelInfo* model_;
  double c0_, c1_, a_;
};

// h[k] = |(x[k], y[k]) - (x0, y0)|, k < count, in one pass.
SORVAN_CLONES void LengthsFrom(int count, const double* __restrict x, const double* __restrict y,
                               double x0, double y0, double* __restrict h) {
  for (int k = 0; k < count; ++k) {
    const double ex = x[k] - x0, ey = y[k] - y0;
    h[k] = std::sqrt(ex * ex + ey * ey);
  }
}

// Row-major LU factorization with partial pivoting, in place. Returns false
// when a pivot is not above `tolerance` in magnitude (singular to working
// precision); piv[k] is the row swapped with row k at step k.
bool FactorLU(int m, double* a, int* piv, double tolerance) {
  for (int k = 0; k < m; ++k) {
    int p = k;
    double best = std::fabs(a[k * m + k]);
    for (int i = k + 1; i < m; ++i) {
      const double v = std::fabs(a[i * m + k]);
      if (v > best) best = v, p = i;
    }
    if (!(best > tolerance)) return false;
    piv[k] = p;
    if (p != k) std::swap_ranges(a + k * m, a + (k + 1) * m, a + p * m);
    const double* rowK = a + k * m;
    const double inverse = 1.0 / rowK[k];
    for (int i = k + 1; i < m; ++i) {
      double* rowI = a + i * m;
      const double f = rowI[k] * inverse;
      rowI[k] = f;
      if (f == 0.0) continue;
      for (int j = k + 1; j < m; ++j) rowI[j] -= f * rowK[j];
    }
  }
  return true;
}

void SolveLU(int m, const double* lu, const int* piv, double* x) {
  for (int k = 0; k < m; ++k)
    if (piv[k] != k) std::swap(x[k], x[piv[k]]);
  for (int i = 1; i < m; ++i) {
    const double* row = lu + i * m;
    double s = x[i];
    for (int j = 0; j < i; ++j) s -= row[j] * x[j];
    x[i] = s;
  }
  for (int i = m - 1; i >= 0; --i) {
    const double* row = lu + i * m;
    double s = x[i];
    for (int j = i + 1; j < m; ++j) s -= row[j] * x[j];
    x[i] = s / row[i];
  }
}

// row[c] = old[position[c]] for c < count; a slot whose position is -1 (a
// new point) takes old[0] and is overwritten by its caller.
SORVAN_CLONES void GatherHeld(int count, const double* __restrict old,
                              const int* __restrict position, double* __restrict row) {
  for (int c = 0; c < count; ++c) row[c] = old[std::max(position[c], 0)];
}

// row[c] = 1 - g[c] s for c < count: the covariance in units of the sill.
SORVAN_CLONES void CovarianceRow(int count, const double* __restrict g, double s,
                                 double* __restrict row) {
  for (int c = 0; c < count; ++c) row[c] = 1.0 - g[c] * s;
}

// Rows of the covariance factor are padded to whole vectors of 4 doubles.
constexpr int kLane = 4;
int Padded(int k) { return (k + kLane - 1) / kLane * kLane; }

// Cholesky factor K = U^T U of a symmetric k x k matrix, in place (row-major,
// rows of `stride` >= k, a multiple of kLane): the upper triangle is read and
// U written there, so that a column of the lower factor L = U^T is a
// contiguous row. Columns k..stride-1 hold right-hand sides B (or zeros),
// which leave as L^-1 B: the elimination carries them along in one pass.
// The entries of a row from its lane boundary before the diagonal, and up to
// the stride, must be finite (they are used as work, and left as garbage
// below the diagonal). Right-looking, kLane rows at a time: the panel's rows
// are finished one by one, then the rows below take all kLane updates in one
// pass, each entry still reduced in the unblocked order; every loop runs over
// whole aligned vectors from a lane boundary. Returns false when a pivot is
// not above `tolerance` (not positive definite to working precision).
SORVAN_CLONES bool FactorCholesky(int k, int stride, double* __restrict a,
                                  double tolerance) {
  for (int j0 = 0; j0 < k; j0 += kLane) {
    const int j1 = std::min(j0 + kLane, k);
    for (int j = j0; j < j1; ++j) {
      double* rowJ = a + j * stride;
      const double pivot = rowJ[j];
      if (!(pivot > tolerance)) return false;
      const double root = std::sqrt(pivot), inverse = 1.0 / root;
      for (int l = j0; l < stride; l += kLane)
        for (int t = 0; t < kLane; ++t) rowJ[l + t] *= inverse;
      rowJ[j] = root;
      for (int i = j + 1; i < j1; ++i) {  // the panel's later rows
        const double f = rowJ[i];
        double* row = a + i * stride;
        for (int l = j0; l < stride; l += kLane) {
          double v[kLane];  // loads before stores: one vector each
          for (int t = 0; t < kLane; ++t) v[t] = row[l + t] - f * rowJ[l + t];
          for (int t = 0; t < kLane; ++t) row[l + t] = v[t];
        }
      }
    }
    if (j1 - j0 < kLane) break;  // the last rows: nothing below
    const double* u0 = a + j0 * stride;
    const double* u1 = u0 + stride;
    const double* u2 = u1 + stride;
    const double* u3 = u2 + stride;
    for (int i = j1; i < k; ++i) {
      const double f0 = u0[i], f1 = u1[i], f2 = u2[i], f3 = u3[i];
      double* row = a + i * stride;
      for (int l = i / kLane * kLane; l < stride; l += kLane) {
        double v[kLane];
        for (int t = 0; t < kLane; ++t)
          v[t] = row[l + t] - f0 * u0[l + t] - f1 * u1[l + t] - f2 * u2[l + t] - f3 * u3[l + t];
        for (int t = 0; t < kLane; ++t) row[l + t] = v[t];
      }
    }
  }
  return true;
}

// x := U^-T x (= L^-1 x), by columns of L: contiguous rows of U.
SORVAN_CLONES void ForwardSolve(int k, int stride, const double* __restrict u,
                                double* __restrict x) {
  for (int j = 0; j < k; ++j) {
    const double* row = u + j * stride;
    const double xj = x[j] /= row[j];
    for (int i = j + 1; i < k; ++i) x[i] -= row[i] * xj;
  }
}

// sum a[j] b[j], j < n, in kLane partial sums (a fixed order: the same bits
// on every run) that the compiler keeps in one vector; inlined into each
// clone of its caller (a call per row through the dispatch costs more).
inline double Dot(int n, const double* __restrict a, const double* __restrict b) {
  double partial[kLane] = {};
  int j = 0;
  for (; j + kLane <= n; j += kLane)
    for (int t = 0; t < kLane; ++t) partial[t] += a[j + t] * b[j + t];
  double sum = 0;
  for (int t = 0; t < kLane; ++t) sum += partial[t];
  for (; j < n; ++j) sum += a[j] * b[j];
  return sum;
}

// x := U^-1 x (= L^-T x). Each x[i] waits only for the last one found: the
// rest of its dot product and the reciprocal of the pivot do not depend on
// it, so the processor computes them ahead.
SORVAN_CLONES void BackSolve(int k, int stride, const double* u, double* x) {
  for (int i = k - 1; i >= 0; --i) {
    const double* row = u + i * stride;
    const double inverse = 1.0 / row[i];
    const double rest = i + 2 < k ? Dot(k - i - 2, row + i + 2, x + i + 2) : 0.0;
    const double last = i + 1 < k ? row[i + 1] * x[i + 1] : 0.0;
    x[i] = (x[i] - (rest + last)) * inverse;
  }
}

// Everything one thread needs, obtained once before the loop.
struct Workspace {
  Workspace(int capacity, int terms)
      : search(std::max(capacity, 1)),
        cells{std::vector<Neighbour>(Size(16) * Size(std::max(capacity, 1))),
              std::vector<Neighbour>(Size(16) * Size(std::max(capacity, 1)))},
        found(Size(capacity)),
        set(Size(capacity)),
        previousSet(Size(capacity)),
        previousPosition(Size(capacity)),
        added(Size(capacity)),
        addedX(Size(capacity)),
        addedY(Size(capacity)),
        heldX(Size(capacity)),
        heldY(Size(capacity)),
        heldZ(Size(capacity)),
        lengths(Size(capacity) * Size(capacity)),
        pairAt(lengths.size()),
        pairGamma(lengths.size()),
        gamma(Size(capacity) * Size(capacity)),
        previousGamma(gamma.size()),
        factor(Size(Padded(capacity + terms + 1)) * Size(Padded(capacity + terms + 1))),
        drift(Size(capacity) * Size(terms)),
        schur(Size(terms) * Size(Padded(terms))),
        pivots(Size(capacity + terms)),
        rhs(Size(capacity + terms)),
        solution(Size(capacity + terms)) {}
  static std::size_t Size(int count) { return static_cast<std::size_t>(count); }

  KdSearchScratch search;  // quadrant searches
  PointGridScratch cells;  // nearest-N searches
  std::vector<Neighbour> found;
  std::vector<int> set, previousSet;  // the neighbours, increasing (see KrigeNode)
  std::vector<int> previousPosition;  // where set[r] was in the previous set, or -1
  std::vector<int> added;             // rows of set not in the previous set
  std::vector<double> addedX, addedY;  // and their coordinates
  int previousCount = -1;             // -1: nothing held
  bool previousFull = false;          // previous search returned N points (bound usable)
  std::vector<double> heldX, heldY;   // coordinates of the held set, in its order
  std::vector<double> heldZ;          // and its residuals
  // Lengths to evaluate in one row call, and where in `gamma` each goes.
  std::vector<double> lengths;
  std::vector<int> pairAt;
  std::vector<double> pairGamma;
  // The semivariogram between the neighbours (upper triangle of count x
  // count, unscaled), this
  // set's and the previous set's: pairs present in both are copied, not
  // evaluated again (the same inputs give the same bits).
  std::vector<double> gamma, previousGamma;
  // The held system: the covariance form's Cholesky factor, W = L^-1 F and
  // the factor of W^T W; or the semivariogram form's LU factor.
  enum class Form { kSingular, kCovariance, kSemivariogram } form = Form::kSingular;
  double unit = 1;  // entries were divided by this (the sill, or the largest gamma)
  double centreX = 0, centreY = 0, scale = 1;  // drift frame of the held system
  std::vector<double> factor, drift, schur;
  int stride = kLane;  // row length of the covariance factor
  std::vector<int> pivots;
  std::vector<double> rhs, solution;
  LocalKrigingSummary summary;
};

class LocalKriging {
 public:
  // The data's coordinates and residuals in the order of the search's
  // `position`s (the cell grid's storage, or the input's).
  LocalKriging(const LocalKrigingInput& in, const KdTree* tree, const PointGrid* cells,
               const double* storedX, const double* storedY, const double* storedZ)
      : in_(in),
        tree_(tree),
        cells_(cells),
        storedX_(storedX),
        storedY_(storedY),
        storedZ_(storedZ),
        gamma_(FindModel(in.modelCode), in.c0, in.c1, in.a),
        sill_(Sill(in)),
        terms_(DriftCount(in.trendDegree)),
        maxDistance2_(in.neighbourhood.maxDistance * in.neighbourhood.maxDistance),
        required_(std::max(in.neighbourhood.minPoints, terms_)) {}

  int terms() const { return terms_; }

  // One grid row j, nodes i = 0..nx-1 in order.
  void KrigeRow(int j, Workspace& w, float* prediction, float* variance) const {
    w.previousCount = -1;
    w.previousFull = false;
    const double y0 = in_.yMin + j * in_.dy;
    for (int i = 0; i < in_.nx; ++i) {
      const std::size_t at = static_cast<std::size_t>(i) +
                             static_cast<std::size_t>(j) * static_cast<std::size_t>(in_.gridRows);
      if (prediction[at] == in_.holeValue) {
        variance[at] = in_.holeValue;
        ++w.summary.leftOut;
        continue;
      }
      double value = 0, var = 0;
      const int outcome = KrigeNode(in_.xMin + i * in_.dx, y0, w, value, var);
      if (outcome != 0) {
        prediction[at] = variance[at] = in_.holeValue;
        ++(outcome == 1 ? w.summary.tooFewNeighbours : w.summary.singular);
        continue;
      }
      prediction[at] = static_cast<float>(value);
      variance[at] = static_cast<float>(var);
      ++w.summary.kriged;
      w.summary.minimum = std::min(w.summary.minimum, value);
      w.summary.maximum = std::max(w.summary.maximum, value);
    }
  }

 private:
  // The sill of the models that have one (the model table's sill factor),
  // else 0: those models get the covariance form C = sill - gamma.
  static double Sill(const LocalKrigingInput& in) {
    const ModelInfo* model = FindModel(in.modelCode);
    if (model == nullptr || model->sillFactor == nullptr) return 0.0;
    const double sill = in.c0 + in.c1 * model->sillFactor(in.a);
    return sill > 0 && std::isfinite(sill) ? sill : 0.0;
  }

  // 0: kriged; 1: too few neighbours; 2: singular system.
  int KrigeNode(double x0, double y0, Workspace& w, double& value, double& var) const {
    const LocalNeighbourhood& nb = in_.neighbourhood;
    int count;
    if (nb.sectors == 4) {
      count = tree_->NearestByQuadrant(x0, y0, nb.maxPoints / 4, maxDistance2_, w.search,
                                      w.found.data());
    } else {
      // The previous node's N neighbours are N candidates: the farthest of
      // them bounds the N-th nearest distance here.
      double bound2 = -1;
      if (w.previousFull) {
        bound2 = 0;
        for (int k = 0; k < w.previousCount; ++k) {
          const double ex = w.heldX[static_cast<std::size_t>(k)] - x0,
                       ey = w.heldY[static_cast<std::size_t>(k)] - y0;
          bound2 = std::max(bound2, ex * ex + ey * ey);
        }
        // The search rounds its distances in its own code (a compiler may fuse
        // the multiply-add differently here): a bound a little too large only
        // prunes less, one too small would lose the N-th neighbour.
        bound2 *= 1 + 1e-12;
      }
      count = cells_->Nearest(x0, y0, nb.maxPoints, maxDistance2_, w.cells, w.found.data(),
                              bound2, PointGrid::Order::kStored);
    }
    if (count < required_) return 1;
    // The set by increasing index (quadrants), or by increasing position in
    // the cell grid (as its search gives them): where stored* has them.
    int* set = w.set.data();
    const Neighbour* found = w.found.data();
    for (int k = 0; k < count; ++k) set[k] = nb.sectors == 4 ? found[k].index : found[k].position;
    if (nb.sectors == 4) std::sort(set, set + count);

    const bool same = count == w.previousCount &&
                      std::equal(set, set + count, w.previousSet.begin());
    const int m = count + terms_;
    double* b = w.rhs.data();
    double* s = w.solution.data();
    if (same) {
      ++w.summary.reusedSystems;  // same matrix: same factor, or same singular verdict
      NodeGammas(count, x0, y0, w);
      if (w.form == Workspace::Form::kCovariance) {
        for (int k = 0; k < count; ++k) b[k] = 1.0 - b[k] / w.unit;
        std::copy(b, b + count, s);
        ForwardSolve(count, w.stride, w.factor.data(), s);
      }
    } else {
      BuildAndFactor(count, x0, y0, w);
      std::copy(set, set + count, w.previousSet.begin());
      w.previousCount = count;
    }
    w.previousFull = nb.sectors == 1 && count == nb.maxPoints;
    if (w.form == Workspace::Form::kSingular) return 2;

    double* f0 = b + count;
    DriftMonomials((x0 - w.centreX) / w.scale, (y0 - w.centreY) / w.scale, terms_, f0);
    double quadratic = 0;
    if (w.form == Workspace::Form::kCovariance) {
      // [K F; F^T 0] [lambda; mu] = [k0; f0] with K = L L^T, W = L^-1 F:
      // (W^T W) mu = W^T L^-1 k0 - f0, lambda = L^-T (L^-1 k0 - W mu).
      // b holds k0 and s L^-1 k0 here.
      double* mu = s + count;
      for (int t = 0; t < terms_; ++t) {
        const double* wt = w.drift.data() + static_cast<std::size_t>(t) * count;
        double dot = 0;
        for (int k = 0; k < count; ++k) dot += wt[k] * s[k];
        mu[t] = dot - f0[t];
      }
      ForwardSolve(terms_, Padded(terms_), w.schur.data(), mu);
      BackSolve(terms_, Padded(terms_), w.schur.data(), mu);
      for (int t = 0; t < terms_; ++t) {
        const double* wt = w.drift.data() + static_cast<std::size_t>(t) * count;
        for (int k = 0; k < count; ++k) s[k] -= wt[k] * mu[t];
      }
      BackSolve(count, w.stride, w.factor.data(), s);
      // Variance: C(0) - lambda^T k0 - mu^T f0, C(0) = 1 in units of the sill.
      quadratic = 1.0;
      for (int k = 0; k < m; ++k) quadratic -= s[k] * b[k];
    } else {
      for (int k = 0; k < count; ++k) b[k] /= w.unit;
      std::copy(b, b + m, s);
      SolveLU(m, w.factor.data(), w.pivots.data(), s);
      for (int k = 0; k < m; ++k) quadratic += s[k] * b[k];
    }
    double sum = 0;
    for (int k = 0; k < count; ++k) sum += s[k] * w.heldZ[static_cast<std::size_t>(k)];
    value = sum + (in_.trend.terms > 0 ? in_.trend.At(x0, y0) : 0.0);
    var = quadratic * w.unit;
    if (!std::isfinite(value) || !std::isfinite(var)) return 2;
    return 0;
  }

  // The semivariogram between the neighbours of w.set[0..count) in the upper
  // triangle of w.previousGamma (count x count), copying the pairs the
  // previous set held too.
  void NeighbourGammas(int count, Workspace& w) const {
    const int* set = w.set.data();
    const int previous = std::max(w.previousCount, 0);
    int* position = w.previousPosition.data();
    for (int r = 0, q = 0; r < count; ++r) {  // both sets are sorted: merge
      while (q < previous && w.previousSet[static_cast<std::size_t>(q)] < set[r]) ++q;
      position[r] = q < previous && w.previousSet[static_cast<std::size_t>(q)] == set[r] ? q : -1;
    }
    double* g = w.gamma.data();
    const double* old = w.previousGamma.data();
    const double* px = w.heldX.data();
    const double* py = w.heldY.data();
    // Held pairs copied, the lengths of new pairs gathered (a whole row at
    // once when its point is new) for one row call. `added` lists the new
    // points; a held row copies every pair (a new point's slot gets a stale
    // value) and then takes its new pairs' lengths.
    double* lengths = w.lengths.data();
    int* pairAt = w.pairAt.data();
    int* added = w.added.data();
    double* addedX = w.addedX.data();  // their coordinates, for one pass per held row
    double* addedY = w.addedY.data();
    int addedCount = 0, fresh = 0;
    for (int r = count - 1; r >= 0; --r) {  // rows from the last: `added` lists later rows
      g[r * count + r] = 0.0;
      const int tail = count - r - 1;
      if (position[r] < 0) {
        LengthsFrom(tail, px + r + 1, py + r + 1, px[r], py[r], lengths + fresh);
        for (int c = r + 1; c < count; ++c) pairAt[fresh++] = r * count + c;
        addedX[addedCount] = px[r], addedY[addedCount] = py[r];
        added[addedCount++] = r;
        continue;
      }
      const double* oldRow = old + position[r] * previous;
      GatherHeld(tail, oldRow, position + r + 1, g + r * count + r + 1);
      // Inline (a call per row costs more than these few lengths).
      const double x0 = px[r], y0 = py[r];
      for (int a = 0; a < addedCount; ++a) {
        const double ex = addedX[a] - x0, ey = addedY[a] - y0;
        lengths[fresh + a] = std::sqrt(ex * ex + ey * ey);
        pairAt[fresh + a] = r * count + added[a];
      }
      fresh += addedCount;
    }
    double* values = w.pairGamma.data();
    gamma_.AtLengths(fresh, lengths, values);
    for (int k = 0; k < fresh; ++k) g[pairAt[k]] = values[k];
    w.gamma.swap(w.previousGamma);  // previousGamma now holds this set's values
  }

  // gamma between the node and the held neighbours in w.rhs[0..count):
  // lengths in one pass, one row call.
  void NodeGammas(int count, double x0, double y0, Workspace& w) const {
    LengthsFrom(count, w.heldX.data(), w.heldY.data(), x0, y0, w.lengths.data());
    gamma_.AtLengths(count, w.lengths.data(), w.rhs.data());
  }

  // The system of w.set[0..count), factored in w; w.form says which form.
  // w.rhs[0..count) gets the node's right-hand side in the form's units;
  // the covariance form also leaves L^-1 of it in w.solution.
  void BuildAndFactor(int count, double x0, double y0, Workspace& w) const {
    const int* set = w.set.data();
    for (int k = 0; k < count; ++k)
      w.heldX[k] = storedX_[set[k]], w.heldY[k] = storedY_[set[k]], w.heldZ[k] = storedZ_[set[k]];
    NodeGammas(count, x0, y0, w);
    NeighbourGammas(count, w);
    const double* g = w.previousGamma.data();
    // Drift frame of this set: its mean and largest offset.
    double cx = 0, cy = 0;
    for (int k = 0; k < count; ++k) cx += w.heldX[k], cy += w.heldY[k];
    cx /= count, cy /= count;
    double extent = 0;
    for (int k = 0; k < count; ++k)
      extent = std::max({extent, std::fabs(w.heldX[k] - cx), std::fabs(w.heldY[k] - cy)});
    w.centreX = cx, w.centreY = cy, w.scale = extent > 0 ? extent : 1.0;

    if (sill_ > 0 && FactorCovarianceForm(count, g, w)) return;

    // Semivariogram form, scaled to a largest entry of 1.
    const int m = count + terms_;
    double* a = w.factor.data();
    double largest = 0;
    for (int r = 0; r < count; ++r)
      for (int c = r + 1; c < count; ++c) largest = std::max(largest, std::fabs(g[r * count + c]));
    w.unit = largest > 0 && std::isfinite(largest) ? largest : 1.0;
    for (int r = 0; r < count; ++r)
      for (int c = r; c < count; ++c) a[r * m + c] = a[c * m + r] = g[r * count + c] / w.unit;
    double f[10];
    for (int r = 0; r < count; ++r) {
      DriftMonomials((w.heldX[r] - cx) / w.scale, (w.heldY[r] - cy) / w.scale, terms_, f);
      for (int k = 0; k < terms_; ++k) a[r * m + count + k] = a[(count + k) * m + r] = f[k];
    }
    for (int r = count; r < m; ++r)
      for (int c = count; c < m; ++c) a[r * m + c] = 0.0;
    // Entries are at most 1 in magnitude; a pivot this small means a
    // dependent row (coinciding data, or a drift the neighbours cannot fix).
    const double tolerance = 64.0 * m * std::numeric_limits<double>::epsilon();
    w.form = FactorLU(m, a, w.pivots.data(), tolerance) ? Workspace::Form::kSemivariogram
                                                         : Workspace::Form::kSingular;
  }

  // Covariance form K = (sill - G) / sill, unit diagonal, with the drift as
  // a bordered system (the constant monomial makes it equivalent to the
  // semivariogram form). False when K or W^T W is not positive definite to
  // working precision; the caller then tries the semivariogram form.
  bool FactorCovarianceForm(int count, const double* g, Workspace& w) const {
    w.unit = sill_;
    double* l = w.factor.data();
    // [K | F | k0]: the drift columns and the node's right-hand side ride
    // along the factorization, which leaves W = L^-1 F and L^-1 k0 there.
    const int columns = count + terms_ + 1;
    const int stride = Padded(columns);
    w.stride = stride;
    const double inverse = 1.0 / sill_;
    const double* k0 = w.rhs.data();
    double f[10];
    for (int r = 0; r < count; ++r) {  // the upper triangle, zeros elsewhere
      double* row = l + r * stride;
      std::fill(row, row + r, 0.0);
      row[r] = 1.0;
      CovarianceRow(count - r - 1, g + r * count + r + 1, inverse, row + r + 1);
      DriftMonomials((w.heldX[static_cast<std::size_t>(r)] - w.centreX) / w.scale,
                     (w.heldY[static_cast<std::size_t>(r)] - w.centreY) / w.scale, terms_, f);
      std::copy(f, f + terms_, row + count);
      row[count + terms_] = 1.0 - k0[r] / w.unit;
      std::fill(row + columns, row + stride, 0.0);
    }
    const double tolerance = 64.0 * count * std::numeric_limits<double>::epsilon();
    if (!FactorCholesky(count, stride, l, tolerance)) return false;
    // W stored column by column (contiguous), L^-1 k0 in w.solution.
    for (int r = 0; r < count; ++r) {
      const double* row = l + r * stride + count;
      for (int t = 0; t < terms_; ++t) w.drift[static_cast<std::size_t>(t * count + r)] = row[t];
      w.solution[static_cast<std::size_t>(r)] = row[terms_];
    }
    double* schur = w.schur.data();
    const int schurStride = Padded(terms_);
    std::fill(w.schur.begin(), w.schur.end(), 0.0);
    double largest = 0;
    for (int a = 0; a < terms_; ++a)
      for (int b = 0; b <= a; ++b) {
        double dot = 0;
        for (int k = 0; k < count; ++k)
          dot += w.drift[static_cast<std::size_t>(a * count + k)] * w.drift[static_cast<std::size_t>(b * count + k)];
        schur[b * schurStride + a] = dot;
        if (a == b) largest = std::max(largest, dot);
      }
    // A drift the neighbours cannot determine makes W^T W singular.
    if (!FactorCholesky(terms_, schurStride, schur,
                        64.0 * terms_ * std::numeric_limits<double>::epsilon() * largest))
      return false;
    w.form = Workspace::Form::kCovariance;
    for (int k = 0; k < count; ++k) w.rhs[static_cast<std::size_t>(k)] = 1.0 - k0[k] / w.unit;
    return true;
  }

  const LocalKrigingInput& in_;
  const KdTree* tree_;      // quadrant searches (4 sectors)
  const PointGrid* cells_;  // nearest-N searches (1 sector)
  const double *storedX_, *storedY_, *storedZ_;
  Semivariogram gamma_;
  double sill_;
  int terms_;
  double maxDistance2_;
  int required_;
};

}  // namespace

double FixedTrend::At(double x, double y) const {
  double f[10];
  DriftMonomials((x - centreX) / scale, (y - centreY) / scale, terms, f);
  double s = 0;
  for (int k = 0; k < terms; ++k) s += beta[k] * f[k];
  return s;
}

void DriftMonomials(double u, double v, int terms, double* f) {
  const double all[10] = {1, u, v, u * u, u * v, v * v, u * u * u, u * u * v, v * v * u, v * v * v};
  for (int k = 0; k < terms && k < 10; ++k) f[k] = all[k];
}

std::string CheckNeighbourhood(const LocalNeighbourhood& nb, int trendDegree) {
  const std::string head = "Kriging local: ";
  if (trendDegree < 0 || trendDegree > 3)
    return head + "el grado de la tendencia (" + Number(trendDegree) + ") debe estar entre 0 y 3.";
  const int terms = DriftCount(trendDegree);
  if (nb.sectors != 1 && nb.sectors != 4)
    return head + "el número de sectores (" + Number(nb.sectors) + ") debe ser 1 o 4.";
  if (nb.maxPoints > kMaxNeighbours)
    return head + "el número máximo de vecinos (N = " + Number(nb.maxPoints) +
           ") no puede pasar de " + Number(kMaxNeighbours) + ".";
  if (nb.Capacity() < terms) {
    if (nb.sectors == 4)
      return head + "con 4 sectores se toman " + Number(nb.Capacity()) +
             " vecinos como mucho (N = " + Number(nb.maxPoints) +
             "), menos que los términos de la deriva (" + Number(terms) + ").";
    return head + "el número máximo de vecinos (N = " + Number(nb.maxPoints) +
           ") es menor que el número de términos de la deriva (" + Number(terms) + ").";
  }
  if (nb.minPoints < 1)
    return head + "el número mínimo de vecinos (M = " + Number(nb.minPoints) +
           ") debe ser al menos 1.";
  if (nb.minPoints > nb.Capacity())
    return head + "el número mínimo de vecinos (M = " + Number(nb.minPoints) +
           ") es mayor que el máximo (" + Number(nb.Capacity()) + ").";
  if (!(nb.maxDistance > 0))
    return head + "la distancia máxima (D = " + Number(nb.maxDistance) + ") debe ser mayor que 0.";
  return {};
}

std::string CheckLocalKriging(const LocalKrigingInput& in) {
  const std::string head = "Kriging local: ";
  std::string message = CheckNeighbourhood(in.neighbourhood, in.trendDegree);
  if (!message.empty()) return message;
  if (FindModelShape(in.modelCode) == nullptr)
    return head + "modelo de semivariograma desconocido (" + Number(in.modelCode) + ").";
  if (!std::isfinite(in.c0) || !std::isfinite(in.c1) || !std::isfinite(in.a))
    return head + "los parámetros del modelo no son números finitos.";
  if (in.n < 1) return head + "no hay datos.";
  for (int i = 0; i < in.n; ++i)
    if (!std::isfinite(in.x[i]) || !std::isfinite(in.y[i]) || !std::isfinite(in.z[i]))
      return head + "el dato " + Number(i + 1) + " no es un número finito.";
  if (in.nx < 0 || in.ny < 0 || in.gridRows < in.nx || !std::isfinite(in.xMin) ||
      !std::isfinite(in.yMin) || !std::isfinite(in.dx) || !std::isfinite(in.dy))
    return head + "la rejilla no es válida.";
  if (in.trend.terms != 0 && in.trend.terms != 1 && in.trend.terms != 3 &&
      in.trend.terms != 6 && in.trend.terms != 10)
    return head + "la tendencia global no es válida.";
  return {};
}

LocalKrigingSummary KrigeGridLocal(const LocalKrigingInput& in, float* prediction,
                                   float* variance, int threads) {
  LocalKrigingSummary total;
  if (in.nx <= 0 || in.ny <= 0) return total;
  std::unique_ptr<KdTree> tree;
  std::unique_ptr<PointGrid> cells;
  if (in.neighbourhood.sectors == 4)
    tree = std::make_unique<KdTree>(in.n, in.x, in.y);
  else
    cells = std::make_unique<PointGrid>(in.n, in.x, in.y);
  // Residuals from the global trend, or the data themselves, in the order
  // the search stores the points (the cell grid's, or the input's).
  const double* storedX = cells ? cells->StoredX() : in.x;
  const double* storedY = cells ? cells->StoredY() : in.y;
  std::vector<double> residual(static_cast<std::size_t>(in.n));
  for (int p = 0; p < in.n; ++p) {
    const int i = cells ? cells->StoredIndex()[p] : p;
    residual[static_cast<std::size_t>(p)] =
        in.trend.terms > 0 ? in.z[i] - in.trend.At(in.x[i], in.y[i]) : in.z[i];
  }
  const LocalKriging kriging(in, tree.get(), cells.get(), storedX, storedY, residual.data());

  const int capacity = in.neighbourhood.Capacity();
  const double m = capacity + kriging.terms();
  const double work = static_cast<double>(in.nx) * in.ny * (m * m * m / 3 + 50 * m);
  const int workers = WorkersFor(work, threads > 0 ? threads : WorkerCount());
  std::vector<std::unique_ptr<Workspace>> spaces;
  for (int t = 0; t < std::max(workers, 1); ++t)
    spaces.push_back(std::make_unique<Workspace>(capacity, kriging.terms()));
  ParallelFor(in.ny, workers, [&](int j, int worker) {
    kriging.KrigeRow(j, *spaces[static_cast<std::size_t>(worker)], prediction, variance);
  });
  for (const auto& w : spaces) {
    const LocalKrigingSummary& s = w->summary;
    total.kriged += s.kriged;
    total.leftOut += s.leftOut;
    total.tooFewNeighbours += s.tooFewNeighbours;
    total.singular += s.singular;
    total.reusedSystems += s.reusedSystems;
    total.minimum = std::min(total.minimum, s.minimum);
    total.maximum = std::max(total.maximum, s.maximum);
  }
  return total;
}

}  // namespace kriging

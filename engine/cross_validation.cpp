// Leave-one-out and K-fold cross-validation of global kriging from one
// Cholesky inverse of the shifted covariance matrix.
#include "cross_validation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>

#include "numerics/blocked_cholesky_inverse.h"
#include "numerics/thread_pool.h"
#include "variogram_models.h"

namespace kriging {
namespace {

constexpr double kWithin = 1.96;
constexpr int kMaxShifts = 40;

CrossValidationResult Failure(std::string message) {
  CrossValidationResult result;
  result.status = 1;
  result.message = std::move(message);
  return result;
}

// Cholesky factor in place of a small dense symmetric positive definite
// matrix (row-major, lower triangle used); false when not positive definite.
bool SmallCholesky(int m, std::vector<double>& a) {
  for (int j = 0; j < m; ++j) {
    double d = a[j * m + j];
    for (int k = 0; k < j; ++k) d -= a[j * m + k] * a[j * m + k];
    if (!(d > 0)) return false;
    d = std::sqrt(d);
    a[j * m + j] = d;
    for (int i = j + 1; i < m; ++i) {
      double s = a[i * m + j];
      for (int k = 0; k < j; ++k) s -= a[i * m + k] * a[j * m + k];
      a[i * m + j] = s / d;
    }
  }
  return true;
}

// Solves L L^T x = b in place with the factor of SmallCholesky.
void SmallCholeskySolve(int m, const std::vector<double>& l, double* b) {
  for (int i = 0; i < m; ++i) {
    double s = b[i];
    for (int k = 0; k < i; ++k) s -= l[i * m + k] * b[k];
    b[i] = s / l[i * m + i];
  }
  for (int i = m - 1; i >= 0; --i) {
    double s = b[i];
    for (int k = i + 1; k < m; ++k) s -= l[k * m + i] * b[k];
    b[i] = s / l[i * m + i];
  }
}

// Drift monomials of degree <= 3 on the data's frame (centre of the bounding
// box, half the larger extent), as the kriging system builds them.
std::vector<double> DriftMatrix(int n, const double* x, const double* y, int p) {
  const auto [xl, xh] = std::minmax_element(x, x + n);
  const auto [yl, yh] = std::minmax_element(y, y + n);
  const double cx = 0.5 * (*xl + *xh), cy = 0.5 * (*yl + *yh);
  double scale = 0.5 * std::max(*xh - *xl, *yh - *yl);
  if (!(scale > 0)) scale = 1;
  std::vector<double> f(static_cast<std::size_t>(n) * p);
  for (int i = 0; i < n; ++i) {
    const double u = (x[i] - cx) / scale, v = (y[i] - cy) / scale;
    const double all[10] = {1, u, v, u * u, u * v, v * v, u * u * u, u * u * v, v * v * u, v * v * v};
    for (int k = 0; k < p; ++k) f[static_cast<std::size_t>(k) * n + i] = all[k];
  }
  return f;
}

// The first pair of data at the same place (1-based), or {0, 0}.
std::pair<int, int> CoincidingPair(int n, const double* x, const double* y) {
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    return x[a] < x[b] || (x[a] == x[b] && (y[a] < y[b] || (y[a] == y[b] && a < b)));
  });
  for (int k = 1; k < n; ++k) {
    const int a = order[k - 1], b = order[k];
    if (x[a] == x[b] && y[a] == y[b]) return {std::min(a, b) + 1, std::max(a, b) + 1};
  }
  return {0, 0};
}

// The model table's sill factor (the sill is c0 + c1 sillFactor(a)), or 0 for
// the models without a sill (linear, power). It only sets where the doubling
// of K below starts, so a model whose semivariance overshoots its sill
// (oscillatory) needs no bound of its own.
double SillFactor(const CrossValidationModel& model) {
  const ModelInfo* info = FindModel(model.code);
  return info != nullptr && info->sillFactor != nullptr ? info->sillFactor(model.a) : 0;
}

}  // namespace

double ModelSemivariance(const CrossValidationModel& model, double h) {
  const ModelShape* shape = FindModelShape(model.code);
  if (shape == nullptr) return std::nan("");
  const double threshold = kOriginThreshold;
  if (h < threshold || (shape->zeroAtThreshold && h == threshold)) return 0;
  return model.c0 + model.c1 * static_cast<double>(shape->unit(h, model.a));
}

std::vector<int> FoldAssignment(int n, int folds, std::uint32_t seed) {
  std::vector<int> order(std::max(n, 0));
  for (int i = 0; i < n; ++i) order[i] = i;
  std::mt19937 random(seed);
  for (int i = n - 1; i > 0; --i) {
    const int j = static_cast<int>(random() % static_cast<std::uint32_t>(i + 1));
    std::swap(order[i], order[j]);
  }
  std::vector<int> fold(std::max(n, 0));
  for (int k = 0; k < n; ++k) fold[order[k]] = folds > 0 ? k % folds : 0;
  return fold;
}

CrossValidationSummary SummariseCrossValidation(const std::vector<CrossValidationPoint>& points) {
  CrossValidationSummary s;
  s.count = static_cast<int>(points.size());
  if (s.count == 0) return s;
  double so = 0, sp = 0;
  int within = 0;
  for (const CrossValidationPoint& p : points) {
    s.meanError += p.error;
    s.rootMeanSquareError += p.error * p.error;
    s.meanStandardisedError += p.standardisedError;
    s.meanSquaredStandardisedError += p.standardisedError * p.standardisedError;
    if (std::abs(p.standardisedError) <= kWithin) ++within;
    so += p.observed, sp += p.predicted;
  }
  const double n = s.count;
  s.meanError /= n;
  s.rootMeanSquareError = std::sqrt(s.rootMeanSquareError / n);
  s.meanStandardisedError /= n;
  s.meanSquaredStandardisedError /= n;
  s.shareWithin = within / n;
  const double mo = so / n, mp = sp / n;
  double soo = 0, spp = 0, sop = 0;
  for (const CrossValidationPoint& p : points) {
    soo += (p.observed - mo) * (p.observed - mo);
    spp += (p.predicted - mp) * (p.predicted - mp);
    sop += (p.observed - mo) * (p.predicted - mp);
  }
  s.correlation = soo > 0 && spp > 0 ? sop / std::sqrt(soo * spp) : 0;
  return s;
}

CrossValidationResult CrossValidateGlobal(int n, const double* x, const double* y, const double* z,
                                          const CrossValidationModel& model, int driftDegree,
                                          int folds, std::uint32_t seed) {
  if (FindModelShape(model.code) == nullptr)
    return Failure("Modelo de semivariograma desconocido: " + std::to_string(model.code) + ".");
  if (driftDegree < 0 || driftDegree > 3)
    return Failure("Grado de la tendencia fuera de 0..3: " + std::to_string(driftDegree) + ".");
  const int p = (driftDegree + 1) * (driftDegree + 2) / 2;
  const bool leaveOneOut = folds <= 1 || folds >= n;
  // Each system left must still determine the drift.
  const int largestFold = leaveOneOut ? 1 : (n + folds - 1) / folds;
  if (n - largestFold < std::max(p, 1))
    return Failure("Hay " + std::to_string(n) + " datos: pocos para validar con " +
                   std::to_string(p) + " términos de tendencia.");
  if (const auto [a, b] = CoincidingPair(n, x, y); a != 0)
    return Failure("Los datos " + std::to_string(a) + " y " + std::to_string(b) +
                   " están en el mismo punto: el sistema de kriging es singular.");

  // The semivariances between data (upper triangle, column-major).
  const std::size_t N = static_cast<std::size_t>(n);
  std::vector<double> gamma(N * N, 0.0);
  ParallelFor(n, WorkersFor(40.0 * n * n, WorkerCount()), [&](int j, int) {
    for (int i = 0; i < j; ++i)
      gamma[i + j * N] = ModelSemivariance(model, std::hypot(x[i] - x[j], y[i] - y[j]));
  });
  double largest = 0;
  for (std::size_t j = 0; j < N; ++j)
    for (std::size_t i = 0; i < j; ++i) {
      if (!std::isfinite(gamma[i + j * N]))
        return Failure("El modelo no da un valor finito entre los datos " + std::to_string(i + 1) +
                       " y " + std::to_string(j + 1) + ".");
      largest = std::max(largest, gamma[i + j * N]);
    }
  largest = std::max(largest, model.c0 + model.c1 * SillFactor(model));
  if (!(largest > 0))
    return Failure("El modelo es nulo entre todos los datos: no hay covarianza que usar.");

  // C^{-1} for C = K - gamma, K doubled until C is positive definite (it is
  // for some K whenever the model is conditionally negative definite).
  std::vector<double> inverse(N * N);
  double shift = 2 * largest;
  int shifts = 0;
  for (;; ++shifts, shift *= 2) {
    if (shifts == kMaxShifts)
      return Failure("El modelo no es válido con estos datos: la matriz de kriging no es "
                     "definida (pruebe otro modelo u otros parámetros).");
    for (std::size_t j = 0; j < N; ++j) {
      for (std::size_t i = 0; i < j; ++i) inverse[i + j * N] = shift - gamma[i + j * N];
      inverse[j + j * N] = shift;
      for (std::size_t i = j + 1; i < N; ++i) inverse[i + j * N] = 0;
    }
    if (BlockedCholeskyInverseInPlace(n, inverse.data(), N, WorkerCount()) == 0) break;
  }
  gamma = {};
  for (std::size_t j = 0; j < N; ++j)
    for (std::size_t i = j + 1; i < N; ++i) inverse[i + j * N] = inverse[j + i * N];

  // G = C^{-1} F, S = F^T G (Cholesky), t = C^{-1} z, u = S^{-1} G^T z.
  const std::vector<double> f = DriftMatrix(n, x, y, p);
  std::vector<double> g(N * p, 0.0), t(N, 0.0);
  for (std::size_t j = 0; j < N; ++j) {
    const double* column = &inverse[j * N];
    for (std::size_t i = 0; i < N; ++i) t[i] += column[i] * z[j];
    for (int k = 0; k < p; ++k) {
      const double fjk = f[k * N + j];
      double* gk = &g[k * N];
      for (std::size_t i = 0; i < N; ++i) gk[i] += column[i] * fjk;
    }
  }
  std::vector<double> s(static_cast<std::size_t>(p) * p, 0.0);
  std::vector<double> u(p, 0.0);
  for (int a = 0; a < p; ++a) {
    for (int b = 0; b < p; ++b)
      for (std::size_t i = 0; i < N; ++i) s[a * p + b] += f[a * N + i] * g[b * N + i];
    for (std::size_t i = 0; i < N; ++i) u[a] += g[a * N + i] * z[i];
  }
  if (!SmallCholesky(p, s))
    return Failure("Los términos de la tendencia son dependientes en estos datos (pruebe un "
                   "grado menor).");
  SmallCholeskySolve(p, s, u.data());

  // Entries of B_11 and of B [z; 0].
  std::vector<double> scratch(p);
  auto b11 = [&](std::size_t i, std::size_t j) {
    for (int k = 0; k < p; ++k) scratch[k] = g[k * N + j];
    SmallCholeskySolve(p, s, scratch.data());
    double v = inverse[i + j * N];
    for (int k = 0; k < p; ++k) v -= g[k * N + i] * scratch[k];
    return v;
  };
  std::vector<double> bz(N);
  for (std::size_t i = 0; i < N; ++i) {
    double v = t[i];
    for (int k = 0; k < p; ++k) v -= g[k * N + i] * u[k];
    bz[i] = v;
  }

  CrossValidationResult result;
  result.points.resize(N);
  auto record = [&](std::size_t i, double error, double variance, int fold) {
    CrossValidationPoint& point = result.points[i];
    point.x = x[i], point.y = y[i];
    point.observed = z[i];
    point.error = error;
    point.predicted = z[i] - error;
    point.variance = variance;
    point.standardisedError = variance > 0 ? error / std::sqrt(variance) : 0;
    point.fold = fold;
  };
  if (leaveOneOut) {
    for (std::size_t i = 0; i < N; ++i) {
      const double bii = b11(i, i);
      if (!(bii > 0))
        return Failure("Varianza de kriging no positiva al dejar fuera el dato " +
                       std::to_string(i + 1) + ".");
      record(i, bz[i] / bii, 1 / bii, static_cast<int>(i));
    }
  } else {
    const std::vector<int> fold = FoldAssignment(n, folds, seed);
    for (int k = 0; k < folds; ++k) {
      std::vector<std::size_t> members;
      for (std::size_t i = 0; i < N; ++i)
        if (fold[i] == k) members.push_back(i);
      const int m = static_cast<int>(members.size());
      // (B_II)^{-1}: the errors and their covariance.
      std::vector<double> block(static_cast<std::size_t>(m) * m);
      for (int a = 0; a < m; ++a)
        for (int b = 0; b <= a; ++b) block[a * m + b] = block[b * m + a] = b11(members[a], members[b]);
      if (!SmallCholesky(m, block))
        return Failure("El sistema de kriging del grupo " + std::to_string(k + 1) +
                       " no es definido.");
      std::vector<double> error(m), unit(m);
      for (int a = 0; a < m; ++a) error[a] = bz[members[a]];
      SmallCholeskySolve(m, block, error.data());
      for (int a = 0; a < m; ++a) {
        std::fill(unit.begin(), unit.end(), 0.0);
        unit[a] = 1;
        SmallCholeskySolve(m, block, unit.data());
        record(members[a], error[a], unit[a], k);
      }
    }
  }
  result.summary = SummariseCrossValidation(result.points);
  return result;
}

}  // namespace kriging

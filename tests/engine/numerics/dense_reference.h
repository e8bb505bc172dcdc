#pragma once
// Plain double-precision references for the numerical tests: Gaussian
// elimination with partial pivoting, norms, and matrix builders.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace kriging::testing {

// Column-major n x n matrix of doubles.
struct Dense {
  int n;
  std::vector<double> v;
  explicit Dense(int order) : n(order), v(static_cast<size_t>(order) * order, 0.0) {}
  double& operator()(int i, int j) { return v[i + static_cast<size_t>(j) * n]; }
  double operator()(int i, int j) const { return v[i + static_cast<size_t>(j) * n]; }
};

// Solves a x = b by Gaussian elimination with partial pivoting, in double.
inline std::vector<double> ReferenceSolve(Dense a, std::vector<double> b) {
  const int n = a.n;
  for (int k = 0; k < n; ++k) {
    int p = k;
    for (int i = k + 1; i < n; ++i)
      if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
    for (int j = 0; j < n; ++j) std::swap(a(k, j), a(p, j));
    std::swap(b[k], b[p]);
    for (int i = k + 1; i < n; ++i) {
      const double m = a(i, k) / a(k, k);
      for (int j = k; j < n; ++j) a(i, j) -= m * a(k, j);
      b[i] -= m * b[k];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int j = i + 1; j < n; ++j) s -= a(i, j) * b[j];
    b[i] = s / a(i, i);
  }
  return b;
}

inline double OneNorm(const Dense& a) {
  double best = 0;
  for (int j = 0; j < a.n; ++j) {
    double s = 0;
    for (int i = 0; i < a.n; ++i) s += std::fabs(a(i, j));
    best = std::max(best, s);
  }
  return best;
}

// Random symmetric matrix with entries uniform in [-1, 1]: indefinite.
inline Dense RandomSymmetric(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense a(n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) a(i, j) = a(j, i) = static_cast<float>(u(gen));
  return a;
}

// Kriging-shaped matrix [G F; F^T 0]: G(i,j) = semivariogram of an
// exponential model (sill 1, range 0.3) between random points of the unit
// square, F the drift monomials 1, x, y. Order npoints + 3; zero block below.
inline Dense KrigingShaped(int npoints, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> x(npoints), y(npoints);
  for (int i = 0; i < npoints; ++i) {
    x[i] = u(gen);
    y[i] = u(gen);
  }
  const int n = npoints + 3;
  Dense a(n);
  for (int i = 0; i < npoints; ++i) {
    for (int j = 0; j < npoints; ++j) {
      const double h = std::hypot(x[i] - x[j], y[i] - y[j]);
      a(i, j) = static_cast<float>(i == j ? 0.0 : 1.0 - std::exp(-h / 0.3));
    }
    const double f[3] = {1.0, x[i], y[i]};
    for (int t = 0; t < 3; ++t) a(i, npoints + t) = a(npoints + t, i) = static_cast<float>(f[t]);
  }
  return a;
}

// The upper triangle of a as a float array with leading dimension ld (the
// lower triangle is filled with NaN so that reading it shows in the results).
inline std::vector<float> UpperAsFloat(const Dense& a, int ld) {
  std::vector<float> f(static_cast<size_t>(ld) * a.n, std::nanf(""));
  for (int j = 0; j < a.n; ++j)
    for (int i = 0; i <= j; ++i) f[i + static_cast<size_t>(j) * ld] = static_cast<float>(a(i, j));
  return f;
}

}  // namespace kriging::testing

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

// Q diag(lambda) Q^T with Q a product of random Householder reflections and
// eigenvalues of alternating sign, |lambda| from 1 down to 1/condition
// (geometrically): symmetric indefinite with 2-norm condition `condition`.
inline Dense IllConditionedSymmetric(int n, double condition, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> g(0.0, 1.0);
  Dense a(n);
  for (int i = 0; i < n; ++i) {
    const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
    a(i, i) = (i % 2 == 0 ? 1.0 : -1.0) * std::pow(condition, -t);
  }
  for (int r = 0; r < 3; ++r) {
    std::vector<double> v(n);
    double vv = 0;
    for (double& e : v) {
      e = g(gen);
      vv += e * e;
    }
    // a := H a H with H = I - 2 v v^T / v^T v.
    for (int pass = 0; pass < 2; ++pass) {
      for (int j = 0; j < n; ++j) {
        double s = 0;
        for (int i = 0; i < n; ++i) s += v[i] * (pass == 0 ? a(i, j) : a(j, i));
        s *= 2.0 / vv;
        for (int i = 0; i < n; ++i) (pass == 0 ? a(i, j) : a(j, i)) -= s * v[i];
      }
    }
  }
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < j; ++i) a(i, j) = a(j, i) = static_cast<float>(0.5 * (a(i, j) + a(j, i)));
  for (int i = 0; i < n; ++i) a(i, i) = static_cast<float>(a(i, i));
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

// Solves a X = B for all the columns of B at once (Gaussian elimination with
// partial pivoting in double), so that the reference costs one elimination.
inline std::vector<std::vector<double>> SolveAll(Dense a, std::vector<std::vector<double>> b) {
  const int n = a.n;
  for (int k = 0; k < n; ++k) {
    int p = k;
    for (int i = k + 1; i < n; ++i)
      if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
    for (int j = 0; j < n; ++j) std::swap(a(k, j), a(p, j));
    for (auto& column : b) std::swap(column[k], column[p]);
    for (int i = k + 1; i < n; ++i) {
      const double m = a(i, k) / a(k, k);
      if (m == 0.0) continue;
      for (int j = k; j < n; ++j) a(i, j) -= m * a(k, j);
      for (auto& column : b) column[i] -= m * column[k];
    }
  }
  for (auto& column : b)
    for (int i = n - 1; i >= 0; --i) {
      double s = column[i];
      for (int j = i + 1; j < n; ++j) s -= a(i, j) * column[j];
      column[i] = s / a(i, i);
    }
  return b;
}

}  // namespace kriging::testing

// The blocked Cholesky inverse against a double-precision Gaussian
// elimination of the same matrix, on orders around the block size; the same
// bits for 1, 2 and 3 threads; the index of the first leading submatrix that
// is not positive definite.
#include "numerics/blocked_cholesky_inverse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "dense_reference.h"

namespace kriging {
namespace {

using testing::Dense;
using testing::SolveAll;

// Small matrices are shared over threads too (the default leaves loops of
// less than a few million operations to one thread).
const bool kShareSmallLoops = setenv("SORVAN_PARALLEL_MIN_WORK", "0", 1) == 0;

enum class Kind { kRandom, kCovariance };

// B B^T / n + shift I: positive definite, condition about 1 / shift.
Dense RandomSpd(int n, unsigned seed, double shift) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense b(n), a(n);
  for (double& e : b.v) e = u(gen);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) {
      double s = i == j ? shift : 0.0;
      for (int k = 0; k < n; ++k) s += b(i, k) * b(j, k) / n;
      a(i, j) = a(j, i) = s;
    }
  return a;
}

// The covariance of the trend iteration: sill - gamma(h) of an exponential
// model with a nugget, between random points (the nugget keeps it definite).
Dense Covariance(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> x(n), y(n);
  for (int i = 0; i < n; ++i) x[i] = u(gen), y[i] = u(gen);
  Dense a(n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) {
      const double h = std::hypot(x[i] - x[j], y[i] - y[j]);
      a(i, j) = a(j, i) = i == j ? 1.0 : 0.9 * std::exp(-h / 0.2);
    }
  return a;
}

std::vector<double> Work(const Dense& a) {
  std::vector<double> r(a.v.size(), 0.0);
  for (int j = 0; j < a.n; ++j)
    for (int i = 0; i <= j; ++i) r[i + static_cast<std::size_t>(j) * a.n] = a(i, j);
  return r;
}

class BlockedInverse : public ::testing::TestWithParam<std::tuple<Kind, int>> {};

TEST_P(BlockedInverse, MatchesDoubleEliminationForEveryThreadCount) {
  const auto [kind, n] = GetParam();
  const Dense a = kind == Kind::kRandom ? RandomSpd(n, 11u + n, 0.05) : Covariance(n, 3u + n);
  std::vector<double> first;
  for (int workers : {1, 2, 3}) {
    std::vector<double> r = Work(a);
    ASSERT_EQ(BlockedCholeskyInverseInPlace(n, r.data(), n, workers), 0);
    for (int j = 0; j < n; ++j)
      for (int i = j + 1; i < n; ++i) ASSERT_EQ(r[i + static_cast<std::size_t>(j) * n], 0.0);
    if (!first.empty()) {
      ASSERT_EQ(std::memcmp(r.data(), first.data(), r.size() * sizeof(double)), 0)
          << "workers " << workers;
      continue;
    }
    first = r;
    // Column by column against the double solve of A x = e_j: relative to
    // the column's size, within the accuracy a condition number of about
    // 1e3 leaves.
    std::vector<int> checked;
    std::vector<std::vector<double>> units;
    for (int j = 0; j < n; j += std::max(1, n / 17)) {
      checked.push_back(j);
      units.emplace_back(n, 0.0);
      units.back()[j] = 1.0;
    }
    const std::vector<std::vector<double>> solutions = SolveAll(a, units);
    for (std::size_t t = 0; t < checked.size(); ++t) {
      const int j = checked[t];
      const std::vector<double>& x = solutions[t];
      double size = 0;
      for (double v : x) size = std::max(size, std::fabs(v));
      for (int i = 0; i < n; ++i) {
        const double got = i <= j ? r[i + static_cast<std::size_t>(j) * n]
                                  : r[j + static_cast<std::size_t>(i) * n];
        ASSERT_NEAR(got, x[i], 1e-10 * size) << i << "," << j;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    AroundTheBlock, BlockedInverse,
    ::testing::Combine(::testing::Values(Kind::kRandom, Kind::kCovariance),
                       ::testing::Values(1, 2, 7, 95, 96, 97, 131, 193, 211)));

TEST(BlockedInverse, ReportsFirstLeadingSubmatrixNotPositiveDefinite) {
  for (int bad : {0, 1, 50, 96, 150}) {
    const int n = 200;
    Dense a = RandomSpd(n, 5u, 0.5);
    // Make the leading (bad+1) x (bad+1) submatrix indefinite: a diagonal
    // entry far below what the earlier rows account for.
    a(bad, bad) = -1.0;
    std::vector<double> r = Work(a);
    EXPECT_EQ(BlockedCholeskyInverseInPlace(n, r.data(), n, 2), bad + 1);
  }
}

}  // namespace
}  // namespace kriging

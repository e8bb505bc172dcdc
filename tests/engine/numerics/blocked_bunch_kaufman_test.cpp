// The blocked Bunch-Kaufman factorization against the unblocked one and
// against the matrix itself: scale-free backward error of solves with the
// factor, the same pivot record, the same bits for 1, 2 and 3 threads, and
// the same zero-pivot report, on orders around the panel width.
#include "numerics/blocked_bunch_kaufman.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "dense_reference.h"
#include "numerics/bunch_kaufman.h"

namespace kriging {
namespace {

using testing::Dense;

// Small matrices are shared over threads too (the default leaves loops of
// less than a few million operations to one thread).
const bool kShareSmallLoops = setenv("SORVAN_PARALLEL_MIN_WORK", "0", 1) == 0;

enum class Kind { kRandom, kKriging, kIllConditioned, kSaddle };

// [G F; F^T 0] with a ten-column drift block: a saddle point matrix.
Dense Saddle(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  const int m = n - 10;
  std::vector<double> x(m), y(m);
  for (int i = 0; i < m; ++i) x[i] = uni(gen), y[i] = uni(gen);
  Dense a(n);
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < m; ++j) {
      const double h = std::hypot(x[i] - x[j], y[i] - y[j]);
      a(i, j) = i == j ? 0.0 : static_cast<float>(0.1 + std::min(1.0, h / 0.5));
    }
    const double u = x[i], v = y[i];
    const double f[10] = {1, u, v, u * u, u * v, v * v, u * u * u, u * u * v, v * v * u, v * v * v};
    for (int t = 0; t < 10; ++t) a(i, m + t) = a(m + t, i) = static_cast<float>(f[t]);
  }
  return a;
}

Dense Build(Kind kind, int n, unsigned seed) {
  switch (kind) {
    case Kind::kRandom: return testing::RandomSymmetric(n, seed);
    case Kind::kKriging: return testing::KrigingShaped(n - 3, seed);
    case Kind::kIllConditioned: return testing::IllConditionedSymmetric(n, 1e4, seed);
    default: return Saddle(n, seed);
  }
}

// max over a few right-hand sides of ||b - A x||_inf / (||A||_1 ||x||_inf n eps)
// for x solved with the factor.
double BackwardError(const Dense& a, const std::vector<float>& fac, int ld,
                     const std::vector<std::int32_t>& ipvt) {
  const int n = a.n;
  std::mt19937 gen(5u);
  std::normal_distribution<double> g(0.0, 1.0);
  const double normA = testing::OneNorm(a);
  double worst = 0.0;
  for (int r = 0; r < 3; ++r) {
    std::vector<float> x(n);
    std::vector<double> b(n);
    for (int i = 0; i < n; ++i) x[i] = static_cast<float>(b[i] = static_cast<float>(g(gen)));
    BunchKaufmanSolveInPlace(n, fac.data(), ld, ipvt.data(), x.data());
    double residual = 0.0, normX = 0.0;
    for (int i = 0; i < n; ++i) {
      double s = b[i];
      for (int j = 0; j < n; ++j) s -= a(i, j) * x[j];
      residual = std::max(residual, std::fabs(s));
      normX = std::max(normX, std::fabs(static_cast<double>(x[i])));
    }
    worst = std::max(worst, residual / (normA * normX * n * 0x1p-24));
  }
  return worst;
}

class BlockedFactor : public ::testing::TestWithParam<std::tuple<Kind, int>> {};

TEST_P(BlockedFactor, BackwardStableAndSameForEveryThreadCount) {
  const auto [kind, n] = GetParam();
  const int ld = n + 1;
  const Dense a = Build(kind, n, 1009u + n);
  std::vector<float> reference = testing::UpperAsFloat(a, ld);
  std::vector<std::int32_t> referencePivots(n);
  ASSERT_EQ(BunchKaufmanFactorInPlace(n, reference.data(), ld, referencePivots.data()), 0);
  const double referenceError = BackwardError(a, reference, ld, referencePivots);

  std::vector<float> first;
  std::vector<std::int32_t> firstPivots;
  for (int workers : {1, 2, 3}) {
    std::vector<float> fac = testing::UpperAsFloat(a, ld);
    std::vector<std::int32_t> ipvt(n);
    ASSERT_EQ(BlockedBunchKaufmanFactorInPlace(n, fac.data(), ld, ipvt.data(), workers), 0);
    for (int j = 0; j < n; ++j)
      for (int i = j + 1; i < ld; ++i)
        ASSERT_TRUE(std::isnan(fac[i + static_cast<std::size_t>(j) * ld])) << i << "," << j;
    if (first.empty()) {
      first = fac;
      firstPivots = ipvt;
      const double error = BackwardError(a, fac, ld, ipvt);
      EXPECT_LE(error, std::max(4.0, 4.0 * referenceError)) << "unblocked: " << referenceError;
      // The pivot choices are the unblocked routine's (no ties to rounding in
      // these matrices).
      EXPECT_EQ(ipvt, referencePivots);
    } else {
      EXPECT_EQ(ipvt, firstPivots) << "workers " << workers;
      ASSERT_EQ(std::memcmp(fac.data(), first.data(), fac.size() * sizeof(float)), 0)
          << "workers " << workers;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    AroundThePanel, BlockedFactor,
    ::testing::Combine(::testing::Values(Kind::kRandom, Kind::kKriging, Kind::kIllConditioned,
                                         Kind::kSaddle),
                       ::testing::Values(63, 64, 65, 127, 128, 129, 131, 191, 193, 257, 311)));

INSTANTIATE_TEST_SUITE_P(TinyOrders, BlockedFactor,
                         ::testing::Combine(::testing::Values(Kind::kRandom,
                                                              Kind::kIllConditioned),
                                            ::testing::Values(1, 2, 3)));

// An exactly zero column inside the blocked part is reported with its 1-based
// index, as the unblocked routine does, and the factorization runs on.
TEST(BlockedFactor, ZeroPivotReportedLikeUnblocked) {
  const int n = 300;
  Dense a = testing::RandomSymmetric(n, 77u);
  for (int i = 0; i < n; ++i) a(i, 250) = a(250, i) = 0.0;
  std::vector<float> reference = testing::UpperAsFloat(a, n), fac = reference;
  std::vector<std::int32_t> p1(n), p2(n);
  const int expected = BunchKaufmanFactorInPlace(n, reference.data(), n, p1.data());
  ASSERT_GT(expected, 0);
  EXPECT_EQ(BlockedBunchKaufmanFactorInPlace(n, fac.data(), n, p2.data(), 2), expected);
}

}  // namespace
}  // namespace kriging

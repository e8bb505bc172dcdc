#include "numerics/inverse_one_norm_estimate.h"

#include <gtest/gtest.h>

#include "dense_reference.h"

namespace kriging {
namespace {

class Orders : public ::testing::TestWithParam<int> {};

// The estimate is a lower bound within a factor 3 of the exact ||A^-1||_1.
TEST_P(Orders, EstimateBracketsTheExactNormOfTheInverse) {
  const int n = GetParam();
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const testing::Dense a = testing::RandomSymmetric(n, 1000u * seed + n);
    double exact = 0;
    for (int j = 0; j < n; ++j) {
      std::vector<double> e(n, 0.0);
      e[j] = 1.0;
      double column = 0;
      for (double v : testing::ReferenceSolve(a, e)) column += std::fabs(v);
      exact = std::max(exact, column);
    }
    int solves = 0;
    const double estimate = EstimateSymmetricInverseOneNorm(n, [&](std::vector<double>& v) {
      ++solves;
      v = testing::ReferenceSolve(a, v);
    });
    EXPECT_LE(estimate, exact * (1 + 1e-9)) << n << " " << seed;
    EXPECT_GE(estimate, exact / 3) << n << " " << seed;
    EXPECT_LE(solves, 11);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Orders, ::testing::Values(1, 2, 5, 20, 60));

}  // namespace
}  // namespace kriging

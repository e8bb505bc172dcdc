// The step of a thinned grid view: the smallest k with
// ceil(nx/k) * ceil(ny/k) <= maximo, against hand-worked cases and a plain
// search from k = 1 upward.
#include "core/grid_thinning.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace sorvan::core;

using sorvan::core::ThinningStride;

namespace {

// The definition, searched step by step.
int StrideBySearch(long long nx, long long ny, long long maximum) {
  for (long long k = 1;; ++k)
    if (((nx + k - 1) / k) * ((ny + k - 1) / k) <= maximum) return int(k);
}

struct Case {
  long long nx, ny, maximum;
  int step;
};

class ThinningStrideCases : public ::testing::TestWithParam<Case> {};

TEST_P(ThinningStrideCases, HandWorked) {
  const Case c = GetParam();
  EXPECT_EQ(ThinningStride(c.nx, c.ny, c.maximum), c.step);
}

INSTANTIATE_TEST_SUITE_P(
    Grids, ThinningStrideCases,
    ::testing::Values(Case{50, 50, 62500, 1},          // small: every node
                      Case{250, 250, 62500, 1},        // exactly the limit
                      Case{251, 250, 62500, 2},        // one column over: 126 x 125
                      Case{1000, 1000, 62500, 4},      // 250 x 250
                      Case{1001, 1000, 62500, 5},      // 251 x 250 is over: 201 x 200
                      Case{1000, 1000, 10000, 10},     // 100 x 100 bars
                      Case{100000, 1, 10000, 10},      // a single row
                      Case{1, 1, 1, 1},
                      Case{7, 3, 1, 7}));              // one node left: ceil(7/k) = 1

class ThinningStrideSearch : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(ThinningStrideSearch, AgreesWithTheStepByStepSearch) {
  const auto [nx, ny, maximum] = GetParam();
  EXPECT_EQ(ThinningStride(nx, ny, maximum), StrideBySearch(nx, ny, maximum)) << nx << " x " << ny << " <= " << maximum;
}

INSTANTIATE_TEST_SUITE_P(Family, ThinningStrideSearch,
                         ::testing::Combine(::testing::Values(1, 2, 3, 97, 499, 1000, 2047),
                                            ::testing::Values(1, 5, 333, 1000, 4096),
                                            ::testing::Values(1, 2, 17, 10000, 62500)));

}  // namespace

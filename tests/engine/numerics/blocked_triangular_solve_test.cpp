// The blocked solve with a Bunch-Kaufman factor against a double-precision
// solve of the original matrix: b^T A^{-1} b = v^T D^{-1} v for many
// right-hand sides at once, on indefinite, kriging-shaped and ill-conditioned
// matrices whose orders sit around the panel width.
#include "numerics/blocked_triangular_solve.h"

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
#include "numerics/simd_kernels.h"

namespace kriging {
namespace {

using testing::Dense;
using testing::SolveAll;

// Small matrices are shared over threads too (the default leaves loops of
// less than a few million operations to one thread).
const bool kShareSmallLoops = setenv("SORVAN_PARALLEL_MIN_WORK", "0", 1) == 0;

enum class Kind { kRandom, kKriging, kIllConditioned };

Dense Build(Kind kind, int n, unsigned seed) {
  switch (kind) {
    case Kind::kRandom: return testing::RandomSymmetric(n, seed);
    case Kind::kKriging: return testing::KrigingShaped(n - 3, seed);
    default: return testing::IllConditionedSymmetric(n, 1e3, seed);
  }
}

class BlockedSolve : public ::testing::TestWithParam<std::tuple<Kind, int>> {};

TEST_P(BlockedSolve, QuadraticFormsMatchDoublePrecisionForEveryThreadCount) {
  const auto [kind, n] = GetParam();
  const int ld = n + 3;  // a leading dimension larger than the order
  const Dense a = Build(kind, n, 7919u + n);
  const int cols = 13;   // two whole tiles and a partial one
  std::mt19937 gen(31u + n);
  std::normal_distribution<double> g(0.0, 1.0);
  std::vector<float> b(static_cast<std::size_t>(ld) * cols, 0.0f);
  for (int c = 0; c < cols; ++c)
    for (int i = 0; i < n; ++i) b[i + static_cast<std::size_t>(c) * ld] = static_cast<float>(g(gen));

  std::vector<float> fac = testing::UpperAsFloat(a, ld);  // NaN below the diagonal
  std::vector<std::int32_t> ipvt(n);
  ASSERT_EQ(BunchKaufmanFactorInPlace(n, fac.data(), ld, ipvt.data()), 0);

  std::vector<std::vector<double>> columns(cols, std::vector<double>(n));
  for (int c = 0; c < cols; ++c)
    for (int i = 0; i < n; ++i) columns[c][i] = b[i + static_cast<std::size_t>(c) * ld];
  const std::vector<std::vector<double>> solutions = SolveAll(a, columns);

  std::vector<float> first;
  for (int workers : {1, 2, 3}) {
    std::vector<float> f = fac;
    std::vector<float> v = b;
    const BlockedFactorSolve solve(n, f.data(), ld, ipvt.data(), workers);
    BlockedFactorSolve::Scratch scratch(n, cols);
    solve.Solve(v.data(), ld, cols, scratch);
    if (first.empty()) {
      first = v;
    } else {
      for (std::size_t k = 0; k < v.size(); ++k)
        ASSERT_EQ(std::memcmp(&v[k], &first[k], sizeof(float)), 0) << "workers " << workers;
    }
    // The strict lower triangle is neither read nor written.
    for (int j = 0; j < n; ++j)
      for (int i = j + 1; i < n; ++i) ASSERT_TRUE(std::isnan(f[i + static_cast<std::size_t>(j) * ld]));

    // The forms of all columns at once (eight to a vector) have the bits of
    // the column-by-column ones.
    std::vector<double> forms(cols);
    solve.DiagonalQuadraticForms(v.data(), ld, cols, forms.data());
    double normA = testing::OneNorm(a);
    for (int c = 0; c < cols; ++c) {
      const std::vector<double>& bc = columns[c];
      const std::vector<double>& x = solutions[c];
      double q = 0, xx = 0;
      for (int i = 0; i < n; ++i) q += bc[i] * x[i], xx += x[i] * x[i];
      const double blocked = solve.DiagonalQuadraticForm(v.data() + static_cast<std::size_t>(c) * ld);
      ASSERT_EQ(std::memcmp(&forms[c], &blocked, sizeof(double)), 0) << "column " << c;
      // A backward-stable solve in float: (A + E) x^ = b with ||E|| <= c n eps ||A||
      // changes b^T x by about x^T E x.
      const double bound = 50.0 * n * 0x1p-24 * normA * xx;
      EXPECT_NEAR(blocked, q, bound) << "column " << c;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    AwkwardOrders, BlockedSolve,
    ::testing::Combine(::testing::Values(Kind::kRandom, Kind::kKriging, Kind::kIllConditioned),
                       ::testing::Values(11, 63, 65, 127, 128, 129, 131, 255, 257)));

INSTANTIATE_TEST_SUITE_P(TinyOrders, BlockedSolve,
                         ::testing::Combine(::testing::Values(Kind::kRandom,
                                                              Kind::kIllConditioned),
                                            ::testing::Values(1, 2, 3, 4, 5)));

// A 2x2 pivot block whose two columns straddle the boundary of two panels
// (or of two inner blocks): the off-diagonal entry of D at (b-1, b) must not
// enter the packed updates.
class TwoByTwoAcross : public ::testing::TestWithParam<int> {};

TEST_P(TwoByTwoAcross, BoundaryKeepsDOutOfTheUpdates) {
  const int b = GetParam();
  const int n = b + 72;
  Dense a(n);
  for (int i = 0; i < n; ++i) a(i, i) = 1.0 + 0.01 * i;
  // Columns b-1 and b: zero diagonal, coupled by 1 (a 2x2 pivot), and
  // coupled weakly to the rest.
  a(b - 1, b - 1) = a(b, b) = 0.0;
  a(b - 1, b) = a(b, b - 1) = 1.0;
  for (int i = 0; i < b - 1; ++i) {
    a(i, b - 1) = a(b - 1, i) = 0.01 * std::sin(i + 1.0);
    a(i, b) = a(b, i) = 0.01 * std::cos(i + 1.0);
  }
  // Eliminate b+1..n-1 first (1x1), then the 2x2 block at (b-1, b).
  std::vector<float> fac = testing::UpperAsFloat(a, n);
  std::vector<std::int32_t> ipvt(n);
  ASSERT_EQ(BunchKaufmanFactorInPlace(n, fac.data(), n, ipvt.data()), 0);
  ASSERT_LT(ipvt[b], 0);
  ASSERT_EQ(ipvt[b - 1], ipvt[b]);
  const BlockedFactorSolve solve(n, fac.data(), n, ipvt.data(), 2);
  std::vector<float> v(n);
  std::vector<double> bc(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<float>(bc[i] = std::cos(0.1 * i));
  BlockedFactorSolve::Scratch scratch(n, 1);
  solve.Solve(v.data(), n, 1, scratch);
  const std::vector<double> x = testing::ReferenceSolve(a, bc);
  double q = 0;
  for (int i = 0; i < n; ++i) q += bc[i] * x[i];
  EXPECT_NEAR(solve.DiagonalQuadraticForm(v.data()), q, 1e-4 * std::fabs(q));
}

// Across a panel boundary (the packed update), and inside a panel (the
// inverted triangle).
INSTANTIATE_TEST_SUITE_P(PanelBoundaryAndInside, TwoByTwoAcross,
                         ::testing::Values(BlockedFactorSolve::kPanelColumns,
                                           BlockedFactorSolve::kPanelColumns * 2 + 21));

}  // namespace
}  // namespace kriging

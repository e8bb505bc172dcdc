#include "numerics/bunch_kaufman.h"

#include <gtest/gtest.h>

#include <cfloat>

#include "dense_reference.h"
#include "log_capture.h"

namespace kriging {
namespace {

using testing::Dense;

// Rebuilds U D U^T in double from the factor and the documented pivot record:
// A = P_{n-1} U_{n-1} ... P_0 U_0 D U_0^T P_0^T ... , so the blocks are applied
// from the first (innermost) to the last.
Dense Reconstruct(int n, const std::vector<float>& fac, int ld, const std::vector<std::int32_t>& ipvt) {
  auto F = [&](int i, int j) { return static_cast<double>(fac[i + static_cast<size_t>(j) * ld]); };
  Dense m(n);
  int k = 0;
  while (k < n) {
    const bool single = ipvt[k] >= 0;
    const int kk = k;                      // first row of the block
    const int kl = single ? k : k + 1;     // last row of the block
    m(kl, kl) = F(kl, kl);
    if (!single) {
      m(kk, kk) = F(kk, kk);
      m(kk, kl) = m(kl, kk) = F(kk, kl);
    }
    // M := U_k M U_k^T, U_k = I + sum_c u_c e_c^T over the block's columns c.
    for (int c = kk; c <= kl; ++c) {
      // Left: row i (< kk) += u_ic * row c.
      for (int i = 0; i < kk; ++i)
        for (int j = 0; j < n; ++j) m(i, j) += F(i, c) * m(c, j);
    }
    for (int c = kk; c <= kl; ++c) {
      for (int j = 0; j < kk; ++j)
        for (int i = 0; i < n; ++i) m(i, j) += F(j, c) * m(i, c);
    }
    const int kp = single ? ipvt[k] : ~ipvt[k];
    if (kp != kk) {
      for (int j = 0; j < n; ++j) std::swap(m(kk, j), m(kp, j));
      for (int i = 0; i < n; ++i) std::swap(m(i, kk), m(i, kp));
    }
    k = kl + 1;
  }
  return m;
}

struct Factored {
  std::vector<float> fac;
  std::vector<std::int32_t> ipvt;
  int ld;
};

Factored Factor(const Dense& a, int ld) {
  Factored f{testing::UpperAsFloat(a, ld), std::vector<std::int32_t>(a.n, -999), ld};
  SymmetricFactor(a.n, f.fac.data(), ld, f.fac.data(), ld, f.ipvt.data());
  return f;
}

// ||A - U D U^T||_1 / (n ||A||_1 eps), A taken as stored in float.
double BackwardErrorRatio(const Dense& a, const Factored& f) {
  const Dense m = Reconstruct(a.n, f.fac, f.ld, f.ipvt);
  Dense d(a.n);
  for (size_t i = 0; i < d.v.size(); ++i) d.v[i] = static_cast<float>(a.v[i]) - m.v[i];
  return testing::OneNorm(d) / (a.n * testing::OneNorm(a) * FLT_EPSILON);
}

// ||b - A x||_1 / (n ||A||_1 ||x||_1 eps) for b = A * (1, 2, ..., n) / n.
double SolveResidualRatio(const Dense& a, const Factored& f, std::vector<float>* solution = nullptr) {
  const int n = a.n;
  std::vector<float> b(n), x(n);
  for (int i = 0; i < n; ++i) {
    double s = 0;
    for (int j = 0; j < n; ++j) s += a(i, j) * (j + 1.0) / n;
    b[i] = static_cast<float>(s);
  }
  SymmetricSolve(n, f.fac.data(), f.ld, f.ipvt.data(), b.data(), x.data());
  double r = 0, xn = 0;
  for (int i = 0; i < n; ++i) {
    double s = b[i];
    for (int j = 0; j < n; ++j) s -= a(i, j) * x[j];
    r += std::fabs(s);
    xn += std::fabs(x[i]);
  }
  if (solution) *solution = x;
  return r / (n * testing::OneNorm(a) * xn * FLT_EPSILON);
}

class RandomIndefinite : public ::testing::TestWithParam<int> {};

TEST_P(RandomIndefinite, FactorReproducesTheMatrixAndSolves) {
  const int n = GetParam();
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const Dense a = testing::RandomSymmetric(n, seed * 7919u + n);
    const Factored f = Factor(a, n + 2);
    EXPECT_LT(BackwardErrorRatio(a, f), 30.0) << "n = " << n << ", seed " << seed;
    EXPECT_LT(SolveResidualRatio(a, f), 30.0) << "n = " << n << ", seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, RandomIndefinite,
                         ::testing::Values(1, 2, 3, 4, 5, 7, 8, 13, 31, 32, 33, 64, 97, 100));

class IllConditioned : public ::testing::TestWithParam<double> {};

// Diagonal pivoting is backward stable whatever the conditioning: the ratio
// stays small even where the solution itself has no correct digits.
TEST_P(IllConditioned, BackwardErrorDoesNotGrowWithTheConditionNumber) {
  for (int n : {6, 40}) {
    const Dense a = testing::IllConditionedSymmetric(n, GetParam(), 3u + n);
    const Factored f = Factor(a, n);
    EXPECT_LT(BackwardErrorRatio(a, f), 30.0) << "n = " << n;
    EXPECT_LT(SolveResidualRatio(a, f), 30.0) << "n = " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Conditions, IllConditioned, ::testing::Values(1e2, 1e5, 1e7));

class KrigingShaped : public ::testing::TestWithParam<int> {};

TEST_P(KrigingShaped, SaddlePointSystemWithZeroBlockAgreesWithDoubleReference) {
  const int npoints = GetParam();
  const Dense a = testing::KrigingShaped(npoints, 11u + npoints);
  const Factored f = Factor(a, a.n);
  EXPECT_LT(BackwardErrorRatio(a, f), 30.0);
  std::vector<float> x;
  EXPECT_LT(SolveResidualRatio(a, f, &x), 30.0);

  std::vector<double> b(a.n);
  for (int i = 0; i < a.n; ++i) {
    double s = 0;
    for (int j = 0; j < a.n; ++j) s += static_cast<float>(a(i, j)) * (j + 1.0) / a.n;
    b[i] = static_cast<float>(s);
  }
  const std::vector<double> ref = testing::ReferenceSolve(a, b);
  for (int i = 0; i < a.n; ++i) EXPECT_NEAR(x[i], ref[i], 2e-2 * (1.0 + std::fabs(ref[i]))) << i;
}

INSTANTIATE_TEST_SUITE_P(Points, KrigingShaped, ::testing::Values(3, 5, 20, 60));

TEST(BunchKaufman, ZeroDiagonalTakesA2x2BlockAndSolves) {
  // [0 2; 2 0] needs a 2x2 pivot: no 1x1 pivot is usable.
  float a[4] = {0, 2, 2, 0};
  std::int32_t ipvt[2];
  SymmetricFactor(2, a, 2, a, 2, ipvt);
  EXPECT_LT(ipvt[0], 0);
  EXPECT_EQ(ipvt[0], ipvt[1]);
  float x[2] = {4, 6};
  SymmetricSolve(2, a, 2, ipvt, x, x);
  EXPECT_FLOAT_EQ(x[0], 3.0f);
  EXPECT_FLOAT_EQ(x[1], 2.0f);
}

TEST(BunchKaufman, SolveLeavesRightHandSideUnchanged) {
  const Dense a = testing::RandomSymmetric(6, 5);
  const Factored f = Factor(a, 6);
  std::vector<float> b = {1, 2, 3, 4, 5, 6}, x(6);
  const std::vector<float> copy = b;
  SymmetricSolve(6, f.fac.data(), 6, f.ipvt.data(), b.data(), x.data());
  EXPECT_EQ(b, copy);
}

TEST(BunchKaufman, FactorIntoSeparateArrayLeavesInputAlone) {
  const Dense a = testing::RandomSymmetric(9, 17);
  std::vector<float> in = testing::UpperAsFloat(a, 9);
  const std::vector<float> copy = in;
  std::vector<float> fac(9 * 9);
  std::vector<std::int32_t> ipvt(9);
  SymmetricFactor(9, in.data(), 9, fac.data(), 9, ipvt.data());
  for (size_t i = 0; i < in.size(); ++i) {
    if (!std::isnan(copy[i])) {
      EXPECT_EQ(in[i], copy[i]);
    }
  }
  EXPECT_LT(BackwardErrorRatio(a, Factored{fac, ipvt, 9}), 30.0);
}

TEST(BunchKaufmanDeathTest, SingularMatrixOfOnesStopsWithTheFatalMessage) {
  testing::LogCapture log("bk_singular");
  auto run = [&] {
    log.Open();
    float a[4] = {1, 1, 1, 1};
    std::int32_t ipvt[2];
    SymmetricFactor(2, a, 2, a, 2, ipvt);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], " *** FATAL    ERROR 2 from LFTSF.  The input matrix");
  EXPECT_EQ(lines[3], " ***          singular.");
}

TEST(BunchKaufmanDeathTest, NonPositiveOrderIsTerminal) {
  testing::LogCapture log("bk_order");
  auto run = [&] {
    log.Open();
    float a[1] = {1};
    std::int32_t ipvt[1];
    SymmetricFactor(0, a, 1, a, 1, ipvt);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("TERMINAL ERROR 1 from LFTSF.  The order of the"), std::string::npos);
}

TEST(BunchKaufmanDeathTest, LeadingDimensionBelowOrderIsTerminal) {
  testing::LogCapture log("bk_ld");
  auto run = [&] {
    log.Open();
    float a[9] = {};
    std::int32_t ipvt[3];
    SymmetricFactor(3, a, 3, a, 2, ipvt);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("LDFAC = 2 are given."), std::string::npos);
}

TEST(BunchKaufman, SingularMatrixUnderNonStoppingActionsReturnsAWholeRecord) {
  testing::LogCapture log("bk_nostop");
  log.Open();
  SetErrorActions(4, 1, 0);
  float a[9] = {1, 0, 0, 2, 4, 0, 3, 6, 9};  // upper triangle of rank-1 [1 2 3]^T [1 2 3]
  std::int32_t ipvt[3] = {-99, -99, -99};
  SymmetricFactor(3, a, 3, a, 3, ipvt);
  SetErrorActions(4, 2, 2);
  log.Close();
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(ipvt[k] >= 0 && ipvt[k] <= k) << k;
  EXPECT_NE(log.Unwrapped().find("FATAL    ERROR 2 from LFTSF."), std::string::npos);
}

}  // namespace
}  // namespace kriging

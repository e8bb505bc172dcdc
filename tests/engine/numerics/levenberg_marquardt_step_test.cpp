#include "numerics/levenberg_marquardt_step.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dense_reference.h"

namespace kriging {
namespace {

struct Subproblem {
  int m, n;
  std::vector<double> jac, f, d;
};

Subproblem RandomSubproblem(int m, int n, unsigned seed, bool repeatColumn) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Subproblem p{m, n, std::vector<double>(m * n), std::vector<double>(m), std::vector<double>(n)};
  for (double& e : p.jac) e = u(gen);
  for (double& e : p.f) e = 3.0 + u(gen);
  for (int j = 0; j < n; ++j) p.d[j] = 0.5 + j;  // unequal scales
  if (repeatColumn)
    for (int i = 0; i < m; ++i) p.jac[i + m] = p.jac[i];
  return p;
}

// Reference: (J^T J + lambda D^2) s = -J^T f solved in double.
std::vector<double> DampedReference(const Subproblem& p, double lambda) {
  testing::Dense a(p.n);
  std::vector<double> rhs(p.n, 0.0);
  for (int r = 0; r < p.n; ++r) {
    for (int c = 0; c < p.n; ++c) {
      double s = r == c ? lambda * p.d[r] * p.d[r] : 0.0;
      for (int i = 0; i < p.m; ++i) s += p.jac[i + r * p.m] * p.jac[i + c * p.m];
      a(r, c) = s;
    }
    for (int i = 0; i < p.m; ++i) rhs[r] -= p.jac[i + r * p.m] * p.f[i];
  }
  return testing::ReferenceSolve(a, rhs);
}

double ScaledNorm(const Subproblem& p, const std::vector<double>& s) {
  double t = 0;
  for (int j = 0; j < p.n; ++j) t += (p.d[j] * s[j]) * (p.d[j] * s[j]);
  return std::sqrt(t);
}

TEST(LevenbergMarquardtStep, WideRegionGivesTheGaussNewtonStepAndItsReduction) {
  const Subproblem p = RandomSubproblem(8, 3, 1, false);
  const std::vector<double> gn = DampedReference(p, 0.0);
  double lambda = 0.7, reduction = 0;
  std::vector<double> s;
  LevenbergMarquardtStep(p.m, p.n, p.jac, p.f, p.d, 10 * ScaledNorm(p, gn), lambda, s, reduction);
  EXPECT_EQ(lambda, 0.0);
  for (int j = 0; j < p.n; ++j) EXPECT_NEAR(s[j], gn[j], 1e-10 * (1 + std::fabs(gn[j])));
  double before = 0, after = 0;
  for (int i = 0; i < p.m; ++i) {
    double r = p.f[i];
    for (int j = 0; j < p.n; ++j) r += p.jac[i + j * p.m] * gn[j];
    before += p.f[i] * p.f[i];
    after += r * r;
  }
  EXPECT_NEAR(reduction, 0.5 * (before - after), 1e-10 * before);
}

class NarrowRegion : public ::testing::TestWithParam<bool> {};

TEST_P(NarrowRegion, StepLiesOnTheBoundaryAndSolvesTheDampedEquations) {
  const Subproblem p = RandomSubproblem(10, 3, 5, GetParam());
  for (double delta : {1e-3, 0.05, 0.3}) {
    double lambda = 0, reduction = 0;
    std::vector<double> s;
    LevenbergMarquardtStep(p.m, p.n, p.jac, p.f, p.d, delta, lambda, s, reduction);
    ASSERT_GT(lambda, 0.0) << delta;
    EXPECT_NEAR(ScaledNorm(p, s), delta, 0.1 * delta);
    const std::vector<double> ref = DampedReference(p, lambda);
    for (int j = 0; j < p.n; ++j) EXPECT_NEAR(s[j], ref[j], 1e-8 * (delta + std::fabs(ref[j]))) << delta;
  }
}

INSTANTIATE_TEST_SUITE_P(FullAndDeficientRank, NarrowRegion, ::testing::Values(false, true));

}  // namespace
}  // namespace kriging

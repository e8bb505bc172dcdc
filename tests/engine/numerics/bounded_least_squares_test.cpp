#include "numerics/bounded_least_squares.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "log_capture.h"

namespace kriging {
namespace {

// ---- Problems. The residual functions are plain functions, as the solver
// takes them; the point of their last call is kept to check that the solver
// ends with a call at the point it returns.
float lastX[3];

void Rosenbrock(int m, int n, const float* x, float* f) {
  f[0] = 10.0f * (x[1] - x[0] * x[0]);
  f[1] = 1.0f - x[0];
  std::copy_n(x, n, lastX);
}

// NIST StRD Misra1a: y = b1 (1 - exp(-b2 x)).
const double kMisraX[14] = {77.6, 114.9, 141.1, 190.8, 239.9, 289.0, 332.8,
                            378.4, 434.8, 477.3, 536.8, 593.1, 689.1, 760.0};
const double kMisraY[14] = {10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02,
                            44.82, 50.76, 55.05, 61.01, 66.40, 75.47, 81.78};

void Misra(int m, int n, const float* b, float* f) {
  for (int i = 0; i < m; ++i)
    f[i] = static_cast<float>(kMisraY[i] - b[0] * (1.0 - std::exp(-double(b[1]) * kMisraX[i])));
  std::copy_n(b, n, lastX);
}

// Exponential decay with offset, y = a exp(-b t) + c, on 20 points with a
// fixed perturbation.
double DecayT(int i) { return 0.5 * i; }
double DecayY(int i) { return 5.0 * std::exp(-0.7 * DecayT(i)) + 1.5 + 0.05 * ((i * 7) % 5 - 2); }

void Decay(int m, int n, const float* p, float* f) {
  for (int i = 0; i < m; ++i)
    f[i] = static_cast<float>(DecayY(i) - (p[0] * std::exp(-double(p[1]) * DecayT(i)) + p[2]));
  std::copy_n(p, n, lastX);
}

// Discontinuous: worse on the far side of x = 3 than anywhere above it.
void Jump(int m, int n, const float* x, float* f) { f[0] = x[0] > 3.0f ? 2.0f + x[0] : 10.0f; }

// ---- Independent double-precision references.

// Golden-section minimum of a unimodal function on [lo, hi].
double GoldenSection(const std::function<double(double)>& fn, double lo, double hi) {
  const double g = (std::sqrt(5.0) - 1.0) / 2.0;
  for (int i = 0; i < 200; ++i) {
    const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    if (fn(a) < fn(b)) hi = b;
    else lo = a;
  }
  return 0.5 * (lo + hi);
}

// Misra1a: for fixed b2 the best b1 is linear; minimise the profile over b2.
// With b1 held at `fixedB1` (> 0) only b2 is searched.
struct MisraReference {
  double b1, b2, sse;
};
MisraReference MisraSolve(double fixedB1 = 0.0) {
  auto fit = [&](double b2, double* b1Out) {
    double py = 0, pp = 0;
    for (int i = 0; i < 14; ++i) {
      const double phi = 1.0 - std::exp(-b2 * kMisraX[i]);
      py += phi * kMisraY[i];
      pp += phi * phi;
    }
    const double b1 = fixedB1 > 0 ? fixedB1 : py / pp;
    double sse = 0;
    for (int i = 0; i < 14; ++i) {
      const double e = kMisraY[i] - b1 * (1.0 - std::exp(-b2 * kMisraX[i]));
      sse += e * e;
    }
    if (b1Out) *b1Out = b1;
    return sse;
  };
  const double b2 = GoldenSection([&](double t) { return fit(t, nullptr); }, 1e-5, 5e-3);
  MisraReference r{0, b2, 0};
  r.sse = fit(b2, &r.b1);
  return r;
}

// Decay: for fixed b, a and c solve a 2 x 2 linear least-squares problem.
std::vector<double> DecaySolve() {
  auto fit = [](double b, double* a, double* c) {
    double s11 = 0, s12 = 0, s22 = 0, r1 = 0, r2 = 0;
    for (int i = 0; i < 20; ++i) {
      const double e = std::exp(-b * DecayT(i));
      s11 += e * e, s12 += e, s22 += 1, r1 += e * DecayY(i), r2 += DecayY(i);
    }
    const double det = s11 * s22 - s12 * s12;
    *a = (r1 * s22 - r2 * s12) / det;
    *c = (s11 * r2 - s12 * r1) / det;
    double sse = 0;
    for (int i = 0; i < 20; ++i) {
      const double e = DecayY(i) - (*a * std::exp(-b * DecayT(i)) + *c);
      sse += e * e;
    }
    return sse;
  };
  double a, c;
  const double b = GoldenSection([&](double t) { return fit(t, &a, &c); }, 0.05, 5.0);
  fit(b, &a, &c);
  return {a, b, c};
}

// ---- Running the solver.
struct Fit {
  std::vector<float> x, fvec, fjac;
  double sumSquares() const {
    double s = 0;
    for (float e : fvec) s += double(e) * e;
    return s;
  }
};

Fit Solve(ResidualFunction fcn, int m, std::vector<float> start, int ibtype, std::vector<float> lb,
          std::vector<float> ub, std::vector<float> xscale, const std::function<void(std::int32_t*, float*)>& tune = {}) {
  const int n = static_cast<int>(start.size());
  std::int32_t iparam[6];
  float rparam[7];
  BCLSFDefaults(iparam, rparam);
  if (tune) tune(iparam, rparam);
  std::vector<float> fscale(m, 1.0f);
  Fit r{std::vector<float>(n), std::vector<float>(m), std::vector<float>((m + 1) * n)};
  BCLSF(fcn, m, n, start.data(), ibtype, lb.data(), ub.data(), xscale.data(), fscale.data(), iparam,
        rparam, r.x.data(), r.fvec.data(), r.fjac.data(), m + 1);
  return r;
}

TEST(BCLSFDefaults, MatchTheDocumentedValues) {
  std::int32_t iparam[6];
  float rparam[7];
  BCLSFDefaults(iparam, rparam);
  EXPECT_EQ(iparam[0], 1);
  EXPECT_EQ(iparam[1], 7);
  EXPECT_EQ(iparam[2], 100);
  EXPECT_EQ(iparam[3], 400);
  EXPECT_EQ(iparam[4], 100);
  EXPECT_EQ(iparam[5], 1);
  EXPECT_NEAR(rparam[0], 3.4527e-4, 1e-8);
  EXPECT_NEAR(rparam[1], 2.4222e-5, 1e-9);
  EXPECT_NEAR(rparam[2], 2.4222e-5, 1e-9);
  EXPECT_NEAR(rparam[3], 1.4211e-14, 1e-18);
  EXPECT_NEAR(rparam[4], 1.1921e-5, 1e-9);
  EXPECT_EQ(rparam[5], -999.0f);
  EXPECT_EQ(rparam[6], -999.0f);
}

class RosenbrockStarts : public ::testing::TestWithParam<std::vector<float>> {};

TEST_P(RosenbrockStarts, ReachesTheMinimumWithResidualsAndJacobianAtIt) {
  testing::LogCapture log("rosenbrock");
  log.Open();
  const Fit r = Solve(Rosenbrock, 2, GetParam(), 3, {-5}, {5}, {1, 1});
  log.Close();
  EXPECT_EQ(log.Text(), "");
  EXPECT_NEAR(r.x[0], 1.0, 2e-3);
  EXPECT_NEAR(r.x[1], 1.0, 4e-3);
  // fvec and fjac belong to the returned point; the last call was made there.
  EXPECT_EQ(lastX[0], r.x[0]);
  EXPECT_EQ(lastX[1], r.x[1]);
  EXPECT_FLOAT_EQ(r.fvec[0], 10.0f * (r.x[1] - r.x[0] * r.x[0]));
  EXPECT_FLOAT_EQ(r.fvec[1], 1.0f - r.x[0]);
  const int ld = 3;
  EXPECT_NEAR(r.fjac[0], -20.0 * r.x[0], 0.05);
  EXPECT_NEAR(r.fjac[1], -1.0, 1e-3);
  EXPECT_NEAR(r.fjac[ld], 10.0, 1e-2);
  EXPECT_NEAR(r.fjac[ld + 1], 0.0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Starts, RosenbrockStarts,
                         ::testing::Values(std::vector<float>{-1.2f, 1.0f}, std::vector<float>{3.0f, -2.0f},
                                           std::vector<float>{-4.0f, 4.5f}));

class MisraStarts : public ::testing::TestWithParam<std::vector<float>> {};

TEST_P(MisraStarts, MatchesTheProfileReferenceAndCertifiedValues) {
  const MisraReference ref = MisraSolve();
  // Certified values of the NIST problem, as a check on the reference itself.
  ASSERT_NEAR(ref.b1, 2.3894212918e2, 1e-5);
  ASSERT_NEAR(ref.b2, 5.5015643181e-4, 1e-10);
  ASSERT_NEAR(ref.sse, 1.2455138894e-1, 1e-9);
  testing::LogCapture log("misra");
  log.Open();
  const Fit r = Solve(Misra, 14, GetParam(), 0, {0, 0}, {1e4f, 1}, {1.0f / 250, 2000});
  log.Close();
  // b2 is resolved to the last float digit before the scaled gradient falls
  // below GRADTL, so the run may end by relative function convergence.
  if (!log.Text().empty()) {
    EXPECT_NE(log.Unwrapped().find("RELATIVE FUNCTION CONVERGENCE"), std::string::npos) << log.Text();
  }
  EXPECT_NEAR(r.x[0], ref.b1, 1e-3 * ref.b1) << log.Text();
  EXPECT_NEAR(r.x[1], ref.b2, 1e-3 * ref.b2);
  EXPECT_NEAR(r.sumSquares(), ref.sse, 1e-3 * ref.sse);
}

INSTANTIATE_TEST_SUITE_P(NistStarts, MisraStarts,
                         ::testing::Values(std::vector<float>{500, 1e-4f}, std::vector<float>{250, 5e-4f}));

class DecayStarts : public ::testing::TestWithParam<std::vector<float>> {};

TEST_P(DecayStarts, ThreeParameterFitMatchesTheReference) {
  const std::vector<double> ref = DecaySolve();
  const Fit r = Solve(Decay, 20, GetParam(), 3, {-100}, {100}, {1, 1, 1});
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(r.x[j], ref[j], 2e-3 * std::fabs(ref[j]) + 1e-4) << j;
}

INSTANTIATE_TEST_SUITE_P(Starts, DecayStarts,
                         ::testing::Values(std::vector<float>{1, 2, 0.5f}, std::vector<float>{20, 0.1f, -3}));

TEST(BCLSFBounds, SolutionOnAnUpperBoundOfOneVariable) {
  // The unconstrained b1 = 238.9 lies above the bound 200: b1 stays on the
  // bound and b2 minimises with b1 = 200.
  const MisraReference ref = MisraSolve(200.0);
  testing::LogCapture log("bound");  // keeps a relative-convergence warning off the console
  log.Open();
  const Fit r = Solve(Misra, 14, {100, 1e-3f}, 0, {0, 0}, {200, 1}, {1.0f / 250, 2000});
  log.Close();
  EXPECT_EQ(r.x[0], 200.0f);
  EXPECT_NEAR(r.x[1], ref.b2, 1e-3 * ref.b2);
}

TEST(BCLSFBounds, RosenbrockWithTheValleyCutOff) {
  // x1 <= 0.5: the constrained minimum is (0.5, 0.25).
  const Fit r = Solve(Rosenbrock, 2, {-1.2f, 1.0f}, 0, {-5, -5}, {0.5f, 5}, {1, 1});
  EXPECT_EQ(r.x[0], 0.5f);
  EXPECT_NEAR(r.x[1], 0.25, 1e-3);
}

TEST(BCLSFBounds, CommonBoundsKeepEveryVariableInsideAndProjectTheStart) {
  // ibtype 3 with [0.001, 100], the callers' setting; the minimum of the
  // decay fit has c = 1.5 but the start is outside the box.
  const Fit r = Solve(Decay, 20, {500, -3, 0.5f}, 3, {0.001f}, {100}, {1, 1, 1});
  const std::vector<double> ref = DecaySolve();
  for (float v : r.x) {
    EXPECT_GE(v, 0.001f);
    EXPECT_LE(v, 100.0f);
  }
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(r.x[j], ref[j], 2e-3 * std::fabs(ref[j]) + 1e-4) << j;
}

// ---- Outcomes and their messages.
struct OutcomeCase {
  const char* name;
  std::function<void(std::int32_t*, float*)> tune;
  const char* message;  // as it appears, unwrapped, in the log
};

class Outcomes : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcomes, StopIsReportedWithItsMessageAndTheBestPointReturned) {
  const OutcomeCase c = GetParam();
  testing::LogCapture log("outcome");
  log.Open();
  SetErrorActions(4, 1, 0);
  SetErrorActions(2, 1, -1);
  const Fit r = Solve(Rosenbrock, 2, {-1.2f, 1.0f}, 3, {-5}, {5}, {1, 1}, c.tune);
  SetErrorActions(0, 2, 2);
  log.Close();
  EXPECT_NE(log.Unwrapped().find(c.message), std::string::npos) << log.Text();
  // The best point found is returned: no worse than the start (f = 24.2).
  EXPECT_LT(r.sumSquares(), 24.2);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Outcomes,
    ::testing::Values(
        OutcomeCase{"iterations", [](std::int32_t* ip, float*) { ip[2] = 3; },
                    "FATAL    ERROR 3 from BCLSF.  Maximum number of iterations exceeded."},
        OutcomeCase{"functions", [](std::int32_t* ip, float*) { ip[3] = 2; },
                    "FATAL    ERROR 4 from BCLSF.  Maximum number of function evaluations "
                    "exceeded."},
        OutcomeCase{"jacobians", [](std::int32_t* ip, float*) { ip[4] = 2; },
                    "FATAL    ERROR 5 from BCLSF.  Maximum number of Jacobian evaluations "
                    "exceeded."},
        OutcomeCase{"step tolerance",
                    [](std::int32_t*, float* rp) {
                      rp[0] = 0;
                      rp[1] = 0.9f;
                    },
                    "ALERT    ERROR 7 from BCLSF.  Scaled step tolerance satisfied; the current "
                    "point may be an approximate local solution"},
        OutcomeCase{"maximal steps",
                    [](std::int32_t*, float* rp) {
                      rp[0] = 0;
                      rp[5] = 1e-3f;
                    },
                    "WARNING  ERROR 6 from BCLSF.  Five consecutive steps of length STEPMX have "
                    "been taken; either the function is unbounded below"}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) {
      std::string s = info.param.name;
      for (char& ch : s)
        if (ch == ' ') ch = '_';
      return s;
    });

TEST(BCLSFOutcomes, LooseRelativeFunctionToleranceStopsANonzeroResidualFit) {
  testing::LogCapture log("rftol");
  log.Open();
  const Fit r = Solve(Decay, 20, {1, 2, 0.5f}, 3, {-100}, {100}, {1, 1, 1}, [](std::int32_t*, float* rp) {
    rp[0] = 0;
    rp[2] = 0.01f;
  });
  log.Close();
  EXPECT_NE(log.Unwrapped().find("WARNING  ERROR 1 from BCLSF.  RELATIVE FUNCTION CONVERGENCE - Both "
                                 "the scaled actual and predicted reductions in the function are "
                                 "less than or equal to the relative function convergence "
                                 "tolerance RFTOL = 0.01."),
            std::string::npos)
      << log.Text();
  const std::vector<double> ref = DecaySolve();
  EXPECT_NEAR(r.x[1], ref[1], 0.1 * ref[1]);
}

TEST(BCLSFOutcomes, StallAtTheRoundingNoiseOfASmoothFitIsNotFalseConvergence) {
  // Without the relative function test Misra1a runs until b2 is resolved to
  // its last float digit; the failed steps there are noise, not a wrong
  // gradient.
  const MisraReference ref = MisraSolve();
  testing::LogCapture log("noise");
  log.Open();
  const Fit r = Solve(Misra, 14, {500, 1e-4f}, 0, {0, 0}, {1e4f, 1}, {1.0f / 250, 2000},
                      [](std::int32_t*, float* rp) { rp[2] = 0; });
  log.Close();
  EXPECT_EQ(log.Unwrapped().find("FALSE CONVERGENCE"), std::string::npos) << log.Text();
  EXPECT_NEAR(r.x[1], ref.b2, 1e-3 * ref.b2);
}

TEST(BCLSFOutcomes, DiscontinuousFunctionEndsInFalseConvergenceNearTheJump) {
  testing::LogCapture log("false");
  log.Open();
  const Fit r = Solve(Jump, 1, {6}, 3, {-10}, {10}, {1}, [](std::int32_t*, float* rp) {
    rp[0] = 0;
    rp[1] = 0;
  });
  log.Close();
  EXPECT_NE(log.Unwrapped().find("WARNING  ERROR 2 from BCLSF.  FALSE CONVERGENCE - The iterates "
                                 "appear to be converging to a noncritical point."),
            std::string::npos)
      << log.Text();
  EXPECT_GT(r.x[0], 3.0f);
  EXPECT_NEAR(r.x[0], 3.0, 1e-3);
}

TEST(BCLSFOutcomesDeathTest, IterationLimitStopsTheProcessUnderDefaultActions) {
  testing::LogCapture log("bclsf_stop");
  auto run = [&] {
    log.Open();
    Solve(Rosenbrock, 2, {-1.2f, 1.0f}, 3, {-5}, {5}, {1, 1}, [](std::int32_t* ip, float*) { ip[2] = 2; });
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  const auto lines = log.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], " *** FATAL    ERROR 3 from BCLSF.  Maximum number");
  EXPECT_EQ(lines.back(), " ***          of iterations exceeded.");
}

TEST(BCLSFArgumentsDeathTest, MoreVariablesThanFunctionsIsTerminalEvenWhenFatalDoesNotStop) {
  testing::LogCapture log("bclsf_nm");
  auto run = [&] {
    log.Open();
    SetErrorActions(4, 1, 0);
    Solve(Rosenbrock, 1, {1, 1}, 3, {-5}, {5}, {1, 1});
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("TERMINAL ERROR 4 from BCLSF.  The number of variables must be "
                                 "less than or equal to the number of functions while N = 2 and "
                                 "M = 1 are given."),
            std::string::npos)
      << log.Text();
}

TEST(BCLSFArgumentsDeathTest, BoundTypeOutsideZeroToThreeIsTerminal) {
  testing::LogCapture log("bclsf_ib");
  auto run = [&] {
    log.Open();
    Solve(Rosenbrock, 2, {1, 1}, 4, {-5}, {5}, {1, 1});
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("less than four while IBTYPE = 4 is given."), std::string::npos);
}

TEST(BCLSFParameters, BadValuesAreReplacedWithAMessageAndTheRunSucceeds) {
  testing::LogCapture log("bclsf_params");
  log.Open();
  std::int32_t kept[6];
  float keptR[7];
  const Fit r = Solve(Rosenbrock, 2, {-1.2f, 1.0f}, 3, {-5}, {5}, {1, 0}, [&](std::int32_t* ip, float* rp) {
    ip[2] = -1;
    rp[0] = -2.0f;
    std::copy_n(ip, 6, kept);
    std::copy_n(rp, 7, keptR);
  });
  log.Close();
  const std::string text = log.Unwrapped();
  EXPECT_NE(text.find("The maximum number of iterations must be positive while MXITER = -1 is "
                      "given.  The algorithm will use MXITER = 100."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("The gradient tolerance must be nonnegative while GRADTL = -2 is given.  "
                      "The algorithm will use GRADTL = 0.000345"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("The values for the diagonal scaling matrix must be positive while "
                      "XSCALE(2) = 0 is given."),
            std::string::npos)
      << text;
  EXPECT_NEAR(r.x[0], 1.0, 2e-3);
}

TEST(BCLSFParameters, InitialisationFlagZeroTakesTheDefaults) {
  testing::LogCapture log("bclsf_init");
  log.Open();
  const Fit r = Solve(Rosenbrock, 2, {-1.2f, 1.0f}, 3, {-5}, {5}, {1, 1}, [](std::int32_t* ip, float* rp) {
    ip[0] = 0;
    ip[2] = -7;
    rp[1] = -1;
  });
  log.Close();
  EXPECT_EQ(log.Text(), "");
  EXPECT_NEAR(r.x[0], 1.0, 2e-3);
}

}  // namespace
}  // namespace kriging

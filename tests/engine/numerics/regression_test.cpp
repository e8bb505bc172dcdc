#include "numerics/regression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dense_reference.h"
#include "log_capture.h"

namespace kriging {
namespace {

TEST(RLINE, ExactLineIsRecoveredAndNaNPairsAreSkipped) {
  const float nan = std::nanf("");
  std::vector<float> x = {1, 2, nan, 4, 7, 1.5f}, y = {5, 8, 3, 14, nan, 6.5f};
  float b0 = 0, b1 = 0, stat[12];
  RLINE(6, x.data(), y.data(), b0, b1, stat);
  // Valid pairs lie on y = 2 + 3 x.
  EXPECT_NEAR(b0, 2.0f, 1e-5);
  EXPECT_NEAR(b1, 3.0f, 1e-5);
  EXPECT_NEAR(stat[1], (5 + 8 + 14 + 6.5) / 4, 1e-5);
  EXPECT_NEAR(stat[0], (1 + 2 + 4 + 1.5) / 4, 1e-5);
  EXPECT_EQ(stat[10], 4.0f);
  EXPECT_EQ(stat[11], 2.0f);
}

TEST(RLINE, NoisyLineSatisfiesTheNormalEquationsAndPassesThroughTheMeans) {
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0.0, 0.5);
  const int n = 40;
  std::vector<float> x(n), y(n);
  for (int i = 0; i < n; ++i) {
    x[i] = 1000.0f + 0.25f * i;  // large offset: a naive sum formula would cancel
    y[i] = static_cast<float>(-3.0 + 0.8 * (x[i] - 1000.0) + noise(gen));
  }
  float b0, b1, stat[12];
  RLINE(n, x.data(), y.data(), b0, b1, stat);
  double sumResidual = 0.0, sumResidualX = 0.0, scale = 0.0;
  for (int i = 0; i < n; ++i) {
    const double e = y[i] - (static_cast<double>(b0) + static_cast<double>(b1) * x[i]);
    sumResidual += e;
    sumResidualX += e * (x[i] - 1000.0);
    scale += std::fabs(y[i]);
  }
  EXPECT_NEAR(sumResidual, 0.0, 1e-2 * scale / n);
  EXPECT_NEAR(sumResidualX, 0.0, 1e-2 * scale);
  EXPECT_NEAR(stat[1], b0 + b1 * stat[0], 1e-3);
  EXPECT_NEAR(b1, 0.8, 0.1);
}

TEST(RLINE, NoValidPairUnderNonStoppingActionsReturnsNaNAndCounts) {
  testing::LogCapture log("rline_nostop");
  log.Open();
  SetErrorActions(4, 1, 0);
  const float x[3] = {std::nanf(""), 1, std::nanf("")}, y[3] = {1, std::nanf(""), 2};
  float b0 = 0, b1 = 0, stat[12];
  RLINE(3, x, y, b0, b1, stat);
  SetErrorActions(4, 2, 2);
  log.Close();
  EXPECT_TRUE(std::isnan(b0) && std::isnan(b1));
  EXPECT_EQ(stat[10], 0.0f);
  EXPECT_EQ(stat[11], 3.0f);
  EXPECT_NE(log.Unwrapped().find("There are no valid data points."), std::string::npos);
}

TEST(RLINE, EqualAbscissasGiveTheHorizontalLineThroughTheMean) {
  const float x[3] = {2, 2, 2}, y[3] = {1, 2, 6};
  float b0, b1, stat[12];
  RLINE(3, x, y, b0, b1, stat);
  EXPECT_EQ(b1, 0.0f);
  EXPECT_FLOAT_EQ(b0, 3.0f);
}

TEST(RLINEDeathTest, NoValidPairIsFatalAndStops) {
  testing::LogCapture log("rline");
  auto run = [&] {
    log.Open();
    const float x[2] = {std::nanf(""), 1}, y[2] = {1, std::nanf("")};
    float b0, b1, stat[12];
    RLINE(2, x, y, b0, b1, stat);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("FATAL    ERROR 1 from RLINE.  There are no valid data points.  "
                                 "Each (x,y) pair contains NaN (not a number)."),
            std::string::npos)
      << log.Text();
}

TEST(RLINEDeathTest, NoPointIsTerminal) {
  testing::LogCapture log("rline0");
  auto run = [&] {
    log.Open();
    float b0, b1, stat[12];
    RLINE(0, nullptr, nullptr, b0, b1, stat);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("at least one but NOBS = 0 is given."), std::string::npos);
}

TEST(RLSE, RegressionThroughTheOriginMatchesTheClosedForm) {
  const int n = 12;
  std::vector<float> x(n), y(n);
  double sxy = 0, sxx = 0, syy = 0;
  for (int i = 0; i < n; ++i) {
    x[i] = 0.5f + i;
    y[i] = 2.5f * x[i] + ((i % 3) - 1) * 0.7f + 4.0f;  // off the origin: intercept ignored
    sxy += double(x[i]) * y[i];
    sxx += double(x[i]) * x[i];
    syy += double(y[i]) * y[i];
  }
  float b = 0, sst = 0, sse = 0;
  RLSE(n, y.data(), 1, x.data(), n, 0, &b, sst, sse);
  const double slope = sxy / sxx;
  EXPECT_NEAR(b, slope, 1e-6 * slope);
  EXPECT_NEAR(sst, syy, 1e-6 * syy);
  EXPECT_NEAR(sse, syy - slope * sxy, 1e-4 * syy);
}

TEST(RLSE, TwoRegressorsWithInterceptAgreeWithDoubleNormalEquations) {
  const int n = 30, ld = 32;
  std::mt19937 gen(9);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  std::vector<float> x(ld * 2, std::nanf("")), y(n);
  for (int i = 0; i < n; ++i) {
    x[i] = static_cast<float>(u(gen));
    x[ld + i] = static_cast<float>(u(gen) * 10.0);
    y[i] = static_cast<float>(7.0 - 1.5 * x[i] + 0.3 * x[ld + i] + 0.2 * u(gen));
  }
  testing::Dense normal(3);
  std::vector<double> rhs(3, 0.0);
  for (int i = 0; i < n; ++i) {
    const double row[3] = {1.0, x[i], x[ld + i]};
    for (int a = 0; a < 3; ++a) {
      rhs[a] += row[a] * y[i];
      for (int c = 0; c < 3; ++c) normal(a, c) += row[a] * row[c];
    }
  }
  const std::vector<double> ref = testing::ReferenceSolve(normal, rhs);
  float b[3], sst, sse;
  RLSE(n, y.data(), 2, x.data(), ld, 1, b, sst, sse);
  double mean = 0, tot = 0, res = 0;
  for (int i = 0; i < n; ++i) mean += y[i] / double(n);
  for (int i = 0; i < n; ++i) {
    tot += (y[i] - mean) * (y[i] - mean);
    const double e = y[i] - (ref[0] + ref[1] * x[i] + ref[2] * x[ld + i]);
    res += e * e;
  }
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(b[j], ref[j], 1e-5 * (1 + std::fabs(ref[j]))) << j;
  EXPECT_NEAR(sst, tot, 1e-5 * tot);
  EXPECT_NEAR(sse, res, 1e-4 * res);
}

TEST(RLSE, DependentColumnGetsZeroCoefficient) {
  const float x[8] = {1, 2, 3, 4, 2, 4, 6, 8};  // second column = 2 * first
  const float y[4] = {3, 5, 7, 9.5f};
  float b[2], sst, sse, single, sst1, sse1;
  RLSE(4, y, 2, x, 4, 0, b, sst, sse);
  RLSE(4, y, 1, x, 4, 0, &single, sst1, sse1);
  EXPECT_EQ(b[1], 0.0f);
  EXPECT_FLOAT_EQ(b[0], single);
  EXPECT_FLOAT_EQ(sse, sse1);
}

TEST(RLSEDeathTest, BadInterceptOptionIsTerminal) {
  testing::LogCapture log("rlse");
  auto run = [&] {
    log.Open();
    const float x[2] = {1, 2}, y[2] = {1, 2};
    float b[3], sst, sse;
    RLSE(2, y, 1, x, 2, 2, b, sst, sse);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("TERMINAL ERROR 1 from RLSE.  INTCEP = 2.  The intercept option, "
                                 "INTCEP, must be equal to 0 or 1."),
            std::string::npos)
      << log.Text();
}

}  // namespace
}  // namespace kriging

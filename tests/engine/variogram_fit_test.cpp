// The model fit: class selection, starting values, and the quality of both
// methods against an independent double-precision minimum of the criterion,
// on synthetic classes in real-world units and on the meuse classes.
#include "variogram_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sys/wait.h>
#include <string>
#include <vector>

#include "criterion_minimum.h"
#include "numerics/error_service.h"
#include "variogram_models.h"

namespace kriging {
namespace {

using testing::FitClasses;

// Lag classes as FitVariogramModel takes them.
struct Classes {
  std::vector<float> estimate, distance;
  std::vector<std::int32_t> count;
  FitClasses AsDouble() const {
    FitClasses c;
    for (size_t i = 0; i < count.size(); ++i) {
      c.count.push_back(count[i]);
      c.distance.push_back(distance[i]);
      c.estimate.push_back(estimate[i]);
    }
    return c;
  }
};

struct FitResult {
  float params[10];
  std::int32_t maxIterations = 500;
  std::string log;
};

// Runs the fit with the run log captured.
FitResult Fit(int code, const Classes& c, int method, int fitLagCount, int minPairs = 15,
              const float start[3] = nullptr) {
  FitResult r;
  std::fill(r.params, r.params + 10, -1.0f);
  if (start != nullptr) std::copy(start, start + 3, r.params);
  std::FILE* log = std::tmpfile();
  OutputUnit(-2, log);
  FitVariogramModel(code, c.estimate.data(), c.distance.data(), c.count.data(),
                    int(c.count.size()), fitLagCount, minPairs, r.params, r.maxIterations, method);
  std::FILE* none = nullptr;
  OutputUnit(-2, none);
  std::rewind(log);
  for (int ch; (ch = std::fgetc(log)) != EOF;) r.log += char(ch);
  std::fclose(log);
  return r;
}

// The meuse log-zinc classes of an independent package (classical estimator).
Classes MeuseClasses() {
  return {{0.1581807f, 0.2891516f, 0.4193364f, 0.5425174f, 0.5763432f, 0.6481780f, 0.6894742f,
           0.6442053f, 0.6254373f, 0.5704038f, 0.5554510f, 0.5126042f, 0.5091961f, 0.5330224f,
           0.5446255f},
          {119.987811f, 245.131094f, 402.853047f, 559.329534f, 719.885336f, 878.695953f,
           1036.854542f, 1195.384562f, 1355.122717f, 1513.679656f, 1676.242887f, 1834.607778f,
           1992.134638f, 2155.385200f, 2315.330255f},
          {195, 580, 739, 798, 873, 854, 797, 723, 669, 655, 629, 576, 512, 465, 411}};
}

// Classes of a model in metres and a large semivariance unit, with a fixed
// pattern of relative noise: far from the solver's [0.001, 100] box unless the
// fit works in the data's own units.
Classes SyntheticClasses(int code) {
  struct { double c0, c1, a; } truth[7] = {{},
      {20000, 130000, 900}, {15000, 140000, 350}, {10000, 95, 0},
      {8000, 2600, 0.7},    {20000, 0.8, 160000}, {25000, 120000, 200}};
  Classes c;
  for (int k = 1; k <= 14; ++k) {
    const double h = 75.0 * k;
    const double gamma = truth[code].c0 + truth[code].c1 * testing::UnitShape(code, truth[code].a, h);
    c.distance.push_back(float(h));
    c.estimate.push_back(float(gamma * (1 + 0.08 * std::sin(2.3 * k))));
    c.count.push_back(40 + 7 * k);
  }
  return c;
}

// The bounds of a in the fit: [0.001, 100] in units of the last class's
// distance (squared for the rational quadratic model; none for the exponent).
void RangeBounds(int code, const Classes& c, double& low, double& high) {
  const double d = c.distance.back(), unit = code == 4 ? 1 : (code == 5 ? d * d : d);
  low = 0.001 * unit, high = 100 * unit;
}

struct QualityCase {
  const char* data;
  int code, method;
};
std::string Name(const ::testing::TestParamInfo<QualityCase>& info) {
  return std::string(info.param.data) + "_model" + std::to_string(info.param.code) + "_method" +
         std::to_string(info.param.method);
}

class FitQuality : public ::testing::TestWithParam<QualityCase> {};

TEST_P(FitQuality, EndsNearTheTrueMinimumAndReportsItsCriterion) {
  const QualityCase q = GetParam();
  const Classes c = std::string(q.data) == "meuse" ? MeuseClasses() : SyntheticClasses(q.code);
  const FitResult r = Fit(q.code, c, q.method, int(c.count.size()));
  double low, high;
  RangeBounds(q.code, c, low, high);
  const testing::Minimum best = testing::MinimiseCriterion(c.AsDouble(), q.code, low, high);
  const double at_result = testing::Criterion(c.AsDouble(), q.code, r.params[0], r.params[1],
                                              r.params[2]);
  std::printf("%s model %d method %d: criterion %.6g, minimum %.6g (ratio %.4f) at %.5g %.5g %.5g;"
              " fitted %.5g %.5g %.5g\n",
              q.data, q.code, q.method, at_result, best.q, at_result / best.q, best.c0, best.c1,
              best.a, r.params[0], r.params[1], r.params[2]);
  EXPECT_NEAR(r.params[3], at_result, 1e-4 * at_result);
  if (q.method == 2) {
    EXPECT_LE(at_result, 1.02 * best.q);
  } else {
    // The alternating method stops at the fixed point of its reweighting (or
    // after ten cycles), which need not be the minimum: it must still improve
    // on its start.
    const double at_start = testing::Criterion(c.AsDouble(), q.code, r.params[5], r.params[6],
                                               r.params[7]);
    EXPECT_LE(at_result, at_start);
  }
}

std::vector<QualityCase> AllQualityCases() {
  std::vector<QualityCase> cases;
  for (const char* data : {"meuse", "synthetic"})
    for (int code = 1; code <= 6; ++code)
      for (int method = 1; method <= 2; ++method) cases.push_back({data, code, method});
  return cases;
}
INSTANTIATE_TEST_SUITE_P(BothMethods, FitQuality, ::testing::ValuesIn(AllQualityCases()), Name);

TEST(FitVariogramModel, RangeOfHundredsOfMetresAndLargeSillAreFittable) {
  // Spherical classes with range 900 m and sill 150000, no noise: both methods
  // must find them, far outside [0.001, 100] in absolute terms.
  Classes c;
  for (int k = 1; k <= 14; ++k) {
    const double h = 75.0 * k;
    c.distance.push_back(float(h));
    c.estimate.push_back(float(20000 + 130000 * testing::UnitShape(1, 900, h)));
    c.count.push_back(50);
  }
  for (int method : {1, 2}) {
    const FitResult r = Fit(1, c, method, 14);
    // The alternating method stops once a cycle changes the parameters by
    // less than 0.5%, a little short of the exact values.
    const double tolerance = method == 1 ? 0.03 : 0.002;
    EXPECT_NEAR(r.params[0], 20000, 20000 * tolerance) << "method " << method;
    EXPECT_NEAR(r.params[1], 130000, 130000 * tolerance) << "method " << method;
    EXPECT_NEAR(r.params[2], 900, 900 * tolerance) << "method " << method;
    EXPECT_LT(r.params[3], 0.05);
  }
}

TEST(FitVariogramModel, SelectsTheFirstClassesWithMoreThanMinimumPairs) {
  Classes c = SyntheticClasses(2);
  c.count[1] = 15;  // exactly the minimum: left out
  c.count[3] = 3;
  c.count[4] = 16;  // one more: taken
  const float start[3] = {15000, 140000, 350};
  Fit(2, c, 0, 5, 15, start);
  const FitSet& fit = CurrentFitSet();
  ASSERT_EQ(fit.m, 5);
  const int taken[5] = {0, 2, 4, 5, 6};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(fit.distance[i], c.distance[taken[i]]);
    EXPECT_EQ(fit.estimate[i], c.estimate[taken[i]]);
    EXPECT_EQ(fit.count[i], c.count[taken[i]]);
  }
}

TEST(FitVariogramModel, NoMoreClassesThanTheFitSetHolds) {
  Classes c;
  for (int k = 1; k <= 80; ++k) {
    c.distance.push_back(10.0f * k);
    c.estimate.push_back(1 + 0.01f * k);
    c.count.push_back(100);
  }
  const float start[3] = {1, 0.01f, 1};
  Fit(3, c, 0, 80, 15, start);
  EXPECT_EQ(CurrentFitSet().m, kFitCapacity);
}

TEST(FitVariogramModel, GivenStartIsEchoedWithoutInitialApproximation) {
  const Classes c = SyntheticClasses(1);
  const float start[3] = {10000, 100000, 500};
  const FitResult r = Fit(1, c, 2, 14, 15, start);
  EXPECT_EQ(r.params[5], 10000.0f);
  EXPECT_EQ(r.params[6], 100000.0f);
  EXPECT_EQ(r.params[7], 500.0f);
  EXPECT_EQ(r.log.find("inicial"), std::string::npos);
  EXPECT_NE(r.log.find("    Par\xC3\xA1metros estimados:"), std::string::npos);
}

TEST(FitVariogramModel, NoMethodKeepsTheStartAndReportsItsCriterion) {
  const Classes c = SyntheticClasses(2);
  const float start[3] = {15000, 140000, 350};
  const FitResult r = Fit(2, c, 7, 14, 15, start);
  EXPECT_EQ(r.params[0], start[0]);
  EXPECT_EQ(r.params[2], start[2]);
  const double q = testing::Criterion(c.AsDouble(), 2, start[0], start[1], start[2]);
  EXPECT_NEAR(r.params[3], q, 1e-4 * q);
  EXPECT_EQ(r.maxIterations, 500);
}

TEST(FitVariogramModel, LinearModelByAlternationRunsTenCycles) {
  const FitResult r = Fit(3, SyntheticClasses(3), 1, 14);
  EXPECT_NE(r.log.find("    Aprox. inicial:"), std::string::npos);
  EXPECT_NE(r.log.find("    Numero de iteraciones 10, Error MCP:"), std::string::npos) << r.log;
}

TEST(FitVariogramModel, DirectFitKeepsScaledVariablesWithinTheBounds) {
  // Start far outside the box; each returned variable, in units of the data,
  // lies in [0.001, 100].
  const Classes c = SyntheticClasses(2);
  const float start[3] = {1e9f, 1e-9f, 1e7f};
  const FitResult r = Fit(2, c, 2, 14, 15, start);
  double mean = 0;
  for (float v : c.estimate) mean += v;
  mean /= c.estimate.size();
  const double scaled[3] = {r.params[0] / mean, r.params[1] / mean, r.params[2] / c.distance.back()};
  for (double v : scaled) {
    EXPECT_GE(v, 0.001 * (1 - 1e-5));
    EXPECT_LE(v, 100 * (1 + 1e-5));
  }
}

TEST(FitVariogramModel, PowerStartWithAHugeExponentStaysFinite) {
  // 1050^150 overflows: the start is taken at the end of the box.
  const Classes c = SyntheticClasses(4);
  const float start[3] = {8000, 0, 150};
  const FitResult r = Fit(4, c, 2, 14, 15, start);
  for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(r.params[j])) << j;
}

TEST(FitVariogramModel, FewerClassesThanParametersEndTheProcess) {
  Classes c = SyntheticClasses(1);
  for (int i = 2; i < 14; ++i) c.count[i] = 0;  // two classes for three parameters
  const float start[3] = {20000, 130000, 900};
  // A terminal error of the solver ends the process cleanly, not a crash.
  const auto ended = [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; };
  EXPECT_EXIT(Fit(1, c, 2, 14, 15, start), ended, "TERMINAL");
  for (int i = 0; i < 14; ++i) c.count[i] = 0;  // no class at all
  EXPECT_EXIT(Fit(1, c, 2, 14, 15, start), ended, "TERMINAL");
  EXPECT_EXIT(Fit(1, c, 1, 14), ended, "TERMINAL");
}

TEST(FitVariogramModel, ConstantVariableGivesAZeroModelWithNoError) {
  Classes c = SyntheticClasses(1);
  std::fill(c.estimate.begin(), c.estimate.end(), 0.0f);
  const FitResult r = Fit(1, c, 1, 14);
  EXPECT_EQ(r.params[0], 0.0f);
  EXPECT_EQ(r.params[1], 0.0f);
  EXPECT_EQ(r.params[3], 0.0f);
}

TEST(InitialApproximation, SphericalRangeWithinTheLastClass) {
  // A steadily rising estimator: the line would reach the level of the last
  // classes beyond them, so the range is cut at the last distance.
  const float h[6] = {100, 200, 300, 400, 500, 600}, g[6] = {1, 2, 3, 4, 5, 6};
  float p[3];
  InitialApproximation(1, 6, g, h, p);
  // First 3 classes: g = 0.01 h; last 3 average 5; r = 500 < 600.
  EXPECT_NEAR(p[0], 0, 1e-5);
  EXPECT_NEAR(p[1], 5, 1e-5);
  EXPECT_NEAR(p[2], 500, 1e-3);
  const float flat_h[4] = {100, 200, 300, 400}, flat[4] = {2, 2, 2, 2};
  InitialApproximation(1, 4, flat, flat_h, p);  // no rising start: the means
  EXPECT_FLOAT_EQ(p[0], 2);
  EXPECT_FLOAT_EQ(p[1], 0);
  EXPECT_FLOAT_EQ(p[2], 250);
  InitialApproximation(6, 6, g, h, p);
  EXPECT_NEAR(p[2], 2 * 500 / 3.141596, 1e-3);
  InitialApproximation(5, 6, g, h, p);
  EXPECT_NEAR(p[2], 500 / 3.0, 1e-3);
  EXPECT_NEAR(p[1], 5 / (500 / 3.0), 1e-6);
}

TEST(InitialApproximation, LinearAndPowerStartFromTheLine) {
  const float h[4] = {10, 20, 30, 40}, g[4] = {3, 5, 7, 9};  // g = 1 + 0.2 h
  float p[3];
  InitialApproximation(4, 4, g, h, p);
  EXPECT_NEAR(p[0], 1, 1e-5);
  EXPECT_NEAR(p[1], 0.2, 1e-6);
  EXPECT_EQ(p[2], 1.0f);
  const float falling[4] = {9, 7, 5, 3};
  InitialApproximation(3, 4, falling, h, p);  // negative slope: the mean, flat
  EXPECT_NEAR(p[0], 6, 1e-5);
  EXPECT_EQ(p[1], 0.0f);
}

TEST(InitialApproximation, FewerThanThreeClassesUseThemAll) {
  const float h[2] = {100, 200}, g[2] = {1, 2};
  float p[3];
  InitialApproximation(2, 2, g, h, p);
  EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
  EXPECT_LE(p[2], 200.0f);
}

}  // namespace
}  // namespace kriging

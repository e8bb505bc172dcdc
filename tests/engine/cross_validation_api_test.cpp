// Cross-validation, model comparison and the global fit through the named
// interface, on meuse: the given model against an independent package's
// leave-one-out, the six models sorted, and FitMethod::kGlobal within half a
// percent of the criterion's multi-start reference minimum on the run's own
// classes, never above the direct fit.
#include "cross_validation_api.h"

#include <gtest/gtest.h>

#include <cmath>

#include "criterion_minimum.h"
#include "kriging_reference.h"
#include "meuse_api_data.h"

namespace kriging {
namespace {

KrigingOptions SmallGrid(const KrigingData& d) {
  KrigingOptions o;
  o.grid = {4, 4, 178600, 329700, 800, 1100};
  (void)d;
  return o;
}

TEST(CrossValidateApi, GivenModelMatchesTheIndependentPackage) {
  const KrigingData d = MeuseData();
  KrigingOptions o = SmallGrid(d);
  o.fitMethod = FitMethod::kNone;
  o.hasStart = true;
  o.start = {0.05, 0.59, 900};
  const ValidatedRun r = CrossValidate(d, o);
  ASSERT_EQ(r.validation.status, 0) << r.validation.message;
  // Leave-one-out of an independent package: datum 1 and 155, and the RMSE.
  EXPECT_NEAR(r.validation.points[0].predicted, 6.769259, 5e-4);
  EXPECT_NEAR(r.validation.points[154].variance, 0.540877, 5e-5);
  EXPECT_NEAR(r.validation.summary.rootMeanSquareError, 0.391977, 1e-5);
}

TEST(CrossValidateApi, InvalidOptionsComeBackAsTheFitsMessage) {
  const KrigingData d = MeuseData();
  KrigingOptions o = SmallGrid(d);
  o.trendDegree = 7;
  const ValidatedRun r = CrossValidate(d, o);
  EXPECT_NE(r.validation.status, 0);
  EXPECT_EQ(r.validation.message, r.fit.message);
  EXPECT_FALSE(r.fit.message.empty());
}

TEST(CompareModelsApi, SixModelsSortedByError) {
  const KrigingData d = MeuseData();
  const std::vector<ValidatedRun> runs = CompareModels(d, SmallGrid(d));
  ASSERT_EQ(runs.size(), 6u);
  std::vector<int> codes;
  for (size_t k = 0; k < runs.size(); ++k) {
    codes.push_back(runs[k].fit.model.code);
    if (k == 0 || runs[k].validation.status != 0) continue;
    EXPECT_LE(runs[k - 1].validation.summary.rootMeanSquareError,
              runs[k].validation.summary.rootMeanSquareError);
  }
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(codes, (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

class GlobalFitApi : public ::testing::TestWithParam<int> {};

TEST_P(GlobalFitApi, WithinHalfAPercentOfTheMinimumOnTheRunsClasses) {
  const int code = GetParam();
  const KrigingData d = MeuseData();
  KrigingOptions o = SmallGrid(d);
  o.modelCode = code;
  o.fitMethod = FitMethod::kGlobal;
  const KrigingResult global = Krige(d, o);
  ASSERT_TRUE(global.ok()) << global.message;
  o.fitMethod = FitMethod::kDirect;
  const KrigingResult direct = Krige(d, o);
  ASSERT_TRUE(direct.ok()) << direct.message;
  // The classes of the fit, as the run reports them.
  testing::FitClasses c;
  for (int k = 0; k < global.fitLagCount && c.count.size() < 50; ++k) {
    const LagClass& l = global.lags[k];
    if (l.count <= global.minPairs) continue;
    c.count.push_back(l.count), c.distance.push_back(float(l.distance)), c.estimate.push_back(float(l.classical));
  }
  ASSERT_GE(c.count.size(), 4u);
  const double last = c.distance.back(), unit = code == 4 ? 1 : (code == 5 ? last * last : last);
  const testing::Minimum best = testing::MinimiseCriterion(c, code, 0.001 * unit, 100 * unit);
  const FittedModel& g = global.model;
  const double q = testing::Criterion(c, code, g.c0, g.c1, g.a);
  EXPECT_LE(q, 1.005 * best.q) << "model " << code;
  EXPECT_LE(q, testing::Criterion(c, code, direct.model.c0, direct.model.c1, direct.model.a) * (1 + 1e-5));
  // The trials leave no messages of their own in the result.
  EXPECT_LE(global.warnings.size(), direct.warnings.size() + 2);
}
INSTANTIATE_TEST_SUITE_P(EveryModel, GlobalFitApi, ::testing::Range(1, 7));

}  // namespace
}  // namespace kriging

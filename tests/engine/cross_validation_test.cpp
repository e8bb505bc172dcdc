// Cross-validation: the closed form against an independent package's
// leave-one-out on meuse, against n explicit refits on the full system for
// every model and drift degree, K-fold against explicit refits of each fold,
// the folds, the summary on a hand-worked example, and the refusals.
#include "cross_validation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "kriging_reference.h"

namespace kriging {
namespace {

struct Columns {
  std::vector<double> x, y, z;
  int size() const { return static_cast<int>(x.size()); }
};

Columns FromData(const reference::Data& d) {
  Columns c;
  for (int i = 0; i < d.size(); ++i) c.x.push_back(d.x[i]), c.y.push_back(d.y[i]), c.z.push_back(d.z[i]);
  return c;
}

CrossValidationResult Validate(const Columns& c, const CrossValidationModel& m, int degree, int folds = 0,
                          std::uint32_t seed = 1) {
  return CrossValidateGlobal(c.size(), c.x.data(), c.y.data(), c.z.data(), m, degree, folds, seed);
}

// Leave-one-out of an independent geostatistics package on meuse (log zinc),
// spherical model c0 0.05, c1 0.59, a 900: datum (1-based), then prediction
// and variance of ordinary kriging and of a linear drift.
struct ReferenceRow {
  int datum;
  double ordinaryPrediction, ordinaryVariance, driftPrediction, driftVariance;
};
constexpr ReferenceRow kMeuseReference[] = {
    {1, 6.769259, 0.179675, 6.821878, 0.182205},   {2, 6.767441, 0.174381, 6.808606, 0.174918},
    {10, 5.392001, 0.153601, 5.397141, 0.153611},  {25, 5.275412, 0.133706, 5.278921, 0.133711},
    {50, 5.312103, 0.160281, 5.329572, 0.160313},  {77, 5.820697, 0.126042, 5.816766, 0.126046},
    {100, 5.420492, 0.195694, 5.431263, 0.195750}, {123, 6.687368, 0.130632, 6.678243, 0.130641},
    {140, 5.849113, 0.135028, 5.848210, 0.135030}, {155, 6.349375, 0.540877, 5.111907, 0.699384},
};

double StandardDeviation(const std::vector<double>& v) {
  double mean = 0, sum = 0;
  for (double e : v) mean += e;
  mean /= v.size();
  for (double e : v) sum += (e - mean) * (e - mean);
  return std::sqrt(sum / (v.size() - 1));
}

class MeuseReference : public ::testing::TestWithParam<int> {};

TEST_P(MeuseReference, PredictionsAndVariancesMatchTheIndependentPackage) {
  const int degree = GetParam();
  const Columns meuse = FromData(reference::Meuse());
  ASSERT_EQ(meuse.size(), 155);
  const CrossValidationResult r = Validate(meuse, {1, 0.05, 0.59, 900}, degree);
  ASSERT_EQ(r.status, 0) << r.message;
  const double sd = StandardDeviation(meuse.z);
  double largest = 0;
  for (const ReferenceRow& row : kMeuseReference)
    largest = std::max(largest, degree == 0 ? row.ordinaryVariance : row.driftVariance);
  for (const ReferenceRow& row : kMeuseReference) {
    const CrossValidationPoint& p = r.points[row.datum - 1];
    EXPECT_NEAR(p.predicted, degree == 0 ? row.ordinaryPrediction : row.driftPrediction, 1e-3 * sd)
        << "datum " << row.datum;
    EXPECT_NEAR(p.variance, degree == 0 ? row.ordinaryVariance : row.driftVariance, 1e-4 * largest)
        << "datum " << row.datum;
  }
  // The package's summary over all 155 data.
  const double rmse = degree == 0 ? 0.391977 : 0.388428;
  const double msse = degree == 0 ? 0.825517 : 0.797161;
  const double correlation = degree == 0 ? 0.839165 : 0.841884;
  EXPECT_NEAR(r.summary.rootMeanSquareError, rmse, 1e-5);
  EXPECT_NEAR(r.summary.meanSquaredStandardisedError, msse, 1e-4);
  EXPECT_NEAR(r.summary.correlation, correlation, 1e-5);
  EXPECT_NEAR(r.summary.meanError, degree == 0 ? -0.000029 : 0.007393, 1e-5);
}
INSTANTIATE_TEST_SUITE_P(OrdinaryAndLinearDrift, MeuseReference, ::testing::Values(0, 1));

// 60 scattered points in metres with a smooth field and a rough part.
Columns Scattered(int n = 60) {
  Columns c;
  for (int i = 0; i < n; ++i) {
    const double x = 1000 * std::fmod(0.6180339887 * (i + 1), 1.0) + 250000;
    const double y = 800 * std::fmod(0.7548776662 * (i + 1) + 0.3, 1.0) + 4100000;
    c.x.push_back(x), c.y.push_back(y);
    c.z.push_back(5 + 0.002 * (x - 250000) - 0.001 * (y - 4100000) + std::sin(0.37 * i) +
                  0.3 * std::cos(0.011 * x));
  }
  return c;
}

reference::Data AsReference(const Columns& c, const std::vector<bool>& keep) {
  reference::Data d;
  for (int i = 0; i < c.size(); ++i)
    if (keep[i])
      d.x.push_back(static_cast<float>(c.x[i])), d.y.push_back(static_cast<float>(c.y[i])),
          d.z.push_back(static_cast<float>(c.z[i]));
  return d;
}

// Models valid in the plane, with their parameters in the data's units.
const CrossValidationModel kModels[] = {
    {1, 0.1, 1.0, 600}, {2, 0.05, 1.2, 250}, {3, 0.1, 0.002, 0},
    {4, 0.1, 0.01, 1.3}, {5, 0.1, 2.0, 90000}, {6, 0.08, 0.9, 120},
};

class ExplicitRefits : public ::testing::TestWithParam<std::tuple<int, int>> {};

// The closed form against n systems solved one by one (dense LU on the full
// variogram system), each without its datum.
TEST_P(ExplicitRefits, LeaveOneOutEqualsRefittingEachDatum) {
  const auto [model_index, degree] = GetParam();
  const CrossValidationModel& m = kModels[model_index];
  Columns c = Scattered();
  // Coordinates as the reference holds them (floats), so both see the same data.
  for (int i = 0; i < c.size(); ++i)
    c.x[i] = static_cast<float>(c.x[i]), c.y[i] = static_cast<float>(c.y[i]),
    c.z[i] = static_cast<float>(c.z[i]);
  const CrossValidationResult r = Validate(c, m, degree);
  ASSERT_EQ(r.status, 0) << r.message;
  const int terms = (degree + 1) * (degree + 2) / 2;
  double largest_variance = 0;
  for (const CrossValidationPoint& p : r.points) largest_variance = std::max(largest_variance, p.variance);
  for (int i = 0; i < c.size(); ++i) {
    std::vector<bool> keep(c.size(), true);
    keep[i] = false;
    const reference::Data rest = AsReference(c, keep);
    const reference::Kriging k(rest, {m.code, m.c0, m.c1, m.a}, terms);
    const auto [value, variance] = k.At(c.x[i], c.y[i]);
    EXPECT_NEAR(r.points[i].predicted, value, 1e-7 * (1 + std::abs(value))) << "datum " << i + 1;
    EXPECT_NEAR(r.points[i].variance, variance, 1e-7 * largest_variance) << "datum " << i + 1;
    EXPECT_NEAR(r.points[i].error, c.z[i] - value, 1e-7 * (1 + std::abs(value)));
    EXPECT_NEAR(r.points[i].standardisedError, (c.z[i] - value) / std::sqrt(variance), 1e-5);
  }
}
INSTANTIATE_TEST_SUITE_P(EveryModelAndDegree, ExplicitRefits,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Range(0, 4)));

class KFoldRefits : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(KFoldRefits, EachFoldEqualsKrigingItFromTheOthers) {
  const auto [folds, degree] = GetParam();
  Columns c = Scattered();
  for (int i = 0; i < c.size(); ++i)
    c.x[i] = static_cast<float>(c.x[i]), c.y[i] = static_cast<float>(c.y[i]),
    c.z[i] = static_cast<float>(c.z[i]);
  const CrossValidationModel m = kModels[0];
  const CrossValidationResult r = Validate(c, m, degree, folds, 77);
  ASSERT_EQ(r.status, 0) << r.message;
  const std::vector<int> fold = FoldAssignment(c.size(), folds, 77);
  const int terms = (degree + 1) * (degree + 2) / 2;
  for (int k = 0; k < folds; ++k) {
    std::vector<bool> keep(c.size());
    for (int i = 0; i < c.size(); ++i) keep[i] = fold[i] != k;
    const reference::Data rest = AsReference(c, keep);
    const reference::Kriging kriging(rest, {m.code, m.c0, m.c1, m.a}, terms);
    for (int i = 0; i < c.size(); ++i) {
      if (keep[i]) continue;
      const auto [value, variance] = kriging.At(c.x[i], c.y[i]);
      EXPECT_EQ(r.points[i].fold, k);
      EXPECT_NEAR(r.points[i].predicted, value, 1e-7 * (1 + std::abs(value))) << "datum " << i + 1;
      EXPECT_NEAR(r.points[i].variance, variance, 1e-7 * (1 + variance)) << "datum " << i + 1;
    }
  }
}
INSTANTIATE_TEST_SUITE_P(FoldsAndDegrees, KFoldRefits,
                         ::testing::Combine(::testing::Values(2, 5, 10), ::testing::Values(0, 2)));

TEST(FoldAssignment, BalancedAndReproducibleForASeed) {
  const std::vector<int> a = FoldAssignment(103, 10, 5), b = FoldAssignment(103, 10, 5);
  EXPECT_EQ(a, b);
  std::vector<int> sizes(10, 0);
  for (int f : a) {
    ASSERT_GE(f, 0);
    ASSERT_LT(f, 10);
    ++sizes[f];
  }
  EXPECT_EQ(*std::min_element(sizes.begin(), sizes.end()), 10);
  EXPECT_EQ(*std::max_element(sizes.begin(), sizes.end()), 11);
  EXPECT_NE(FoldAssignment(103, 10, 6), a);
}

// Three data worked by hand: errors 1, -1, 2 with variances 1, 4, 1.
TEST(Summary, HandWorkedExample) {
  std::vector<CrossValidationPoint> points(3);
  const double observed[] = {3, 1, 6}, predicted[] = {2, 2, 4}, variance[] = {1, 4, 1};
  for (int i = 0; i < 3; ++i) {
    points[i].observed = observed[i], points[i].predicted = predicted[i];
    points[i].variance = variance[i];
    points[i].error = observed[i] - predicted[i];
    points[i].standardisedError = points[i].error / std::sqrt(variance[i]);
  }
  const CrossValidationSummary s = SummariseCrossValidation(points);
  EXPECT_EQ(s.count, 3);
  EXPECT_DOUBLE_EQ(s.meanError, 2.0 / 3);
  EXPECT_DOUBLE_EQ(s.rootMeanSquareError, std::sqrt(6.0 / 3));
  EXPECT_DOUBLE_EQ(s.meanStandardisedError, (1 - 0.5 + 2) / 3);
  EXPECT_DOUBLE_EQ(s.meanSquaredStandardisedError, (1 + 0.25 + 4) / 3);
  // observed mean 10/3, predicted mean 8/3: deviations (-1/3, -7/3, 8/3) and
  // (-2/3, -2/3, 4/3): sop = (2 + 14 + 32)/9 = 48/9, soo = 114/9, spp = 24/9.
  EXPECT_NEAR(s.correlation, 48.0 / std::sqrt(114.0 * 24.0), 1e-14);
  EXPECT_DOUBLE_EQ(s.shareWithin, 2.0 / 3);
}

TEST(Refusals, CoincidingDataAreNamed) {
  Columns c = Scattered(10);
  c.x[7] = c.x[2], c.y[7] = c.y[2];
  const CrossValidationResult r = Validate(c, kModels[0], 0);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.message.find("Los datos 3 y 8"), std::string::npos) << r.message;
}

TEST(Refusals, TooFewDataForTheDrift) {
  const Columns c = Scattered(10);
  EXPECT_NE(Validate(c, kModels[0], 3).status, 0);  // 9 data left, 10 terms
  EXPECT_EQ(Validate(c, kModels[0], 2).status, 0);
}

TEST(Refusals, UnknownModelAndNullModel) {
  const Columns c = Scattered(10);
  EXPECT_NE(Validate(c, {9, 0.1, 1, 100}, 0).status, 0);
  EXPECT_NE(Validate(c, {1, 0, 0, 100}, 0).status, 0);
}

}  // namespace
}  // namespace kriging

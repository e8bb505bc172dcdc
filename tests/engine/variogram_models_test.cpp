// Semivariogram models: values against the closed forms in double precision,
// and the characteristic points of each shape.
#include "variogram_models.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kriging {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Closed forms written out independently of the model table.
double Reference(int code, double c0, double c1, double a, double h) {
  if (h < 1e-10) return 0.0;
  switch (code) {
    case 1: return h < a ? c0 + c1 * (1.5 * h / a - 0.5 * std::pow(h / a, 3)) : c0 + c1;
    case 2: return h <= 20 * a ? c0 + c1 * (1 - std::exp(-h / a)) : c0 + c1;
    case 3: return c0 + c1 * h;
    case 4: return c0 + c1 * std::pow(h, a);
    case 5: return c0 + c1 * a * h * h / (h * h + a);
    case 6: return c0 + c1 * (1 - std::sin(h / a) / (h / a));
  }
  return NAN;
}

class ModelCode : public ::testing::TestWithParam<int> {};

TEST_P(ModelCode, MatchesClosedFormAndIsZeroAtTheOrigin) {
  const int code = GetParam();
  const float c0 = 0.07f, c1 = 1.3f, a = code == 4 ? 0.6f : (code == 5 ? 2500.0f : 350.0f);
  SetModel(code, c0, c1, a);
  EXPECT_EQ(EvaluateVariogram(code, 0.0f), 0.0f);
  EXPECT_EQ(EvaluateVariogram(code, 5e-11f), 0.0f);
  EXPECT_NEAR(EvaluateVariogram(code, 1e-9f), c0, 1e-5);
  for (double h : {0.5, 3.0, 77.7, 175.0, 349.0, 351.0, 1200.0, 7000.0, 1e5}) {
    const double want = Reference(code, c0, c1, a, h);
    EXPECT_NEAR(EvaluateVariogram(code, static_cast<float>(h)), want, 2e-7 * std::abs(want))
        << "code " << code << " h " << h;
  }
}

TEST_P(ModelCode, TableEntryMatchesCode) {
  const ModelShape* model = FindModelShape(GetParam());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->code, GetParam());
  EXPECT_EQ(model->parameterCount, GetParam() == 3 ? 2 : 3);
}

INSTANTIATE_TEST_SUITE_P(AllModels, ModelCode, ::testing::Range(1, 7));

TEST(VariogramModels, SphericalAtTheRangeAndHalfRange) {
  SetModel(1, 0.5f, 2.0f, 100.0f);
  EXPECT_FLOAT_EQ(EvaluateVariogram(1, 100.0f), 2.5f);
  EXPECT_FLOAT_EQ(EvaluateVariogram(1, 50.0f), 0.5f + 0.6875f * 2.0f);
  EXPECT_EQ(EvaluateVariogram(1, kOriginThreshold), 0.0f);
  EXPECT_GT(EvaluateVariogram(2, kOriginThreshold), 0.0f);  // only spherical is closed there
}

TEST(VariogramModels, ExponentialFarBranch) {
  SetModel(2, 0.25f, 1.0f, 10.0f);
  EXPECT_FLOAT_EQ(EvaluateVariogram(2, 200.0f), static_cast<float>(1.25 - std::exp(-20.0)));
  EXPECT_EQ(EvaluateVariogram(2, std::nextafter(200.0f, 1e9f)), 1.25f);
}

TEST(VariogramModels, PowerWithUnitExponentIsLinear) {
  for (float h : {0.3f, 1.0f, 17.0f, 4096.5f}) {
    SetModel(4, 0.2f, 0.01f, 1.0f);
    const float power = EvaluateVariogram(4, h);
    SetModel(3, 0.2f, 0.01f, 123.0f);  // a is not used by the linear model
    EXPECT_EQ(power, EvaluateVariogram(3, h));
  }
}

TEST(VariogramModels, RationalQuadraticTendsToC0PlusC1TimesA) {
  SetModel(5, 0.1f, 2.0f, 9.0f);
  EXPECT_NEAR(EvaluateVariogram(5, 1e6f), 0.1 + 2.0 * 9.0, 1e-4);
  EXPECT_GT(EvaluateVariogram(5, 1e6f), 2.1f + 1.0f);
}

TEST(VariogramModels, OscillatoryOvershootsTheSill) {
  const float c0 = 0.1f, c1 = 1.0f, a = 20.0f;
  SetModel(6, c0, c1, a);
  EXPECT_NEAR(EvaluateVariogram(6, static_cast<float>(kPi * a)), c0 + c1, 1e-6);
  // The largest value sits at the first root of tan x = x, x = 4.4934.
  float peak = 0, peak_h = 0;
  for (float h = 60; h < 120; h += 0.01f) {
    const float v = EvaluateVariogram(6, h);
    if (v > peak) peak = v, peak_h = h;
  }
  EXPECT_NEAR(peak_h / a, 4.4934, 2e-3);
  EXPECT_NEAR((peak - c0) / c1, 1.2172, 1e-4);
  EXPECT_LT(EvaluateVariogram(6, static_cast<float>(2.2 * kPi * a)), c0 + c1);
  EXPECT_EQ(EvaluateVariogram(6, 1e13f), c0 + c1);
}

TEST(VariogramModels, CurrentModelSetAndRead) {
  SetModel(2, 1, 2, 3);
  const float p[3] = {0.5f, 4.0f, 60.0f};
  SetModelParameters(p);
  float q[3];
  GetModelParameters(q);
  EXPECT_EQ(CurrentModel().code, 2);
  EXPECT_EQ(q[0], 0.5f);
  EXPECT_EQ(q[1], 4.0f);
  EXPECT_EQ(q[2], 60.0f);
  // The lag (30, 40) has length 50.
  EXPECT_EQ(SemivariogramOfLag(30, 40), EvaluateVariogram(2, 50));
  EXPECT_EQ(SemivariogramOfLag(-30, 40), EvaluateVariogram(2, 50));
}

TEST(VariogramModels, UnknownCodeGivesNaN) {
  EXPECT_TRUE(std::isnan(EvaluateVariogram(7, 1.0f)));
  EXPECT_EQ(FindModelShape(0), nullptr);
}

}  // namespace
}  // namespace kriging

// A seventh model defined only here, as one entry of the model table: the
// engine fits it, validates its parameters and krigs with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kriging_api.h"
#include "kriging_reference.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {
namespace {

constexpr int kCubicCode = 7;

// The cubic model: 7 r^2 - 35/4 r^3 + 7/2 r^5 - 3/4 r^7, r = h / a, the sill
// from r = 1 on.
long double CubicUnit(long double h, long double a) {
  if (h >= a) return 1.0L;
  const long double r = h / a, r2 = r * r, r3 = r2 * r;
  return 7 * r2 - 8.75L * r3 + 3.5L * r3 * r2 - 0.75L * r3 * r2 * r2;
}

double CubicReference(double c0, double c1, double a, double h) {
  if (h < 1e-10) return 0;
  if (h >= a) return c0 + c1;
  const double r = h / a;
  return c0 + c1 * (7 * std::pow(r, 2) - 35.0 / 4 * std::pow(r, 3) + 7.0 / 2 * std::pow(r, 5) -
                    3.0 / 4 * std::pow(r, 7));
}

double One(double) { return 1.0; }
void StartCubic(float base, float level, float range, float p[3]) {
  p[0] = base, p[1] = level - base, p[2] = 1.5f * range;
}

const ModelInfo kCubic{kCubicCode,
                       "c\xC3\xBA" "bico",
                       CubicUnit,
                       nullptr,  // rows: element by element from the unit shape
                       false,
                       3,
                       {{"c0", "efecto pepita", 0, true, false, 0},
                        {"c1", "meseta parcial", 0, false, false, 0},
                        {"a", "alcance", 0, false, false, 0}},
                       1,
                       0,
                       false,
                       One,
                       StartCubic,
                       0};

class SeventhModel : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterModel(kCubic); }
};

TEST_F(SeventhModel, IsInTheTableOnceAndEvaluatesItsShape) {
  ASSERT_NE(FindModel(kCubicCode), nullptr);
  EXPECT_FALSE(RegisterModel(kCubic));  // a code is taken once
  EXPECT_NE(ModelCodeList().find("7 c\xC3\xBA" "bico"), std::string::npos) << ModelCodeList();
  SetModel(kCubicCode, 0.1f, 2.0f, 500.0f);
  for (double h : {0.0, 1.0, 120.0, 250.0, 499.0, 500.0, 900.0})
    EXPECT_NEAR(EvaluateVariogram(kCubicCode, static_cast<float>(h)), CubicReference(0.1, 2, 500, h),
                1e-6)
        << h;
}

TEST_F(SeventhModel, ItsParametersAreCheckedByItsOwnRules) {
  KrigingOptions o;
  o.grid = {2, 2, 0, 0, 1, 1};
  o.modelCode = kCubicCode;
  o.hasStart = true, o.start = {0.1, 1, -3};
  EXPECT_NE(Validate(o, 10).find("alcance"), std::string::npos) << Validate(o, 10);
  o.start = {0.1, 1, 3};
  EXPECT_EQ(Validate(o, 10), "");
}

TEST_F(SeventhModel, IsFittedAndKrigedAsTheReferenceKrigesItsFit) {
  const reference::Data meuse = reference::Meuse();
  KrigingData data;
  for (int i = 0; i < meuse.size(); ++i) {
    data.x.push_back(meuse.x[i] - meuse.x[0]);
    data.y.push_back(meuse.y[i] - meuse.y[0]);
    data.z.push_back(meuse.z[i]);
  }
  KrigingOptions o;
  o.modelCode = kCubicCode;
  o.fitMethod = FitMethod::kDirect;
  o.grid = {6, 7, -500, -3000, 400, 500};
  const KrigingResult r = Krige(data, o);
  ASSERT_TRUE(r.ok()) << r.message << r.detail;
  EXPECT_EQ(r.model.code, kCubicCode);
  EXPECT_GT(r.model.a, 100);
  EXPECT_GT(r.model.c1, 0);
  EXPECT_DOUBLE_EQ(r.model.sill, r.model.c0 + r.model.c1);

  // The fit minimises its criterion: nudging a parameter does not lower it.
  auto criterion = [&](double c0, double c1, double a) {
    double sum = 0;
    int used = 0;
    for (const LagClass& c : r.lags) {
      if (c.count <= o.minPairs || used >= std::min(r.fitLagCount, kFitCapacity)) continue;
      ++used;
      const double misfit = c.classical / CubicReference(c0, c1, a, c.distance) - 1;
      sum += c.count * misfit * misfit;
    }
    return sum;
  };
  const double best = criterion(r.model.c0, r.model.c1, r.model.a);
  EXPECT_NEAR(best, r.model.fitError, 1e-3 * best);
  for (double f : {0.97, 1.03}) {
    EXPECT_GE(criterion(r.model.c0, r.model.c1 * f, r.model.a), best * (1 - 1e-4));
    EXPECT_GE(criterion(r.model.c0, r.model.c1, r.model.a * f), best * (1 - 1e-4));
  }

  // Ordinary kriging in double with the fitted model, by the full system.
  const int n = static_cast<int>(data.x.size());
  std::vector<std::vector<double>> a(n + 1, std::vector<double>(n + 1, 0.0));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j)
      a[i][j] = CubicReference(r.model.c0, r.model.c1, r.model.a,
                               std::hypot(data.x[i] - data.x[j], data.y[i] - data.y[j]));
    a[i][n] = a[n][i] = 1;
  }
  const reference::DenseLU lu(a);
  for (int j = 0; j < o.grid.ny; ++j)
    for (int i = 0; i < o.grid.nx; ++i) {
      const double x0 = o.grid.xMin + i * o.grid.dx, y0 = o.grid.yMin + j * o.grid.dy;
      std::vector<double> b(n + 1, 1.0);
      for (int k = 0; k < n; ++k)
        b[k] = CubicReference(r.model.c0, r.model.c1, r.model.a,
                              std::hypot(data.x[k] - x0, data.y[k] - y0));
      const std::vector<double> w = lu.Solve(b);
      double value = 0, variance = 0;
      for (int k = 0; k < n; ++k) value += w[k] * data.z[k];
      for (int k = 0; k <= n; ++k) variance += w[k] * b[k];
      const std::size_t node = i + static_cast<std::size_t>(j) * o.grid.nx;
      EXPECT_NEAR(r.prediction[node], value, 1e-3) << i << "," << j;
      EXPECT_NEAR(r.variance[node], variance, 1e-3) << i << "," << j;
    }
}

}  // namespace
}  // namespace kriging

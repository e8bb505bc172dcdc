// The row evaluation of the current model against SemivariogramOfLag, one lag
// at a time, for the six models: equal to the rounding of a float (the double
// rows) or to a few float roundings (the single-precision rows of the grid
// kriging), including the origin (a zero lag gives 0, whatever the nugget)
// and lags beyond the range.
#include "variogram_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "variogram_models.h"

namespace kriging {
namespace {

class RowOfLags : public ::testing::TestWithParam<int> {};

TEST_P(RowOfLags, EqualsOneLagAtATimeToFloatRounding) {
  const int code = GetParam();
  const float a[] = {0, 900.0f, 300.0f, 1.0f, 1.2f, 250000.0f, 250.0f};
  SetModel(code, 0.05f, code == 3 ? 4e-4f : code == 4 ? 2e-4f : code == 5 ? 2.4e-6f : 0.6f,
           a[code]);
  std::mt19937 gen(17u + code);
  std::uniform_real_distribution<float> u(178000.0f, 183000.0f);
  const int n = 1001;
  std::vector<float> x(n), y(n), row(n);
  for (int k = 0; k < n; ++k) x[k] = u(gen), y[k] = u(gen);
  const float x0 = 180500.25f, y0 = 181000.5f;
  x[3] = x0, y[3] = y0;                       // lag zero
  x[4] = x0, y[4] = y0 + 0.03f;  // a short lag
  x[5] = x0 + a[code], y[5] = y0;  // at the range
  using Row = void (*)(int, const float*, const float*, float, float, float*);
  const struct {
    Row row;
    double tolerance;  // relative
  } evaluations[] = {{CurrentModelAtLags, 4e-7}, {CurrentModelAtLagsSingle, 1.5e-6}};
  for (const auto& evaluation : evaluations) {
    evaluation.row(n, x.data(), y.data(), x0, y0, row.data());
    EXPECT_EQ(row[3], 0.0f);
    for (int k = 0; k < n; ++k) {
      const float one = SemivariogramOfLag(x[k] - x0, y[k] - y0);
      EXPECT_NEAR(row[k], one, evaluation.tolerance * std::fabs(one) + 1e-30) << "lag " << k;
    }
  }
}

// Beyond the range the spherical model's single-precision row is the sill
// exactly, as the double one.
TEST(RowOfLags, SphericalSingleRowIsTheSillBeyondTheRange) {
  SetModel(1, 0.05f, 0.6f, 900.0f);
  const float x[] = {900.0f, 901.0f, 5000.0f}, y[] = {0.0f, 0.0f, 3000.0f};
  float row[3];
  CurrentModelAtLagsSingle(3, x, y, 0.0f, 0.0f, row);
  for (float value : row) EXPECT_EQ(value, 0.05f + 0.6f);
}

INSTANTIATE_TEST_SUITE_P(SixModels, RowOfLags, ::testing::Values(1, 2, 3, 4, 5, 6));

}  // namespace
}  // namespace kriging

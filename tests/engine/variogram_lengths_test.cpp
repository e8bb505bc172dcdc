// The double rows of the model table (lengthsRow, through ModelAtLengths)
// against the extended-precision unit shape one length at a time, for the six
// models: equal to the rounding of double, with the origin rule (0 below the
// threshold, and at it for the spherical model) and lengths beyond the range.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "variogram_models.h"

namespace kriging {
namespace {

// gamma in long double from the table's scalar unit shape.
long double Reference(const ModelInfo& model, double h, double c0, double c1, double a) {
  const double threshold = kOriginThreshold;
  if (h < threshold || (model.zeroAtThreshold && h == threshold)) return 0.0L;
  return static_cast<long double>(c0) + static_cast<long double>(c1) * model.unit(h, a);
}

class LengthsRow : public ::testing::TestWithParam<int> {};

TEST_P(LengthsRow, EqualsTheUnitShapeToDoubleRounding) {
  const int code = GetParam();
  const ModelInfo* model = FindModel(code);
  ASSERT_NE(model, nullptr);
  ASSERT_NE(model->lengthsRow, nullptr);
  const double a[] = {0, 900.0, 300.0, 1.0, 1.2, 250000.0, 250.0};
  const double c0 = 0.05, c1 = code == 3 ? 4e-4 : code == 4 ? 2e-4 : code == 5 ? 2.4e-6 : 0.6;
  std::mt19937 gen(29u + code);
  std::uniform_real_distribution<double> u(0.0, 4000.0);
  const int n = 1003;  // not a multiple of a vector's width
  std::vector<double> h(n), row(n);
  for (int k = 0; k < n; ++k) h[k] = u(gen);
  h[0] = 0.0;
  h[1] = kOriginThreshold;
  h[2] = 0.5 * kOriginThreshold;
  h[3] = 2.0 * kOriginThreshold;
  h[4] = a[code];  // exactly the range
  h[5] = 1e-3;
  ModelAtLengths(*model, n, h.data(), row.data(), c0, c1, a[code]);
  EXPECT_EQ(row[0], 0.0);
  EXPECT_EQ(row[2], 0.0);
  EXPECT_EQ(row[1] == 0.0, model->zeroAtThreshold);
  for (int k = 0; k < n; ++k) {
    const double one = static_cast<double>(Reference(*model, h[k], c0, c1, a[code]));
    EXPECT_NEAR(row[k], one, 1e-14 * std::fabs(one)) << "length " << h[k];
  }
}

INSTANTIATE_TEST_SUITE_P(SixModels, LengthsRow, ::testing::Values(1, 2, 3, 4, 5, 6));

// A model without a double row (one registered with its unit shape only) is
// evaluated element by element from that shape.
long double Cube(long double h, long double a) { return h >= a ? 1.0L : (h / a) * (h / a) * (h / a); }

TEST(LengthsRowFallback, UsesTheUnitShapeWhenTheRowIsMissing) {
  ModelInfo cubic = *FindModel(1);
  cubic.unit = Cube;
  cubic.row = nullptr;
  cubic.lengthsRow = nullptr;
  cubic.zeroAtThreshold = false;
  const double h[] = {0.0, kOriginThreshold, 1.0, 5.0, 20.0};
  double row[5];
  ModelAtLengths(cubic, 5, h, row, 0.5, 2.0, 10.0);
  EXPECT_EQ(row[0], 0.0);
  EXPECT_DOUBLE_EQ(row[1], 0.5);  // the nugget just above the origin
  EXPECT_DOUBLE_EQ(row[2], 0.5 + 2.0 * 0.001);
  EXPECT_DOUBLE_EQ(row[3], 0.5 + 2.0 * 0.125);
  EXPECT_DOUBLE_EQ(row[4], 2.5);
}

}  // namespace
}  // namespace kriging

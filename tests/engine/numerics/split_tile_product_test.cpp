// The tile unit's split products against the product in double: each float
// is three bfloat16 parts, so the result must be as good as a float sum
// (one part would be off by about 2^-9 of each product, two by 2^-17).
#include "numerics/split_tile_product.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "numerics/simd_kernels.h"

namespace kriging {
namespace {

struct Shape {
  int rows, cols, k, first;  // C is rows x cols, B's rows first..first+k-1 are used
};

class SplitProduct : public ::testing::TestWithParam<Shape> {};

TEST_P(SplitProduct, EqualsTheDoubleProductToFloatRounding) {
  if (!UsesSplitTiles()) GTEST_SKIP() << "no tile unit on this processor";
  const auto [rows, cols, k, first] = GetParam();
  const int depth = first + k + 5;
  std::mt19937 generator(rows * 131 + cols * 7 + k);
  // Values over six orders of magnitude, so that the parts of small and large
  // entries both count.
  std::uniform_real_distribution<double> exponent(-3.0, 3.0), sign(-1.0, 1.0);
  auto value = [&] {
    return static_cast<float>(std::copysign(std::pow(10.0, exponent(generator)), sign(generator)));
  };
  const std::size_t ldc = rows + 3;
  std::vector<float> a(static_cast<std::size_t>(rows) * k),
      b(static_cast<std::size_t>(depth) * cols), c(ldc * cols);
  for (float& e : a) e = value();
  for (float& e : b) e = value();
  for (float& e : c) e = value();
  const std::vector<float> before = c;

  std::vector<double> expected(c.size()), scale(c.size());
  for (int j = 0; j < cols; ++j) {
    for (int i = 0; i < rows; ++i) {
      double sum = c[i + j * ldc], size = std::fabs(sum);
      for (int l = 0; l < k; ++l) {
        const double term = static_cast<double>(a[i + l * rows]) * b[first + l + j * depth];
        sum -= term;
        size += std::fabs(term);
      }
      expected[i + j * ldc] = sum;
      scale[i + j * ldc] = size;
    }
  }

  // B's rows packed in two ranges, as a solve packs its solution panel by
  // panel.
  std::vector<std::uint16_t> packedA(SplitPackedRowsSize(rows, k)),
      packedB(SplitPackedColumnsSize(depth, cols));
  PackSplitRows(rows, k, a.data(), rows, packedA.data());
  const int head = std::min(k, 32);
  PackSplitColumns(head, cols, b.data() + first, depth, first, depth, packedB.data());
  if (k > head)
    PackSplitColumns(k - head, cols, b.data() + first + head, depth, first + head, depth,
                     packedB.data());
  SubtractSplitProduct(rows, cols, k, packedA.data(), packedB.data(), first, depth, c.data(), ldc);

  // Each of the 6 k part products adds one float rounding of the running
  // sum; the three part products left out are below 2^-25 of each product.
  const double unit = std::ldexp(1.0, -24);
  const double allowed = 6.0 * (k + 1) * unit + std::ldexp(1.0, -25);
  double worst = 0.0;
  for (int j = 0; j < cols; ++j)
    for (int i = 0; i < rows; ++i) {
      const std::size_t at = i + j * ldc;
      worst = std::max(worst, std::fabs(c[at] - expected[at]) / scale[at]);
    }
  EXPECT_LE(worst, allowed);
  // Entries outside C (the padding rows of its columns) are left alone.
  for (int j = 0; j < cols; ++j)
    for (std::size_t i = rows; i < ldc; ++i) EXPECT_EQ(c[i + j * ldc], before[i + j * ldc]);
}

// Whole tiles, edges in every direction, one product, and a long sum.
INSTANTIATE_TEST_SUITE_P(Shapes, SplitProduct,
                         ::testing::Values(Shape{32, 32, 64, 0}, Shape{16, 16, 1, 0},
                                           Shape{70, 37, 100, 64}, Shape{33, 5, 3, 32},
                                           Shape{1, 1, 1, 0}, Shape{64, 96, 1000, 0}));

}  // namespace
}  // namespace kriging

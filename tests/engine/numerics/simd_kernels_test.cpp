// The register tiles against fused multiply-adds taken one by one in the
// documented order: C(i, j) = fma(-A(i, l), B(l, j), C(i, j)) for l = 0..k-1.
#include "numerics/simd_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace kriging {
namespace {

struct Shape {
  int rows, cols, k;
};

class PackedProduct : public ::testing::TestWithParam<Shape> {};

// Shapes that reach every tile: 32 x 12 blocks, 32 x 6, 16 x 6 and edges.
TEST_P(PackedProduct, EachEntryIsItsFusedSumInOrder) {
  if (!UsesAvx2Fma()) GTEST_SKIP() << "the portable loop rounds each product";
  const auto [rows, cols, k] = GetParam();
  std::mt19937 generator(rows * 131 + cols * 7 + k);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  const std::size_t ldc = rows + 3;
  std::vector<float> a(static_cast<std::size_t>(rows) * k), b(static_cast<std::size_t>(k) * cols),
      c(ldc * cols);
  for (float& e : a) e = value(generator);
  for (float& e : b) e = value(generator);
  for (float& e : c) e = value(generator);
  std::vector<float> expected = c;
  for (int j = 0; j < cols; ++j)
    for (int i = 0; i < rows; ++i)
      for (int l = 0; l < k; ++l)
        expected[i + j * ldc] = std::fma(-a[i + l * rows], b[l + j * k], expected[i + j * ldc]);

  std::vector<float> packedA(PackedRowsSize<float>(rows, k)), packedB(PackedColumnsSize(k, cols));
  PackRowSlivers<float>(rows, k, a.data(), rows, packedA.data());
  PackColumnSlivers<float>(k, cols, b.data(), k, false, packedB.data());
  SubtractPackedProduct<float>(rows, cols, k, packedA.data(), packedB.data(), c.data(), ldc);
  EXPECT_EQ(std::memcmp(c.data(), expected.data(), c.size() * sizeof(float)), 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PackedProduct,
                         ::testing::Values(Shape{48, 20, 37}, Shape{64, 24, 5}, Shape{7, 13, 16}));

}  // namespace
}  // namespace kriging

// Machine constants, the Moler-Morrison length and the vector and matrix
// kernels.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "log_capture.h"
#include "numerics/euclidean_length.h"
#include "numerics/kernels.h"
#include "numerics/machine_constant.h"

namespace kriging {
namespace {

TEST(MachineConstant, ValuesOfIeeeSinglePrecision) {
  EXPECT_EQ(MachineConstant(1), std::ldexp(1.0f, -126));
  EXPECT_EQ(MachineConstant(2), 3.4028235e38f);
  EXPECT_EQ(MachineConstant(3), std::ldexp(1.0f, -24));
  EXPECT_EQ(MachineConstant(4), std::ldexp(1.0f, -23));
  EXPECT_NEAR(MachineConstant(5), std::log10(2.0), 1e-7);
  EXPECT_TRUE(std::isnan(MachineConstant(6)));
  EXPECT_TRUE(std::isinf(MachineConstant(7)) && MachineConstant(7) > 0);
  EXPECT_TRUE(std::isinf(MachineConstant(8)) && MachineConstant(8) < 0);
}

struct LengthCase {
  float a, b;
  double expected;
};

class EuclideanLengthCases : public ::testing::TestWithParam<LengthCase> {};

TEST_P(EuclideanLengthCases, MatchesTheDoublePrecisionHypotenuse) {
  const LengthCase c = GetParam();
  const float r = EuclideanLength(c.a, c.b);
  EXPECT_NEAR(r, c.expected, 2.0 * FLT_EPSILON * c.expected) << c.a << ", " << c.b;
  EXPECT_EQ(r, EuclideanLength(c.b, -c.a));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EuclideanLengthCases,
    ::testing::Values(LengthCase{3, 4, 5}, LengthCase{0, 0, 0}, LengthCase{-5, 12, 13},
                      LengthCase{1e30f, 1e30f, std::sqrt(2.0) * 1e30},
                      LengthCase{3e38f, 1e38f, std::hypot(3e38, 1e38)},
                      LengthCase{1e-30f, 1e-30f, std::sqrt(2.0) * 1e-30},
                      LengthCase{1, 1e-20f, 1.0}, LengthCase{0.7f, 0.0f, 0.7f},
                      LengthCase{123.456f, 654.321f, std::hypot(123.456f, 654.321f)}));

TEST(EuclideanLength, NonFiniteOperandsEndWithoutLooping) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(EuclideanLength(inf, 2), inf);
  EXPECT_EQ(EuclideanLength(inf, -inf), inf);
  EXPECT_TRUE(std::isnan(EuclideanLength(std::nanf(""), 1)));
  EXPECT_TRUE(std::isnan(EuclideanLength(1, std::nanf(""))));
}

// The row version (sixteen lanes at a time) against the scalar one, bit for
// bit: operands over forty decades, ties, zeros, infinities and NaNs, and a
// count that leaves a partial vector.
TEST(EuclideanLength, RowGivesTheScalarBits) {
  std::mt19937 generator(7);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> decade(-20, 20);
  std::vector<float> a, b;
  for (int k = 0; k < 1000; ++k) {
    a.push_back(mantissa(generator) * std::pow(10.0f, static_cast<float>(decade(generator))));
    b.push_back(k % 7 == 0 ? a.back() : mantissa(generator) * 1e3f);
  }
  const float inf = std::numeric_limits<float>::infinity();
  for (float special : {0.0f, -0.0f, inf, -inf, std::nanf(""), FLT_MIN / 4, FLT_MAX}) {
    a.push_back(special), b.push_back(3.0f);
    a.push_back(2.0f), b.push_back(special);
  }
  const int count = static_cast<int>(a.size());
  ASSERT_NE(count % 16, 0);
  std::vector<float> d(count);
  EuclideanLengths(count, a.data(), b.data(), d.data());
  for (int k = 0; k < count; ++k) {
    const float expected = EuclideanLength(a[k], b[k]);
    EXPECT_EQ(std::memcmp(&d[k], &expected, sizeof(float)), 0) << a[k] << ", " << b[k];
  }
}

TEST(VectorKernels, NegativeStridesWalkFromTheFarEnd) {
  const float x[6] = {1, 2, 3, 4, 5, 6};
  const float y[3] = {10, 20, 30};
  // x walked with stride -2 from its far end: x[4], x[2], x[0] = 5, 3, 1.
  EXPECT_FLOAT_EQ(DotProduct(3, x, -2, y, 1), 5 * 10 + 3 * 20 + 1 * 30);
  EXPECT_FLOAT_EQ(DotProduct(3, x, 2, y, -1), 1 * 30 + 3 * 20 + 5 * 10);
  EXPECT_FLOAT_EQ(PlainSum(3, x, -2), 9);
  EXPECT_FLOAT_EQ(DotProduct(0, x, 1, y, 1), 0);
  EXPECT_FLOAT_EQ(PlainSum(-1, x, 1), 0);

  float z[3] = {0, 0, 0};
  CopyVector(3, x, 2, z, -1);  // z[2], z[1], z[0] = 1, 3, 5
  EXPECT_EQ(z[0], 5);
  EXPECT_EQ(z[2], 1);
  ScaledAdd(3, 2.0f, y, -1, z, 1);  // z += 2 * (30, 20, 10)
  EXPECT_EQ(z[0], 65);
  EXPECT_EQ(z[2], 21);
  float w[4] = {7, 7, 7, 7};
  FillVector(2, -1.0f, w, -3);
  EXPECT_EQ(w[0], -1);
  EXPECT_EQ(w[1], 7);
  EXPECT_EQ(w[3], -1);
  int iv[3] = {0, 0, 0};
  FillIntegerVector(3, 4, iv, 1);
  EXPECT_EQ(iv[2], 4);
}

TEST(VectorKernels, ScaledAddWithZeroFactorLeavesNaNAlone) {
  const float x[2] = {std::nanf(""), 1};
  float y[2] = {1, 2};
  ScaledAdd(2, 0.0f, x, 1, y, 1);
  EXPECT_EQ(y[0], 1);
  EXPECT_EQ(y[1], 2);
}

// A = [1 2 3; 4 5 6] (2 x 3) stored with leading dimension 3.
const float kA[9] = {1, 4, -99, 2, 5, -99, 3, 6, -99};

TEST(MatrixKernels, MatrixVectorProductBothWays) {
  const float x3[3] = {1, 1, 2};
  float y2[2] = {1, 1};
  MatrixVectorProduct("N", 2, 3, 2.0f, kA, 3, x3, 1, 0.5f, y2, 1);
  EXPECT_FLOAT_EQ(y2[0], 2 * 9 + 0.5f);
  EXPECT_FLOAT_EQ(y2[1], 2 * 21 + 0.5f);
  const float x2[2] = {1, -1};
  float y3[3] = {std::nanf(""), std::nanf(""), std::nanf("")};
  MatrixVectorProduct("t", 2, 3, 1.0f, kA, 3, x2, 1, 0.0f, y3, -1);
  // A^T x = (-3, -3, -3), written from the far end.
  for (float v : y3) EXPECT_FLOAT_EQ(v, -3);
}

TEST(MatrixKernels, MatrixMatrixProductWithTransposes) {
  // C = A A^T = [14 32; 32 77]; C = A^T A (3 x 3) check one entry.
  float c[4] = {1, 1, 1, 1};
  MatrixMatrixProduct("N", "T", 2, 2, 3, 1.0f, kA, 3, kA, 3, 1.0f, c, 2);
  EXPECT_FLOAT_EQ(c[0], 15);
  EXPECT_FLOAT_EQ(c[1], 33);
  EXPECT_FLOAT_EQ(c[2], 33);
  EXPECT_FLOAT_EQ(c[3], 78);
  float d[9];
  MatrixMatrixProduct("T", "N", 3, 3, 2, 1.0f, kA, 3, kA, 3, 0.0f, d, 3);
  EXPECT_FLOAT_EQ(d[0 + 3 * 2], 1 * 3 + 4 * 6);
  EXPECT_FLOAT_EQ(d[1 + 3 * 1], 2 * 2 + 5 * 5);
}

TEST(MatrixKernelsDeathTest, LeadingDimensionTooSmallIsTerminalAndNamed) {
  testing::LogCapture log("sgemv");
  auto run = [&] {
    log.Open();
    float y[3];
    MatrixVectorProduct("N", 3, 1, 1.0f, kA, 2, kA, 1, 0.0f, y, 1);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  const std::string text = log.Unwrapped();
  EXPECT_NE(text.find("TERMINAL ERROR 4 from SGEMV.  LDA must be"), std::string::npos) << text;
  EXPECT_NE(text.find("LDA = 2 and M = 3 are given."), std::string::npos) << text;
}

TEST(MatrixKernelsDeathTest, UnknownTransposeSelectorIsTerminal) {
  testing::LogCapture log("sgemm");
  auto run = [&] {
    log.Open();
    float c[1];
    MatrixMatrixProduct("X", "N", 1, 1, 1, 1.0f, kA, 1, kA, 1, 0.0f, c, 1);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("from SGEMM.  TRANSA must be equal to N, T or C"), std::string::npos);
}

}  // namespace
}  // namespace kriging

#include "numerics/positive_definite_inverse.h"

#include <gtest/gtest.h>

#include <random>

#include "dense_reference.h"
#include "log_capture.h"

namespace kriging {
namespace {

using testing::Dense;

// B B^T + shift I with B uniform in [-1, 1]: symmetric positive definite.
Dense RandomSpd(int n, unsigned seed, double shift) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense b(n), a(n);
  for (double& e : b.v) e = u(gen);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = i == j ? shift : 0.0;
      for (int k = 0; k < n; ++k) s += b(i, k) * b(j, k);
      a(i, j) = static_cast<float>(s);
    }
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < j; ++i) a(j, i) = a(i, j);
  return a;
}

Dense Hilbert(int n) {
  Dense h(n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) h(i, j) = static_cast<float>(1.0 / (i + j + 1));
  return h;
}

// Column j of the reference inverse: the double solve of A x = e_j.
Dense ReferenceInverse(const Dense& a) {
  Dense inv(a.n);
  for (int j = 0; j < a.n; ++j) {
    std::vector<double> e(a.n, 0.0);
    e[j] = 1.0;
    const std::vector<double> col = testing::ReferenceSolve(a, e);
    for (int i = 0; i < a.n; ++i) inv(i, j) = col[i];
  }
  return inv;
}

class SpdOrders : public ::testing::TestWithParam<int> {};

TEST_P(SpdOrders, InPlaceInverseAgreesWithDoubleReference) {
  const int n = GetParam();
  const Dense a = RandomSpd(n, 100u + n, 0.5);
  std::vector<float> f = testing::UpperAsFloat(a, n);
  PositiveDefiniteInverse(n, f.data(), n, f.data(), n);
  const Dense ref = ReferenceInverse(a);
  const double scale = testing::OneNorm(ref);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(f[i + j * n], ref(i, j), 1e-6 * scale) << i << ", " << j;
}

INSTANTIATE_TEST_SUITE_P(Orders, SpdOrders, ::testing::Values(1, 2, 3, 7, 16, 31, 32, 33, 50, 97));

TEST(PositiveDefiniteInverse, SeparateOutputWithLargerLeadingDimension) {
  const Dense a = RandomSpd(5, 7, 1.0);
  const std::vector<float> in = testing::UpperAsFloat(a, 5);
  std::vector<float> out(7 * 5, -1.0f);
  PositiveDefiniteInverse(5, in.data(), 5, out.data(), 7);
  const Dense ref = ReferenceInverse(a);
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(out[i + 7 * j], ref(i, j), 1e-5 * std::fabs(ref(j, j)));
    EXPECT_EQ(out[5 + 7 * j], -1.0f) << "rows beyond n were written";
  }
}

struct ConditionCase {
  int order;
  const char* expected;  // text expected in the log, or "" for none
};

class HilbertConditioning : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(HilbertConditioning, WarningsFollowTheConditionNumber) {
  const ConditionCase c = GetParam();
  testing::LogCapture log("linds_cond");
  log.Open();
  std::vector<float> f = testing::UpperAsFloat(Hilbert(c.order), c.order);
  PositiveDefiniteInverse(c.order, f.data(), c.order, f.data(), c.order);
  log.Close();
  const std::string text = log.Unwrapped();
  if (std::string(c.expected).empty())
    EXPECT_EQ(text, "");
  else
    EXPECT_NE(text.find(c.expected), std::string::npos) << text;
}

// 1-norm condition numbers of the Hilbert matrices: 2.8e4 (4), 9.4e5 (5),
// 2.9e7 (6), against 1 / eps = 8.4e6 and 1 / (100 eps) = 8.4e4.
INSTANTIATE_TEST_SUITE_P(
    Orders, HilbertConditioning,
    ::testing::Values(ConditionCase{4, ""},
                      ConditionCase{5, "WARNING  ERROR 2 from LINDS.  The matrix is too "
                                       "ill-conditioned. An estimate of the reciprocal of its "
                                       "L1 condition number is RCOND = "},
                      ConditionCase{6, "WARNING  ERROR 1 from LINDS.  The matrix is "
                                       "algorithmically singular."}));

TEST(PositiveDefiniteInverseDeathTest, IndefiniteMatrixIsFatalNamingTheLeadingBlock) {
  testing::LogCapture log("linds");
  auto run = [&] {
    log.Open();
    float a[9] = {4, 0, 0, 1, 3, 0, 2, 5, 1};  // leading 2 x 2 is definite, 3 x 3 is not
    PositiveDefiniteInverse(3, a, 3, a, 3);
  };
  EXPECT_EXIT(run(), testing::StoppedWithFailure, "");
  EXPECT_NE(log.Unwrapped().find("FATAL    ERROR 2 from LINDS.  The leading 3 by 3 submatrix of "
                                 "the input matrix is not positive definite."),
            std::string::npos)
      << log.Text();
}

TEST(PositiveDefiniteInverse, IndefiniteMatrixLeavesOutputUnchangedWhenTheRunGoesOn) {
  testing::LogCapture log("linds_nostop");
  log.Open();
  SetErrorActions(4, 1, 0);
  float a[4] = {1, 2, 2, 1};
  PositiveDefiniteInverse(2, a, 2, a, 2);
  SetErrorActions(4, 2, 2);
  log.Close();
  EXPECT_EQ(a[0], 1.0f);
  EXPECT_EQ(a[3], 1.0f);
  EXPECT_NE(log.Unwrapped().find("The leading 2 by 2 submatrix"), std::string::npos);
}

TEST(PositiveDefiniteInverse, FirstNonPositivePivotBeyondTheFirstBlockIsNamed) {
  // Identity of order 40 with a negative entry at (36, 36) (1-based) and a
  // coupling above it: leading 35 x 35 definite, 36 x 36 not.
  const int n = 40;
  std::vector<float> a(n * n, 0.0f);
  for (int i = 0; i < n; ++i) a[i + i * n] = 2.0f;
  a[35 + 35 * n] = -1.0f;
  a[34 + 35 * n] = 0.5f;
  testing::LogCapture log("linds_40");
  log.Open();
  SetErrorActions(4, 1, 0);
  PositiveDefiniteInverse(n, a.data(), n, a.data(), n);
  SetErrorActions(4, 2, 2);
  log.Close();
  EXPECT_NE(log.Unwrapped().find("The leading 36 by 36 submatrix of the input matrix is not "
                                 "positive definite."),
            std::string::npos)
      << log.Text();
}

}  // namespace
}  // namespace kriging

#include "numerics/symmetric_solve_refined.h"

#include <gtest/gtest.h>

#include <cfloat>

#include "dense_reference.h"
#include "log_capture.h"
#include "numerics/bunch_kaufman.h"

namespace kriging {
namespace {

using testing::Dense;

// Relative max-norm error of x against the double solve of the float matrix.
double ErrorAgainstReference(const Dense& a, const std::vector<float>& b, const std::vector<float>& x) {
  Dense af(a.n);
  for (size_t i = 0; i < a.v.size(); ++i) af.v[i] = static_cast<float>(a.v[i]);
  const std::vector<double> ref = testing::ReferenceSolve(af, std::vector<double>(b.begin(), b.end()));
  double err = 0, size = 0;
  for (int i = 0; i < a.n; ++i) {
    err = std::max(err, std::fabs(x[i] - ref[i]));
    size = std::max(size, std::fabs(ref[i]));
  }
  return err / size;
}

std::vector<float> RightHandSide(int n) {
  std::vector<float> b(n);
  for (int i = 0; i < n; ++i) b[i] = static_cast<float>(1.0 + 0.5 * (i % 5) - 0.25 * i);
  return b;
}

class WellConditioned : public ::testing::TestWithParam<int> {};

TEST_P(WellConditioned, RefinedSolutionIsAccurateToSinglePrecision) {
  const int n = GetParam();
  for (const Dense& a : {testing::RandomSymmetric(n, 31u * n), testing::KrigingShaped(n + 3, 5u + n)}) {
    const std::vector<float> lda = testing::UpperAsFloat(a, a.n + 1);
    const std::vector<float> b = RightHandSide(a.n);
    std::vector<float> x(a.n);
    testing::LogCapture log("lsasf");
    log.Open();
    SymmetricSolveRefined(a.n, lda.data(), a.n + 1, b.data(), x.data());
    log.Close();
    EXPECT_LT(ErrorAgainstReference(a, b, x), 4 * FLT_EPSILON) << "order " << a.n;
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, WellConditioned, ::testing::Values(1, 2, 3, 10, 37));

Dense Hilbert(int n) {
  Dense h(n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) h(i, j) = static_cast<float>(1.0 / (i + j + 1));
  return h;
}

TEST(SymmetricSolveRefined, RefinementRecoversDigitsThePlainSolveLoses) {
  // Hilbert 5, cond 9.4e5: the plain float solve keeps about two digits;
  // refinement with double residuals brings back full single precision.
  const Dense h = Hilbert(5);
  std::vector<float> a = testing::UpperAsFloat(h, 5);
  const std::vector<float> b = RightHandSide(5);
  std::vector<float> x(5), plain(5);
  testing::LogCapture log("lsasf_hilbert");
  log.Open();
  SymmetricSolveRefined(5, a.data(), 5, b.data(), x.data());
  log.Close();
  std::vector<std::int32_t> ipvt(5);
  std::vector<float> fac = a;
  SymmetricFactor(5, fac.data(), 5, fac.data(), 5, ipvt.data());
  SymmetricSolve(5, fac.data(), 5, ipvt.data(), b.data(), plain.data());
  EXPECT_GT(ErrorAgainstReference(h, b, plain), 1e-4);
  EXPECT_LT(ErrorAgainstReference(h, b, x), 4 * FLT_EPSILON);
  EXPECT_NE(log.Unwrapped().find("WARNING  ERROR 2 from LSASF.  The matrix is too ill-conditioned.  "
                                 "An estimate of the reciprocal of its L1 condition number is "
                                 "RCOND = "),
            std::string::npos)
      << log.Text();
}

TEST(SymmetricSolveRefined, NearlySingularMatrixGetsBothWarnings) {
  const Dense h = Hilbert(9);  // cond about 1e12 before rounding to float
  std::vector<float> a = testing::UpperAsFloat(h, 9);
  const std::vector<float> b = RightHandSide(9);
  std::vector<float> x(9);
  testing::LogCapture log("lsasf_singular");
  log.Open();
  SymmetricSolveRefined(9, a.data(), 9, b.data(), x.data());
  log.Close();
  const std::string text = log.Unwrapped();
  EXPECT_NE(text.find("from LSASF.  The matrix is algorithmically singular."), std::string::npos) << text;
  EXPECT_NE(text.find("The matrix is too ill-conditioned for iterative refinement to be effective."),
            std::string::npos)
      << text;
}

TEST(SymmetricSolveRefined, InputsAreUnchangedAndXMayBeB) {
  const Dense a = testing::RandomSymmetric(6, 77);
  std::vector<float> f = testing::UpperAsFloat(a, 6);
  const std::vector<float> f0 = f;
  std::vector<float> b = RightHandSide(6), x(6);
  SymmetricSolveRefined(6, f.data(), 6, b.data(), x.data());
  for (size_t i = 0; i < f.size(); ++i) {
    if (!std::isnan(f0[i])) {
      EXPECT_EQ(f[i], f0[i]);
    }
  }
  std::vector<float> same = b;
  SymmetricSolveRefined(6, f.data(), 6, same.data(), same.data());
  EXPECT_EQ(same, x);
}

TEST(SymmetricSolveRefined, SingularMatrixReportsFromLsasfWhenTheRunGoesOn) {
  testing::LogCapture log("lsasf_fatal");
  log.Open();
  SetErrorActions(4, 1, 0);
  const float a[4] = {1, 1, 1, 1}, b[2] = {1, 2};
  float x[2] = {-5, -5};
  SymmetricSolveRefined(2, a, 2, b, x);
  SetErrorActions(4, 2, 2);
  log.Close();
  EXPECT_EQ(x[0], -5.0f);
  EXPECT_NE(log.Unwrapped().find("FATAL    ERROR 2 from LSASF.  The input matrix is singular because "
                                 "pivot block 1 is singular."),
            std::string::npos)
      << log.Text();
}

}  // namespace
}  // namespace kriging

// The shared option validation and the data checks made before the engine:
// each rule once, on hand-made options and data, with the parameter or the
// cause named in the message.
#include "core/options_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

using namespace sorvan::core;

namespace {

// Options that pass every rule: ordinary kriging, spherical, fixed lags.
OpcionesKriging ValidOnes() {
  OpcionesKriging op;
  op.Media = 0, op.Modelo = 1, op.Estimador = 1, op.LongVar = 0, op.NApor = 30;
  op.SaltoIni = 1, op.RSalto = 2, op.NSaltos = 10, op.NAjus = 5, op.NMinAjus = 15;
  op.NRx = 10, op.NRy = 10, op.MinRx = 0, op.MinRy = 0, op.LRx = 1, op.LRy = 1;
  return op;
}

// n points on a jittered grid of unit spacing; column 3 = x + y, column 4
// constant, column 5 = the same Y for all.
SpatialData Grid(int side) {
  SpatialData d;
  d.nvar = 5;
  d.N = side * side;
  d.names = {"x       ", "y       ", "z       ", "c       ", "y0      "};
  std::vector<double> x, y;
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j) x.push_back(double(float(i) + 0.01f * float(j))), y.push_back(double(j));
  d.matrix = x;
  d.matrix.insert(d.matrix.end(), y.begin(), y.end());
  for (int k = 0; k < d.N; ++k) d.matrix.push_back(x[size_t(k)] + y[size_t(k)]);
  for (int k = 0; k < d.N; ++k) d.matrix.push_back(7.5f);
  for (int k = 0; k < d.N; ++k) d.matrix.push_back(3.0f);
  return d;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// model, c0, c1, a, valid?, word the message must hold
using ModelCase = std::tuple<int, double, double, double, bool, const char*>;
class ValidateModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ValidateModelTest, EachParameterIsCheckedAndNamed) {
  const auto [model, c0, c1, a, valid, word] = GetParam();
  const Result r = ValidateModel(model, c0, c1, a);
  EXPECT_EQ(r.ok, valid) << r.message;
  if (!valid) {
    EXPECT_TRUE(Contains(r.message, word)) << r.message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidateModelTest,
    ::testing::Values(ModelCase{1, 0.0, 1.0, 100.0, true, ""},           // nugget 0 is fine
                      ModelCase{1, 0.1, 0.6, 900.0, true, ""},
                      ModelCase{1, -0.1, 1.0, 100.0, false, "pepita C0"},
                      ModelCase{1, 0.0, -5.0, 100.0, false, "C1"},   // the "--start 0,-5,100" of the issue
                      ModelCase{2, 0.0, 0.0, 100.0, false, "C1"},
                      ModelCase{2, 0.0, 1.0, 0.0, false, "alcance A"},
                      ModelCase{5, 0.0, 1.0, -3.0, false, "alcance A"},
                      ModelCase{6, 0.0, 1.0, NAN, false, "alcance A"},
                      ModelCase{3, 0.0, 1.0, -7.0, true, ""},        // the linear model has no range
                      ModelCase{4, 0.0, 1.0, 1.5, true, ""},
                      ModelCase{4, 0.0, 1.0, 3.0, false, "exponente A"},  // variances of -2e10 in the issue
                      ModelCase{4, 0.0, 1.0, 2.0, false, "exponente A"},
                      ModelCase{4, 0.0, 1.0, 0.0, false, "exponente A"},
                      ModelCase{0, 0.0, 1.0, 1.0, false, "modelo"},
                      ModelCase{7, 0.0, 1.0, 1.0, false, "modelo"},
                      ModelCase{1, INFINITY, 1.0, 1.0, false, "pepita C0"}));

TEST(ValidateOptions, OutOfRangeCodesAreRefusedByName) {
  EXPECT_TRUE(ValidateOptions(ValidOnes()).ok);
  const struct {
    void (*changes)(OpcionesKriging&);
    const char* word;
  } cases[] = {
      {[](OpcionesKriging& o) { o.Estimador = 5; }, "estimador"},
      {[](OpcionesKriging& o) { o.MetodoAjuste = 7; }, "método de ajuste"},
      {[](OpcionesKriging& o) { o.Modelo = 0; }, "modelo"},
      {[](OpcionesKriging& o) { o.Media = 4; }, "tendencia"},
      {[](OpcionesKriging& o) { o.NSaltos = 101; }, "nº de saltos"},
      {[](OpcionesKriging& o) { o.NAjus = 11; }, "ajuste"},
      {[](OpcionesKriging& o) { o.NMinAjus = -1; }, "pares"},
      {[](OpcionesKriging& o) { o.SaltoIni = 0, o.RSalto = 0; }, "ambas 0"},
      {[](OpcionesKriging& o) { o.RSalto = -2; }, "anchura"},
      {[](OpcionesKriging& o) { o.LRy = 0; }, "espaciado"},
      {[](OpcionesKriging& o) { o.NRx = 0; }, "rejilla"},
      {[](OpcionesKriging& o) { o.C0Ini = 0, o.C1Ini = -5, o.AIni = 100; }, "C1"},
      {[](OpcionesKriging& o) { o.Modelo = 4, o.C0Ini = 0, o.C1Ini = 1, o.AIni = 3; }, "exponente"},
      {[](OpcionesKriging& o) { o.LongVar = 1, o.NApor = 0; }, "pares por salto"},
  };
  for (const auto& c : cases) {
    OpcionesKriging op = ValidOnes();
    c.changes(op);
    const Result r = ValidateOptions(op);
    EXPECT_FALSE(r.ok) << c.word;
    EXPECT_TRUE(Contains(r.message, c.word)) << r.message;
  }
  // The automatic fit and variable lags with their own counts are fine.
  OpcionesKriging op = ValidOnes();
  op.MetodoAjuste = kEngineFit;
  op.LongVar = 1, op.NSaltos = 0, op.NAjus = 0;
  EXPECT_TRUE(ValidateOptions(op).ok);
}

TEST(CheckData, TooFewPointsForTheTrend) {
  const SpatialData d = Grid(3);  // 9 points
  for (int degree = 0; degree <= 3; ++degree) {
    // Drift terms (1, 3, 6, 10) plus two, at least 3.
    const int minimum = std::max(3, (degree + 1) * (degree + 2) / 2 + 2);
    EXPECT_EQ(MinimumData(degree), minimum);
    const Result r = CheckData(d, 1, 2, 3, degree);
    EXPECT_EQ(r.ok, 9 >= minimum) << degree << ": " << r.message;
    if (!r.ok) EXPECT_TRUE(Contains(r.message, "Hay 9 datos")) << r.message;
  }
}

TEST(CheckData, ConstantZAndPointsOnALineAreNamed) {
  const SpatialData d = Grid(4);
  Result r = CheckData(d, 1, 2, 4, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.message, "La variable c vale 7.5 en todos los datos")) << r.message;
  // All points share one Y: said so, not as a spacing that must be positive.
  r = CheckData(d, 1, 5, 3, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.message, "misma coordenada Y (y0 = 3)")) << r.message;
  EXPECT_FALSE(Contains(r.message, "espaciado")) << r.message;
  EXPECT_TRUE(CheckData(d, 1, 2, 3, 0).ok);
}

TEST(CheckLags, ALagClassWithMoreThanTheMinimumOfPairsIsNeeded) {
  // A 4 x 4 unit grid (x jittered by 0.01 per row): 24 pairs at about 1, the
  // class centred on 1 (width 1) takes them; classes further out fewer.
  const SpatialData d = Grid(4);
  OpcionesKriging op = ValidOnes();
  op.SaltoIni = 1, op.RSalto = 1, op.NSaltos = 5, op.NAjus = 5;
  // Independent count: pairs per class by the engine's rule, in double.
  std::vector<int> tally(5, 0);
  const double* x = d.column(1);
  const double* y = d.column(2);
  for (int i = 0; i < d.N; ++i)
    for (int j = i + 1; j < d.N; ++j) {
      const double dist = std::hypot(double(x[i]) - x[j], double(y[i]) - y[j]);
      const int k = std::max(int(std::trunc((dist - 1) / 1 + 0.5)) + 1, 1);
      if (k <= 5) ++tally[size_t(k - 1)];
    }
  const int largest = *std::max_element(tally.begin(), tally.end());
  op.NMinAjus = largest - 1;
  EXPECT_TRUE(CheckLags(d, 1, 2, 3, op).ok);
  op.NMinAjus = largest;
  const Result r = CheckLags(d, 1, 2, 3, op);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(Contains(r.message, "Ningún salto tiene más de " + std::to_string(largest) + " pares")) << r.message;
  EXPECT_TRUE(Contains(r.message, "el que más tiene " + std::to_string(largest))) << r.message;
  // A minimum of 0 is the engine's 15.
  op.NMinAjus = 0;
  EXPECT_EQ(CheckLags(d, 1, 2, 3, op).ok, largest > 15);
  // No fit, or variable lags: nothing to check.
  op.NMinAjus = 1000;
  op.MetodoAjuste = kNoFit;
  EXPECT_TRUE(CheckLags(d, 1, 2, 3, op).ok);
}

TEST(SafeText, InvalidUtf8NeverPassesThrough) {
  EXPECT_EQ(SafeText("Año «ok» €"), "Año «ok» €");
  EXPECT_EQ(SafeText(std::string("a\xff" "b")), "a?b");
  EXPECT_EQ(SafeText(std::string("\xc3")), "?");                 // cut sequence
  EXPECT_EQ(SafeText(std::string("\xc0\xaf")), "??");            // overlong
  EXPECT_EQ(SafeText(std::string("\xed\xa0\x80")), "???");       // surrogate
  EXPECT_EQ(SafeText(std::string("\xf4\x90\x80\x80")), "????");  // beyond U+10FFFF
  EXPECT_EQ(SafeText(std::string("x\x1b[2Jy")), "x?[2Jy");       // terminal control
  EXPECT_EQ(SafeText("línea 1\nlínea 2"), "línea 1\nlínea 2");
}

// The shared option validation and the data checks made before the engine:
// each rule once, on hand-made options and data, with the parameter or the
// cause named in the message.
#include "core/validacion_opciones.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

using namespace sorvan;

namespace {

// Options that pass every rule: ordinary kriging, spherical, fixed lags.
OpcionesKriging Validas() {
  OpcionesKriging op;
  op.Media = 0, op.Modelo = 1, op.Estimador = 1, op.LongVar = 0, op.NApor = 30;
  op.SaltoIni = 1, op.RSalto = 2, op.NSaltos = 10, op.NAjus = 5, op.NMinAjus = 15;
  op.NRx = 10, op.NRy = 10, op.MinRx = 0, op.MinRy = 0, op.LRx = 1, op.LRy = 1;
  return op;
}

// n points on a jittered grid of unit spacing; column 3 = x + y, column 4
// constant, column 5 = the same Y for all.
DatosEspaciales Rejilla(int lado) {
  DatosEspaciales d;
  d.nvar = 5;
  d.N = lado * lado;
  d.nombres = {"x       ", "y       ", "z       ", "c       ", "y0      "};
  std::vector<double> x, y;
  for (int i = 0; i < lado; ++i)
    for (int j = 0; j < lado; ++j) x.push_back(double(float(i) + 0.01f * float(j))), y.push_back(double(j));
  d.matriz = x;
  d.matriz.insert(d.matriz.end(), y.begin(), y.end());
  for (int k = 0; k < d.N; ++k) d.matriz.push_back(x[size_t(k)] + y[size_t(k)]);
  for (int k = 0; k < d.N; ++k) d.matriz.push_back(7.5f);
  for (int k = 0; k < d.N; ++k) d.matriz.push_back(3.0f);
  return d;
}

bool Contiene(const std::string& texto, const std::string& parte) { return texto.find(parte) != std::string::npos; }

}  // namespace

// model, c0, c1, a, valid?, word the message must hold
using CasoModelo = std::tuple<int, double, double, double, bool, const char*>;
class ValidaModeloTest : public ::testing::TestWithParam<CasoModelo> {};

TEST_P(ValidaModeloTest, EachParameterIsCheckedAndNamed) {
  const auto [modelo, c0, c1, a, valido, palabra] = GetParam();
  const Resultado r = ValidaModelo(modelo, c0, c1, a);
  EXPECT_EQ(r.ok, valido) << r.mensaje;
  if (!valido) {
    EXPECT_TRUE(Contiene(r.mensaje, palabra)) << r.mensaje;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ValidaModeloTest,
    ::testing::Values(CasoModelo{1, 0.0, 1.0, 100.0, true, ""},           // nugget 0 is fine
                      CasoModelo{1, 0.1, 0.6, 900.0, true, ""},
                      CasoModelo{1, -0.1, 1.0, 100.0, false, "pepita C0"},
                      CasoModelo{1, 0.0, -5.0, 100.0, false, "C1"},   // the "--start 0,-5,100" of the issue
                      CasoModelo{2, 0.0, 0.0, 100.0, false, "C1"},
                      CasoModelo{2, 0.0, 1.0, 0.0, false, "alcance A"},
                      CasoModelo{5, 0.0, 1.0, -3.0, false, "alcance A"},
                      CasoModelo{6, 0.0, 1.0, NAN, false, "alcance A"},
                      CasoModelo{3, 0.0, 1.0, -7.0, true, ""},        // the linear model has no range
                      CasoModelo{4, 0.0, 1.0, 1.5, true, ""},
                      CasoModelo{4, 0.0, 1.0, 3.0, false, "exponente A"},  // variances of -2e10 in the issue
                      CasoModelo{4, 0.0, 1.0, 2.0, false, "exponente A"},
                      CasoModelo{4, 0.0, 1.0, 0.0, false, "exponente A"},
                      CasoModelo{0, 0.0, 1.0, 1.0, false, "modelo"},
                      CasoModelo{7, 0.0, 1.0, 1.0, false, "modelo"},
                      CasoModelo{1, INFINITY, 1.0, 1.0, false, "pepita C0"}));

TEST(ValidaOpciones, OutOfRangeCodesAreRefusedByName) {
  EXPECT_TRUE(ValidaOpciones(Validas()).ok);
  const struct {
    void (*cambia)(OpcionesKriging&);
    const char* palabra;
  } casos[] = {
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
  for (const auto& c : casos) {
    OpcionesKriging op = Validas();
    c.cambia(op);
    const Resultado r = ValidaOpciones(op);
    EXPECT_FALSE(r.ok) << c.palabra;
    EXPECT_TRUE(Contiene(r.mensaje, c.palabra)) << r.mensaje;
  }
  // The automatic fit and variable lags with their own counts are fine.
  OpcionesKriging op = Validas();
  op.MetodoAjuste = kAjusteMotor;
  op.LongVar = 1, op.NSaltos = 0, op.NAjus = 0;
  EXPECT_TRUE(ValidaOpciones(op).ok);
}

TEST(CompruebaDatos, TooFewPointsForTheTrend) {
  const DatosEspaciales d = Rejilla(3);  // 9 points
  for (int grado = 0; grado <= 3; ++grado) {
    // Drift terms (1, 3, 6, 10) plus two, at least 3.
    const int minimo = std::max(3, (grado + 1) * (grado + 2) / 2 + 2);
    EXPECT_EQ(MinimoDatos(grado), minimo);
    const Resultado r = CompruebaDatos(d, 1, 2, 3, grado);
    EXPECT_EQ(r.ok, 9 >= minimo) << grado << ": " << r.mensaje;
    if (!r.ok) EXPECT_TRUE(Contiene(r.mensaje, "Hay 9 datos")) << r.mensaje;
  }
}

TEST(CompruebaDatos, ConstantZAndPointsOnALineAreNamed) {
  const DatosEspaciales d = Rejilla(4);
  Resultado r = CompruebaDatos(d, 1, 2, 4, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(Contiene(r.mensaje, "La variable c vale 7.5 en todos los datos")) << r.mensaje;
  // All points share one Y: said so, not as a spacing that must be positive.
  r = CompruebaDatos(d, 1, 5, 3, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(Contiene(r.mensaje, "misma coordenada Y (y0 = 3)")) << r.mensaje;
  EXPECT_FALSE(Contiene(r.mensaje, "espaciado")) << r.mensaje;
  EXPECT_TRUE(CompruebaDatos(d, 1, 2, 3, 0).ok);
}

TEST(CompruebaSaltos, ALagClassWithMoreThanTheMinimumOfPairsIsNeeded) {
  // A 4 x 4 unit grid (x jittered by 0.01 per row): 24 pairs at about 1, the
  // class centred on 1 (width 1) takes them; classes further out fewer.
  const DatosEspaciales d = Rejilla(4);
  OpcionesKriging op = Validas();
  op.SaltoIni = 1, op.RSalto = 1, op.NSaltos = 5, op.NAjus = 5;
  // Independent count: pairs per class by the engine's rule, in double.
  std::vector<int> cuenta(5, 0);
  const double* x = d.columna(1);
  const double* y = d.columna(2);
  for (int i = 0; i < d.N; ++i)
    for (int j = i + 1; j < d.N; ++j) {
      const double dist = std::hypot(double(x[i]) - x[j], double(y[i]) - y[j]);
      const int k = std::max(int(std::trunc((dist - 1) / 1 + 0.5)) + 1, 1);
      if (k <= 5) ++cuenta[size_t(k - 1)];
    }
  const int mayor = *std::max_element(cuenta.begin(), cuenta.end());
  op.NMinAjus = mayor - 1;
  EXPECT_TRUE(CompruebaSaltos(d, 1, 2, 3, op).ok);
  op.NMinAjus = mayor;
  const Resultado r = CompruebaSaltos(d, 1, 2, 3, op);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(Contiene(r.mensaje, "Ningún salto tiene más de " + std::to_string(mayor) + " pares")) << r.mensaje;
  EXPECT_TRUE(Contiene(r.mensaje, "el que más tiene " + std::to_string(mayor))) << r.mensaje;
  // A minimum of 0 is the engine's 15.
  op.NMinAjus = 0;
  EXPECT_EQ(CompruebaSaltos(d, 1, 2, 3, op).ok, mayor > 15);
  // No fit, or variable lags: nothing to check.
  op.NMinAjus = 1000;
  op.MetodoAjuste = kSinAjuste;
  EXPECT_TRUE(CompruebaSaltos(d, 1, 2, 3, op).ok);
}

TEST(TextoSeguro, InvalidUtf8NeverPassesThrough) {
  EXPECT_EQ(TextoSeguro("Año «ok» €"), "Año «ok» €");
  EXPECT_EQ(TextoSeguro(std::string("a\xff" "b")), "a?b");
  EXPECT_EQ(TextoSeguro(std::string("\xc3")), "?");                 // cut sequence
  EXPECT_EQ(TextoSeguro(std::string("\xc0\xaf")), "??");            // overlong
  EXPECT_EQ(TextoSeguro(std::string("\xed\xa0\x80")), "???");       // surrogate
  EXPECT_EQ(TextoSeguro(std::string("\xf4\x90\x80\x80")), "????");  // beyond U+10FFFF
  EXPECT_EQ(TextoSeguro(std::string("x\x1b[2Jy")), "x?[2Jy");       // terminal control
  EXPECT_EQ(TextoSeguro("línea 1\nlínea 2"), "línea 1\nlínea 2");
}

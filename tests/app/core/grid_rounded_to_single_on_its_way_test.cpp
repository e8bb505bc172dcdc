// The grid's origin and spacing used to pass through single precision on
// their way from the options to the engine helper and back into the session's
// surfaces: at a northing of 9.1e6 that moves the grid by up to half a metre.
// Checked here against the decimal values given, computed in double.
#include <gtest/gtest.h>

#include <cmath>

#include "core/argumentos_sku.h"
#include "core/ejecuta_kriging.h"
#include "core/opciones_kriging.h"
#include "core/sesion_kriging.h"

using namespace sorvan;

namespace {

constexpr double kX0 = 500000.37, kY0 = 9100000.13, kPaso = 0.15;

// 64 points 0.3 m apart from (kX0, kY0), z = 10 i + j.
SesionKriging Sesion() {
  SesionKriging s;
  DatosEspaciales& d = s.datos;
  d.nvar = 3;
  d.N = 64;
  d.nombres = {"x       ", "y       ", "z       "};
  std::vector<double> filas;
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i) filas.insert(filas.end(), {kX0 + 0.3 * i, kY0 + 0.3 * j, 10.0 * i + j});
  d.llenaDesdeFilas(filas);
  s.colX = 1, s.colY = 2, s.colZ = 3;
  EXPECT_TRUE(OpcionesPorDefecto(d, 1, 2, s.opciones).ok);
  OpcionesKriging& op = s.opciones;
  op.NRx = op.NRy = 15;
  op.MinRx = kX0, op.MinRy = kY0, op.LRx = op.LRy = kPaso;
  return s;
}

// The single rounding is far from the values given: the tests below would
// not notice a grid that went through it.
TEST(GridRoundedToSingleOnItsWay, TheValuesGivenAreNotSinglePrecisionNumbers) {
  EXPECT_GT(std::fabs(double(float(kY0)) - kY0), 0.1);
  EXPECT_GT(std::fabs(double(float(kX0)) - kX0), 0.001);
}

TEST(GridRoundedToSingleOnItsWay, PackedArgumentsCarryTheGridInDouble) {
  const SesionKriging s = Sesion();
  ArgumentosSKU a;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  ASSERT_TRUE(a.rejillaDoble.has_value());
  EXPECT_EQ(a.rejilla().xMin, kX0);
  EXPECT_EQ(a.rejilla().yMin, kY0);
  EXPECT_EQ(a.rejilla().dx, kPaso);
  EXPECT_EQ(a.rejilla().dy, kPaso);
  // SKU's own single arguments are still the nearest floats.
  EXPECT_EQ(a.xMin, float(kX0));
  EXPECT_EQ(a.yMin, float(kY0));
  EXPECT_EQ(a.dx, float(kPaso));
}

TEST(GridRoundedToSingleOnItsWay, RequestAndReplyKeepTheGridInDouble) {
  const SesionKriging s = Sesion();
  ArgumentosSKU a;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  for (bool respuesta : {false, true}) {
    ArgumentosSKU b;
    std::string motivo;
    ASSERT_TRUE(DecodificaArgumentos(CodificaArgumentos(a, respuesta), respuesta, b, &motivo)) << motivo;
    ASSERT_TRUE(b.rejillaDoble.has_value()) << respuesta;
    EXPECT_EQ(b.rejilla().xMin, kX0) << respuesta;
    EXPECT_EQ(b.rejilla().yMin, kY0) << respuesta;
    EXPECT_EQ(b.rejilla().dx, kPaso) << respuesta;
    EXPECT_EQ(b.rejilla().dy, kPaso) << respuesta;
    if (!respuesta) {
      EXPECT_EQ(b.xDoble, a.xDoble);  // replies leave the data out
    }
  }
  // The reply with its summary, as the helper sends it.
  ArgumentosSKU c;
  ResumenMotor r;
  ASSERT_TRUE(DecodificaRespuesta(CodificaRespuesta(a, ResumenMotor{}), c, r));
  EXPECT_EQ(c.rejilla().yMin, kY0);
}

TEST(GridRoundedToSingleOnItsWay, ArgumentsWithoutTheDoubleRecordUseTheSingles) {
  ArgumentosSKU a;
  a.xMin = 1.5f, a.yMin = -2.25f, a.dx = 0.5f, a.dy = 4.0f;
  ArgumentosSKU b;
  ASSERT_TRUE(DecodificaArgumentos(CodificaArgumentos(a, false), false, b));
  EXPECT_FALSE(b.rejillaDoble.has_value());
  EXPECT_EQ(b.rejilla().xMin, 1.5);
  EXPECT_EQ(b.rejilla().yMin, -2.25);
  EXPECT_EQ(b.rejilla().dx, 0.5);
  EXPECT_EQ(b.rejilla().dy, 4.0);
}

TEST(GridRoundedToSingleOnItsWay, SessionSurfacesTakeTheGridInDouble) {
  SesionKriging s = Sesion();
  ArgumentosSKU a;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  AplicaSuperficies(s, a, "z", "/tmp");
  EXPECT_EQ(s.superficies.xMin, kX0);
  EXPECT_EQ(s.superficies.yMin, kY0);
  EXPECT_EQ(s.superficies.dx, kPaso);
  EXPECT_EQ(s.superficies.dy, kPaso);
}

// Half a spacing before the data's minimum, spacing (max - min)/(n - 2),
// both worked in double from the data's decimal extremes.
TEST(GridRoundedToSingleOnItsWay, AutomaticGridKeepsTheCentimetres) {
  SesionKriging s = Sesion();
  ASSERT_TRUE(RejillaAutomatica(s.datos, 1, 2, 9, 9, s.opciones).ok);
  const double lado = (kY0 + 2.1) - kY0;
  EXPECT_NEAR(s.opciones.LRy, lado / 7, 1e-9);
  EXPECT_NEAR(s.opciones.MinRy, kY0 - lado / 14, 1e-6);
  EXPECT_NEAR(s.opciones.MinRx, kX0 - ((kX0 + 2.1) - kX0) / 14, 1e-6);
}

}  // namespace

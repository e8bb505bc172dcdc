// Packing the engine's 22 arguments from the session, and taking back what a
// successful run returns.
#include "core/ejecuta_kriging.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace sorvan;
namespace fs = std::filesystem;

namespace {

// Four variables (a, b, c, d) of five rows; column k holds 10k + row. Five
// points carry a linear trend; with lags of 2.5 from 1.5 the first class
// holds the four pairs at distance 1.41, more than NMinAjus = 3.
SesionKriging Sesion() {
  SesionKriging s;
  DatosEspaciales& d = s.datos;
  d.nvar = 4;
  d.N = 5;
  d.nombres = {"a       ", "b       ", "c       ", "d       "};
  for (int k = 1; k <= 4; ++k)
    for (int i = 1; i <= 5; ++i) d.matriz.push_back(float(10 * k + i));
  s.colX = 3, s.colY = 1, s.colZ = 4;
  OpcionesKriging& op = s.opciones;
  op.Media = 1, op.Modelo = 5, op.Estimador = 2, op.LongVar = 0, op.NApor = 20;
  op.SaltoIni = 1.5f, op.RSalto = 2.5f, op.NSaltos = 7, op.NAjus = 4, op.NMinAjus = 3;
  op.NRx = 4, op.NRy = 3, op.MinRx = 0, op.MinRy = 0, op.LRx = 1, op.LRy = 1;
  return s;
}

}  // namespace

TEST(PreparaArgumentos, PacksTheSessionInTheEngineOrder) {
  SesionKriging s = Sesion();
  ArgumentosSKU a;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  EXPECT_EQ(a.n, 5);
  EXPECT_EQ(a.z, (std::vector<float>{41, 42, 43, 44, 45}));
  EXPECT_EQ(a.x, (std::vector<float>{31, 32, 33, 34, 35}));
  EXPECT_EQ(a.y, (std::vector<float>{11, 12, 13, 14, 15}));
  EXPECT_EQ(a.firstLag, 1.5f);
  EXPECT_EQ(a.lagWidth, 2.5f);
  EXPECT_EQ(a.lagCount, 7);
  EXPECT_EQ(a.fitLagCount, 4);
  EXPECT_EQ(a.modelCode, 5);
  EXPECT_EQ(a.trendDegree, 1);
  EXPECT_EQ(a.nx, 4);
  EXPECT_EQ(a.ny, 3);
  EXPECT_EQ(a.gridRows, 4);
  EXPECT_EQ(a.holeValue, -10000.0f);
  EXPECT_EQ(a.prediction, std::vector<float>(12, 1.0f));
  EXPECT_EQ(a.variance.size(), 12u);
  EXPECT_EQ(a.VariogramOptions, (std::array<int32_t, 7>{2, 3, -1, -1, 1, 20, -1}));
  EXPECT_EQ(a.VariogramParameters, (std::array<float, 10>{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));

  // Variable lags, a fitting method and a given model.
  s.opciones.LongVar = 1;
  s.opciones.MetodoAjuste = kSinAjuste;
  s.opciones.C0Ini = 0.5f, s.opciones.C1Ini = 2, s.opciones.AIni = 30;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  EXPECT_EQ(a.VariogramOptions, (std::array<int32_t, 7>{2, 3, -1, 3, 2, 20, -1}));
  EXPECT_EQ(a.VariogramParameters, (std::array<float, 10>{0.5f, 2, 30, -1, -1, -1, -1, -1, -1, -1}));
}

TEST(PreparaArgumentos, ProfileMaskIsBuiltForTheCurrentGrid) {
  // Square around nodes x = 1..2, y = 1 of a 4 x 3 grid at unit spacing.
  SesionKriging s = Sesion();
  Perfil& p = s.opciones.perfil;
  p.npts = 5;
  p.x = {0.5f, 2.5f, 2.5f, 0.5f, 0.5f};
  p.y = {0.5f, 0.5f, 1.5f, 1.5f, 0.5f};
  const float H = kValorHueco;
  ArgumentosSKU a;
  p.lado = 0;  // exterior excluded
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  EXPECT_EQ(a.prediction, (std::vector<float>{H, H, H, H, H, 1, 1, H, H, H, H, H}));
  p.lado = 1;  // interior excluded
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  EXPECT_EQ(a.prediction, (std::vector<float>{1, 1, 1, 1, 1, H, H, 1, 1, 1, 1, 1}));
  // Another grid, another mask: shifted one node left, the square covers x = 2..3.
  s.opciones.MinRx = -1;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  EXPECT_EQ(a.prediction, (std::vector<float>{1, 1, 1, 1, 1, 1, H, H, 1, 1, 1, 1}));
}

TEST(PreparaArgumentos, RefusesWhatTheEngineCannotTake) {
  const auto rechaza = [](auto cambia) {
    SesionKriging s = Sesion();
    cambia(s);
    ArgumentosSKU a;
    a.n = 99;
    Resultado r = PreparaArgumentos(s, a);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.mensaje.empty());
    EXPECT_EQ(a.n, 99);
  };
  rechaza([](SesionKriging& s) { s.datos = DatosEspaciales{}; });
  rechaza([](SesionKriging& s) { s.colZ = 5; });
  rechaza([](SesionKriging& s) { s.opciones.Media = 4; });
  rechaza([](SesionKriging& s) { s.opciones.Modelo = 0; });
  rechaza([](SesionKriging& s) { s.opciones.NSaltos = 101; });
  rechaza([](SesionKriging& s) { s.opciones.NRx = 0; });
  rechaza([](SesionKriging& s) { s.opciones.NRx = 4000, s.opciones.NRy = 4000; });
  rechaza([](SesionKriging& s) { s.opciones.LRy = 0; });
  rechaza([](SesionKriging& s) { s.opciones.MinRx = NAN; });
}

TEST(AplicaResultado, TakesBackSurfacesRangeLagsAndModel) {
  const fs::path dir = fs::temp_directory_path() / ("sorvan_aplica_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // Two fits (as in the trend iteration): the last one counts, whatever the
  // code page of the accented label.
  std::ofstream(dir / "KRIGING.LOG") << "    Par\xe1metros estimados: 1 2 3\n    Parámetros estimados: 0.25 4.5 120.5\n";
  SesionKriging s = Sesion();
  ArgumentosSKU a;
  ASSERT_TRUE(PreparaArgumentos(s, a).ok);
  for (size_t k = 0; k < 12; ++k) {
    a.prediction[k] = float(k);
    a.variance[k] = float(100 + k);
  }
  a.firstLag = 3.25f, a.lagWidth = 6.5f, a.lagCount = 99, a.fitLagCount = 98;
  a.VariogramParameters = {-2, 11, 120.5f, 0.75f, -1, 0.1f, 0.2f, 0.3f, -1, -1};
  AplicaResultado(s, a, "d", dir.string());
  EXPECT_TRUE(s.haySuperficies);
  EXPECT_EQ(s.variableSuperficies, "d");
  EXPECT_EQ(s.superficies.nx, 4);
  EXPECT_EQ(s.superficies.ny, 3);
  EXPECT_EQ(s.superficies.SupPred[11], 11.0f);
  EXPECT_EQ(s.superficies.SupVar[5], 105.0f);
  EXPECT_EQ(s.superficies.zMin, -2.0f);
  EXPECT_EQ(s.superficies.zMax, 11.0f);
  EXPECT_EQ(s.opciones.SaltoIni, 3.25f);
  EXPECT_EQ(s.opciones.RSalto, 6.5f);
  EXPECT_EQ(s.opciones.NSaltos, 7);  // the engine had copies of these two
  EXPECT_EQ(s.opciones.NAjus, 4);
  EXPECT_TRUE(s.modelo.conocido);
  EXPECT_EQ(s.modelo.codigo, 5);
  EXPECT_FLOAT_EQ(s.modelo.c0, 0.25f);
  EXPECT_FLOAT_EQ(s.modelo.c1, 4.5f);
  EXPECT_FLOAT_EQ(s.modelo.a, 120.5f);
  EXPECT_FLOAT_EQ(s.modelo.errorAjuste, 0.75f);
  EXPECT_FLOAT_EQ(s.modelo.aIni, 0.3f);
  fs::remove_all(dir);
}

TEST(MensajeGenerando, NamesTheVariable) {
  EXPECT_EQ(MensajeGenerando("logzinc"), "Generando superficies kriging (logzinc)...");
}

TEST(MensajeFilasFuera, NamesTheRowsLeftOut) {
  EXPECT_EQ(MensajeFilasFuera(1, {11}), "Se han dejado fuera 1 fila con valores ausentes en X, Y o Z (fila 11).");
  EXPECT_EQ(MensajeFilasFuera(3, {2, 7, 40}),
            "Se han dejado fuera 3 filas con valores ausentes en X, Y o Z (filas 2, 7 y 40).");
  std::vector<int> muchas;
  for (int i = 1; i <= 12; ++i) muchas.push_back(i * 3);
  EXPECT_EQ(MensajeFilasFuera(12, muchas),
            "Se han dejado fuera 12 filas con valores ausentes en X, Y o Z "
            "(filas 3, 6, 9, 12, 15, 18, 21, 24, 27, 30 y 2 más).");
  EXPECT_EQ(MensajeFilasFuera(2), "Se han dejado fuera 2 filas con valores ausentes en X, Y o Z.");
}

TEST(PreparaArgumentos, RowsWithAMissingValueAreNamedByTheirNumber) {
  SesionKriging s = Sesion();
  // Six rows (the fixture's five and one more), X of row 2 and Z of row 6 missing.
  DatosEspaciales& d = s.datos;
  d.N = 6;
  d.matriz.clear();
  for (int k = 1; k <= 4; ++k)
    for (int i = 1; i <= 6; ++i) d.matriz.push_back(double(10 * k + i));
  d.matriz[size_t(2 * 6 + 1)] = NAN;  // column c (X) of row 2
  d.matriz[size_t(3 * 6 + 5)] = NAN;  // column d (Z) of row 6
  ArgumentosSKU a;
  s.opciones.Media = 0;
  s.opciones.NMinAjus = 1;  // rows 3, 4, 5 leave two pairs at 1.41
  const Resultado r = PreparaArgumentos(s, a);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_EQ(a.n, 4);
  EXPECT_NE(r.mensaje.find("Se han dejado fuera 2 filas con valores ausentes en X, Y o Z (filas 2 y 6)."),
            std::string::npos)
      << r.mensaje;
}

TEST(PreparaArgumentos, CountsTheRowsLeftOutAndThePointsMerged) {
  SesionKriging s = Sesion();
  // Eight rows: the fixture's five, row 6 at row 1's place, row 7 without Y,
  // row 8 without Z: 2 rows left out, 1 point merged.
  DatosEspaciales& d = s.datos;
  d.N = 8;
  d.matriz.clear();
  for (int k = 1; k <= 4; ++k)
    for (int i = 1; i <= 8; ++i) d.matriz.push_back(double(10 * k + (i == 6 ? 1 : i)));
  d.matriz[size_t(0 * 8 + 6)] = NAN;  // column a (Y) of row 7
  d.matriz[size_t(3 * 8 + 7)] = NAN;  // column d (Z) of row 8
  s.opciones.Media = 0;
  s.opciones.NMinAjus = 1;
  for (PoliticaDuplicados p : {PoliticaDuplicados::Promedio, PoliticaDuplicados::Primero}) {
    s.duplicados = p;
    ArgumentosSKU a;
    DatosFuera fuera;
    const Resultado r = PreparaArgumentos(s, a, &fuera);
    ASSERT_TRUE(r.ok) << r.mensaje;
    EXPECT_EQ(a.n, 5);  // 8 rows - 2 incomplete - 1 merged
    EXPECT_EQ(fuera.filasSinXYZ, 2);
    EXPECT_EQ(fuera.puntosUnidos, 1);
    EXPECT_EQ(fuera.politica, p);
  }
}

TEST(DatosFuera, TextsSayTheCountsInSpanish) {
  EXPECT_EQ(TextoDatosFuera({}), "");
  EXPECT_EQ(TextoDatosFuera({1, 0, PoliticaDuplicados::Error}), "1 fila sin X, Y o Z");
  EXPECT_EQ(TextoDatosFuera({2, 3, PoliticaDuplicados::Promedio}), "2 filas sin X, Y o Z; 3 puntos repetidos promediados");
  EXPECT_EQ(TextoDatosFuera({0, 1, PoliticaDuplicados::Primero}), "1 punto repetido descartado");
  EXPECT_EQ(LineaRegistroDatosFuera({0, 1, PoliticaDuplicados::Promedio}),
            "Datos fuera del cálculo: 1 punto repetido promediado.");
}

TEST(DatosFuera, IsAppendedToTheLogLeavingTheEngineLinesAsTheyAre) {
  const fs::path dir = fs::temp_directory_path() / ("datos_fuera_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string motor = "Ajuste del modelo\r\nTerminado.\r\n";
  std::ofstream(dir / "KRIGING.LOG", std::ios::binary) << motor;
  ASSERT_TRUE(AnotaDatosFuera(dir.string(), {}).ok);  // nothing left out: nothing written
  ASSERT_TRUE(AnotaDatosFuera(dir.string(), {2, 0, PoliticaDuplicados::Error}).ok);
  std::ifstream in(dir / "KRIGING.LOG", std::ios::binary);
  const std::string texto((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(texto, motor + "Datos fuera del cálculo: 2 filas sin X, Y o Z.\n");
  // A folder that cannot be written to is named in the failure.
  const Resultado r = AnotaDatosFuera((dir / "no-existe").string(), {1, 0, PoliticaDuplicados::Error});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("no-existe"), std::string::npos) << r.mensaje;
  fs::remove_all(dir);
}

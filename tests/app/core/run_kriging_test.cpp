// Packing the engine's 22 arguments from the session, and taking back what a
// successful run returns.
#include "core/run_kriging.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

// Four variables (a, b, c, d) of five rows; column k holds 10k + row. Five
// points carry a linear trend; with lags of 2.5 from 1.5 the first class
// holds the four pairs at distance 1.41, more than NMinAjus = 3.
KrigingSession OwnSession() {
  KrigingSession s;
  SpatialData& d = s.data;
  d.nvar = 4;
  d.N = 5;
  d.names = {"a       ", "b       ", "c       ", "d       "};
  for (int k = 1; k <= 4; ++k)
    for (int i = 1; i <= 5; ++i) d.matrix.push_back(float(10 * k + i));
  s.colX = 3, s.colY = 1, s.colZ = 4;
  OpcionesKriging& op = s.options;
  op.Media = 1, op.Modelo = 5, op.Estimador = 2, op.LongVar = 0, op.NApor = 20;
  op.SaltoIni = 1.5f, op.RSalto = 2.5f, op.NSaltos = 7, op.NAjus = 4, op.NMinAjus = 3;
  op.NRx = 4, op.NRy = 3, op.MinRx = 0, op.MinRy = 0, op.LRx = 1, op.LRy = 1;
  return s;
}

}  // namespace

TEST(PrepareArguments, PacksTheSessionInTheEngineOrder) {
  KrigingSession s = OwnSession();
  SkuArguments a;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
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
  s.options.LongVar = 1;
  s.options.MetodoAjuste = kNoFit;
  s.options.C0Ini = 0.5f, s.options.C1Ini = 2, s.options.AIni = 30;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  EXPECT_EQ(a.VariogramOptions, (std::array<int32_t, 7>{2, 3, -1, 3, 2, 20, -1}));
  EXPECT_EQ(a.VariogramParameters, (std::array<float, 10>{0.5f, 2, 30, -1, -1, -1, -1, -1, -1, -1}));
}

TEST(PrepareArguments, ProfileMaskIsBuiltForTheCurrentGrid) {
  // Square around nodes x = 1..2, y = 1 of a 4 x 3 grid at unit spacing.
  KrigingSession s = OwnSession();
  Profile& p = s.options.profile;
  p.npts = 5;
  p.x = {0.5f, 2.5f, 2.5f, 0.5f, 0.5f};
  p.y = {0.5f, 0.5f, 1.5f, 1.5f, 0.5f};
  const float H = kHoleValue;
  SkuArguments a;
  p.side = 0;  // exterior excluded
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  EXPECT_EQ(a.prediction, (std::vector<float>{H, H, H, H, H, 1, 1, H, H, H, H, H}));
  p.side = 1;  // interior excluded
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  EXPECT_EQ(a.prediction, (std::vector<float>{1, 1, 1, 1, 1, H, H, 1, 1, 1, 1, 1}));
  // Another grid, another mask: shifted one node left, the square covers x = 2..3.
  s.options.MinRx = -1;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  EXPECT_EQ(a.prediction, (std::vector<float>{1, 1, 1, 1, 1, 1, H, H, 1, 1, 1, 1}));
}

TEST(PrepareArguments, RefusesWhatTheEngineCannotTake) {
  const auto rejects = [](auto changes) {
    KrigingSession s = OwnSession();
    changes(s);
    SkuArguments a;
    a.n = 99;
    Result r = PrepareArguments(s, a);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(a.n, 99);
  };
  rejects([](KrigingSession& s) { s.data = SpatialData{}; });
  rejects([](KrigingSession& s) { s.colZ = 5; });
  rejects([](KrigingSession& s) { s.options.Media = 4; });
  rejects([](KrigingSession& s) { s.options.Modelo = 0; });
  rejects([](KrigingSession& s) { s.options.NSaltos = 101; });
  rejects([](KrigingSession& s) { s.options.NRx = 0; });
  rejects([](KrigingSession& s) { s.options.NRx = 4000, s.options.NRy = 4000; });
  rejects([](KrigingSession& s) { s.options.LRy = 0; });
  rejects([](KrigingSession& s) { s.options.MinRx = NAN; });
}

TEST(ApplyResult, TakesBackSurfacesRangeLagsAndModel) {
  const fs::path dir = fs::temp_directory_path() / ("sorvan_aplica_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // Two fits (as in the trend iteration): the last one counts, whatever the
  // code page of the accented label.
  std::ofstream(dir / "KRIGING.LOG") << "    Par\xe1metros estimados: 1 2 3\n    Parámetros estimados: 0.25 4.5 120.5\n";
  KrigingSession s = OwnSession();
  SkuArguments a;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  for (size_t k = 0; k < 12; ++k) {
    a.prediction[k] = float(k);
    a.variance[k] = float(100 + k);
  }
  a.firstLag = 3.25f, a.lagWidth = 6.5f, a.lagCount = 99, a.fitLagCount = 98;
  a.VariogramParameters = {-2, 11, 120.5f, 0.75f, -1, 0.1f, 0.2f, 0.3f, -1, -1};
  ApplyResult(s, a, "d", dir.string());
  EXPECT_TRUE(s.hasSurfaces);
  EXPECT_EQ(s.surfacesVariable, "d");
  EXPECT_EQ(s.surfaces.nx, 4);
  EXPECT_EQ(s.surfaces.ny, 3);
  EXPECT_EQ(s.surfaces.SupPred[11], 11.0f);
  EXPECT_EQ(s.surfaces.SupVar[5], 105.0f);
  EXPECT_EQ(s.surfaces.zMin, -2.0f);
  EXPECT_EQ(s.surfaces.zMax, 11.0f);
  EXPECT_EQ(s.options.SaltoIni, 3.25f);
  EXPECT_EQ(s.options.RSalto, 6.5f);
  EXPECT_EQ(s.options.NSaltos, 7);  // the engine had copies of these two
  EXPECT_EQ(s.options.NAjus, 4);
  EXPECT_TRUE(s.model.known);
  EXPECT_EQ(s.model.code, 5);
  EXPECT_FLOAT_EQ(s.model.c0, 0.25f);
  EXPECT_FLOAT_EQ(s.model.c1, 4.5f);
  EXPECT_FLOAT_EQ(s.model.a, 120.5f);
  EXPECT_FLOAT_EQ(s.model.fitError, 0.75f);
  EXPECT_FLOAT_EQ(s.model.aIni, 0.3f);
  fs::remove_all(dir);
}

TEST(GeneratingMessage, NamesTheVariable) {
  EXPECT_EQ(GeneratingMessage("logzinc"), "Generando superficies kriging (logzinc)...");
}

TEST(RowsLeftOutMessage, NamesTheRowsLeftOut) {
  EXPECT_EQ(RowsLeftOutMessage(1, {11}), "Se han dejado fuera 1 fila con valores ausentes en X, Y o Z (fila 11).");
  EXPECT_EQ(RowsLeftOutMessage(3, {2, 7, 40}),
            "Se han dejado fuera 3 filas con valores ausentes en X, Y o Z (filas 2, 7 y 40).");
  std::vector<int> manyOnes;
  for (int i = 1; i <= 12; ++i) manyOnes.push_back(i * 3);
  EXPECT_EQ(RowsLeftOutMessage(12, manyOnes),
            "Se han dejado fuera 12 filas con valores ausentes en X, Y o Z "
            "(filas 3, 6, 9, 12, 15, 18, 21, 24, 27, 30 y 2 más).");
  EXPECT_EQ(RowsLeftOutMessage(2), "Se han dejado fuera 2 filas con valores ausentes en X, Y o Z.");
}

TEST(PrepareArguments, RowsWithAMissingValueAreNamedByTheirNumber) {
  KrigingSession s = OwnSession();
  // Six rows (the fixture's five and one more), X of row 2 and Z of row 6 missing.
  SpatialData& d = s.data;
  d.N = 6;
  d.matrix.clear();
  for (int k = 1; k <= 4; ++k)
    for (int i = 1; i <= 6; ++i) d.matrix.push_back(double(10 * k + i));
  d.matrix[size_t(2 * 6 + 1)] = NAN;  // column c (X) of row 2
  d.matrix[size_t(3 * 6 + 5)] = NAN;  // column d (Z) of row 6
  SkuArguments a;
  s.options.Media = 0;
  s.options.NMinAjus = 1;  // rows 3, 4, 5 leave two pairs at 1.41
  const Result r = PrepareArguments(s, a);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(a.n, 4);
  EXPECT_NE(r.message.find("Se han dejado fuera 2 filas con valores ausentes en X, Y o Z (filas 2 y 6)."),
            std::string::npos)
      << r.message;
}

TEST(PrepareArguments, CountsTheRowsLeftOutAndThePointsMerged) {
  KrigingSession s = OwnSession();
  // Eight rows: the fixture's five, row 6 at row 1's place, row 7 without Y,
  // row 8 without Z: 2 rows left out, 1 point merged.
  SpatialData& d = s.data;
  d.N = 8;
  d.matrix.clear();
  for (int k = 1; k <= 4; ++k)
    for (int i = 1; i <= 8; ++i) d.matrix.push_back(double(10 * k + (i == 6 ? 1 : i)));
  d.matrix[size_t(0 * 8 + 6)] = NAN;  // column a (Y) of row 7
  d.matrix[size_t(3 * 8 + 7)] = NAN;  // column d (Z) of row 8
  s.options.Media = 0;
  s.options.NMinAjus = 1;
  for (DuplicatePolicy p : {DuplicatePolicy::Average, DuplicatePolicy::First}) {
    s.duplicates = p;
    SkuArguments a;
    DataLeftOut fuera;
    const Result r = PrepareArguments(s, a, &fuera);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(a.n, 5);  // 8 rows - 2 incomplete - 1 merged
    EXPECT_EQ(fuera.rowsWithoutXYZ, 2);
    EXPECT_EQ(fuera.pointsMerged, 1);
    EXPECT_EQ(fuera.policy, p);
  }
}

TEST(DataLeftOut, TextsSayTheCountsInSpanish) {
  EXPECT_EQ(DataLeftOutText({}), "");
  EXPECT_EQ(DataLeftOutText({1, 0, DuplicatePolicy::Error}), "1 fila sin X, Y o Z");
  EXPECT_EQ(DataLeftOutText({2, 3, DuplicatePolicy::Average}), "2 filas sin X, Y o Z; 3 puntos repetidos promediados");
  EXPECT_EQ(DataLeftOutText({0, 1, DuplicatePolicy::First}), "1 punto repetido descartado");
  EXPECT_EQ(DataLeftOutLogLine({0, 1, DuplicatePolicy::Average}),
            "Datos fuera del cálculo: 1 punto repetido promediado.");
}

TEST(DataLeftOut, IsAppendedToTheLogLeavingTheEngineLinesAsTheyAre) {
  const fs::path dir = fs::temp_directory_path() / ("datos_fuera_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string engine = "Ajuste del modelo\r\nTerminado.\r\n";
  std::ofstream(dir / "KRIGING.LOG", std::ios::binary) << engine;
  ASSERT_TRUE(RecordDataLeftOut(dir.string(), {}).ok);  // nothing left out: nothing written
  ASSERT_TRUE(RecordDataLeftOut(dir.string(), {2, 0, DuplicatePolicy::Error}).ok);
  std::ifstream in(dir / "KRIGING.LOG", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, engine + "Datos fuera del cálculo: 2 filas sin X, Y o Z.\n");
  // A folder that cannot be written to is named in the failure.
  const Result r = RecordDataLeftOut((dir / "no-existe").string(), {1, 0, DuplicatePolicy::Error});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("no-existe"), std::string::npos) << r.message;
  fs::remove_all(dir);
}

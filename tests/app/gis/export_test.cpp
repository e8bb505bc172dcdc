// Surface exports read back with GDAL: the same float32 values, each node at
// the centre of its pixel, no-data at the holes, the CRS when given; and the
// command line's exports agree with the engine's own ".SUP" files.
#include "platform/gis/export_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "core/kriging_options.h"
#include "raster_read_back.h"
#include "tool_run.h"

using namespace sorvan::core;
using namespace sorvan::platform;
namespace fs = std::filesystem;

namespace {

// A 5 x 3 grid with cells 2.5 wide and 4 high, one hole, values that need
// all of float32's digits.
KrigingSurfaces Grid() {
  KrigingSurfaces s;
  s.nx = 5;
  s.ny = 3;
  s.xMin = 1000.25f;
  s.yMin = -20.5f;
  s.dx = 2.5f;
  s.dy = 4.0f;
  for (int j = 0; j < s.ny; ++j)
    for (int i = 0; i < s.nx; ++i) {
      s.SupPred.push_back(float(i) / 3.0f + float(j) * 100.0f + 0.1f);
      s.SupVar.push_back(1.0f / float(1 + i + j * s.nx));
    }
  s.SupPred[1 + 2 * 5] = kHoleValue;  // node (2, 3), 1-based
  return s;
}

using test_data::RasterNode;
using Raster = test_data::RasterReadBack;

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GDALAllRegister();
    dir_ = fs::temp_directory_path() / ("exportacion_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Checks georeferencing, values and holes of band `band` of `r` against `s`.
  void Check(const Raster& r, int band, const KrigingSurfaces& s, bool prediction, const std::string& what) {
    ASSERT_EQ(r.nx, s.nx) << what;
    ASSERT_EQ(r.ny, s.ny) << what;
    // Node (0, 0) at the centre of the bottom-left pixel.
    EXPECT_DOUBLE_EQ(r.gt[0] + r.gt[1] / 2, double(s.xMin)) << what;
    EXPECT_DOUBLE_EQ(r.gt[3] + r.gt[5] * (r.ny - 0.5), double(s.yMin)) << what;
    EXPECT_DOUBLE_EQ(r.gt[1], double(s.dx)) << what;
    EXPECT_DOUBLE_EQ(r.gt[5], -double(s.dy)) << what;
    EXPECT_EQ(r.gt[2], 0.0);
    EXPECT_EQ(r.gt[4], 0.0);
    for (int j = 0; j < s.ny; ++j)
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        const float v = RasterNode(r, band, i, j);
        if (s.SupPred[k] == kHoleValue)
          EXPECT_EQ(v, float(r.noData[size_t(band)])) << what << " hueco " << i << "," << j;
        else
          EXPECT_EQ(v, prediction ? s.SupPred[k] : s.SupVar[k]) << what << " nodo " << i << "," << j;
      }
  }
  fs::path dir_;
};

}  // namespace

TEST_F(ExportTest, GeoTiffHoldsBothSurfacesExactlyWithTheCrs) {
  const KrigingSurfaces s = Grid();
  const std::string path = (dir_ / "mapa.tif").string();
  std::vector<std::string> written;
  Result r = ExportSurfaces(path, s, "EPSG:28992", &written);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(written, std::vector<std::string>{path});
  const Raster t = test_data::ReadRasterBack(path);
  ASSERT_EQ(t.bands, 2);
  Check(t, 0, s, true, "banda 1");
  Check(t, 1, s, false, "banda 2");
  EXPECT_EQ(t.crs, "EPSG:28992");
  EXPECT_EQ(t.noData[0], kRasterNoData);
}

TEST_F(ExportTest, OneSurfaceFormatsWriteTheVarianceBesideThePrediction) {
  const KrigingSurfaces s = Grid();
  for (const char* nombre : {"mapa.asc", "mapa.grd"}) {
    const std::string path = (dir_ / nombre).string();
    std::vector<std::string> written;
    Result r = ExportSurfaces(path, s, "", &written);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], VariancePath(path));
    EXPECT_EQ(fs::path(written[1]).filename().string(), std::string("mapa_var") + fs::path(nombre).extension().string());
    Check(test_data::ReadRasterBack(written[0]), 0, s, true, nombre);
    Check(test_data::ReadRasterBack(written[1]), 0, s, false, std::string(nombre) + " varianza");
  }
}

TEST_F(ExportTest, CsvOfNodesListsEveryNodeWithItsCoordinates) {
  const KrigingSurfaces s = Grid();
  const std::string path = (dir_ / "nodos.csv").string();
  ASSERT_TRUE(ExportSurfaces(path, s, "").ok);
  std::ifstream f(path);
  std::string line;
  std::getline(f, line);
  EXPECT_EQ(line, "x,y,prediccion,varianza");
  for (int j = 0; j < s.ny; ++j)
    for (int i = 0; i < s.nx; ++i) {
      ASSERT_TRUE(std::getline(f, line));
      std::istringstream fields(line);
      std::string x, y, p, v;
      std::getline(fields, x, ',');
      std::getline(fields, y, ',');
      std::getline(fields, p, ',');
      std::getline(fields, v, ',');
      EXPECT_EQ(std::strtod(x.c_str(), nullptr), double(s.xMin) + double(s.dx) * i);
      EXPECT_EQ(std::strtod(y.c_str(), nullptr), double(s.yMin) + double(s.dy) * j);
      const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
      if (s.SupPred[k] == kHoleValue) {
        EXPECT_TRUE(p.empty() && v.empty()) << line;
      } else {
        EXPECT_EQ(std::strtof(p.c_str(), nullptr), s.SupPred[k]);
        EXPECT_EQ(std::strtof(v.c_str(), nullptr), s.SupVar[k]);
      }
    }
}

// One surface alone (a surface file shown in a window): no variance to write.
TEST_F(ExportTest, OneSurfaceAloneIsASingleBandAndNoVarianceFile) {
  KrigingSurfaces s = Grid();
  s.SupVar.clear();
  const std::string tif = (dir_ / "sola.tif").string();
  std::vector<std::string> written;
  Result r = ExportSurfaces(tif, s, "", &written);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(written, std::vector<std::string>{tif});
  const Raster t = test_data::ReadRasterBack(tif);
  ASSERT_EQ(t.bands, 1);
  Check(t, 0, s, true, "GeoTIFF de una banda");
  EXPECT_EQ(t.noData[0], kRasterNoData);
  for (const char* nombre : {"sola.asc", "sola.grd"}) {
    const std::string path = (dir_ / nombre).string();
    written.clear();
    r = ExportSurfaces(path, s, "", &written);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(written, std::vector<std::string>{path});
    EXPECT_FALSE(fs::exists(VariancePath(path))) << nombre;
    Check(test_data::ReadRasterBack(path), 0, s, true, nombre);
  }
  const std::string csv = (dir_ / "sola.csv").string();
  ASSERT_TRUE(ExportSurfaces(csv, s, "").ok);
  std::ifstream f(csv);
  std::string line;
  std::getline(f, line);
  EXPECT_EQ(line, "x,y,valor");
  std::getline(f, line);  // node (1, 1)
  EXPECT_EQ(line, "1000.25,-20.5," + FloatText(s.SupPred[0]));
  // Node (2, 3), 1-based, is the hole: an empty value.
  for (int k = 1; k <= 1 + 2 * 5; ++k) std::getline(f, line);
  EXPECT_EQ(line, "1002.75,-12.5,");
}

TEST_F(ExportTest, UnknownFormatsAndCrsAndUnwritableFoldersAreMessages) {
  const KrigingSurfaces s = Grid();
  Result r = ExportSurfaces((dir_ / "mapa.png").string(), s, "");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(".tif"), std::string::npos) << r.message;
  r = ExportSurfaces((dir_ / "mapa.tif").string(), s, "EPSG:nada");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("EPSG:nada"), std::string::npos) << r.message;
  for (const char* nombre : {"mapa.tif", "mapa.asc", "mapa.csv"}) {
    r = ExportSurfaces((dir_ / "no" / nombre).string(), s, "");
    EXPECT_FALSE(r.ok) << nombre;
    EXPECT_NE(r.message.find(nombre), std::string::npos) << r.message;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

// The engine's ".SUP" file: grid header, then per column i the ny values.
struct Sup {
  int nx = 0, ny = 0;
  double hueco = 0, dx = 0, dy = 0, xMin = 0, yMin = 0;
  std::vector<double> v;  // (i, j) at i * ny + j
};
Sup ReadSup(const fs::path& p) {
  Sup s;
  std::ifstream f(p);
  std::string line;
  std::getline(f, line);
  if (line.rfind("#", 0) == 0) std::getline(f, line);
  std::istringstream(line.substr(line.find("GRID") + 4)) >> s.nx >> s.ny;
  f >> s.hueco >> s.dx >> s.dy >> s.xMin >> s.yMin;
  double x = 0;
  while (f >> x) s.v.push_back(x);
  return s;
}

TEST_F(ExportTest, TheCommandLinesExportsAgreeWithTheEnginesSurfaceFiles) {
  const std::string tool = test_data::BuildDir() + "/bin/sorvan-krige";
  const std::string meuse = test_data::SourceDir() + "/examples/meuse.dae";
  ASSERT_TRUE(fs::exists(tool)) << tool;
  const std::string order = tool + " " + meuse + " --z zinc --grid 12,9 --profile " +
                            test_data::SourceDir() + "/examples/meuse.per --export " +
                            (dir_ / "m.tif").string() + " --export " + (dir_ / "m.asc").string() +
                            " --crs EPSG:28992 --out " + dir_.string() + " > " + (dir_ / "salida.txt").string() + " 2>&1";
  ASSERT_EQ(std::system(order.c_str()), 0);
  const Sup pre = ReadSup(dir_ / "SKUPRE.SUP"), var = ReadSup(dir_ / "SKUVAR.SUP");
  ASSERT_EQ(pre.v.size(), size_t(12 * 9));
  const Raster t = test_data::ReadRasterBack((dir_ / "m.tif").string());
  const Raster a = test_data::ReadRasterBack((dir_ / "m.asc").string()), av = test_data::ReadRasterBack((dir_ / "m_var.asc").string());
  EXPECT_EQ(t.crs, "EPSG:28992");
  int huecos = 0;
  for (const Raster* r : {&t, &a}) {
    // The .SUP header carries eight significant digits: georeferencing within them.
    const auto digitCount = [](double v) { return 1e-7 * std::fabs(v) + 1e-4; };
    EXPECT_NEAR(r->gt[0] + r->gt[1] / 2, pre.xMin, digitCount(pre.xMin));
    EXPECT_NEAR(r->gt[3] + r->gt[5] * (r->ny - 0.5), pre.yMin, digitCount(pre.yMin));
    EXPECT_NEAR(r->gt[1], pre.dx, digitCount(pre.dx));
    EXPECT_NEAR(-r->gt[5], pre.dy, digitCount(pre.dy));
  }
  for (int i = 0; i < pre.nx; ++i)
    for (int j = 0; j < pre.ny; ++j) {
      const double p = pre.v[size_t(i * pre.ny + j)], v = var.v[size_t(i * pre.ny + j)];
      // The .SUP files carry four decimals or eight significant digits.
      const auto near = [](double x, double y) { return std::fabs(x - y) <= 6e-5 + 1e-7 * std::fabs(y); };
      if (p == pre.hueco) {
        ++huecos;
        EXPECT_EQ(double(RasterNode(t, 0, i, j)), t.noData[0]);
        EXPECT_EQ(double(RasterNode(t, 1, i, j)), t.noData[1]);
        EXPECT_EQ(double(RasterNode(a, 0, i, j)), a.noData[0]);
        continue;
      }
      EXPECT_TRUE(near(RasterNode(t, 0, i, j), p)) << i << "," << j << ": " << RasterNode(t, 0, i, j) << " / " << p;
      EXPECT_TRUE(near(RasterNode(t, 1, i, j), v)) << i << "," << j;
      EXPECT_EQ(RasterNode(a, 0, i, j), RasterNode(t, 0, i, j));
      EXPECT_EQ(RasterNode(av, 0, i, j), RasterNode(t, 1, i, j));
    }
  EXPECT_GT(huecos, 0);  // the profile left nodes out
}

TEST_F(ExportTest, TheOptionsSaveFrameWritesEachSurfaceWhereItIsNamed) {
  KrigingSession s;
  s.surfaces = Grid();
  s.hasSurfaces = true;
  s.resultsFolder = dir_.string();
  std::ofstream(dir_ / "SKUPRE.SUP") << "la predicción del motor\n";
  // A bare name goes into the result folder; a path where it says.
  fs::create_directories(dir_ / "otra");
  s.options.GuardarPred = "pred.sup";
  s.options.GuardarVar = (dir_ / "otra" / "var.asc").string();
  std::vector<std::string> written;
  Result r = SaveAfterRun(s, &written);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(written, (std::vector<std::string>{(dir_ / "pred.sup").string(), (dir_ / "otra" / "var.asc").string()}));
  std::ifstream copy(dir_ / "pred.sup");
  std::string line;
  std::getline(copy, line);
  EXPECT_EQ(line, "la predicción del motor");
  Check(test_data::ReadRasterBack((dir_ / "otra" / "var.asc").string()), 0, s.surfaces, false, "var.asc");
  EXPECT_FALSE(fs::exists(dir_ / "otra" / "var_var.asc"));  // one name, one surface
  // Nothing named: nothing written; an unknown extension: a message.
  s.options.GuardarPred.clear();
  s.options.GuardarVar.clear();
  written.clear();
  EXPECT_TRUE(SaveAfterRun(s, &written).ok);
  EXPECT_TRUE(written.empty());
  s.options.GuardarVar = "var.png";
  r = SaveAfterRun(s);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("var.png"), std::string::npos) << r.message;
}

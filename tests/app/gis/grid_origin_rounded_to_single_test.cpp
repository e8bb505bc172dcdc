// At a northing of 9.1e6 single precision holds whole metres only: a grid
// origin given to the centimetre used to move by up to half a metre on its
// way to the engine and into the exports. Here 64 samples 0.3 m apart are
// kriged through the command-line tool on a grid whose origin is given to
// 0.01 m; the exports' georeferencing and the nodes' positions must be those
// of the decimal values given (to 1e-6 m), and every node lying on a sample
// must give back that sample's value (kriging is exact there).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gdal_priv.h>

namespace fs = std::filesystem;

namespace {

constexpr double kX0 = 500000.37, kY0 = 9100000.13;  // first sample and first node
constexpr double kPasoDatos = 0.3, kPasoRejilla = 0.15;
constexpr int kLado = 8;                          // 8 x 8 samples
constexpr int kNodos = 2 * (kLado - 1) + 1;       // every other node on a sample

std::string Entorno(const char* nombre, const char* porDefecto) {
  const char* v = std::getenv(nombre);
  return v ? v : porDefecto;
}

// A smooth surface with no symmetry the grid could hide a shift in.
double Z(int i, int j) { return 50 + 10 * std::sin(0.7 * i) + 8 * std::cos(0.5 * j) + 0.3 * i * j; }

class GridOriginRoundedToSingle : public ::testing::Test {
 protected:
  void SetUp() override {
    GDALAllRegister();
    dir_ = fs::temp_directory_path() / ("origen_rejilla_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream f(dir_ / "norte.dae");
    f << "\"Muestras a 0.3 m en el norte de 9.1e6\"\n3," << kLado * kLado << "\n"
      << "\"x\",\"Este (m)\",0\n\"y\",\"Norte (m)\",0\n\"z\",\"Valor\",0\n";
    char row[128];
    for (int j = 0; j < kLado; ++j)
      for (int i = 0; i < kLado; ++i) {
        // Decimal text to the centimetre: the values the data set holds.
        std::snprintf(row, sizeof row, "%.2f,%.2f,%.9g\n", kX0 + kPasoDatos * i, kY0 + kPasoDatos * j, Z(i, j));
        f << row;
      }
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the tool with a fixed spherical model without nugget (exact at the
  // samples) on a kNodos x kNodos grid from (kX0, kY0), exporting `destinos`.
  void Kriga(const std::vector<std::string>& destinos) {
    const std::string herramienta = Entorno("SORVAN_BUILD_DIR", "..") + "/bin/sorvan-krige";
    ASSERT_TRUE(fs::exists(herramienta)) << herramienta;
    char grid[256];
    std::snprintf(grid, sizeof grid, " --grid %d,%d --origin %.2f,%.2f --spacing %.2f,%.2f", kNodos, kNodos, kX0,
                  kY0, kPasoRejilla, kPasoRejilla);
    std::string orden = herramienta + " " + (dir_ / "norte.dae").string() +
                        " --model spherical --fit none --start 0,40,3" + grid;
    for (const std::string& d : destinos) orden += " --export " + (dir_ / d).string();
    orden += " --out " + dir_.string() + " > " + (dir_ / "salida.txt").string() + " 2>&1";
    const int estado = std::system(orden.c_str());
    std::ifstream output(dir_ / "salida.txt");
    std::stringstream text;
    text << output.rdbuf();
    ASSERT_EQ(estado, 0) << text.str();
  }

  fs::path dir_;
};

struct Raster {
  int nx = 0, ny = 0;
  double gt[6] = {};
  std::vector<float> prediccion;  // band 1, rows from the top
};

Raster Lee(const fs::path& path) {
  Raster r;
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  EXPECT_NE(ds, nullptr) << path;
  if (!ds) return r;
  r.nx = ds->GetRasterXSize();
  r.ny = ds->GetRasterYSize();
  ds->GetGeoTransform(r.gt);
  r.prediccion.resize(size_t(r.nx) * size_t(r.ny));
  EXPECT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, r.nx, r.ny, r.prediccion.data(), r.nx, r.ny, GDT_Float32,
                                           0, 0),
            CE_None);
  return r;
}

TEST_F(GridOriginRoundedToSingle, ExportsAreGeoreferencedAtTheOriginGivenToTheCentimetre) {
  Kriga({"norte.tif", "norte.asc"});
  for (const char* nombre : {"norte.tif", "norte.asc"}) {
    const Raster r = Lee(dir_ / nombre);
    ASSERT_EQ(r.nx, kNodos) << nombre;
    ASSERT_EQ(r.ny, kNodos) << nombre;
    // Node (0, 0) at the centre of the bottom-left pixel.
    EXPECT_NEAR(r.gt[0] + r.gt[1] / 2, kX0, 1e-6) << nombre;
    EXPECT_NEAR(r.gt[3] + r.gt[5] * (r.ny - 0.5), kY0, 1e-6) << nombre;
    EXPECT_NEAR(r.gt[1], kPasoRejilla, 1e-9) << nombre;
    EXPECT_NEAR(-r.gt[5], kPasoRejilla, 1e-9) << nombre;
  }
}

TEST_F(GridOriginRoundedToSingle, NodesOnSamplesLieThereAndGiveBackTheirValues) {
  Kriga({"norte.tif", "nodos.csv"});
  // The nodes' coordinates as exported.
  std::ifstream csv(dir_ / "nodos.csv");
  std::string line;
  std::getline(csv, line);
  int k = 0;
  while (std::getline(csv, line)) {
    const int i = k % kNodos, j = k / kNodos;
    ++k;
    double x = 0, y = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf", &x, &y), 2) << line;
    EXPECT_NEAR(x, kX0 + kPasoRejilla * i, 1e-6) << "nodo " << i << "," << j;
    EXPECT_NEAR(y, kY0 + kPasoRejilla * j, 1e-6) << "nodo " << i << "," << j;
  }
  EXPECT_EQ(k, kNodos * kNodos);
  // The kriged values: a node 0.13 m off its sample (the northing rounded to
  // whole metres) would miss by whole units; on the sample it is exact up to
  // single precision.
  const Raster r = Lee(dir_ / "norte.tif");
  ASSERT_EQ(r.nx, kNodos);
  ASSERT_EQ(r.ny, kNodos);
  for (int j = 0; j < kLado; ++j)
    for (int i = 0; i < kLado; ++i) {
      const float v = r.prediccion[size_t(2 * i) + size_t(r.ny - 1 - 2 * j) * size_t(r.nx)];
      EXPECT_NEAR(v, Z(i, j), 2e-3) << "muestra " << i << "," << j;
    }
}

}  // namespace

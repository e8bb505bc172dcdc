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

#include "raster_read_back.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

constexpr double kX0 = 500000.37, kY0 = 9100000.13;  // first sample and first node
constexpr double kDataStep = 0.3, kGridStep = 0.15;
constexpr int kSide = 8;                          // 8 x 8 samples
constexpr int kNodes = 2 * (kSide - 1) + 1;       // every other node on a sample

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
    f << "\"Muestras a 0.3 m en el norte de 9.1e6\"\n3," << kSide * kSide << "\n"
      << "\"x\",\"Este (m)\",0\n\"y\",\"Norte (m)\",0\n\"z\",\"Valor\",0\n";
    char row[128];
    for (int j = 0; j < kSide; ++j)
      for (int i = 0; i < kSide; ++i) {
        // Decimal text to the centimetre: the values the data set holds.
        std::snprintf(row, sizeof row, "%.2f,%.2f,%.9g\n", kX0 + kDataStep * i, kY0 + kDataStep * j, Z(i, j));
        f << row;
      }
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the tool with a fixed spherical model without nugget (exact at the
  // samples) on a kNodes x kNodes grid from (kX0, kY0), exporting `destinations`.
  void Krige2(const std::vector<std::string>& destinations) {
    const std::string tool = test_data::BuildDir() + "/bin/sorvan-krige";
    ASSERT_TRUE(fs::exists(tool)) << tool;
    char grid[256];
    std::snprintf(grid, sizeof grid, " --grid %d,%d --origin %.2f,%.2f --spacing %.2f,%.2f", kNodes, kNodes, kX0,
                  kY0, kGridStep, kGridStep);
    std::string order = tool + " " + (dir_ / "norte.dae").string() +
                        " --model spherical --fit none --start 0,40,3" + grid;
    for (const std::string& d : destinations) order += " --export " + (dir_ / d).string();
    order += " --out " + dir_.string() + " > " + (dir_ / "salida.txt").string() + " 2>&1";
    const int state = std::system(order.c_str());
    std::ifstream output(dir_ / "salida.txt");
    std::stringstream text;
    text << output.rdbuf();
    ASSERT_EQ(state, 0) << text.str();
  }

  fs::path dir_;
};

TEST_F(GridOriginRoundedToSingle, ExportsAreGeoreferencedAtTheOriginGivenToTheCentimetre) {
  Krige2({"norte.tif", "norte.asc"});
  for (const char* nombre : {"norte.tif", "norte.asc"}) {
    const test_data::RasterReadBack r = test_data::ReadRasterBack((dir_ / nombre).string());
    ASSERT_EQ(r.nx, kNodes) << nombre;
    ASSERT_EQ(r.ny, kNodes) << nombre;
    // Node (0, 0) at the centre of the bottom-left pixel.
    EXPECT_NEAR(r.gt[0] + r.gt[1] / 2, kX0, 1e-6) << nombre;
    EXPECT_NEAR(r.gt[3] + r.gt[5] * (r.ny - 0.5), kY0, 1e-6) << nombre;
    EXPECT_NEAR(r.gt[1], kGridStep, 1e-9) << nombre;
    EXPECT_NEAR(-r.gt[5], kGridStep, 1e-9) << nombre;
  }
}

TEST_F(GridOriginRoundedToSingle, NodesOnSamplesLieThereAndGiveBackTheirValues) {
  Krige2({"norte.tif", "nodos.csv"});
  // The nodes' coordinates as exported.
  std::ifstream csv(dir_ / "nodos.csv");
  std::string line;
  std::getline(csv, line);
  int k = 0;
  while (std::getline(csv, line)) {
    const int i = k % kNodes, j = k / kNodes;
    ++k;
    double x = 0, y = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf", &x, &y), 2) << line;
    EXPECT_NEAR(x, kX0 + kGridStep * i, 1e-6) << "nodo " << i << "," << j;
    EXPECT_NEAR(y, kY0 + kGridStep * j, 1e-6) << "nodo " << i << "," << j;
  }
  EXPECT_EQ(k, kNodes * kNodes);
  // The kriged values: a node 0.13 m off its sample (the northing rounded to
  // whole metres) would miss by whole units; on the sample it is exact up to
  // single precision.
  const test_data::RasterReadBack r = test_data::ReadRasterBack((dir_ / "norte.tif").string());
  ASSERT_EQ(r.nx, kNodes);
  ASSERT_EQ(r.ny, kNodes);
  for (int j = 0; j < kSide; ++j)
    for (int i = 0; i < kSide; ++i) {
      const float v = test_data::RasterNode(r, 0, 2 * i, 2 * j);
      EXPECT_NEAR(v, Z(i, j), 2e-3) << "muestra " << i << "," << j;
    }
}

}  // namespace

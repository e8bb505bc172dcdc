// Whole local runs in a scratch folder: with every datum in the neighbourhood
// the run is the global one (the same semivariogram files, the grid of the
// double reference); a large data set takes the subsample and the pair
// distance of "Variograma" and says so in the log; holes are counted there.
#include "local_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kriging_reference.h"
#include "lag_classes.h"
#include "run_driver.h"
#include "variogram_models.h"

namespace kriging {
namespace {

using reference::Data;
using reference::ScratchDirectory;

constexpr float kHole = -10000.0f;

struct Call {
  Data data;
  float firstLag = 79.831131f, lagWidth = 159.662262f;
  std::int32_t lagCount = 15, fitLagCount = -1, modelCode = 1, trendDegree = 0;
  std::int32_t nx = 19, ny = 23;
  float xMin = 178648.051458f, yMin = 329784.308375f, dx = 150.0f, dy = 175.0f;
  std::int32_t gridRows = 19;
  std::vector<float> prediction, variance;
  std::int32_t options[7] = {-1, -1, -1, 3, -1, -1, -1};  // method 3: the given model stands
  float parameters[10] = {0.05f, 0.59f, 900.0f, -1, -1, -1, -1, -1, -1, -1};

  explicit Call(Data d) : data(std::move(d)) {}
  KrigingRun Run() {
    prediction.assign(static_cast<std::size_t>(gridRows) * ny, 0.0f);
    variance.assign(prediction.size(), 0.0f);
    return KrigingRun{data.size(), data.z.data(), data.x.data(), data.y.data(), firstLag,
                      lagWidth, lagCount, fitLagCount, modelCode, trendDegree, nx, ny, xMin,
                      yMin, dx, dy, gridRows, prediction.data(), variance.data(), kHole, options,
                      parameters};
  }
};

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

double Spread(const std::vector<double>& v) {
  double mean = 0, s = 0;
  for (double e : v) mean += e;
  mean /= static_cast<double>(v.size());
  for (double e : v) s += (e - mean) * (e - mean);
  return std::sqrt(s / static_cast<double>(v.size()));
}

TEST(LocalRun, WithEveryDatumItIsTheGlobalRun) {
  ScratchDirectory scratch;
  const Data meuse = reference::Meuse();
  // The global run first: its semivariogram files are the reference.
  Call global(meuse);
  RunKriging(global.Run());
  const std::string estimate = Slurp("SKUESTIM.SV"), fit = Slurp("SKUEAJUS.SV");
  const std::vector<float> globalPrediction = global.prediction;

  Call local(meuse);
  LocalRunOptions options;
  options.neighbourhood.maxPoints = 200;
  const LocalKrigingSummary summary = RunLocalKriging(local.Run(), options);
  EXPECT_EQ(summary.kriged, 19 * 23);
  EXPECT_EQ(summary.Holes(), 0);
  EXPECT_EQ(Slurp("SKUESTIM.SV"), estimate);
  EXPECT_EQ(Slurp("SKUEAJUS.SV"), fit);
  EXPECT_TRUE(std::filesystem::exists("SKUPRE.SUP"));
  EXPECT_TRUE(std::filesystem::exists("SKUVAR.SUP"));

  // The grid: the double reference of global kriging with the given model.
  const reference::Kriging ref(meuse, {1, 0.05, 0.59, 900}, 1);
  std::vector<double> want;
  for (int j = 0; j < local.ny; ++j)
    for (int i = 0; i < local.nx; ++i)
      want.push_back(ref.At(local.xMin + i * double(local.dx), local.yMin + j * double(local.dy)).first);
  const double sd = Spread(want);
  for (int j = 0, k = 0; j < local.ny; ++j)
    for (int i = 0; i < local.nx; ++i, ++k) {
      EXPECT_NEAR(local.prediction[i + j * local.gridRows], want[k], 1e-5 * sd) << i << "," << j;
      // The float global path agrees to its own rounding.
      EXPECT_NEAR(local.prediction[i + j * local.gridRows], globalPrediction[i + j * local.gridRows], 1e-3 * sd);
    }
  // The range of the prediction comes back as in the global run.
  EXPECT_FLOAT_EQ(local.parameters[0], *std::min_element(local.prediction.begin(), local.prediction.end()));
  EXPECT_FLOAT_EQ(local.parameters[1], *std::max_element(local.prediction.begin(), local.prediction.end()));
}

TEST(LocalRun, WithoutTendenciaTheGlobalTrendIsRemovedAndAddedBack) {
  // Linear trend, given model, every datum in the neighbourhood: the GLS
  // trend of the data plus the ordinary kriging of its residuals.
  ScratchDirectory scratch;
  const Data meuse = reference::Meuse();
  const reference::Model model{1, 0.05, 0.59, 900};
  Call call(meuse);
  call.trendDegree = 1;
  LocalRunOptions options;
  options.neighbourhood.maxPoints = 200;
  options.localTrend = false;
  RunLocalKriging(call.Run(), options);
  EXPECT_NE(Slurp("KRIGING.LOG").find("Tendencia global (minimos cuadrados generalizados)"), std::string::npos);

  // The reference: the trend at the data, the plane through it (exact, as
  // the trend is a plane), the residuals kriged with a constant mean.
  const std::vector<double> trend = reference::GlsTrendAtData(meuse, model, 0.64, 3);
  Data residual = meuse;
  std::vector<std::vector<double>> normal(3, std::vector<double>(3, 0.0));
  std::vector<double> rhs(3, 0.0);
  for (int i = 0; i < meuse.size(); ++i) {
    residual.z[i] = static_cast<float>(meuse.z[i] - trend[i]);
    const double f[3] = {1, (meuse.x[i] - 180000.0) / 1000, (meuse.y[i] - 331000.0) / 1000};
    for (int a = 0; a < 3; ++a) {
      rhs[a] += f[a] * trend[i];
      for (int b = 0; b < 3; ++b) normal[a][b] += f[a] * f[b];
    }
  }
  const std::vector<double> plane = reference::DenseLU(normal).Solve(rhs);
  const reference::Kriging ordinary(residual, model, 1);
  std::vector<double> want;
  for (int j = 0; j < call.ny; ++j)
    for (int i = 0; i < call.nx; ++i) {
      const double x0 = call.xMin + i * double(call.dx), y0 = call.yMin + j * double(call.dy);
      want.push_back(plane[0] + plane[1] * (x0 - 180000) / 1000 + plane[2] * (y0 - 331000) / 1000 +
                     ordinary.At(x0, y0).first);
    }
  const double sd = Spread(want);
  for (int j = 0, k = 0; j < call.ny; ++j)
    for (int i = 0; i < call.nx; ++i, ++k)
      // The engine's GLS trend is solved in single precision.
      EXPECT_NEAR(call.prediction[i + j * call.gridRows], want[k], 2e-4 * sd) << i << "," << j;
}

TEST(LocalRun, LargeDataUseTheSubsampleAndTheNeighbourhoodPairs) {
  ScratchDirectory scratch;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(0, 5000);
  std::normal_distribution<float> noise(0, 0.1f);
  Data d;
  for (int i = 0; i < 6000; ++i) {
    const float x = u(rng), y = u(rng);
    d.x.push_back(x), d.y.push_back(y), d.z.push_back(std::sin(x / 400) + std::cos(y / 300) + noise(rng));
  }
  Call call(d);
  call.firstLag = 25, call.lagWidth = 50, call.lagCount = 20;
  call.xMin = 0, call.yMin = 0, call.dx = call.dy = 250, call.nx = call.ny = call.gridRows = 21;
  call.options[3] = 1;  // fit the model
  call.parameters[0] = -1;
  LocalRunOptions options;
  options.neighbourhood = {24, 8, 400, 1};
  options.neighbourhoodVariogram = true;
  options.seed = 9;
  ASSERT_EQ(CheckLocalRun(call.Run(), options), "");
  const LocalKrigingSummary summary = RunLocalKriging(call.Run(), options);
  EXPECT_EQ(summary.kriged, 21 * 21);
  const std::string log = Slurp("KRIGING.LOG");
  EXPECT_NE(log.find("Submuestra aleatoria para el semivariograma: 4000 de 6000 datos (semilla 9)"), std::string::npos) << log;
  EXPECT_NE(log.find("Pares hasta la distancia del vecindario: 400"), std::string::npos) << log;
  EXPECT_NE(log.find("Nodos calculados: 441; sin valor: 0"), std::string::npos) << log;
  // Classes beyond the neighbourhood's distance have no pairs.
  const LagTable& table = CurrentLagTable();
  EXPECT_GT(table.count[7], 0);   // class 8: 375..425
  EXPECT_EQ(table.count[8], 0);   // class 9: 425..475
  // The fitted model is a sensible one for this field (a range of hundreds).
  const VariogramModel& m = CurrentModel();
  EXPECT_GT(m.c1, 0.1f);
  EXPECT_GT(m.a, 100.0f);
}

TEST(LocalRun, HolesAreCountedInTheLog) {
  ScratchDirectory scratch;
  Call call(reference::Meuse());
  call.xMin -= 3000;  // the first columns far from every datum
  LocalRunOptions options;
  options.neighbourhood = {16, 4, 600, 4};
  const LocalKrigingSummary summary = RunLocalKriging(call.Run(), options);
  EXPECT_GT(summary.tooFewNeighbours, 0);
  EXPECT_GT(summary.kriged, 0);
  long long holes = 0;
  for (int j = 0; j < call.ny; ++j)
    for (int i = 0; i < call.nx; ++i) holes += call.prediction[i + j * call.gridRows] == kHole;
  EXPECT_EQ(holes, summary.Holes());
  std::ostringstream line;
  line << "sin valor: " << summary.Holes() << " (menos vecinos que el minimo: " << summary.tooFewNeighbours;
  EXPECT_NE(Slurp("KRIGING.LOG").find(line.str()), std::string::npos);
}

TEST(LocalRun, RejectsBadOptionsBeforeRunning) {
  Call call(reference::Meuse());
  call.trendDegree = 2;
  LocalRunOptions options;
  options.neighbourhood = {5, 1, 100, 1};
  EXPECT_NE(CheckLocalRun(call.Run(), options).find("(N = 5) es menor que el número de términos de la deriva (6)"), std::string::npos);
  options.neighbourhood = {16, 1, 100, 1};
  options.sampleSize = -3;
  EXPECT_NE(CheckLocalRun(call.Run(), options).find("submuestra (-3)"), std::string::npos);
  options.sampleSize = 0;
  call.data.z[4] = std::numeric_limits<float>::infinity();
  EXPECT_NE(CheckLocalRun(call.Run(), options).find("el dato 5 no es un número finito"), std::string::npos);
}

}  // namespace
}  // namespace kriging

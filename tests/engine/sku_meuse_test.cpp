// Whole runs through SKU: the meuse data against an independent package's
// results, the run log, the surface files and the guarded edges of the grid.
#include "sku.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "kriging_reference.h"
#include "variogram_models.h"

namespace kriging {
namespace {

using reference::Data;
using reference::ReadLines;
using reference::ScratchDirectory;

constexpr float kHole = -10000.0f;

// The arguments of one call, 0-based, with the defaults the main program sends.
struct SkuCall {
  Data data;
  float firstLag = 79.831131f, lagWidth = 159.662262f;
  std::int32_t lagCount = 15, fitLagCount = -1, modelCode = 1, trendDegree = 0;
  std::int32_t nx = 25, ny = 25;
  float xMin = 178648.051458f, yMin = 329784.308375f, dx = 116.041667f, dy = 162.375f;
  std::int32_t gridRows = 25;
  std::vector<float> prediction, variance;
  float holeValue = kHole;
  std::int32_t options[7] = {-1, -1, -1, 3, -1, -1, -1};  // method 3: the given model stands
  float parameters[10] = {0.05f, 0.59f, 900.0f, -1, -1, -1, -1, -1, -1, -1};

  explicit SkuCall(Data d) : data(std::move(d)) {}
  void Call() {
    const std::size_t size = static_cast<std::size_t>(std::max(gridRows, 1)) * std::max(ny, 1);
    if (prediction.size() != size) prediction.assign(size, 0.0f);
    variance.assign(size, 0.0f);
    std::int32_t n = data.size();
    SKU(&n, data.z.data(), data.x.data(), data.y.data(), &firstLag, &lagWidth, &lagCount,
        &fitLagCount, &modelCode, &trendDegree, &nx, &ny, &xMin, &yMin, &dx, &dy, &gridRows,
        prediction.data(), variance.data(), &holeValue, options, parameters);
  }
  float Pred(int i, int j) const { return prediction[i + static_cast<std::size_t>(j) * gridRows]; }
  float Var(int i, int j) const { return variance[i + static_cast<std::size_t>(j) * gridRows]; }
};

std::vector<double> Numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> v;
  for (std::string word; in >> word;) v.push_back(std::strtod(word.c_str(), nullptr));
  return v;
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// --- the meuse reference ---

struct ReferenceNode {
  int i, j;  // 1-based
  double ordinaryPrediction, ordinaryVariance, linearPrediction, linearVariance;
};
const ReferenceNode kMeuseNodes[] = {
    {1, 1, 6.454772, 0.319514, 6.620873, 0.335186},   {5, 20, 6.054614, 0.679944, 7.847601, 1.031171},
    {13, 13, 5.292518, 0.112446, 5.291811, 0.112446}, {20, 5, 5.884790, 0.527753, 5.021824, 0.606684},
    {25, 25, 5.933850, 0.412852, 5.877015, 0.447984}, {10, 3, 5.464879, 0.287194, 5.317622, 0.290337},
    {3, 17, 6.128696, 0.677948, 7.843047, 0.989062},
};

double StandardDeviation(const std::vector<float>& v) {
  double mean = 0, sq = 0;
  for (float f : v) mean += f;
  mean /= v.size();
  for (float f : v) sq += (f - mean) * (f - mean);
  return std::sqrt(sq / v.size());
}

class MeuseFixedModel : public ::testing::TestWithParam<int> {};

TEST_P(MeuseFixedModel, AgreesWithTheIndependentPackage) {
  const int degree = GetParam();
  const ScratchDirectory scratch;
  SkuCall run(reference::Meuse());
  run.trendDegree = degree;
  run.Call();

  // The given model stands, and entries 1 and 2 now hold the kriged range.
  EXPECT_EQ(run.parameters[2], 900.0f);
  EXPECT_EQ(run.parameters[0], *std::min_element(run.prediction.begin(), run.prediction.end()));
  EXPECT_EQ(run.parameters[1], *std::max_element(run.prediction.begin(), run.prediction.end()));

  const double predictionTolerance = 1e-3 * StandardDeviation(run.prediction);
  double largestVariance = 0;
  for (const ReferenceNode& node : kMeuseNodes)
    largestVariance = std::max(largestVariance, degree == 0 ? node.ordinaryVariance : node.linearVariance);
  const double varianceTolerance = 1e-4 * largestVariance;
  for (const ReferenceNode& node : kMeuseNodes) {
    const double wantP = degree == 0 ? node.ordinaryPrediction : node.linearPrediction;
    const double wantV = degree == 0 ? node.ordinaryVariance : node.linearVariance;
    EXPECT_NEAR(run.Pred(node.i - 1, node.j - 1), wantP, predictionTolerance)
        << "node " << node.i << "," << node.j;
    EXPECT_NEAR(run.Var(node.i - 1, node.j - 1), wantV, varianceTolerance)
        << "node " << node.i << "," << node.j;
  }

  const auto log = ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_GE(log.size(), 10u);
  EXPECT_EQ(log[0], "");
  EXPECT_EQ(log[1], "I-  Obteniendo un semivariograma isotropico:");
  const auto stageII = std::find(log.begin(), log.end(), "II- Calculando las superficies...");
  ASSERT_NE(stageII, log.end());
  EXPECT_EQ(*(stageII - 1), "");
  EXPECT_EQ(*(stageII - 2), "");
  EXPECT_EQ(*(stageII + 1), "    Inicializando la matriz ...");
  EXPECT_EQ(*(stageII + 2), "    Factorizando ...");
  EXPECT_EQ(*(stageII + 3), "    Dando valores ...");
  EXPECT_EQ(*(stageII + 4), "");
  EXPECT_EQ(*(stageII + 5), "");
  EXPECT_EQ(*(stageII + 6), "III-Almacenando resultados...");
  EXPECT_EQ(*(stageII + 7), "");
  EXPECT_EQ(*(stageII + 8), " Terminado.");
  EXPECT_EQ(stageII + 9, log.end());
  EXPECT_EQ(Contains(log, " Metodo de Neuman y Jacobson"), degree > 0);
  if (degree > 0) {
    EXPECT_TRUE(Contains(log, " Iteración 1"));
    EXPECT_TRUE(Contains(log, " El algoritmo converge"));
    EXPECT_EQ(run.options[6], 1);  // unchanged model: converged at once
  }

  // The prediction file carries the same grid, to 4 decimals.
  const auto pre = ReadLines(scratch.path() / "SKUPRE.SUP");
  ASSERT_EQ(pre.size(), 3u + 25u);
  const std::vector<double> range = Numbers(pre[0].substr(1));
  ASSERT_EQ(range.size(), 2u);
  EXPECT_NEAR(range[0], run.parameters[0], 5e-5);
  EXPECT_NEAR(range[1], run.parameters[1], 5e-5);
  EXPECT_EQ(pre[1], " GRID 25 25");
  for (int i = 0; i < 25; ++i) {
    const std::vector<double> row = Numbers(pre[3 + i]);
    ASSERT_EQ(row.size(), 25u);
    for (int j = 0; j < 25; ++j) EXPECT_NEAR(row[j], run.Pred(i, j), 5e-5);
  }
  EXPECT_EQ(ReadLines(scratch.path() / "SKUVAR.SUP").size(), 2u + 25u);
}

INSTANTIATE_TEST_SUITE_P(OrdinaryAndLinearDrift, MeuseFixedModel, ::testing::Values(0, 1));

// With every option left to the library the model is fitted; whatever it is,
// the grid must be the kriging of the data with that model.
class MeuseFittedModel : public ::testing::TestWithParam<int> {};

TEST_P(MeuseFittedModel, GridIsTheKrigingWithTheFittedModel) {
  const int degree = GetParam();
  const ScratchDirectory scratch;
  SkuCall run(reference::Meuse());
  run.trendDegree = degree;
  run.firstLag = -1, run.lagWidth = -1, run.lagCount = -1;
  std::fill(run.options, run.options + 7, -1);
  std::fill(run.parameters, run.parameters + 10, -1.0f);
  run.Call();
  const auto log = ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), " Terminado.");

  const VariogramModel fitted = CurrentModel();
  EXPECT_EQ(fitted.code, 1);
  EXPECT_EQ(fitted.a, run.parameters[2]);
  const reference::Model model{1, fitted.c0, fitted.c1, fitted.a};
  const reference::Kriging ref(run.data, model, (degree + 1) * (degree + 2) / 2);
  std::vector<double> refPred, refVar;
  for (int i = 0; i < run.nx; i += 4)
    for (int j = 0; j < run.ny; j += 4) {
      const auto [p, v] = ref.At(static_cast<float>(i) * run.dx + run.xMin,
                                 static_cast<float>(j) * run.dy + run.yMin);
      refPred.push_back(p);
      refVar.push_back(v);
    }
  const double largestVariance = *std::max_element(refVar.begin(), refVar.end());
  const double sd = StandardDeviation(run.prediction);
  for (int i = 0, k = 0; i < run.nx; i += 4)
    for (int j = 0; j < run.ny; j += 4, ++k) {
      EXPECT_NEAR(run.Pred(i, j), refPred[k], 1e-3 * sd) << i << "," << j;
      EXPECT_NEAR(run.Var(i, j), refVar[k], 1e-4 * largestVariance) << i << "," << j;
    }
}

INSTANTIATE_TEST_SUITE_P(AllDegrees, MeuseFittedModel, ::testing::Range(0, 4));

// --- edges of the grid ---

Data SmallData() {
  Data d;
  for (int k = 0; k < 30; ++k) {
    d.x.push_back(181000.0f + 97.0f * (k % 6) + 13.0f * (k / 6));
    d.y.push_back(333000.0f + 83.0f * (k / 6) - 7.0f * (k % 6));
    d.z.push_back(5.0f + 0.01f * ((k * 37) % 11) + 0.001f * d.x.back() - 181.0f);
  }
  return d;
}

SkuCall SmallRun() {
  SkuCall run(SmallData());
  run.parameters[0] = 0.01f, run.parameters[1] = 0.2f, run.parameters[2] = 400.0f;
  run.firstLag = 50, run.lagWidth = 100, run.lagCount = 6;
  run.nx = 4, run.ny = 3, run.gridRows = 4;
  run.xMin = 181000.0f, run.yMin = 333000.0f, run.dx = 150.0f, run.dy = 150.0f;
  return run;
}

TEST(SkuGrid, AllHoleGridKeepsTheEmptyRangeAndStillWritesTheFiles) {
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.prediction.assign(static_cast<std::size_t>(run.gridRows) * run.ny, kHole);
  run.Call();
  for (float v : run.prediction) EXPECT_EQ(v, kHole);
  for (float v : run.variance) EXPECT_EQ(v, kHole);
  EXPECT_EQ(run.parameters[0], std::numeric_limits<float>::infinity());
  EXPECT_EQ(run.parameters[1], -std::numeric_limits<float>::infinity());
  const auto pre = ReadLines(scratch.path() / "SKUPRE.SUP");
  ASSERT_EQ(pre.size(), 3u + 4u);
  EXPECT_EQ(pre[0], "#              inf             -inf");
  EXPECT_EQ(pre[3], "      -10000.0000      -10000.0000      -10000.0000");
}

TEST(SkuGrid, EmptyGridsWriteHeadersOnly) {
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.nx = 0;
  run.Call();
  EXPECT_EQ(ReadLines(scratch.path() / "SKUPRE.SUP").size(), 3u);
  EXPECT_EQ(ReadLines(scratch.path() / "SKUVAR.SUP").size(), 2u);

  run.nx = 4, run.ny = 0;
  run.parameters[0] = 0.01f, run.parameters[1] = 0.2f;  // entries 1, 2 came back as the range
  run.Call();
  const auto pre = ReadLines(scratch.path() / "SKUPRE.SUP");
  ASSERT_EQ(pre.size(), 3u + 4u);
  EXPECT_EQ(pre[1], " GRID 4 0");
  EXPECT_EQ(pre[6], "");
  EXPECT_EQ(ReadLines(scratch.path() / "SKUVAR.SUP").size(), 2u + 4u);
}

TEST(SkuGrid, LeadingDimensionBelowNxLimitsTheRowsInsteadOfWritingPastTheArrays) {
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.nx = 6, run.gridRows = 3;  // the caller's arrays hold 3 x 3 values only
  run.Call();                    // sanitizer builds catch any access beyond them
  const auto pre = ReadLines(scratch.path() / "SKUPRE.SUP");
  ASSERT_EQ(pre.size(), 3u + 3u);
  EXPECT_EQ(pre[1], " GRID 3 3");
  for (float v : run.prediction) EXPECT_GT(v, 4.0f);  // every addressable node kriged
  const auto log = ReadLines(scratch.path() / "KRIGING.LOG");
  EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                          [](const std::string& l) { return l.find("Aviso") != std::string::npos; }));
}

TEST(SkuGrid, SecondCallReplacesEveryFile) {
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.nx = 5;
  run.gridRows = 5;
  run.Call();
  run.nx = 2;
  run.parameters[0] = 0.01f, run.parameters[1] = 0.2f;  // entries 1, 2 came back as the range
  run.Call();
  EXPECT_EQ(ReadLines(scratch.path() / "SKUPRE.SUP").size(), 3u + 2u);
  const auto log = ReadLines(scratch.path() / "KRIGING.LOG");
  EXPECT_EQ(std::count(log.begin(), log.end(), " Terminado."), 1);
}

TEST(SkuGrid, LagOptionsBeyondTheTablesStillCompleteTheRun) {
  // More classes than the lag table holds, more offered to the fit than it
  // takes, and fewer pairs than the automatic classes ask for: sanitizer
  // builds check that no table is read or written beyond its end.
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.lagCount = 150, run.fitLagCount = 80;
  run.Call();
  EXPECT_EQ(ReadLines(scratch.path() / "KRIGING.LOG").back(), " Terminado.");

  SkuCall few = SmallRun();
  few.data.x.resize(6), few.data.y.resize(6), few.data.z.resize(6);
  few.lagCount = -1, few.firstLag = -1, few.lagWidth = -1;
  few.Call();
  EXPECT_EQ(ReadLines(scratch.path() / "KRIGING.LOG").back(), " Terminado.");
  for (float v : few.prediction) EXPECT_TRUE(std::isfinite(v));
}

// --- the process ends, and the log says why ---

TEST(SkuStop, CoincidingDataEndTheRunWithTheSingularPivotMessage) {
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.data.x[9] = run.data.x[4];
  run.data.y[9] = run.data.y[4];
  EXPECT_EXIT(run.Call(), ::testing::ExitedWithCode(2), "");
  const auto log = ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_FALSE(log.empty());
  // The message is the last thing in the log: its lines, without the " *** "
  // margins, read as one text.
  std::string tail;
  for (std::size_t k = log.size() >= 3 ? log.size() - 3 : 0; k < log.size(); ++k) {
    std::istringstream words(log[k]);
    for (std::string word; words >> word;)
      if (word != "***") tail += word + " ";
  }
  EXPECT_NE(tail.find("FATAL"), std::string::npos) << tail;
  EXPECT_NE(tail.find("The input matrix is singular because pivot block"), std::string::npos) << tail;
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "SKUPRE.SUP"));
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "SKUVAR.SUP"));
}

TEST(SkuStop, CoincidingDataWithADriftEndTheRunWithAFatalMessage) {
  // Stage I meets the coinciding data first: their covariance matrix is
  // singular too.
  const ScratchDirectory scratch;
  SkuCall run = SmallRun();
  run.trendDegree = 1;
  run.data.x[9] = run.data.x[4];
  run.data.y[9] = run.data.y[4];
  EXPECT_EXIT(run.Call(), ::testing::ExitedWithCode(2), "");
  const auto log = ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_GE(log.size(), 3u);
  std::string tail;
  for (std::size_t k = log.size() - 3; k < log.size(); ++k) tail += log[k];
  EXPECT_NE(tail.find("FATAL"), std::string::npos) << tail;
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "SKUPRE.SUP"));
}

}  // namespace
}  // namespace kriging

// Grid kriging against an independent double-precision solve of the full
// system, and the properties every kriging grid must have.
#include "grid_kriging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <tuple>
#include <vector>

#include "drift_terms.h"
#include "kriging_reference.h"
#include "numerics/error_service.h"
#include "variogram_models.h"

namespace kriging {
namespace {

using reference::Data;
using reference::Model;

constexpr float kHole = -10000.0f;

// A model of each code with parameters suited to distances of 0..5000 m.
Model ModelForCode(int code) {
  switch (code) {
    case 1: return {1, 0.05, 0.59, 900};
    case 2: return {2, 0.05, 0.60, 300};
    case 3: return {3, 0.05, 4e-4, 1};
    case 4: return {4, 0.05, 2e-4, 1.2};
    case 5: return {5, 0.05, 2.4e-6, 250000};
    default: return {6, 0.05, 0.55, 250};
  }
}

struct Grid {
  int nx, ny, rows;
  float xMin, yMin, dx, dy;
  std::vector<float> prediction, variance;
  float range[2] = {0, 0};
  Grid(int nx_, int ny_, float x0, float y0, float dx_, float dy_, int rows_ = 0)
      : nx(nx_), ny(ny_), rows(rows_ ? rows_ : nx_), xMin(x0), yMin(y0), dx(dx_), dy(dy_),
        prediction(static_cast<std::size_t>(rows) * ny, 0.0f),
        variance(static_cast<std::size_t>(rows) * ny, 0.0f) {}
  float NodeX(int i) const { return static_cast<float>(i) * dx + xMin; }
  float NodeY(int j) const { return static_cast<float>(j) * dy + yMin; }
  float& Pred(int i, int j) { return prediction[i + static_cast<std::size_t>(j) * rows]; }
  float& Var(int i, int j) { return variance[i + static_cast<std::size_t>(j) * rows]; }
};

void Krige(const Data& d, int terms, Grid& g, int firstI = 0, int firstJ = 0) {
  SetDriftFrame(DriftFrameOfData(d.size(), d.x.data(), d.y.data()));
  KrigeGrid(d.size(), d.z.data(), d.x.data(), d.y.data(), terms, &DriftTerm, &SemivariogramOfLag,
            firstI, firstJ, g.nx, g.ny, g.xMin, g.yMin, g.dx, g.dy, g.rows, g.prediction.data(),
            g.variance.data(), kHole, g.range);
  SetDriftFrame(DriftFrame{});
}

void Use(const Model& m) {
  SetModel(m.code, static_cast<float>(m.c0), static_cast<float>(m.c1), static_cast<float>(m.a));
}

double StandardDeviation(const std::vector<float>& v) {
  double mean = 0, sq = 0;
  for (float f : v) mean += f;
  mean /= v.size();
  for (float f : v) sq += (f - mean) * (f - mean);
  return std::sqrt(sq / v.size());
}

// Small data set on a projected grid: 5 x 4 points, 250 m apart, around
// (181000, 333000) m, with a smooth field plus a wiggle.
Data ProjectedData() {
  Data d;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) {
      d.x.push_back(181000.0f + 250.0f * i);
      d.y.push_back(333000.0f + 250.0f * j + (i % 2) * 60.0f);
      d.z.push_back(5.0f + 0.3f * i - 0.2f * j + 0.15f * ((i * 7 + j * 3) % 5));
    }
  return d;
}

class QuietLog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::FILE* sink = log_.get();
    OutputUnit(-2, sink);
  }
  void TearDown() override {
    std::FILE* err = stderr;
    OutputUnit(-2, err);
  }
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> log_{std::tmpfile()};
};

// --- agreement with the double-precision reference, all models and degrees ---

class AgainstReference : public QuietLog,
                         public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(AgainstReference, MeuseValuesAndVariancesMatchDoublePrecision) {
  const auto [code, degree] = GetParam();
  const int terms = DriftTermCount(degree);
  const Data d = reference::Meuse();
  ASSERT_EQ(d.size(), 155);
  const Model m = ModelForCode(code);
  Use(m);

  // 7 x 6 nodes over the data's box and somewhat beyond it.
  Grid g(7, 6, 178300.0f, 329500.0f, 450.0f, 750.0f);
  Krige(d, terms, g);

  const reference::Kriging ref(d, m, terms);
  std::vector<double> refPred, refVar;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const auto [value, variance] = ref.At(g.NodeX(i), g.NodeY(j));
      refPred.push_back(value);
      refVar.push_back(variance);
    }
  const double scaleZ = StandardDeviation(d.z);
  const double scaleV = *std::max_element(refVar.begin(), refVar.end());
  double worstPred = 0, worstVar = 0;
  for (int j = 0, k = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i, ++k) {
      worstPred = std::max(worstPred, std::fabs(g.Pred(i, j) - refPred[k]) / scaleZ);
      worstVar = std::max(worstVar, std::fabs(g.Var(i, j) - refVar[k]) / scaleV);
    }
  EXPECT_LT(worstPred, 1e-3) << "model " << code << " degree " << degree;
  EXPECT_LT(worstVar, 1e-4) << "model " << code << " degree " << degree;
  EXPECT_EQ(g.range[0], *std::min_element(g.prediction.begin(), g.prediction.end()));
  EXPECT_EQ(g.range[1], *std::max_element(g.prediction.begin(), g.prediction.end()));
}

INSTANTIATE_TEST_SUITE_P(AllModelsAllDegrees, AgainstReference,
                         ::testing::Combine(::testing::Range(1, 7), ::testing::Range(0, 4)));

// --- properties ---

using KrigingProperties = QuietLog;

TEST_F(KrigingProperties, NodeOnADatumReproducesItWithZeroVariance) {
  const Data d = ProjectedData();
  for (int degree = 0; degree <= 2; ++degree) {
    Use({1, 0.02, 0.5, 700});
    // Nodes every 250 m from the first datum hit every datum of the even
    // columns (odd columns are shifted by 60 m).
    Grid g(5, 4, 181000.0f, 333000.0f, 250.0f, 250.0f);
    Krige(d, DriftTermCount(degree), g);
    for (int i = 0; i < 5; i += 2)
      for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(g.Pred(i, j), d.z[i * 4 + j], 2e-4) << "degree " << degree;
        EXPECT_NEAR(g.Var(i, j), 0.0, 2e-4) << "degree " << degree;
      }
  }
}

TEST_F(KrigingProperties, DriftOfTheDataDegreeIsReproducedExactly) {
  // Ordinary kriging weights sum to 1, so a constant is kriged as itself; with
  // a drift of degree d every polynomial of degree d is (unbiasedness).
  Data d = ProjectedData();
  Use({2, 0.05, 0.5, 300});
  for (int degree = 0; degree <= 3; ++degree) {
    for (int k = 0; k < d.size(); ++k) {
      const double u = (d.x[k] - 181500.0) / 500.0, v = (d.y[k] - 333400.0) / 500.0;
      const double poly[4] = {1, 1 + u - 2 * v, 1 + u - 2 * v + u * v - v * v,
                              1 + u - 2 * v + u * v - v * v + 0.5 * u * u * u};
      d.z[k] = static_cast<float>(3.0 + poly[degree]);
    }
    Grid g(6, 6, 180500.0f, 332600.0f, 300.0f, 250.0f);
    Krige(d, DriftTermCount(degree), g);
    for (int i = 0; i < g.nx; ++i)
      for (int j = 0; j < g.ny; ++j) {
        const double u = (g.NodeX(i) - 181500.0) / 500.0, v = (g.NodeY(j) - 333400.0) / 500.0;
        const double poly[4] = {1, 1 + u - 2 * v, 1 + u - 2 * v + u * v - v * v,
                                1 + u - 2 * v + u * v - v * v + 0.5 * u * u * u};
        EXPECT_NEAR(g.Pred(i, j), 3.0 + poly[degree], 2e-3 * std::max(1.0, std::fabs(poly[degree])))
            << "degree " << degree << " node " << i << "," << j;
      }
  }
}

TEST_F(KrigingProperties, FarFromTheDataOrdinaryKrigingReturnsTheGlsMean) {
  // A tight cluster of high values pulls the plain mean up; the generalized
  // least-squares mean gives the correlated cluster less weight.
  Data d = ProjectedData();
  for (int k = 0; k < 4; ++k) {
    d.x.push_back(181010.0f + 15.0f * k);
    d.y.push_back(333020.0f + 10.0f * (k % 2));
    d.z.push_back(9.0f);
  }
  const Model m{1, 0.1, 0.8, 400};
  Use(m);
  Grid g(2, 1, 190000.0f, 340000.0f, 1000.0f, 1.0f);  // 9 km away, beyond the range
  Krige(d, 1, g);
  const double glsMean = reference::GlsTrendAtData(d, m, m.c0 + m.c1, 1)[0];
  double ols = 0;
  for (float v : d.z) ols += v;
  ols /= d.size();
  ASSERT_GT(std::fabs(glsMean - ols), 0.1);
  EXPECT_NEAR(g.Pred(0, 0), glsMean, 1e-4);
  EXPECT_NEAR(g.Pred(1, 0), glsMean, 1e-4);
  // Beyond the range the variance is the sill plus the variance of the mean.
  EXPECT_GT(g.Var(0, 0), m.c0 + m.c1);
}

TEST_F(KrigingProperties, HoleNodesKeepTheMarkerAndStayOutOfTheRange) {
  const Data d = ProjectedData();
  Use({1, 0.02, 0.5, 700});
  Grid g(4, 3, 181000.0f, 333000.0f, 300.0f, 300.0f);
  g.Pred(1, 1) = kHole;
  g.Pred(3, 2) = kHole;
  const float almostHole = std::nextafter(kHole, 0.0f);
  g.Pred(2, 0) = almostHole;
  Krige(d, 1, g);
  EXPECT_EQ(g.Pred(1, 1), kHole);
  EXPECT_EQ(g.Var(1, 1), kHole);
  EXPECT_EQ(g.Pred(3, 2), kHole);
  EXPECT_EQ(g.Var(3, 2), kHole);
  EXPECT_GT(g.Pred(2, 0), 4.0f);  // differs from the marker by rounding only: kriged
  float low = std::numeric_limits<float>::infinity(), high = -low;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j)
      if (g.Pred(i, j) != kHole) low = std::min(low, g.Pred(i, j)), high = std::max(high, g.Pred(i, j));
  EXPECT_EQ(g.range[0], low);
  EXPECT_EQ(g.range[1], high);
  EXPECT_GT(low, 4.0f);
}

TEST_F(KrigingProperties, AllHoleGridLeavesTheInitialRange) {
  const Data d = ProjectedData();
  Use({1, 0.02, 0.5, 700});
  Grid g(3, 2, 181000.0f, 333000.0f, 300.0f, 300.0f);
  std::fill(g.prediction.begin(), g.prediction.end(), kHole);
  Krige(d, 3, g);
  for (float v : g.prediction) EXPECT_EQ(v, kHole);
  for (float v : g.variance) EXPECT_EQ(v, kHole);
  EXPECT_EQ(g.range[0], std::numeric_limits<float>::infinity());
  EXPECT_EQ(g.range[1], -std::numeric_limits<float>::infinity());
}

TEST_F(KrigingProperties, OnlyTheVisitedNodesOfTheLeadingRowsAreTouched) {
  const Data d = ProjectedData();
  Use({1, 0.02, 0.5, 700});
  const float sentinel = 12345.0f;
  Grid g(3, 4, 181000.0f, 333000.0f, 300.0f, 300.0f, /*rows=*/5);
  std::fill(g.prediction.begin(), g.prediction.end(), sentinel);
  std::fill(g.variance.begin(), g.variance.end(), sentinel);
  Krige(d, 1, g, /*firstI=*/1, /*firstJ=*/2);
  for (int i = 0; i < g.rows; ++i)
    for (int j = 0; j < g.ny; ++j) {
      const bool visited = i >= 1 && i < g.nx && j >= 2;
      EXPECT_EQ(g.Pred(i, j) != sentinel, visited) << i << "," << j;
      EXPECT_EQ(g.Var(i, j) != sentinel, visited) << i << "," << j;
    }
}

// Runs the kriging in a child process with the run log in the scratch
// directory; returns the log's last lines, without the message margins, as one
// text.
std::string LastLogWordsOfAStoppedRun(const reference::ScratchDirectory& scratch, const Data& d,
                                      int terms) {
  Grid g(3, 3, 181000.0f, 333000.0f, 300.0f, 300.0f);
  EXPECT_EXIT(
      {
        std::FILE* log = std::fopen("KRIGING.LOG", "w");
        OutputUnit(-2, log);
        OutputUnit(-3, log);
        Krige(d, terms, g);
      },
      ::testing::ExitedWithCode(2), "");
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  std::string tail;
  for (std::size_t k = lines.size() >= 3 ? lines.size() - 3 : 0; k < lines.size(); ++k) {
    std::istringstream words(lines[k]);
    for (std::string word; words >> word;)
      if (word != "***") tail += word + " ";
  }
  return tail;
}

TEST(KrigingSingularSystem, DuplicateCoordinatesStopWithTheSingularPivotMessage) {
  const reference::ScratchDirectory scratch;
  Data d = ProjectedData();
  d.x[7] = d.x[3];
  d.y[7] = d.y[3];
  Use({1, 0.02, 0.5, 700});
  const std::string tail = LastLogWordsOfAStoppedRun(scratch, d, 1);
  EXPECT_NE(tail.find("FATAL ERROR 2 from LFTSF. The input matrix is singular because pivot "
                      "block 8 is singular."),
            std::string::npos)
      << tail;
}

TEST(KrigingSingularSystem, FewerDataThanDriftTermsStop) {
  const reference::ScratchDirectory scratch;
  Data d = ProjectedData();
  d.x.resize(5), d.y.resize(5), d.z.resize(5);
  Use({2, 0.02, 0.5, 300});
  const std::string tail = LastLogWordsOfAStoppedRun(scratch, d, 6);
  EXPECT_NE(tail.find("The input matrix is singular because pivot block"), std::string::npos)
      << tail;
}

}  // namespace
}  // namespace kriging

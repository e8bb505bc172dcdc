// Local-neighbourhood kriging against independent double-precision
// references: with every datum in the neighbourhood it is global kriging; with
// a small neighbourhood it is the same rule done by brute force (every
// distance sorted, the full system of the neighbours solved by Gaussian
// elimination in kriging_reference.h); holes where the rule says so; the same
// bits for any thread count; clear messages for bad options.
#include "local_kriging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kd_tree.h"
#include "kriging_reference.h"

namespace kriging {
namespace {

constexpr float kHole = -10000.0f;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Small grids are shared over threads too.
const bool kShareSmallLoops = setenv("SORVAN_PARALLEL_MIN_WORK", "0", 1) == 0;

// Data as floats (the reference reads floats) and their double copies.
struct DataSet {
  reference::Data ref;
  std::vector<double> x, y, z;
  void Add(float px, float py, float pz) {
    ref.x.push_back(px), ref.y.push_back(py), ref.z.push_back(pz);
    x.push_back(px), y.push_back(py), z.push_back(pz);
  }
  int size() const { return static_cast<int>(x.size()); }
};

DataSet MeuseSet() {
  const reference::Data m = reference::Meuse();
  DataSet d;
  for (int i = 0; i < m.size(); ++i) d.Add(m.x[i], m.y[i], m.z[i]);
  return d;
}

// A smooth field with a trend, noise and a few tight clusters, on a 1000 x 1000 box.
DataSet RandomSet(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0, 1000);
  std::normal_distribution<float> noise(0, 0.3f);
  DataSet d;
  for (int i = 0; i < n; ++i) {
    float x = u(rng), y = u(rng);
    if (i % 10 == 0) x = 300 + 0.05f * x, y = 600 + 0.05f * y;  // a cluster
    const float z = 5 + 0.004f * x - 0.002f * y + std::sin(x / 90) * std::cos(y / 120) + noise(rng);
    d.Add(x, y, z);
  }
  return d;
}

double StandardDeviation(const std::vector<double>& v) {
  double mean = 0;
  for (double e : v) mean += e;
  mean /= static_cast<double>(v.size());
  double s = 0;
  for (double e : v) s += (e - mean) * (e - mean);
  return std::sqrt(s / static_cast<double>(v.size()));
}

struct Grid {
  int nx, ny;
  double xMin, yMin, dx, dy;
};

Grid GridOver(const DataSet& d, int nx, int ny) {
  const auto [xl, xh] = std::minmax_element(d.x.begin(), d.x.end());
  const auto [yl, yh] = std::minmax_element(d.y.begin(), d.y.end());
  return {nx, ny, *xl, *yl, (*xh - *xl) / (nx - 1), (*yh - *yl) / (ny - 1)};
}

LocalKrigingInput Input(const DataSet& d, const reference::Model& m, int degree, const Grid& g) {
  LocalKrigingInput in;
  in.n = d.size(), in.x = d.x.data(), in.y = d.y.data(), in.z = d.z.data();
  in.modelCode = m.code, in.c0 = m.c0, in.c1 = m.c1, in.a = m.a;
  in.trendDegree = degree;
  in.nx = g.nx, in.ny = g.ny, in.xMin = g.xMin, in.yMin = g.yMin, in.dx = g.dx, in.dy = g.dy;
  in.gridRows = g.nx + 1;  // a leading dimension larger than nx
  in.holeValue = kHole;
  return in;
}

struct Surface {
  std::vector<float> prediction, variance;
  LocalKrigingSummary summary;
};

Surface KrigeLocal(const LocalKrigingInput& in, int threads = 0) {
  Surface s;
  const std::size_t size = static_cast<std::size_t>(in.gridRows) * static_cast<std::size_t>(in.ny);
  s.prediction.assign(size, 0.0f);
  s.variance.assign(size, 0.0f);
  EXPECT_EQ(CheckLocalKriging(in), "");
  s.summary = KrigeGridLocal(in, s.prediction.data(), s.variance.data(), threads);
  return s;
}

// ---- With every datum in the neighbourhood: global kriging ----

struct GlobalCase {
  reference::Model model;
  int degree;
};

class LocalEqualsGlobal : public ::testing::TestWithParam<GlobalCase> {};

TEST_P(LocalEqualsGlobal, OnMeuseWithNAtLeastTheDataAndNoDistanceLimit) {
  const GlobalCase c = GetParam();
  const DataSet d = MeuseSet();
  const Grid g = GridOver(d, 17, 21);
  LocalKrigingInput in = Input(d, c.model, c.degree, g);
  in.neighbourhood.maxPoints = d.size() + 5;
  const Surface s = KrigeLocal(in);
  EXPECT_EQ(s.summary.kriged, 17 * 21);
  EXPECT_EQ(s.summary.Holes(), 0);

  const reference::Kriging global(d.ref, c.model, (c.degree + 1) * (c.degree + 2) / 2);
  std::vector<double> want, wantVar;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const auto [v, s2] = global.At(g.xMin + i * g.dx, g.yMin + j * g.dy);
      want.push_back(v), wantVar.push_back(s2);
    }
  const double sd = StandardDeviation(want), sdVar = StandardDeviation(wantVar);
  ASSERT_GT(sd, 0);
  int k = 0;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i, ++k) {
      const std::size_t at = static_cast<std::size_t>(i + j * in.gridRows);
      // Float output: half an ulp of the value is allowed on top of 1e-5 SD.
      EXPECT_NEAR(s.prediction[at], want[k], 1e-5 * sd + 1e-7 * std::fabs(want[k])) << i << "," << j;
      EXPECT_NEAR(s.variance[at], wantVar[k], 1e-5 * sdVar + 1e-7 * std::fabs(wantVar[k]))
          << i << "," << j;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ModelsAndDrifts, LocalEqualsGlobal,
    ::testing::Values(GlobalCase{{1, 0.05, 0.6, 900}, 0}, GlobalCase{{2, 0.0, 0.7, 400}, 0},
                      GlobalCase{{1, 0.1, 0.5, 1200}, 1}, GlobalCase{{2, 0.05, 0.6, 300}, 2},
                      GlobalCase{{3, 0.02, 0.0004, 1}, 1}, GlobalCase{{4, 0.0, 0.01, 1.2}, 0},
                      GlobalCase{{5, 0.05, 0.6 / 250000, 250000}, 0},
                      GlobalCase{{6, 0.05, 0.5, 250}, 3}));

// ---- Small neighbourhoods: the same rule by brute force ----

// The neighbours of (x0, y0) by the documented rule, from every distance.
std::vector<int> BruteForceNeighbours(const DataSet& d, double x0, double y0,
                                      const LocalNeighbourhood& nb) {
  std::vector<Neighbour> all;
  for (int i = 0; i < d.size(); ++i) {
    const double ex = d.x[i] - x0, ey = d.y[i] - y0;
    if (ex * ex + ey * ey <= nb.maxDistance * nb.maxDistance) all.push_back({ex * ex + ey * ey, i});
  }
  std::sort(all.begin(), all.end(), NearerThan);
  std::vector<int> chosen;
  int taken[4] = {0, 0, 0, 0};
  for (const Neighbour& e : all) {
    if (nb.sectors == 1) {
      if (static_cast<int>(chosen.size()) < nb.maxPoints) chosen.push_back(e.index);
    } else {
      // Quadrants written out: 0 right-upper (x > 0, y >= 0), then counter-clockwise.
      const double ex = d.x[e.index] - x0, ey = d.y[e.index] - y0;
      const int q = (ex > 0 && ey >= 0) || (ex == 0 && ey == 0) ? 0
                    : (ex <= 0 && ey > 0)                        ? 1
                    : (ex < 0 && ey <= 0)                        ? 2
                                                                 : 3;
      if (taken[q] < nb.maxPoints / 4) ++taken[q], chosen.push_back(e.index);
    }
  }
  return chosen;
}

struct NeighbourhoodCase {
  int degree;
  int maxPoints, minPoints;
  double maxDistance;
  int sectors;
  reference::Model model;
};

class LocalEqualsBruteForce : public ::testing::TestWithParam<NeighbourhoodCase> {};

TEST_P(LocalEqualsBruteForce, ValuesVariancesAndHoles) {
  const NeighbourhoodCase c = GetParam();
  const DataSet d = RandomSet(1500, 21);
  Grid g{37, 29, -30, -20, 1060.0 / 36, 1040.0 / 28};
  LocalKrigingInput in = Input(d, c.model, c.degree, g);
  in.neighbourhood = {c.maxPoints, c.minPoints, c.maxDistance, c.sectors};
  const Surface s = KrigeLocal(in);
  const double sd = StandardDeviation(d.z);
  const int terms = (c.degree + 1) * (c.degree + 2) / 2;
  long long holes = 0;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const double x0 = g.xMin + i * g.dx, y0 = g.yMin + j * g.dy;
      const std::size_t at = static_cast<std::size_t>(i + j * in.gridRows);
      const std::vector<int> chosen = BruteForceNeighbours(d, x0, y0, in.neighbourhood);
      if (static_cast<int>(chosen.size()) < std::max(c.minPoints, terms)) {
        EXPECT_EQ(s.prediction[at], kHole) << i << "," << j;
        EXPECT_EQ(s.variance[at], kHole) << i << "," << j;
        ++holes;
        continue;
      }
      reference::Data local;
      for (int k : chosen) local.x.push_back(d.ref.x[k]), local.y.push_back(d.ref.y[k]), local.z.push_back(d.ref.z[k]);
      const reference::Kriging system(local, c.model, terms);
      const auto [v, s2] = system.At(x0, y0);
      EXPECT_NEAR(s.prediction[at], v, 1e-4 * sd) << i << "," << j;
      EXPECT_NEAR(s.variance[at], s2, 1e-4 * std::max(s2, sd * sd)) << i << "," << j;
    }
  EXPECT_EQ(s.summary.tooFewNeighbours, holes);
  EXPECT_EQ(s.summary.singular, 0);
  EXPECT_EQ(s.summary.kriged + holes, g.nx * g.ny);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LocalEqualsBruteForce,
    ::testing::Values(NeighbourhoodCase{0, 16, 1, kInf, 1, {1, 0.05, 0.6, 300}},
                      NeighbourhoodCase{0, 32, 8, 60, 1, {2, 0.02, 0.5, 100}},
                      NeighbourhoodCase{1, 12, 6, 45, 1, {1, 0.0, 0.6, 250}},
                      NeighbourhoodCase{2, 24, 10, kInf, 1, {6, 0.05, 0.5, 60}},
                      NeighbourhoodCase{3, 40, 20, 120, 1, {3, 0.05, 0.002, 1}},
                      NeighbourhoodCase{0, 16, 1, kInf, 4, {1, 0.05, 0.6, 300}},
                      NeighbourhoodCase{1, 20, 9, 70, 4, {4, 0.0, 0.02, 1.5}},
                      NeighbourhoodCase{0, 7, 1, 50, 4, {5, 0.1, 0.5 / 2500, 2500}}));

// ---- Threads, holes and the global trend ----

TEST(LocalKriging, SameBitsForAnyThreadCount) {
  const DataSet d = RandomSet(3000, 5);
  const Grid g{61, 47, 0, 0, 1000.0 / 60, 1000.0 / 46};
  LocalKrigingInput in = Input(d, {1, 0.05, 0.6, 300}, 1, g);
  in.neighbourhood = {24, 4, 90, 1};
  const Surface one = KrigeLocal(in, 1);
  for (int threads : {2, 3, 7}) {
    const Surface many = KrigeLocal(in, threads);
    EXPECT_EQ(0, std::memcmp(one.prediction.data(), many.prediction.data(), one.prediction.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(one.variance.data(), many.variance.data(), one.variance.size() * sizeof(float)));
    EXPECT_EQ(one.summary.kriged, many.summary.kriged);
    EXPECT_EQ(one.summary.reusedSystems, many.summary.reusedSystems);
  }
}

TEST(LocalKriging, DenseGridReusesSystemsAndMatchesFreshSolves) {
  // Few data, many nodes: neighbouring nodes share their neighbour set, and a
  // reused factorization must give what a fresh one gives (checked against the
  // brute-force reference at every node).
  const DataSet d = RandomSet(60, 8);
  const Grid g{80, 80, 0, 0, 1000.0 / 79, 1000.0 / 79};
  LocalKrigingInput in = Input(d, {2, 0.0, 0.7, 200}, 0, g);
  in.neighbourhood = {8, 1, kInf, 1};
  const Surface s = KrigeLocal(in);
  EXPECT_GT(s.summary.reusedSystems, s.summary.kriged / 2);
  const double sd = StandardDeviation(d.z);
  for (int j = 0; j < g.ny; j += 3)
    for (int i = 0; i < g.nx; ++i) {
      const double x0 = g.xMin + i * g.dx, y0 = g.yMin + j * g.dy;
      reference::Data local;
      for (int k : BruteForceNeighbours(d, x0, y0, in.neighbourhood))
        local.x.push_back(d.ref.x[k]), local.y.push_back(d.ref.y[k]), local.z.push_back(d.ref.z[k]);
      const reference::Kriging system(local, {2, 0.0, 0.7, 200}, 1);
      EXPECT_NEAR(s.prediction[static_cast<std::size_t>(i + j * in.gridRows)], system.At(x0, y0).first, 1e-4 * sd);
    }
}

TEST(LocalKriging, NodesMarkedOnEntryAreLeftOut) {
  const DataSet d = RandomSet(400, 9);
  const Grid g{20, 20, 0, 0, 50, 50};
  LocalKrigingInput in = Input(d, {1, 0.05, 0.6, 300}, 0, g);
  std::vector<float> prediction(static_cast<std::size_t>(in.gridRows * g.ny), 1.0f), variance(prediction.size(), 1.0f);
  for (std::size_t k = 0; k < prediction.size(); k += 7) prediction[k] = kHole;
  const LocalKrigingSummary s = KrigeGridLocal(in, prediction.data(), variance.data());
  long long marked = 0;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const std::size_t at = static_cast<std::size_t>(i + j * in.gridRows);
      if (at % 7 == 0) {
        ++marked;
        EXPECT_EQ(prediction[at], kHole);
        EXPECT_EQ(variance[at], kHole);
      } else {
        EXPECT_NE(prediction[at], kHole);
      }
    }
  EXPECT_EQ(s.leftOut, marked);
  EXPECT_EQ(s.kriged + marked, g.nx * g.ny);
}

TEST(LocalKriging, CoincidingDataInsideANeighbourhoodLeaveHolesOnlyThere) {
  // Two data at one place make every system that holds both singular: those
  // nodes are holes, counted as singular; the rest of the grid is kriged.
  DataSet d = RandomSet(500, 10);
  d.Add(d.ref.x[3], d.ref.y[3], d.ref.z[3] + 1.0f);
  const Grid g{41, 41, 0, 0, 25, 25};
  LocalKrigingInput in = Input(d, {1, 0.0, 0.6, 300}, 0, g);
  in.neighbourhood = {10, 1, kInf, 1};
  const Surface s = KrigeLocal(in);
  long long expectSingular = 0;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const std::vector<int> chosen = BruteForceNeighbours(d, g.xMin + i * g.dx, g.yMin + j * g.dy, in.neighbourhood);
      const bool both = std::count(chosen.begin(), chosen.end(), 3) && std::count(chosen.begin(), chosen.end(), d.size() - 1);
      const float p = s.prediction[static_cast<std::size_t>(i + j * in.gridRows)];
      if (both) {
        ++expectSingular;
        EXPECT_EQ(p, kHole) << i << "," << j;
      } else {
        EXPECT_NE(p, kHole) << i << "," << j;
      }
    }
  EXPECT_GT(expectSingular, 0);
  EXPECT_EQ(s.summary.singular, expectSingular);
  EXPECT_EQ(s.summary.tooFewNeighbours, 0);
}

TEST(LocalKriging, GlobalTrendIsRemovedAndAddedBack) {
  // Residuals from a fixed quadratic trend kriged with N >= n: the global
  // ordinary kriging of the residuals plus the trend.
  const DataSet d = MeuseSet();
  FixedTrend trend;
  trend.terms = 6, trend.centreX = 180000, trend.centreY = 331000, trend.scale = 2000;
  const double beta[6] = {6.0, 0.3, -0.2, 0.1, 0.05, -0.07};
  std::copy(beta, beta + 6, trend.beta);
  DataSet residual;
  for (int i = 0; i < d.size(); ++i) {
    const double u = (d.x[i] - 180000) / 2000.0, v = (d.y[i] - 331000) / 2000.0;
    const double t = 6.0 + 0.3 * u - 0.2 * v + 0.1 * u * u + 0.05 * u * v - 0.07 * v * v;
    residual.Add(d.ref.x[i], d.ref.y[i], static_cast<float>(d.z[i] - t));
  }
  const Grid g = GridOver(d, 13, 15);
  const reference::Model model{1, 0.05, 0.5, 900};
  LocalKrigingInput in = Input(d, model, 0, g);
  in.trend = trend;
  in.neighbourhood.maxPoints = 200;
  const Surface s = KrigeLocal(in);
  const reference::Kriging global(residual.ref, model, 1);
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const double x0 = g.xMin + i * g.dx, y0 = g.yMin + j * g.dy;
      const double u = (x0 - 180000) / 2000.0, v = (y0 - 331000) / 2000.0;
      const double t = 6.0 + 0.3 * u - 0.2 * v + 0.1 * u * u + 0.05 * u * v - 0.07 * v * v;
      const auto [r, s2] = global.At(x0, y0);
      const std::size_t at = static_cast<std::size_t>(i + j * in.gridRows);
      EXPECT_NEAR(s.prediction[at], r + t, 2e-5 * std::fabs(r + t) + 1e-5) << i << "," << j;
      EXPECT_NEAR(s.variance[at], s2, 1e-5 * s2 + 1e-6) << i << "," << j;
    }
}

TEST(LocalKriging, FarFromTheDataWithADistanceLimitEveryNodeIsAHole) {
  const DataSet d = RandomSet(100, 12);
  const Grid g{5, 5, 5000, 5000, 10, 10};
  LocalKrigingInput in = Input(d, {1, 0.0, 1.0, 100}, 0, g);
  in.neighbourhood = {16, 1, 500, 1};
  const Surface s = KrigeLocal(in);
  EXPECT_EQ(s.summary.tooFewNeighbours, 25);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s.prediction[static_cast<std::size_t>(i + j * in.gridRows)], kHole);
}

// ---- Bad options ----

struct BadCase {
  int degree, maxPoints, minPoints;
  double maxDistance;
  int sectors;
  const char* fragment;  // the message names the value at fault
};

class LocalKrigingRejects : public ::testing::TestWithParam<BadCase> {};

TEST_P(LocalKrigingRejects, WithAMessageNamingTheValue) {
  const BadCase c = GetParam();
  const DataSet d = RandomSet(50, 1);
  LocalKrigingInput in = Input(d, {1, 0, 1, 100}, c.degree, Grid{4, 4, 0, 0, 1, 1});
  in.neighbourhood = {c.maxPoints, c.minPoints, c.maxDistance, c.sectors};
  const std::string message = CheckLocalKriging(in);
  EXPECT_NE(message.find(c.fragment), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Options, LocalKrigingRejects,
    ::testing::Values(BadCase{2, 5, 1, kInf, 1, "(N = 5) es menor que el número de términos de la deriva (6)"},
                      BadCase{2, 5, 1, kInf, 4, "con 4 sectores se toman 4 vecinos como mucho (N = 5)"},
                      BadCase{3, 9, 1, kInf, 4, "(N = 9), menos que los términos de la deriva (10)"},
                      BadCase{0, 8, 9, kInf, 1, "(M = 9) es mayor que el máximo (8)"},
                      BadCase{0, 8, 0, kInf, 1, "(M = 0) debe ser al menos 1"},
                      BadCase{0, 8, 1, 0.0, 1, "(D = 0) debe ser mayor que 0"},
                      BadCase{0, 8, 1, -3.5, 1, "(D = -3.5) debe ser mayor que 0"},
                      BadCase{0, 8, 1, std::nan(""), 1, "debe ser mayor que 0"},
                      BadCase{0, 8, 1, kInf, 2, "sectores (2) debe ser 1 o 4"},
                      BadCase{0, 800, 1, kInf, 1, "no puede pasar de 500"}));

TEST(LocalKriging, RejectsANonFiniteDatumByItsNumber) {
  DataSet d = RandomSet(10, 2);
  d.z[6] = std::nan("");
  LocalKrigingInput in = Input(d, {1, 0, 1, 100}, 0, Grid{4, 4, 0, 0, 1, 1});
  EXPECT_NE(CheckLocalKriging(in).find("el dato 7 no es un número finito"), std::string::npos);
}

}  // namespace
}  // namespace kriging

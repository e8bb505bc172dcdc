// Automatic kriging options: the lag rules on hand-worked point layouts, the
// rounding of halves to even, the shortest-distance list against a brute-force
// sort, and the automatic grids.
#include "core/kriging_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace sorvan::core;

namespace {

// A data set with columns x, y, z.
SpatialData Points(const std::vector<std::pair<float, float>>& p) {
  SpatialData d;
  d.nvar = 3;
  d.N = int(p.size());
  d.names = {"x       ", "y       ", "z       "};
  d.matrix.resize(3 * p.size());
  for (size_t i = 0; i < p.size(); ++i) {
    d.matrix[i] = p[i].first;
    d.matrix[p.size() + i] = p[i].second;
    d.matrix[2 * p.size() + i] = float(i);
  }
  for (int k = 0; k < 3; ++k) {
    auto b = d.matrix.begin() + std::ptrdiff_t(k * p.size());
    d.minimum.push_back(*std::min_element(b, b + std::ptrdiff_t(p.size())));
    d.maximum.push_back(*std::max_element(b, b + std::ptrdiff_t(p.size())));
  }
  return d;
}

// Points (10k, 10r), k < columnas, r < filas.
SpatialData Staircase(int columns, int rows) {
  std::vector<std::pair<float, float>> p;
  for (int r = 0; r < rows; ++r)
    for (int k = 0; k < columns; ++k) p.push_back({10.0f * k, 10.0f * r});
  return Points(p);
}

DataDistances Shortest(std::vector<double> shortest, float largest) {
  DataDistances d;
  d.shortest = std::move(shortest);
  d.smallest = float(d.shortest.front());
  d.largest = largest;
  return d;
}

}  // namespace

TEST(RoundToEven, HalvesGoToEven) {
  EXPECT_EQ(RoundToEven(4.5), 4);
  EXPECT_EQ(RoundToEven(5.5), 6);
  EXPECT_EQ(RoundToEven(2.5), 2);
  EXPECT_EQ(RoundToEven(-0.5), 0);
  EXPECT_EQ(RoundToEven(4.51), 5);
  EXPECT_EQ(RoundToEven(12.0), 12);
}

TEST(LagParameters, WorkedCasesFromFirstAndMthDistances) {
  struct Case {
    double d1, dm;
    float lagWidth, firstLag;
  };
  // 4.5 rounds to 4, 5.5 to 6; 1 and 23 give p = 1.
  for (const Case& c : {Case{5, 40, 40, 20}, Case{15, 40, 30, 30}, Case{1, 23, 23, 12}, Case{7, 7, 7, 7}}) {
    std::vector<double> v(30, (c.d1 + c.dm) / 2);
    v.front() = c.d1;
    v.back() = c.dm;
    OpcionesKriging op;
    LagParameters(Shortest(v, 1000.0f), 26, op);
    EXPECT_FLOAT_EQ(op.RSalto, c.lagWidth) << c.d1 << " " << c.dm;
    EXPECT_FLOAT_EQ(op.SaltoIni, c.firstLag) << c.d1 << " " << c.dm;
  }
  // 25 data take the 20th distance, not the 30th.
  std::vector<double> v(30, 40.0);
  v[0] = 5;
  v[19] = 23;
  OpcionesKriging op;
  LagParameters(Shortest(v, 1000.0f), 25, op);
  EXPECT_FLOAT_EQ(op.RSalto, 19.0f);  // p = 1: floor(23 - 5) + 1
  EXPECT_FLOAT_EQ(op.SaltoIni, 14.0f);
  // NSaltos: floor((1000 - 14)/19 + 0.5) + 1 = floor(52.39) + 1.
  EXPECT_EQ(op.NSaltos, 53);
  // A half in the lag count rounds up: (1000 - 20)/40 + 0.5 = 25 exactly.
  std::vector<double> w(30, 20.0);
  w.front() = 5;
  w.back() = 40;
  LagParameters(Shortest(w, 1000.0f), 26, op);
  EXPECT_EQ(op.NSaltos, 26);
}

TEST(OpcionesPorDefecto, TwentySixPointsUseThe30thDistance) {
  // 26 points 10 apart on a line: 25 pairs at 10, 24 at 20, so the 30th is 20.
  // p = 1, RSalto = 10 + 1, SaltoIni = 30/2, NSaltos = floor(235/11 + 0.5) + 1.
  std::vector<std::pair<float, float>> p;
  for (int i = 0; i < 26; ++i) p.push_back({10.0f * i, 0.0f});
  OpcionesKriging op;
  DataDistances dist;
  ASSERT_TRUE(OpcionesPorDefecto(Points(p), 1, 2, op, &dist).ok);
  EXPECT_EQ(op.NApor, 30);
  EXPECT_EQ(op.Modelo, 1);
  EXPECT_DOUBLE_EQ(dist.shortest[29], 20.0);
  EXPECT_FLOAT_EQ(dist.largest, 250.0f);
  EXPECT_FLOAT_EQ(op.RSalto, 11.0f);
  EXPECT_FLOAT_EQ(op.SaltoIni, 15.0f);
  EXPECT_EQ(op.NSaltos, 22);
  EXPECT_EQ(op.NAjus, 11);
  EXPECT_EQ(op.Media, 0);
  EXPECT_EQ(op.Estimador, 1);
  EXPECT_EQ(op.LongVar, 0);
  EXPECT_EQ(op.NMinAjus, 15);
  EXPECT_EQ(op.VerSupPred, 1);
  EXPECT_EQ(op.VerSupVar, 0);
  EXPECT_EQ(op.VerEstimadores, 0);
  EXPECT_EQ(op.VerAjuste, 1);
  EXPECT_FALSE(op.profile.attached());
  // Grid of 50 x 50 half a spacing beyond the data: 250/48 in X, 0 in Y.
  EXPECT_EQ(op.NRx, 50);
  EXPECT_FLOAT_EQ(op.LRx, 250.0f / 48);
  EXPECT_FLOAT_EQ(op.MinRx, -125.0f / 48);
  EXPECT_FLOAT_EQ(op.LRy, 0.0f);

  // Drop one point: 25 data take the 20th distance, which equals the first.
  p.pop_back();
  ASSERT_TRUE(OpcionesPorDefecto(Points(p), 1, 2, op).ok);
  EXPECT_EQ(op.NApor, 20);
  EXPECT_EQ(op.Modelo, 3);
  EXPECT_FLOAT_EQ(op.RSalto, 10.0f);
  EXPECT_FLOAT_EQ(op.SaltoIni, 10.0f);
  EXPECT_EQ(op.NSaltos, 24);  // floor(230/10 + 0.5) + 1
  EXPECT_EQ(op.NAjus, 12);
}

TEST(OpcionesPorDefecto, FitLagsRoundHalfToEvenWithAMinimumOfThree) {
  // Ladder 10 x 2: 28 pairs at 10 (>= 20), largest sqrt(90² + 10²):
  // NSaltos = floor(8.055 + 0.5) + 1 = 9, NAjus = 4.5 -> 4.
  OpcionesKriging op;
  ASSERT_TRUE(OpcionesPorDefecto(Staircase(10, 2), 1, 2, op).ok);
  EXPECT_FLOAT_EQ(op.RSalto, 10.0f);
  EXPECT_EQ(op.NSaltos, 9);
  EXPECT_EQ(op.NAjus, 4);
  // Ladder 6 x 3: 27 pairs at 10, largest sqrt(50² + 20²): NSaltos 5,
  // 2.5 -> 2, raised to 3.
  ASSERT_TRUE(OpcionesPorDefecto(Staircase(6, 3), 1, 2, op).ok);
  EXPECT_EQ(op.NSaltos, 5);
  EXPECT_EQ(op.NAjus, 3);
  EXPECT_FLOAT_EQ(op.LRy, 20.0f / 48);
}

TEST(OpcionesPorDefecto, LagCountIsCappedAtOneHundred) {
  // 25 pairs at 10 and 5 at 20 among the 30 shortest: p = 1, width 11 from
  // 15. 136 classes would reach 1500; the 100 kept reach 15 + 99.5 * 11 =
  // 1109.5, beyond half of it, so the classes stay as the rule gives them.
  std::vector<std::pair<float, float>> p;
  for (int i = 0; i < 26; ++i) p.push_back({10.0f * i, 0.0f});
  p.push_back({1500.0f, 0.0f});
  OpcionesKriging op;
  ASSERT_TRUE(OpcionesPorDefecto(Points(p), 1, 2, op).ok);
  EXPECT_FLOAT_EQ(op.RSalto, 11.0f);
  EXPECT_FLOAT_EQ(op.SaltoIni, 15.0f);
  EXPECT_EQ(op.NSaltos, 100);
  EXPECT_EQ(op.NAjus, 50);
}

TEST(OpcionesPorDefecto, ClassesCutShortOfHalfTheFieldAreWidened) {
  // Width 11 from 15 would need 9091 classes to reach 100000; 100 of them
  // reach 1109.5, not half of it. Widened: 99985 / 99.5 = 1004.87, rounded
  // up to two digits 1100; floor(90.9 + 0.5) + 1 = 92 classes.
  std::vector<std::pair<float, float>> p;
  for (int i = 0; i < 26; ++i) p.push_back({10.0f * i, 0.0f});
  p.push_back({100000.0f, 0.0f});
  OpcionesKriging op;
  ASSERT_TRUE(OpcionesPorDefecto(Points(p), 1, 2, op).ok);
  EXPECT_FLOAT_EQ(op.SaltoIni, 15.0f);
  EXPECT_FLOAT_EQ(op.RSalto, 1100.0f);
  EXPECT_EQ(op.NSaltos, 92);
  EXPECT_EQ(op.NAjus, 46);
}

TEST(OpcionesPorDefecto, FewerPairsThanNeededUseTheLargestKeptDistance) {
  // x = 0, 1, 3, 7, 15: ten pairs, the largest 15. p = 1,
  // RSalto = floor(14) + 1, SaltoIni = 16/2, NSaltos = floor(7/15 + 0.5) + 1.
  OpcionesKriging op;
  ASSERT_TRUE(OpcionesPorDefecto(Points({{0, 0}, {1, 0}, {3, 0}, {7, 0}, {15, 0}}), 1, 2, op).ok);
  EXPECT_FLOAT_EQ(op.RSalto, 15.0f);
  EXPECT_FLOAT_EQ(op.SaltoIni, 8.0f);
  EXPECT_EQ(op.NSaltos, 1);
  EXPECT_EQ(op.NAjus, 3);
  // Two points: the single distance gives both.
  ASSERT_TRUE(OpcionesPorDefecto(Points({{0, 0}, {3, 4}}), 1, 2, op).ok);
  EXPECT_FLOAT_EQ(op.RSalto, 5.0f);
  EXPECT_FLOAT_EQ(op.SaltoIni, 5.0f);
  EXPECT_EQ(op.NSaltos, 1);
}

TEST(OpcionesPorDefecto, CoincidentPointsNeverGiveLagsOfNoWidth) {
  // 21 points at the origin: 210 pairs at distance 0 fill the list, so the
  // shortest non-zero distance (5) stands for the first and the 20th.
  std::vector<std::pair<float, float>> p(21, {0.0f, 0.0f});
  p.push_back({5, 0});
  p.push_back({50, 0});
  OpcionesKriging op;
  ASSERT_TRUE(OpcionesPorDefecto(Points(p), 1, 2, op).ok);
  EXPECT_FLOAT_EQ(op.RSalto, 5.0f);
  EXPECT_FLOAT_EQ(op.SaltoIni, 5.0f);
  EXPECT_EQ(op.NSaltos, 10);

  OpcionesKriging before;
  before.NSaltos = 77;
  Result r = OpcionesPorDefecto(Points({{1, 1}, {1, 1}, {1, 1}}), 1, 2, before);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(before.NSaltos, 77);
  EXPECT_FALSE(OpcionesPorDefecto(Points({{1, 1}}), 1, 2, before).ok);
  EXPECT_FALSE(OpcionesPorDefecto(Points({{1, 1}, {2, 2}}), 1, 4, before).ok);
}

TEST(ComputeDistances, AgreesWithASortOfAllPairs) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 20; ++round) {
    // Small integer coordinates give many equal distances.
    std::uniform_int_distribution<int> c(0, 6);
    std::vector<std::pair<float, float>> p;
    const int n = 2 + round * 3;
    for (int i = 0; i < n; ++i) p.push_back({float(c(rng)), float(c(rng))});
    std::vector<double> all;
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) all.push_back(std::hypot(double(p[i].first - p[j].first), double(p[i].second - p[j].second)));
    std::sort(all.begin(), all.end());
    DataDistances d = ComputeDistances(Points(p), 1, 2, 30);
    const size_t k = std::min<size_t>(30, all.size());
    ASSERT_EQ(d.shortest.size(), k);
    for (size_t i = 0; i < k; ++i) EXPECT_NEAR(d.shortest[i], all[i], 1e-12);
    EXPECT_FLOAT_EQ(d.largest, float(all.back()));
  }
}

TEST(Grids, AutomaticAndProfileGrids) {
  // X from 0 to 100 with 12 nodes: spacing 10, origin -5.
  SpatialData d = Points({{0, 0}, {100, 50}, {40, 20}});
  OpcionesKriging op;
  ASSERT_TRUE(AutomaticGrid(d, 1, 2, 12, 7, op).ok);
  EXPECT_EQ(op.NRx, 12);
  EXPECT_FLOAT_EQ(op.LRx, 10.0f);
  EXPECT_FLOAT_EQ(op.MinRx, -5.0f);
  EXPECT_FLOAT_EQ(op.LRy, 10.0f);
  EXPECT_FLOAT_EQ(op.MinRy, -5.0f);
  // Two nodes would divide by zero: refused, options kept.
  Result r = AutomaticGrid(d, 1, 2, 2, 50, op);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.message.empty());
  EXPECT_EQ(op.NRx, 12);
  EXPECT_FLOAT_EQ(op.LRx, 10.0f);

  Profile profile;
  profile.npts = 4;
  profile.x = {0, 100, 100, 0};
  profile.y = {0, 0, 40, 40};
  profile.minX = 0, profile.maxX = 100, profile.minY = 0, profile.maxY = 40;
  ASSERT_TRUE(ProfileGrid(profile, 10, 4, op).ok);
  EXPECT_FLOAT_EQ(op.LRx, 10.0f);
  EXPECT_FLOAT_EQ(op.MinRx, 5.0f);
  EXPECT_FLOAT_EQ(op.LRy, 10.0f);
  EXPECT_FLOAT_EQ(op.MinRy, 5.0f);
  EXPECT_FALSE(ProfileGrid(profile, 0, 4, op).ok);
  EXPECT_FALSE(ProfileGrid(Profile{}, 10, 4, op).ok);
}

TEST(OpcionesPorDefecto, ALargeDataSetsDistancesCanBeCancelledLeavingTheOptions) {
  // 100 x 50 points, beyond the pair-by-pair scan: the k-d tree search reports
  // at its first point (and every 8192 after), where it is stopped here.
  const SpatialData d = Staircase(100, 50);
  ASSERT_GT(d.N, kAllPairsPoints);
  OpcionesKriging op;
  op.NSaltos = 77;  // a value no automatic rule gives here
  const OpcionesKriging before = op;
  std::vector<double> parts;
  const Result r = OpcionesPorDefecto(d, 1, 2, op, nullptr, [&parts](double f) {
    parts.push_back(f);
    return false;
  });
  EXPECT_FALSE(r);
  EXPECT_EQ(r.message, kCancelledText);
  EXPECT_EQ(parts, std::vector<double>{0.0});
  EXPECT_EQ(op.NSaltos, before.NSaltos);
  EXPECT_EQ(op.RSalto, before.RSalto);
  // Let through, the same options as without a progress function.
  OpcionesKriging sin, con;
  ASSERT_TRUE(OpcionesPorDefecto(d, 1, 2, sin));
  ASSERT_TRUE(OpcionesPorDefecto(d, 1, 2, con, nullptr, [](double) { return true; }));
  EXPECT_EQ(con.RSalto, sin.RSalto);
  EXPECT_EQ(con.SaltoIni, sin.SaltoIni);
  EXPECT_EQ(con.NSaltos, sin.NSaltos);
}

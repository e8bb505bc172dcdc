// Lag classes: hand-worked cases, recounts of every pair in double precision,
// and the meuse classes against an independent package's table.
#include "lag_classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "meuse_data.h"

namespace kriging {
namespace {

// Classical and robust values of the pairs whose distance lies in [lo, hi),
// recomputed in double precision.
struct Recount {
  int count = 0;
  double classical = 0, robust = 0, meanDistance = 0;
};
Recount CountPairs(const std::vector<float>& x, const std::vector<float>& y,
                   const std::vector<float>& z, double lo, double hi) {
  Recount r;
  double roots = 0;
  for (size_t i = 0; i < x.size(); ++i)
    for (size_t j = i + 1; j < x.size(); ++j) {
      const double d = std::hypot(double(x[i]) - x[j], double(y[i]) - y[j]);
      if (d < lo || d >= hi) continue;
      const double dz = double(z[i]) - z[j];
      ++r.count;
      r.classical += 0.5 * dz * dz;
      roots += std::sqrt(std::abs(dz));
      r.meanDistance += d;
    }
  if (r.count == 0) return r;
  const double n = r.count, mean_root = roots / n;
  r.classical /= n;
  r.robust = 0.5 * std::pow(mean_root, 4) / (0.457 + 0.494 / n);
  r.meanDistance /= n;
  return r;
}

struct Classes {
  float classical[kMaxLagClasses] = {}, robust[kMaxLagClasses] = {},
        meanDistance[kMaxLagClasses] = {}, bounds[kMaxLagClasses + 1] = {};
  std::int32_t count[kMaxLagClasses] = {};
  std::int32_t lagCount = 0, maxClassIndex = 0;
};

Classes Regular(const std::vector<float>& x, const std::vector<float>& y,
                const std::vector<float>& z, float firstLag, float& lagWidth, int lagCount) {
  Classes c;
  c.lagCount = lagCount;
  AccumulateRegularLags(int(x.size()), z.data(), x.data(), y.data(), firstLag, lagWidth, lagCount,
                        0, -1, -1, c.classical, c.robust, c.meanDistance, c.count,
                        c.maxClassIndex);
  RegularLagBounds(firstLag, lagWidth, lagCount, c.bounds);
  return c;
}

TEST(RegularLags, ZeroWidthBecomesTwiceTheFirstLag) {
  // Points on a line: distances 5, 20, 25, 50, 45, 30, 95, 75, 70, 0 (a
  // duplicate of the first point), ...
  const std::vector<float> x = {0, 5, 25, 50, 100, 0}, y(6, 0.0f), z = {1, 2, 4, 3, 9, 1.5f};
  float width = 0;
  const Classes c = Regular(x, y, z, 10, width, 3);
  EXPECT_EQ(width, 20.0f);
  EXPECT_EQ(c.bounds[0], 0.0f);
  EXPECT_EQ(c.bounds[1], 20.0f);
  EXPECT_EQ(c.bounds[2], 40.0f);
  EXPECT_EQ(c.bounds[3], 60.0f);
  for (int k = 0; k < 3; ++k) {
    const Recount r = CountPairs(x, y, z, 20.0 * k, 20.0 * (k + 1));
    EXPECT_EQ(c.count[k], r.count) << "class " << k + 1;
    EXPECT_NEAR(c.classical[k], r.classical, 1e-6 * r.classical);
    EXPECT_NEAR(c.robust[k], r.robust, 1e-6 * r.robust);
    EXPECT_NEAR(c.meanDistance[k], r.meanDistance, 1e-6 * r.meanDistance);
  }
  // The farthest pair (100 m) would be class trunc((100 - 10) / 20 + 0.5) + 1 = 6.
  EXPECT_EQ(c.maxClassIndex, 6);
}

TEST(RegularLags, DuplicatePointsFallInTheFirstClassWithZeroDifference) {
  const std::vector<float> x = {3, 3}, y = {4, 4}, z = {2, 2};
  float width = 10;
  const Classes c = Regular(x, y, z, 50, width, 2);
  EXPECT_EQ(c.count[0], 1);
  EXPECT_EQ(c.classical[0], 0.0f);
  EXPECT_EQ(c.robust[0], 0.0f);
  EXPECT_EQ(c.count[1], 0);
}

TEST(RegularLags, OnePairRobustValue) {
  const std::vector<float> x = {0, 3}, y = {0, 4}, z = {1, 3.5f};
  float width = 10;
  const Classes c = Regular(x, y, z, 5, width, 1);
  ASSERT_EQ(c.count[0], 1);
  EXPECT_FLOAT_EQ(c.robust[0], 0.5f * 2.5f * 2.5f / 0.951f);
  EXPECT_FLOAT_EQ(c.classical[0], 0.5f * 2.5f * 2.5f);
  EXPECT_FLOAT_EQ(c.meanDistance[0], 5.0f);
}

TEST(RegularLags, DirectionFilterKeepsPairsAlongTheAngle) {
  // A pair along x and one along y; 0 degrees with 10 degrees tolerance keeps
  // only the first, 90 degrees only the second.
  const std::vector<float> x = {0, 10, 0}, y = {0, 0, 10}, z = {0, 1, 3};
  for (float angle : {0.0f, 90.0f}) {
    Classes c;
    float width = 10;
    AccumulateRegularLags(3, z.data(), x.data(), y.data(), 10, width, 1, angle, 10, -1,
                          c.classical, c.robust, c.meanDistance, c.count, c.maxClassIndex);
    ASSERT_EQ(c.count[0], 1) << angle;
    EXPECT_FLOAT_EQ(c.classical[0], angle == 0 ? 0.5f : 4.5f);
  }
}

TEST(RegularLags, MeuseLogZincMatchesTheReferenceTable) {
  const testing::MeuseData data = testing::ReadMeuse();
  ASSERT_EQ(data.x.size(), 155u);
  // Reference classes [(k-1) w, k w): centred on w (k - 1/2), so firstLag = w / 2.
  const double w = 159.662262;
  float width = float(w);
  const Classes c = Regular(data.x, data.y, data.logZinc, float(w / 2), width, 15);
  const struct { int pairs; double distance, classical, robust; } reference[15] = {
      {195, 119.987811, 0.1581807, 0.1179286},   {580, 245.131094, 0.2891516, 0.2487958},
      {739, 402.853047, 0.4193364, 0.4102107},   {798, 559.329534, 0.5425174, 0.5646251},
      {873, 719.885336, 0.5763432, 0.6222704},   {854, 878.695953, 0.6481780, 0.6741362},
      {797, 1036.854542, 0.6894742, 0.7687561},  {723, 1195.384562, 0.6442053, 0.6770204},
      {669, 1355.122717, 0.6254373, 0.6860329},  {655, 1513.679656, 0.5704038, 0.6129224},
      {629, 1676.242887, 0.5554510, 0.6179474},  {576, 1834.607778, 0.5126042, 0.5194187},
      {512, 1992.134638, 0.5091961, 0.5525317},  {465, 2155.385200, 0.5330224, 0.5819159},
      {411, 2315.330255, 0.5446255, 0.5872318}};
  for (int k = 0; k < 15; ++k) {
    EXPECT_EQ(c.count[k], reference[k].pairs) << "class " << k + 1;
    EXPECT_NEAR(c.meanDistance[k], reference[k].distance, 1e-4 * reference[k].distance);
    EXPECT_NEAR(c.classical[k], reference[k].classical, 1e-4 * reference[k].classical);
    EXPECT_NEAR(c.robust[k], reference[k].robust, 1e-4 * reference[k].robust);
  }
  EXPECT_NEAR(c.bounds[0], 0.0, 1e-3);
  EXPECT_NEAR(c.bounds[15], 15 * w, 1e-3);
}

struct Chosen {
  float firstLag = -1, lagWidth = -1;
  std::int32_t lagCount = -1, pairsPerClass;
};
Chosen Choose(const std::vector<float>& x, const std::vector<float>& y, int pairsPerClass) {
  Chosen c;
  c.pairsPerClass = pairsPerClass;
  ChooseLagParameters(int(x.size()), nullptr, x.data(), y.data(), c.firstLag, c.lagWidth,
                      c.lagCount, c.pairsPerClass);
  return c;
}

TEST(ChooseLagParameters, HandWorkedRounding) {
  const std::vector<float> y(4, 0.0f);
  // Distances 120, 165, 285, ...; K = 3: d1 = 120, dK = 285, p = 10; width
  // (trunc(16.5) + 1) 10 = 170; first nint(40.5) 10 / 2 = 205 (half away from
  // zero); count trunc((1300 - 205) / 170 + 0.5) + 1 = 7.
  Chosen c = Choose({0, 120, 285, 1300}, y, 3);
  EXPECT_FLOAT_EQ(c.lagWidth, 170);
  EXPECT_FLOAT_EQ(c.firstLag, 205);
  EXPECT_EQ(c.lagCount, 7);
  EXPECT_EQ(c.pairsPerClass, 3);
  // Distances 12, 15, 27: p = 1; width 16, first 19.5, count trunc(7.41) + 1 = 8.
  c = Choose({0, 12, 27, 130}, y, 3);
  EXPECT_FLOAT_EQ(c.lagWidth, 16);
  EXPECT_FLOAT_EQ(c.firstLag, 19.5f);
  EXPECT_EQ(c.lagCount, 8);
}

TEST(ChooseLagParameters, TwentyPairsBelowTwentySixPointsElseThirty) {
  // Points 1 apart on a line: n - 1 pairs at distance 1, n - 2 at distance 2.
  std::vector<float> x(25), y(25, 0.0f);
  for (int i = 0; i < 25; ++i) x[i] = float(i);
  Chosen c = Choose(x, y, -1);
  EXPECT_EQ(c.pairsPerClass, 20);
  EXPECT_EQ(c.firstLag, 1.0f);  // the 20 shortest are all 1
  EXPECT_EQ(c.lagWidth, 1.0f);
  EXPECT_EQ(c.lagCount, 24);
  x.push_back(25), y.push_back(0);
  c = Choose(x, y, 0);
  EXPECT_EQ(c.pairsPerClass, 30);  // the 30th shortest is 2
  EXPECT_FLOAT_EQ(c.lagWidth, 2);
  EXPECT_FLOAT_EQ(c.firstLag, 1.5f);
  EXPECT_EQ(c.lagCount, 13);
}

TEST(ChooseLagParameters, FewerPairsThanKUseTheLongestKept) {
  // Three pairs (10, 30, 20) for K = 20: dK is taken as 30.
  const Chosen c = Choose({0, 10, 30}, {0, 0, 0}, -1);
  EXPECT_FLOAT_EQ(c.lagWidth, 21);
  EXPECT_FLOAT_EQ(c.firstLag, 20);
  EXPECT_EQ(c.lagCount, 1);
  const Chosen none = Choose({5}, {5}, -1);
  EXPECT_EQ(none.lagCount, 1);
}

TEST(ChooseLagParameters, ClassCountStaysWithinTheTable) {
  // 2000 m long line with one close pair: far more than 100 classes of 1 m.
  std::vector<float> x = {0, 1}, y = {0, 0};
  for (int i = 1; i <= 30; ++i) x.push_back(2000.0f * i), y.push_back(0);
  const Chosen c = Choose(x, y, 1);
  // 1 m classes would need 60000; widened instead: the longest distance
  // 59999 m beyond the first lag needs a width above 59999 / 99.5 = 603.0,
  // rounded up to two digits 610, so trunc(59999 / 610 + 0.5) + 1 = 99
  // classes reach it.
  EXPECT_FLOAT_EQ(c.firstLag, 1);
  EXPECT_FLOAT_EQ(c.lagWidth, 610);
  EXPECT_EQ(c.lagCount, 99);
}

TEST(ChooseLagParameters, ClusteredDataClassesReachTheLongestDistance) {
  // 30 clusters of 6 points a few metres apart over a 5.6 km field: the
  // shortest distances are metres, the field thousands of them.
  std::vector<float> x, y, z;
  for (int c = 0; c < 30; ++c)
    for (int k = 0; k < 6; ++k) {
      x.push_back(5600.0f * std::fmod(0.618034f * c, 1.0f) + 1.5f * k);
      y.push_back(3000.0f * std::fmod(0.754878f * c + 0.2f, 1.0f) + 0.7f * (k % 3));
      z.push_back(std::sin(0.3f * c) + 0.1f * k);
    }
  Chosen chosen = Choose(x, y, -1);
  ASSERT_LE(chosen.lagCount, kMaxLagClasses);
  float longest = 0;
  for (size_t i = 0; i < x.size(); ++i)
    for (size_t j = i + 1; j < x.size(); ++j)
      longest = std::max(longest, float(std::hypot(double(x[i]) - x[j], double(y[i]) - y[j])));
  // Every pair falls in one of the classes, and the classes are not wider
  // than two significant digits require.
  float width = chosen.lagWidth;
  const Classes c = Regular(x, y, z, chosen.firstLag, width, chosen.lagCount);
  EXPECT_LE(c.maxClassIndex, chosen.lagCount);
  EXPECT_GE(c.bounds[chosen.lagCount], longest);
  const float least = (longest - chosen.firstLag) / 99.5f;
  EXPECT_GE(chosen.lagWidth, least);
  EXPECT_LE(chosen.lagWidth, least * 1.1f);
  int pairs = 0;
  for (int k = 0; k < chosen.lagCount; ++k) pairs += c.count[k];
  EXPECT_EQ(pairs, 180 * 179 / 2);
}

TEST(ChooseLagParameters, SameChoiceInAnyPointOrder) {
  // Near ties at the K-th shortest and at the longest distance (a lattice
  // whose spacing floats cannot hold exactly, clusters with duplicates): the
  // pairs whose lengths are worked out depend on the order in which they
  // come, the choice must not.
  std::vector<float> x, y;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j) x.push_back(1000.0f + 0.1f * i), y.push_back(2000.0f + 0.1f * j);
  for (int c = 0; c < 20; ++c)
    for (int k = 0; k < 4; ++k) {
      x.push_back(1000.0f + 0.37f * c + (k == 3 ? 0.0f : 0.01f * k));
      y.push_back(2000.5f + 0.11f * (c % 5) + (k == 3 ? 0.0f : 0.01f * k));
    }
  const Chosen first = Choose(x, y, -1);
  std::mt19937 generator(7);
  std::vector<int> order(x.size());
  for (int trial = 0; trial < 4; ++trial) {
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    if (trial == 0)
      std::reverse(order.begin(), order.end());
    else
      std::shuffle(order.begin(), order.end(), generator);
    std::vector<float> px, py;
    for (int i : order) px.push_back(x[i]), py.push_back(y[i]);
    const Chosen c = Choose(px, py, -1);
    EXPECT_EQ(c.firstLag, first.firstLag) << trial;
    EXPECT_EQ(c.lagWidth, first.lagWidth) << trial;
    EXPECT_EQ(c.lagCount, first.lagCount) << trial;
  }
}

struct Variable {
  float classical[kMaxLagClasses], robust[kMaxLagClasses], meanDistance[kMaxLagClasses],
      bounds[kMaxLagClasses + 1];
  std::int32_t count[kMaxLagClasses], lagCount = 0, pairsPerClass;
};
Variable VariableLags(const std::vector<float>& x, const std::vector<float>& y,
                      const std::vector<float>& z, int pairsPerClass, int maxClasses = 100) {
  Variable v;
  v.pairsPerClass = pairsPerClass;
  EstimateVariableLags(int(x.size()), z.data(), x.data(), y.data(), v.pairsPerClass, v.bounds,
                       maxClasses, 0, -1, -1, v.classical, v.robust, v.meanDistance, v.count,
                       v.lagCount);
  return v;
}

TEST(VariableLags, HandWorkedCells) {
  // Distances 1, 3, 7, 2, 6, 4; D = 7, 6 pairs: cells of width 2, four cells
  // holding 1, 2, 1, 2 pairs. K = 2 closes a class after cells 1-2 and 3-4.
  const std::vector<float> x = {0, 1, 3, 7}, y(4, 0.0f), z = {0, 1, 3, 7};
  Variable v = VariableLags(x, y, z, 2);
  ASSERT_EQ(v.lagCount, 2);
  EXPECT_EQ(v.count[0], 3);
  EXPECT_EQ(v.count[1], 3);
  EXPECT_FLOAT_EQ(v.bounds[0], 0);
  EXPECT_FLOAT_EQ(v.bounds[1], 4);
  EXPECT_FLOAT_EQ(v.bounds[2], 8);
  EXPECT_FLOAT_EQ(v.meanDistance[0], 2);
  EXPECT_FLOAT_EQ(v.meanDistance[1], 17.0f / 3);
  EXPECT_FLOAT_EQ(v.classical[0], 14.0f / 6);
  EXPECT_FLOAT_EQ(v.classical[1], 101.0f / 6);
  // K = 4: the second class (2 pairs) is short and joins the first.
  v = VariableLags(x, y, z, 4);
  ASSERT_EQ(v.lagCount, 1);
  EXPECT_EQ(v.count[0], 6);
  EXPECT_FLOAT_EQ(v.classical[0], 115.0f / 12);
  EXPECT_FLOAT_EQ(v.meanDistance[0], 23.0f / 6);
  EXPECT_FLOAT_EQ(v.bounds[1], 8);
}

TEST(VariableLags, EveryClassHoldsAtLeastKPairsAndAllPairsAreCounted) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(0, 1000), value(0, 5);
  std::vector<float> x(60), y(60), z(60);
  for (int i = 0; i < 60; ++i) x[i] = coordinate(random), y[i] = coordinate(random),
                               z[i] = value(random);
  const Variable v = VariableLags(x, y, z, -1);
  EXPECT_EQ(v.pairsPerClass, 30);
  ASSERT_GT(v.lagCount, 10);
  int total = 0;
  for (int k = 0; k < v.lagCount; ++k) {
    EXPECT_GE(v.count[k], 30) << "class " << k + 1;
    EXPECT_LT(v.bounds[k], v.bounds[k + 1]);
    total += v.count[k];
    // Each class holds exactly the pairs between its limits.
    const Recount r = CountPairs(x, y, z, v.bounds[k], v.bounds[k + 1]);
    EXPECT_EQ(v.count[k], r.count) << "class " << k + 1;
    EXPECT_NEAR(v.classical[k], r.classical, 1e-5 * r.classical);
    EXPECT_NEAR(v.meanDistance[k], r.meanDistance, 1e-5 * r.meanDistance);
    // A merged last class averages the two robust values by their counts.
    if (k + 1 < v.lagCount) {
      EXPECT_NEAR(v.robust[k], r.robust, 1e-5 * r.robust);
    }
  }
  EXPECT_EQ(total, 60 * 59 / 2);
}

TEST(VariableLags, CoincidentPointsAndClassLimit) {
  // All points at one place: one class of distance 0, no division by zero.
  const std::vector<float> x(5, 3.0f), y(5, 4.0f), z = {1, 2, 3, 4, 5};
  Variable v = VariableLags(x, y, z, 2);
  ASSERT_EQ(v.lagCount, 1);
  EXPECT_EQ(v.count[0], 10);
  // The class limit stops the building; outputs beyond it are untouched zeros.
  std::vector<float> lx(40), ly(40, 0.0f), lz(40, 0.0f);
  for (int i = 0; i < 40; ++i) lx[i] = float(i * i);
  v = VariableLags(lx, ly, lz, 1, 3);
  EXPECT_EQ(v.lagCount, 3);
}

}  // namespace
}  // namespace kriging

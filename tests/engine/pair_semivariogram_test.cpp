// Tree-limited pair counting against every pair written out in double: the
// same class counts and estimators, with and without a pair distance limit
// and on a seeded subsample; the subsample itself is reproducible.
#include "pair_semivariogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

namespace kriging {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Data {
  std::vector<double> x, y, z;
};

Data Field(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 500);
  std::normal_distribution<double> noise(0, 1);
  Data d;
  for (int i = 0; i < n; ++i) {
    const double x = u(rng), y = u(rng);
    d.x.push_back(x), d.y.push_back(y);
    d.z.push_back(std::sin(x / 40) + std::cos(y / 70) + 0.2 * noise(rng));
  }
  return d;
}

// Every pair i < j of the listed points, classes by the regular-class rule.
struct Reference {
  std::vector<long long> count;
  std::vector<double> classical, robust, meanDistance;
};

Reference AllPairs(const Data& d, const std::vector<int>& points, double firstLag, double width,
                   int classes, double maxDistance) {
  Reference r;
  r.count.assign(classes, 0);
  std::vector<double> half(classes, 0), roots(classes, 0), dist(classes, 0);
  for (std::size_t a = 0; a < points.size(); ++a)
    for (std::size_t b = a + 1; b < points.size(); ++b) {
      const int i = points[a], j = points[b];
      const double h = std::hypot(d.x[i] - d.x[j], d.y[i] - d.y[j]);
      if (h > maxDistance) continue;
      // Class k (1-based) spans firstLag + (k - 1.5) w .. firstLag + (k - 0.5) w; the
      // first also takes every shorter distance.
      int k = 1;
      while (h >= firstLag + (k - 0.5) * width) ++k;
      if (k > classes) continue;
      const double dz = d.z[i] - d.z[j];
      r.count[k - 1] += 1, half[k - 1] += 0.5 * dz * dz, roots[k - 1] += std::sqrt(std::fabs(dz));
      dist[k - 1] += h;
    }
  for (int k = 0; k < classes; ++k) {
    const double n = static_cast<double>(r.count[k]);
    r.classical.push_back(n > 0 ? half[k] / n : 0);
    r.robust.push_back(n > 0 ? 0.5 * std::pow(roots[k] / n, 4) / (0.457 + 0.494 / n) : 0);
    r.meanDistance.push_back(n > 0 ? dist[k] / n : 0);
  }
  return r;
}

void ExpectAgree(const PairSemivariogram& got, const Reference& want) {
  long long pairs = 0;
  for (std::size_t k = 0; k < want.count.size(); ++k) {
    pairs += want.count[k];
    EXPECT_EQ(got.count[k], want.count[k]) << "class " << k + 1;
    EXPECT_NEAR(got.classical[k], want.classical[k], 1e-6 * want.classical[k] + 1e-12) << k + 1;
    EXPECT_NEAR(got.robust[k], want.robust[k], 1e-6 * want.robust[k] + 1e-12) << k + 1;
    EXPECT_NEAR(got.meanDistance[k], want.meanDistance[k], 1e-6 * want.meanDistance[k]) << k + 1;
  }
  EXPECT_EQ(got.pairs, pairs);
}

std::vector<int> AllIndices(int n) {
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = i;
  return v;
}

// Classes reaching a third of the 500 x 500 square's diagonal (pairs found
// with the k-d tree), over half of it, and beyond all of it (every later
// point visited in turn).
class PairSemivariogramClasses : public ::testing::TestWithParam<int> {};

TEST_P(PairSemivariogramClasses, EqualsEveryPairWithinTheClasses) {
  const int classes = GetParam();
  const Data d = Field(1500, 1);
  PairSemivariogramOptions o;
  o.firstLag = 10, o.lagWidth = 20, o.lagCount = classes;
  const PairSemivariogram got = EstimatePairSemivariogram(1500, d.x.data(), d.y.data(), d.z.data(), o);
  EXPECT_EQ(got.pointsUsed, 1500);
  ExpectAgree(got, AllPairs(d, AllIndices(1500), 10, 20, classes, kInf));
}

INSTANTIATE_TEST_SUITE_P(Reach, PairSemivariogramClasses, ::testing::Values(12, 20, 40));

TEST(PairSemivariogram, PairsBeyondTheNeighbourhoodDistanceAreLeftOut) {
  const Data d = Field(1200, 2);
  PairSemivariogramOptions o;
  o.firstLag = 5, o.lagWidth = 10, o.lagCount = 30;
  o.maxPairDistance = 77.5;  // inside class 8
  const PairSemivariogram got = EstimatePairSemivariogram(1200, d.x.data(), d.y.data(), d.z.data(), o);
  const Reference want = AllPairs(d, AllIndices(1200), 5, 10, 30, 77.5);
  ExpectAgree(got, want);
  EXPECT_GT(got.count[7], 0);
  EXPECT_EQ(got.count[8], 0);
}

TEST(PairSemivariogram, SubsampleIsSeededAndEstimatedOnItsOwnPoints) {
  const Data d = Field(5000, 3);
  PairSemivariogramOptions o;
  o.firstLag = 10, o.lagWidth = 20, o.lagCount = 10;
  o.sampleSize = 700, o.seed = 42;
  const PairSemivariogram got = EstimatePairSemivariogram(5000, d.x.data(), d.y.data(), d.z.data(), o);
  EXPECT_EQ(got.pointsUsed, 700);
  const std::vector<int> sample = SubsampleIndices(5000, 700, 42);
  ASSERT_EQ(sample.size(), 700u);
  EXPECT_EQ(std::set<int>(sample.begin(), sample.end()).size(), 700u);  // without replacement
  for (int i : sample) EXPECT_TRUE(i >= 0 && i < 5000);
  ExpectAgree(got, AllPairs(d, sample, 10, 20, 10, kInf));
  EXPECT_EQ(SubsampleIndices(5000, 700, 42), sample);
  EXPECT_NE(SubsampleIndices(5000, 700, 43), sample);
  EXPECT_EQ(SubsampleIndices(30, 0, 42).size(), 30u);
  EXPECT_EQ(SubsampleIndices(30, 50, 42).size(), 30u);
}

TEST(PairSemivariogram, LogLineStatesSizePopulationAndSeed) {
  EXPECT_EQ(SubsampleLogLine(20000, 1000000, 7),
            "    Submuestra aleatoria para el semivariograma: 20000 de 1000000 datos (semilla 7)");
}

TEST(PairSemivariogram, RejectsBadClassesAndSamples) {
  PairSemivariogramOptions o;
  o.firstLag = 1, o.lagWidth = 2, o.lagCount = 5;
  EXPECT_EQ(CheckPairSemivariogram(10, o), "");
  o.lagWidth = 0;
  EXPECT_NE(CheckPairSemivariogram(10, o).find("mayor que 0"), std::string::npos);
  o.lagWidth = 2, o.lagCount = 0;
  EXPECT_NE(CheckPairSemivariogram(10, o).find("saltos (0)"), std::string::npos);
  o.lagCount = 5, o.maxPairDistance = -1;
  EXPECT_NE(CheckPairSemivariogram(10, o).find("distancia máxima"), std::string::npos);
  o.maxPairDistance = kInf, o.sampleSize = -4;
  EXPECT_NE(CheckPairSemivariogram(10, o).find("(-4)"), std::string::npos);
  o.sampleSize = 0;
  EXPECT_NE(CheckPairSemivariogram(1, o).find("al menos 2"), std::string::npos);
}

}  // namespace
}  // namespace kriging

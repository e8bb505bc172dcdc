// k-d tree and cell grid searches against a brute-force scan of every point,
// on spread, clustered and duplicated points: the same neighbours in the same
// order (squared distance, then index), with and without a distance limit and
// a pruning bound, and by quadrant.
#include "kd_tree.h"
#include "point_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace kriging {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Points {
  std::vector<double> x, y;
  int size() const { return static_cast<int>(x.size()); }
};

enum class Layout { kUniform, kClustered, kDuplicates, kOnALine };

Points MakePoints(Layout layout, int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1000);
  std::normal_distribution<double> g(0, 5);
  Points p;
  for (int i = 0; i < n; ++i) {
    double x = u(rng), y = u(rng);
    switch (layout) {
      case Layout::kUniform: break;
      case Layout::kClustered: {  // a few tight clusters
        const int c = i % 5;
        x = 100 + 180 * c + g(rng), y = 500 + 40 * c + g(rng);
        break;
      }
      case Layout::kDuplicates:  // a grid of 10 x 10 places, each held by many points
        x = 100 * std::floor(x / 100), y = 100 * std::floor(y / 100);
        break;
      case Layout::kOnALine: y = 7; break;
    }
    p.x.push_back(x), p.y.push_back(y);
  }
  return p;
}

// Brute force: every point, sorted in the neighbour order.
std::vector<Neighbour> AllByDistance(const Points& p, double x0, double y0, double max2) {
  std::vector<Neighbour> all;
  for (int i = 0; i < p.size(); ++i) {
    const double dx = p.x[i] - x0, dy = p.y[i] - y0;
    const double d2 = dx * dx + dy * dy;
    if (d2 <= max2) all.push_back({d2, i});
  }
  std::sort(all.begin(), all.end(), NearerThan);
  return all;
}

void ExpectSame(const std::vector<Neighbour>& want, const Neighbour* got, int count,
                const std::string& where) {
  ASSERT_EQ(count, static_cast<int>(want.size())) << where;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(got[i].index, want[i].index) << where << " position " << i;
    EXPECT_EQ(got[i].distance2, want[i].distance2) << where << " position " << i;
  }
}

struct Case {
  Layout layout;
  int n;
  const char* name;
};

class KdTreeSearch : public ::testing::TestWithParam<Case> {};

// The k-d tree and the cell grid (with no bound, with bounds from k known
// points and exactly the k-th distance, and by index). One cell scratch for
// every query and k: the guess a search leaves for the next one holds k
// points or falls short, in turn.
TEST_P(KdTreeSearch, NearestMatchesBruteForce) {
  const Case c = GetParam();
  const Points p = MakePoints(c.layout, c.n, 11);
  const KdTree tree(p.size(), p.x.data(), p.y.data());
  const PointGrid cells(p.size(), p.x.data(), p.y.data());
  KdSearchScratch scratch(64);
  PointGridScratch cellScratch;  // empty: the search grows it
  std::vector<Neighbour> out(64);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-300, 1300);
  for (int q = 0; q < 200; ++q) {
    // Query points anywhere, and some exactly on data points.
    const double x0 = q % 4 == 0 ? p.x[q % c.n] : u(rng);
    const double y0 = q % 4 == 0 ? p.y[q % c.n] : u(rng);
    for (int k : {1, 5, 32, 64}) {
      for (double maxD : {kInf, 60.0, 150.0}) {
        std::vector<Neighbour> want = AllByDistance(p, x0, y0, maxD * maxD);
        if (static_cast<int>(want.size()) > k) want.resize(static_cast<std::size_t>(k));
        const std::string where = std::string(c.name) + " query " + std::to_string(q) + " k " +
                                  std::to_string(k) + " D " + std::to_string(maxD);
        int count = tree.Nearest(x0, y0, k, maxD * maxD, scratch, out.data());
        ExpectSame(want, out.data(), count, where);
        count = cells.Nearest(x0, y0, k, maxD * maxD, cellScratch, out.data());
        ExpectSame(want, out.data(), count, where + " cells");
        if (c.n < k) continue;
        double bound2 = 0;
        for (int i = 0; i < k; ++i) {
          const int j = (q + i) % c.n;
          const double dx = p.x[j] - x0, dy = p.y[j] - y0;
          bound2 = std::max(bound2, dx * dx + dy * dy);
        }
        const std::vector<Neighbour> all = AllByDistance(p, x0, y0, kInf);
        for (double b : {bound2, all[static_cast<std::size_t>(k - 1)].distance2}) {
          count = cells.Nearest(x0, y0, k, maxD * maxD, cellScratch, out.data(), b);
          ExpectSame(want, out.data(), count, where + " cells bound " + std::to_string(b));
        }
        std::sort(want.begin(), want.end(),
                  [](const Neighbour& a, const Neighbour& b) { return a.index < b.index; });
        count = cells.Nearest(x0, y0, k, maxD * maxD, cellScratch, out.data(), bound2,
                              PointGrid::Order::kIndex);
        ExpectSame(want, out.data(), count, where + " cells by index");
        // By position: increasing places in the grid's storage holding the same points.
        count = cells.Nearest(x0, y0, k, maxD * maxD, cellScratch, out.data(), bound2,
                              PointGrid::Order::kStored);
        for (int i = 1; i < count; ++i)
          EXPECT_LT(out[i - 1].position, out[i].position) << where << " cells stored";
        for (int i = 0; i < count; ++i) {
          EXPECT_EQ(cells.StoredIndex()[out[i].position], out[i].index) << where;
          EXPECT_EQ(cells.StoredX()[out[i].position], p.x[out[i].index]) << where;
        }
        std::sort(out.begin(), out.begin() + count,
                  [](const Neighbour& a, const Neighbour& b) { return a.index < b.index; });
        ExpectSame(want, out.data(), count, where + " cells stored");
      }
    }
  }
}

TEST_P(KdTreeSearch, PruningBoundFromKnownPointsChangesNothing) {
  const Case c = GetParam();
  const Points p = MakePoints(c.layout, c.n, 12);
  const KdTree tree(p.size(), p.x.data(), p.y.data());
  KdSearchScratch scratch(32);
  std::vector<Neighbour> out(32);
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(0, 1000);
  const int k = std::min(32, c.n);
  for (int q = 0; q < 200; ++q) {
    const double x0 = u(rng), y0 = u(rng);
    // The bound a caller gets from k points it already knows: the farthest of
    // the k points with indices q, q+1, ...
    double bound2 = 0;
    for (int i = 0; i < k; ++i) {
      const int j = (q + i) % c.n;
      const double dx = p.x[j] - x0, dy = p.y[j] - y0;
      bound2 = std::max(bound2, dx * dx + dy * dy);
    }
    std::vector<Neighbour> want = AllByDistance(p, x0, y0, kInf);
    want.resize(static_cast<std::size_t>(k));
    const int count = tree.Nearest(x0, y0, k, kInf, scratch, out.data(), bound2);
    ExpectSame(want, out.data(), count, std::string(c.name) + " query " + std::to_string(q));
  }
}

TEST_P(KdTreeSearch, QuadrantSearchMatchesBruteForce) {
  const Case c = GetParam();
  const Points p = MakePoints(c.layout, c.n, 13);
  const KdTree tree(p.size(), p.x.data(), p.y.data());
  KdSearchScratch scratch(8);
  std::vector<Neighbour> out(32);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-50, 1050);
  for (int q = 0; q < 200; ++q) {
    const double x0 = q % 3 == 0 ? p.x[q % c.n] : u(rng);
    const double y0 = q % 5 == 0 ? p.y[(q + 1) % c.n] : u(rng);
    for (double maxD : {kInf, 120.0}) {
      const std::vector<Neighbour> all = AllByDistance(p, x0, y0, maxD * maxD);
      std::vector<Neighbour> want;
      int taken[4] = {0, 0, 0, 0};
      for (const Neighbour& nb : all) {
        const int quadrant = KdTree::Quadrant(p.x[nb.index] - x0, p.y[nb.index] - y0);
        if (taken[quadrant] < 8) ++taken[quadrant], want.push_back(nb);
      }
      const int count = tree.NearestByQuadrant(x0, y0, 8, maxD * maxD, scratch, out.data());
      ExpectSame(want, out.data(), count, std::string(c.name) + " query " + std::to_string(q));
    }
  }
}

TEST_P(KdTreeSearch, WithinDistanceVisitsEachPointInsideOnce) {
  const Case c = GetParam();
  const Points p = MakePoints(c.layout, c.n, 14);
  const KdTree tree(p.size(), p.x.data(), p.y.data());
  std::vector<int> stack;
  for (int q = 0; q < 50; ++q) {
    const double x0 = p.x[q % c.n] + 3, y0 = p.y[q % c.n] - 2, r = 10.0 + 7 * q;
    std::vector<int> seen(static_cast<std::size_t>(c.n), 0);
    tree.WithinDistance(x0, y0, r * r, [&](int i, double) { ++seen[i]; }, stack);
    for (int i = 0; i < c.n; ++i) {
      const double dx = p.x[i] - x0, dy = p.y[i] - y0;
      EXPECT_EQ(seen[i], dx * dx + dy * dy <= r * r ? 1 : 0) << c.name << " point " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, KdTreeSearch,
                         ::testing::Values(Case{Layout::kUniform, 1, "one point"},
                                           Case{Layout::kUniform, 13, "one leaf"},
                                           Case{Layout::kUniform, 3000, "uniform"},
                                           Case{Layout::kClustered, 2000, "clustered"},
                                           Case{Layout::kDuplicates, 1500, "duplicates"},
                                           Case{Layout::kOnALine, 500, "on a line"}),
                         [](const auto& info) {
                           std::string s = info.param.name;
                           std::replace(s.begin(), s.end(), ' ', '_');
                           return s;
                         });

TEST(KdTree, EmptyTreeFindsNothing) {
  const KdTree tree(0, nullptr, nullptr);
  KdSearchScratch scratch(4);
  Neighbour out[4];
  EXPECT_EQ(tree.Nearest(0, 0, 4, kInf, scratch, out), 0);
  EXPECT_EQ(tree.NearestByQuadrant(0, 0, 1, kInf, scratch, out), 0);
}

TEST(KdTree, QuadrantOfTheAxesAndTheCentre) {
  EXPECT_EQ(KdTree::Quadrant(1, 0), 0);
  EXPECT_EQ(KdTree::Quadrant(0, 1), 1);
  EXPECT_EQ(KdTree::Quadrant(-1, 0), 2);
  EXPECT_EQ(KdTree::Quadrant(0, -1), 3);
  EXPECT_EQ(KdTree::Quadrant(0, 0), 0);
  EXPECT_EQ(KdTree::Quadrant(-1, -1), 2);
}

}  // namespace
}  // namespace kriging

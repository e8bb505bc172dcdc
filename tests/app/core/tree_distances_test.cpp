// The distances of the automatic options through the k-d tree and the convex
// hull against every pair written out: the same shortest distances (with the
// zeros of coinciding points), the same largest and shortest positive one,
// on spread, clustered, duplicated, collinear and gridded points, with
// missing coordinates left out.
#include "core/tree_distances.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace sorvan::core;

namespace sorvan {
namespace {

struct Case {
  const char* nombre;
  int n;
  int shape;  // 0 spread, 1 clusters, 2 duplicates, 3 on a line, 4 integer grid, 5 circle
};

void Generate(const Case& c, std::vector<double>& x, std::vector<double>& y) {
  std::mt19937 rng(77 + c.shape);
  std::uniform_real_distribution<double> u(0, 1000);
  std::normal_distribution<double> g(0, 3);
  for (int i = 0; i < c.n; ++i) {
    double px = u(rng), py = u(rng);
    switch (c.shape) {
      case 1: px = 200 * (i % 4) + g(rng), py = 300 + g(rng); break;
      case 2: px = 100 * std::floor(px / 100), py = 100 * std::floor(py / 250); break;
      case 3: py = 2 * px + 1; break;
      case 4: px = std::floor(px / 40), py = std::floor(py / 40); break;
      case 5: px = 500 + 400 * std::cos(0.001 * i), py = 500 + 400 * std::sin(0.001 * i); break;
    }
    if (i % 97 == 5) px = NAN;  // a missing coordinate
    x.push_back(px), y.push_back(py);
  }
}

class TreeDistancesSuite : public ::testing::TestWithParam<Case> {};

TEST_P(TreeDistancesSuite, TheSameAsAllPairs) {
  std::vector<double> x, y;
  Generate(GetParam(), x, y);
  std::vector<double> all;
  for (size_t i = 0; i < x.size(); ++i)
    for (size_t j = i + 1; j < x.size(); ++j) {
      if (std::isnan(x[i]) || std::isnan(y[i]) || std::isnan(x[j]) || std::isnan(y[j])) continue;
      const double dx = x[i] - x[j], dy = y[i] - y[j];
      all.push_back(std::sqrt(dx * dx + dy * dy));
    }
  std::sort(all.begin(), all.end());
  double positiva = 0;
  for (double d : all)
    if (d > 0) {
      positiva = d;
      break;
    }
  for (int count : {1, 30, 100}) {
    const DataDistances d = TreeDistances(int(x.size()), x.data(), y.data(), count);
    const size_t k = std::min<size_t>(size_t(count), all.size());
    ASSERT_EQ(d.shortest.size(), k) << GetParam().nombre;
    for (size_t i = 0; i < k; ++i) EXPECT_EQ(d.shortest[i], all[i]) << GetParam().nombre << " " << i;
    EXPECT_EQ(d.largest, float(all.back())) << GetParam().nombre;
    EXPECT_EQ(d.smallest, float(all.front())) << GetParam().nombre;
    EXPECT_EQ(d.smallestPositive, float(positiva)) << GetParam().nombre;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TreeDistancesSuite,
                         ::testing::Values(Case{"dispersos", 1500, 0}, Case{"grupos", 1200, 1},
                                           Case{"repetidos", 1500, 3 - 1}, Case{"en_linea", 800, 3},
                                           Case{"rejilla_entera", 1500, 4}, Case{"arco", 1000, 5},
                                           Case{"dos", 2, 0}),
                         [](const auto& info) { return std::string(info.param.nombre); });

TEST(TreeDistancesSuite, AllAtTheSamePointGiveZeros) {
  const std::vector<double> x(50, 3.0), y(50, -2.0);
  const DataDistances d = TreeDistances(50, x.data(), y.data(), 30);
  ASSERT_EQ(d.shortest.size(), 30u);
  EXPECT_EQ(d.shortest.back(), 0.0);
  EXPECT_EQ(d.largest, 0.0f);
  EXPECT_EQ(d.smallestPositive, 0.0f);
}

}  // namespace
}  // namespace sorvan

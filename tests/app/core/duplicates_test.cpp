// Coinciding points: found within a tolerance relative to the data's extent,
// named by row, and merged as the run's policy says (hand-worked cases).
#include "core/duplicates.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace sorvan::core;

namespace {

SpatialData Points(const std::vector<std::array<double, 3>>& p) {
  SpatialData d;
  d.nvar = 3;
  d.N = int(p.size());
  d.names = {"x       ", "y       ", "z       "};
  d.descriptions.assign(3, std::string(64, ' '));
  d.numbers.assign(3, 0.0f);
  std::vector<double> rows;
  for (const auto& q : p) rows.insert(rows.end(), q.begin(), q.end());
  d.fillFromRows(rows);
  return d;
}

std::vector<int> All(const SpatialData& d) { return CompleteRows(d, {1, 2, 3}); }

}  // namespace

TEST(Duplicates, GroupsAreFoundChainedAndNamedByRow) {
  // Extent 1000: the tolerance is 1e-6. Rows 1, 4 and 6 coincide (6 through
  // 4), rows 2 and 5 too; row 3 is 1e-3 away from row 2 and stays apart.
  const SpatialData d = Points({{0, 0, 1},
                                    {500, 500, 2},
                                    {500.001, 500, 3},
                                    {0, 4e-7, 5},
                                    {500, 500, 4},
                                    {0, 8e-7, 9},
                                    {1000, 1000, 7}});
  const auto g = CoincidentPoints(d, 1, 2, All(d));
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0], (std::vector<int>{0, 3, 5}));
  EXPECT_EQ(g[1], (std::vector<int>{1, 4}));
  EXPECT_EQ(DescribeGroups(g), "filas 1, 4 y 6; filas 2 y 5");
  EXPECT_EQ(DescribeGroups(g, 1), "filas 1, 4 y 6; y 1 grupos más");
}

TEST(Duplicates, PoliciesAverageKeepTheFirstOrStop) {
  const SpatialData d = Points({{0, 0, 1}, {10, 10, 2}, {0, 0, 5}, {10, 10, 4}, {5, 5, 7}});
  std::vector<double> x, y, z;
  std::string warning;
  Result r = ResolveDuplicates(d, 1, 2, 3, All(d), DuplicatePolicy::Average, x, y, z, warning);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(x, (std::vector<double>{0, 10, 5}));
  EXPECT_EQ(z, (std::vector<double>{3, 3, 7}));  // (1+5)/2, (2+4)/2
  EXPECT_NE(warning.find("Se han promediado 2 grupos"), std::string::npos) << warning;
  r = ResolveDuplicates(d, 1, 2, 3, All(d), DuplicatePolicy::First, x, y, z, warning);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(z, (std::vector<double>{1, 2, 7}));
  r = ResolveDuplicates(d, 1, 2, 3, All(d), DuplicatePolicy::Error, x, y, z, warning);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("filas 1 y 3; filas 2 y 4"), std::string::npos) << r.message;
}

TEST(Duplicates, DistinctPointsAtLargeCoordinatesStayDistinct) {
  // 0.3 m apart at a northing of 9.1e6 are two places.
  const SpatialData d = Points({{500000, 9100000.0, 1}, {500000, 9100000.3, 2}, {500100, 9100100, 3}});
  EXPECT_TRUE(CoincidentPoints(d, 1, 2, All(d)).empty());
  std::vector<double> x, y, z;
  std::string warning;
  ASSERT_TRUE(ResolveDuplicates(d, 1, 2, 3, All(d), DuplicatePolicy::Error, x, y, z, warning).ok);
  EXPECT_EQ(y[1], 9100000.3);
  EXPECT_TRUE(warning.empty());
}

TEST(Duplicates, PolicyWords) {
  DuplicatePolicy p = DuplicatePolicy::Error;
  EXPECT_TRUE(PolicyFromText("average", p));
  EXPECT_EQ(p, DuplicatePolicy::Average);
  EXPECT_TRUE(PolicyFromText("first", p));
  EXPECT_EQ(p, DuplicatePolicy::First);
  EXPECT_FALSE(PolicyFromText("mean", p));
}

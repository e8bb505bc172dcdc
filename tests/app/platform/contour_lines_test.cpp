// Level lines against surfaces whose level lines are known exactly.
#include "platform/contour_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace sorvan::platform;

namespace {

SurfaceGrid gridOf(int nx, int ny, double x0, double y0, double dx, double dy,
                   const std::function<double(double, double)>& f) {
  SurfaceGrid g;
  g.nx = nx, g.ny = ny, g.xMin = x0, g.yMin = y0, g.dx = dx, g.dy = dy;
  g.z.resize(static_cast<std::size_t>(nx * ny));
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) g.z[static_cast<std::size_t>(i + nx * j)] = static_cast<float>(f(g.x(i), g.y(j)));
  return g;
}

std::size_t pointCount(const std::vector<ContourPolyline>& lines) {
  std::size_t n = 0;
  for (const auto& l : lines) n += l.size();
  return n;
}

}  // namespace

// A tilted plane z = 2x + 3y has straight level lines; linear interpolation
// along cell edges reproduces them exactly, as one unbroken polyline.
TEST(ContourLines, PlaneGivesOneStraightLineOnTheLevel) {
  const SurfaceGrid g = gridOf(21, 17, 100.0, -50.0, 2.5, 4.0, [](double x, double y) { return 2 * x + 3 * y; });
  const double level = 2 * 120.0 + 3 * (-20.0);
  const auto lines = ContourLines(g, level);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_GE(lines[0].size(), 5u);
  for (const ContourPoint& p : lines[0]) EXPECT_NEAR(2 * p.x + 3 * p.y, level, 1e-3);
}

// A cone z = distance from (x0, y0): level r is a closed ring of radius r.
TEST(ContourLines, ConeGivesClosedCircleOfTheLevelRadius) {
  const double cx = 503.0, cy = 1207.0;
  const SurfaceGrid g = gridOf(61, 61, 470.0, 1175.0, 1.1, 1.1, [&](double x, double y) { return std::hypot(x - cx, y - cy); });
  for (double r : {7.3, 15.0, 22.5}) {
    const auto lines = ContourLines(g, r);
    ASSERT_EQ(lines.size(), 1u) << "radius " << r;
    const ContourPolyline& ring = lines[0];
    EXPECT_NEAR(ring.front().x, ring.back().x, 1e-9);
    EXPECT_NEAR(ring.front().y, ring.back().y, 1e-9);
    for (const ContourPoint& p : ring) EXPECT_NEAR(std::hypot(p.x - cx, p.y - cy), r, 0.05 * 1.1) << r;
    // The ring goes all the way round: it reaches every side of the centre.
    double left = 1e9, right = -1e9;
    for (const ContourPoint& p : ring) left = std::min(left, p.x), right = std::max(right, p.x);
    EXPECT_NEAR(left, cx - r, 0.1);
    EXPECT_NEAR(right, cx + r, 0.1);
  }
}

TEST(ContourLines, LevelOutsideTheSurfaceGivesNothing) {
  const SurfaceGrid g = gridOf(5, 5, 0, 0, 1, 1, [](double x, double y) { return x + y; });
  EXPECT_TRUE(ContourLines(g, -1.0).empty());
  EXPECT_TRUE(ContourLines(g, 100.0).empty());
}

// Cells touching a hole node are left out: a level line crossing a masked
// column is cut in two and has no point inside the hole cells.
TEST(ContourLines, HoleNodesCutTheLine) {
  SurfaceGrid g = gridOf(11, 11, 0, 0, 1, 1, [](double x, double) { return x; });
  g.z = gridOf(11, 11, 0, 0, 1, 1, [](double, double y) { return y; }).z;  // z = y: horizontal lines
  for (int j = 0; j < 11; ++j) g.z[static_cast<std::size_t>(5 + 11 * j)] = g.hole;
  const auto lines = ContourLines(g, 4.5);
  ASSERT_EQ(lines.size(), 2u);
  for (const auto& line : lines)
    for (const ContourPoint& p : line) {
      EXPECT_TRUE(p.x <= 4.0 + 1e-9 || p.x >= 6.0 - 1e-9) << p.x;
      EXPECT_NEAR(p.y, 4.5, 1e-9);
    }
  EXPECT_EQ(pointCount(lines), 10u);  // x = 0..4 and 6..10
}

// A saddle cell has four crossings; it must give two separate segments, never
// a line through the cell joining all four.
TEST(ContourLines, SaddleCellGivesTwoSegments) {
  SurfaceGrid g;
  g.nx = 2, g.ny = 2;
  g.z = {1.0f, 0.0f, 0.0f, 1.0f};  // (0,0)=1 (1,0)=0 (0,1)=0 (1,1)=1
  const auto lines = ContourLines(g, 0.5);
  ASSERT_EQ(lines.size(), 2u);
  for (const auto& l : lines) EXPECT_EQ(l.size(), 2u);
}

TEST(ContourLevels, RoundLevelsAreRoundAndInside) {
  const auto levels = RoundContourLevels(4.73, 7.52, 10);
  ASSERT_FALSE(levels.empty());
  EXPECT_GE(levels.size(), 5u);
  EXPECT_LE(levels.size(), 15u);
  for (double l : levels) {
    EXPECT_GT(l, 4.73);
    EXPECT_LT(l, 7.52);
    EXPECT_NEAR(l * 4, std::round(l * 4), 1e-9);  // steps of 0.25 or coarser
  }
  EXPECT_TRUE(RoundContourLevels(3.0, 3.0).empty());
}

TEST(ContourLevels, EvenLevelsSpanTheRange) {
  const auto levels = EvenContourLevels(0.0, 36.0, 13);
  ASSERT_EQ(levels.size(), 13u);
  EXPECT_DOUBLE_EQ(levels.front(), 0.0);
  EXPECT_DOUBLE_EQ(levels[1], 3.0);
  EXPECT_DOUBLE_EQ(levels.back(), 36.0);
  EXPECT_TRUE(EvenContourLevels(0, 1, 0).empty());
}

// A range fixed by hand is divided so that the axis ends on its limits.
TEST(FixedAxis, SegmentsFollowEvenLevelsThroughTheEnds) {
  EXPECT_EQ(FixedAxisSegments(0.0, 36.0, EvenContourLevels(0.0, 36.0, 13)), 12);  // every 3
  // Ten levels inside, as the data animation sets them: eleven steps.
  std::vector<double> inside;
  for (int i = 1; i <= 10; ++i) inside.push_back(2.0 + 5.5 * i / 11);
  EXPECT_EQ(FixedAxisSegments(2.0, 7.5, inside), 11);
  // Too many levels to mark them all: grouped by a divisor.
  EXPECT_EQ(FixedAxisSegments(0.0, 36.0, EvenContourLevels(0.0, 36.0, 37)), 12);  // every 3 of 36 steps
  EXPECT_EQ(FixedAxisSegments(0.0, 40.0, EvenContourLevels(0.0, 40.0, 41), 12), 10);
}

TEST(FixedAxis, WithoutUsableLevelsTheRoundestStep) {
  // Round levels that do not fit the ends (every 5 on 0..36) do not decide.
  EXPECT_EQ(FixedAxisSegments(0.0, 36.0, RoundContourLevels(0.0, 36.0, 10)), 6);
  EXPECT_EQ(FixedAxisSegments(0.0, 36.0, {}), 6);
  EXPECT_EQ(FixedAxisSegments(0.0, 100.0, {}), 5);                   // steps of 20
  EXPECT_EQ(FixedAxisSegments(3.2f, 7.9f, {}), 5);                    // 0.94, from single precision
  EXPECT_EQ(FixedAxisSegments(-1.0, 2.5, {}), 5);                     // 0.7
  // A prime number of steps between levels (17) falls back to the roundest step.
  EXPECT_EQ(FixedAxisSegments(0.0, 17.0, EvenContourLevels(0.0, 17.0, 18)), 5);  // 3.4
  EXPECT_EQ(FixedAxisSegments(5.0, 5.0, {}), 1);
}

TEST(FixedAxis, LabelGroupsAndDecimals) {
  EXPECT_EQ(SegmentsPerLabel(12, 8), 2);
  EXPECT_EQ(SegmentsPerLabel(6, 8), 1);
  EXPECT_EQ(SegmentsPerLabel(11, 8), 11);  // only the ends
  EXPECT_EQ(TickDecimals(0.0, 6.0), 0);
  EXPECT_EQ(TickDecimals(3.2f, 0.94), 2);
  EXPECT_EQ(TickDecimals(100.0, 0.25), 2);
}

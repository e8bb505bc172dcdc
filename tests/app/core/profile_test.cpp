// Profiles: reading ".per" files, and the node mask on hand-drawn cases and
// against an independent ray-casting point-in-polygon test.
#include "core/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

using namespace sorvan::core;

namespace {

std::string FileName(const std::string& nombre, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / ("sorvan_perfil_" + std::to_string(::getpid()) + nombre);
  std::ofstream(path) << text;
  return path.string();
}

Profile Polygon(const std::vector<std::pair<float, float>>& p) {
  Profile r;
  r.npts = int(p.size());
  for (auto [x, y] : p) {
    r.x.push_back(x);
    r.y.push_back(y);
  }
  return r;
}

// The mask of a 10 x 10 grid of unit spacing from (0, 0): node (i, j) at (i-1, j-1).
std::vector<int16_t> Mask10(const Profile& p) { return MascaraPerfil(p, 0, 0, 1, 1, 10, 10); }
int16_t En(const std::vector<int16_t>& m, int x, int y) { return m[size_t(x) + size_t(y) * 10]; }

// Crossing-number test: a ray from the point towards +x.
bool InsideByRay(const Profile& p, double px, double py) {
  bool inside = false;
  for (int k = 0; k + 1 < p.npts; ++k) {
    double x1 = p.x[k], y1 = p.y[k], x2 = p.x[k + 1], y2 = p.y[k + 1];
    if ((y1 > py) != (y2 > py) && px < x1 + (py - y1) * (x2 - x1) / (y2 - y1)) inside = !inside;
  }
  return inside;
}

}  // namespace

TEST(LeePerfil, ReadsPointsAndBoundingBox) {
  Profile p;
  p.side = 1;
  const std::string path = FileName("bien.per", "5\n1.5,2\n10 , -3\n12\n7\n\n4 9\n1.5,2\n");
  Result r = LeePerfil(path, p);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(p.npts, 5);
  EXPECT_EQ(p.file, path);
  EXPECT_EQ(p.side, 1);  // the excluded side is the dialog's, not the file's
  EXPECT_EQ(p.x, (std::vector<float>{1.5f, 10, 12, 4, 1.5f}));
  EXPECT_EQ(p.y, (std::vector<float>{2, -3, 7, 9, 2}));
  EXPECT_FLOAT_EQ(p.minX, 1.5f);
  EXPECT_FLOAT_EQ(p.maxX, 12.0f);
  EXPECT_FLOAT_EQ(p.minY, -3.0f);
  EXPECT_FLOAT_EQ(p.maxY, 9.0f);
}

TEST(LeePerfil, MalformedFilesAreReportedAndLeaveNoProfile) {
  struct Case {
    std::string text, says;
  };
  const Case cases[] = {{"5\n0,0\n1,0\n1,1\n", "X del punto 4"},
                        {"4\n0,0\n1,0\n1,uno\n0,1\n", "«uno»"},
                        {"2\n0,0\n1,1\n", "nº de puntos"},
                        {"-4\n", "nº de puntos"},
                        {"99999\n", "nº de puntos"},
                        {"3\n0,0\n1,0\n1,1\n7,7\n", "más datos"},
                        {"", "termina"},
                        {"3\n0,0\n1,0\n1,inf\n", "«inf»"}};
  for (const Case& c : cases) {
    Profile p = Polygon({{0, 0}, {1, 0}, {1, 1}});  // associated before
    const std::string path = FileName("mal.per", c.text);
    Result r = LeePerfil(path, p);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_NE(r.message.find(path), std::string::npos) << r.message;
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    EXPECT_FALSE(p.attached());
    EXPECT_TRUE(p.x.empty());
  }
  Profile p;
  EXPECT_FALSE(LeePerfil("/no/existe.per", p).ok);
}

TEST(MascaraPerfil, ClosedSquareMarksExactlyItsInterior) {
  const auto m = Mask10(Polygon({{2.5f, 2.5f}, {6.5f, 2.5f}, {6.5f, 6.5f}, {2.5f, 6.5f}, {2.5f, 2.5f}}));
  ASSERT_EQ(m.size(), 100u);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(En(m, x, y), (x >= 3 && x <= 6 && y >= 3 && y <= 6) ? 1 : 0) << x << "," << y;
}

TEST(MascaraPerfil, UnclosedSquareSwapsFromTheLoneCrossingRightwards) {
  // Without the closing left edge only the right edge crosses rows 3..6.
  const auto m = Mask10(Polygon({{2.5f, 2.5f}, {6.5f, 2.5f}, {6.5f, 6.5f}, {2.5f, 6.5f}}));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(En(m, x, y), (x >= 7 && y >= 3 && y <= 6) ? 1 : 0) << x << "," << y;
}

TEST(MascaraPerfil, HorizontalEdgeOnARowAddsNoCrossing) {
  // Triangle whose base lies on row y = 2; rows 3..7 are crossed by the sides.
  const Profile t = Polygon({{0.5f, 2}, {8.5f, 2}, {4.5f, 7.5f}, {0.5f, 2}});
  const auto m = Mask10(t);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(En(m, x, 2), 0);
  for (int y = 3; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(En(m, x, y), InsideByRay(t, x, y) ? 1 : 0) << x << "," << y;
  EXPECT_EQ(En(m, 4, 3), 1);
  EXPECT_EQ(En(m, 4, 6), 1);
  EXPECT_EQ(En(m, 4, 7), 0);  // the sides cross y = 7 at 4.14 and 4.86
  EXPECT_EQ(En(m, 4, 8), 0);
}

TEST(MascaraPerfil, EdgesBeyondTheGrid) {
  // Reaching below the first and above the top row: every row is marked.
  auto m = Mask10(Polygon({{2.5f, -5}, {6.5f, -5}, {6.5f, 100}, {2.5f, 100}, {2.5f, -5}}));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(En(m, x, y), (x >= 3 && x <= 6) ? 1 : 0);
  // Right edge past the last column, left edge before the first.
  m = Mask10(Polygon({{-50, 2.5f}, {50, 2.5f}, {50, 4.5f}, {-50, 4.5f}, {-50, 2.5f}}));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(En(m, x, y), (y == 3 || y == 4) ? 1 : 0);
  // Wholly outside the grid: nothing inside.
  m = Mask10(Polygon({{20, 20}, {30, 20}, {30, 30}, {20, 20}}));
  for (int16_t v : m) EXPECT_EQ(v, 0);
  // A degenerate grid gives no mask or an all-outside one, never a crash.
  EXPECT_TRUE(MascaraPerfil(Polygon({{0, 0}, {1, 0}, {1, 1}}), 0, 0, 1, 1, 0, 5).empty());
  for (int16_t v : MascaraPerfil(Polygon({{0, 0}, {9, 0}, {9, 9}, {0, 0}}), 0, 0, 0, NAN, 4, 4)) EXPECT_EQ(v, 0);
}

TEST(MascaraPerfil, AgreesWithRayCastingOnRandomPolygons) {
  std::mt19937 rng(2024);
  std::uniform_real_distribution<float> c(-3.0f, 23.0f);
  std::uniform_int_distribution<int> sides(3, 12);
  const double x0 = 0.25, y0 = -0.5, dx = 1.0, dy = 1.0;
  const int nx = 21, ny = 19;
  int compared = 0;
  for (int round = 0; round < 200; ++round) {
    std::vector<std::pair<float, float>> v(size_t(sides(rng)));
    for (auto& p : v) p = {c(rng), c(rng)};
    v.push_back(v.front());
    const Profile p = Polygon(v);
    const auto m = MascaraPerfil(p, x0, y0, dx, dy, nx, ny);
    for (int j = 0; j < ny; ++j) {
      const double y = y0 + j * dy;
      for (int i = 0; i < nx; ++i) {
        const double x = x0 + i * dx;
        // Nodes within the mask's tolerance of a crossing are a matter of convention.
        bool near = false;
        for (int k = 0; k + 1 < p.npts; ++k) {
          double already = p.y[k], yb = p.y[k + 1];
          if (std::min(already, yb) < y && y <= std::max(already, yb)) {
            double xc = p.x[k] + (y - already) * (p.x[k + 1] - p.x[k]) / (yb - already);
            if (std::fabs(xc - x) < 0.01) near = true;
          }
        }
        if (near) continue;
        ++compared;
        ASSERT_EQ(m[size_t(i) + size_t(j) * nx], InsideByRay(p, x, y) ? 1 : 0) << "ronda " << round << " nodo " << i << "," << j;
      }
    }
  }
  EXPECT_GT(compared, 70000);
}

// Surface file layout: header lines, 17-character value fields, wrapping at
// 100 values, the degenerate grids and the infinite range.
#include "surface_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kriging_reference.h"

namespace kriging {
namespace {

using reference::ReadLines;

std::vector<double> Numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> v;
  for (std::string word; in >> word;) v.push_back(std::strtod(word.c_str(), nullptr));
  return v;
}

struct Written {
  std::vector<std::string> pre, var;
};

Written Write(const SurfaceGrid& g, const std::vector<float>& p, const std::vector<float>& v,
              float low, float high) {
  const reference::ScratchDirectory scratch;
  EXPECT_TRUE(WriteSurfaceFiles("SKUPRE.SUP", "SKUVAR.SUP", g, p.data(), v.data(), low, high));
  return {ReadLines(scratch.path() / "SKUPRE.SUP"), ReadLines(scratch.path() / "SKUVAR.SUP")};
}

TEST(SurfaceNumber, FixedPointWhenItFitsExponentOtherwise) {
  EXPECT_EQ(FormatSurfaceNumber(6.4547720f), "         6.4548");
  EXPECT_EQ(FormatSurfaceNumber(-10000.0f), "    -10000.0000");
  EXPECT_EQ(FormatSurfaceNumber(0.0f), "         0.0000");
  EXPECT_EQ(FormatSurfaceNumber(std::numeric_limits<float>::infinity()), "            inf");
  EXPECT_EQ(FormatSurfaceNumber(-std::numeric_limits<float>::infinity()), "           -inf");
  // Values whose fixed form would overflow the field keep 15 characters and
  // their value.
  for (float big : {1.0e10f, -123456789.0f, 3.4028235e38f, -3.4028235e38f, 9999999.99f}) {
    const std::string text = FormatSurfaceNumber(big);
    EXPECT_EQ(text.size(), 15u) << text;
    EXPECT_NEAR(std::strtod(text.c_str(), nullptr), big, 1e-7 * std::fabs(big)) << text;
  }
  EXPECT_EQ(FormatSurfaceNumber(123456789.0f).size(), 15u);
  EXPECT_EQ(FormatSurfaceNumber(1234567.5f), "   1234567.5000");
}

// The fixed form rounds the exact binary value as printf does: random bit
// patterns over every magnitude that fits, decimal ties and signed zeros.
TEST(SurfaceNumber, FixedPointRoundsAsPrintfDoes) {
  std::mt19937 generator(7);
  std::vector<float> values = {0.03125f, -0.03125f, 0.00005f, -0.00005f, 1.00005f,
                               -0.0f,    -1e-6f,    2.5e-5f,  1e-45f,    99999.99995f};
  while (values.size() < 200000) {
    const std::uint32_t bits = generator();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value) && std::fabs(value) < 1e10f) values.push_back(value);
  }
  for (float value : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%15.4f", value);
    if (std::strlen(expected) > 15) continue;
    ASSERT_EQ(FormatSurfaceNumber(value), expected) << value;
  }
}

TEST(SurfaceFiles, SmallGridHasHeadersAndOneLinePerRow) {
  SurfaceGrid g;
  g.nx = 3, g.ny = 2, g.gridRows = 4;  // one spare row in the caller's arrays
  g.xMin = 178648.05f, g.yMin = 329784.31f, g.dx = 116.04167f, g.dy = 162.375f;
  g.holeValue = -10000.0f;
  // Column-major, leading dimension 4: value (i, j) = 10 i + j, spare row 99.
  std::vector<float> p = {0, 10, 20, 99, 1, 11, 21, 99};
  std::vector<float> v = {0.5f, 0.25f, -10000.0f, 99, 0.125f, 1.5f, 2.5f, 99};
  const Written w = Write(g, p, v, 0.0f, 21.0f);

  ASSERT_EQ(w.pre.size(), 6u);
  EXPECT_EQ(w.pre[0], "#           0.0000          21.0000");
  EXPECT_EQ(w.pre[0].size(), 35u);
  EXPECT_EQ(w.pre[1], " GRID 3 2");
  const std::vector<double> geometry = Numbers(w.pre[2]);
  ASSERT_EQ(geometry.size(), 5u);
  EXPECT_EQ(float(geometry[0]), -10000.0f);
  EXPECT_EQ(float(geometry[1]), g.dx);
  EXPECT_EQ(float(geometry[2]), g.dy);
  EXPECT_EQ(float(geometry[3]), g.xMin);
  EXPECT_EQ(float(geometry[4]), g.yMin);
  EXPECT_EQ(w.pre[3], "           0.0000           1.0000");
  EXPECT_EQ(w.pre[4], "          10.0000          11.0000");
  EXPECT_EQ(w.pre[5], "          20.0000          21.0000");

  ASSERT_EQ(w.var.size(), 5u);  // no range line
  EXPECT_EQ(w.var[0], " GRID 3 2");
  EXPECT_EQ(w.var[1], w.pre[2]);
  EXPECT_EQ(w.var[2], "           0.5000           0.1250");
  EXPECT_EQ(w.var[4], "      -10000.0000           2.5000");
}

TEST(SurfaceFiles, LongRowsWrapAtOneHundredValues) {
  SurfaceGrid g;
  g.nx = 2, g.ny = 250, g.gridRows = 2;
  std::vector<float> p(500), v(500, 1.0f);
  for (int j = 0; j < 250; ++j) p[0 + 2 * j] = j, p[1 + 2 * j] = 1000 + j;
  const Written w = Write(g, p, v, 0, 1249);
  ASSERT_EQ(w.pre.size(), 3u + 6u);
  const std::size_t counts[3] = {100, 100, 50};
  for (int row = 0; row < 2; ++row)
    for (int part = 0; part < 3; ++part) {
      const std::string& line = w.pre[3 + 3 * row + part];
      EXPECT_EQ(line.size(), 17 * counts[part]);
      const std::vector<double> values = Numbers(line);
      ASSERT_EQ(values.size(), counts[part]);
      EXPECT_EQ(values.front(), 1000 * row + 100 * part);
    }
  EXPECT_EQ(w.var.size(), 2u + 6u);
}

TEST(SurfaceFiles, DegenerateGridsKeepTheirHeaders) {
  SurfaceGrid g;
  g.nx = 0, g.ny = 5, g.gridRows = 1;
  std::vector<float> none(1, 0.0f);
  Written w = Write(g, none, none, 0, 0);
  EXPECT_EQ(w.pre.size(), 3u);
  EXPECT_EQ(w.pre[1], " GRID 0 5");
  EXPECT_EQ(w.var.size(), 2u);

  g.nx = 3, g.ny = 0;
  w = Write(g, none, none, 0, 0);
  ASSERT_EQ(w.pre.size(), 6u);
  for (int i = 3; i < 6; ++i) EXPECT_EQ(w.pre[i], "");
  ASSERT_EQ(w.var.size(), 5u);
  EXPECT_EQ(w.var[4], "");
}

TEST(SurfaceFiles, EmptyRangeIsWrittenAsInfinities) {
  SurfaceGrid g;
  g.nx = 1, g.ny = 1, g.gridRows = 1, g.holeValue = -10000.0f;
  std::vector<float> hole(1, -10000.0f);
  const float inf = std::numeric_limits<float>::infinity();
  const Written w = Write(g, hole, hole, inf, -inf);
  EXPECT_EQ(w.pre[0], "#              inf             -inf");
  EXPECT_EQ(w.pre[3], "      -10000.0000");
}

TEST(SurfaceFiles, UnwritableDirectoryIsReported) {
  SurfaceGrid g;
  std::vector<float> none(1, 0.0f);
  EXPECT_FALSE(WriteSurfaceFiles("/nonexistent-dir/SKUPRE.SUP", "/nonexistent-dir/SKUVAR.SUP", g,
                                 none.data(), none.data(), 0, 0));
}

}  // namespace
}  // namespace kriging

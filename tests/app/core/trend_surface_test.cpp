// The trend surface drawn beside the prediction: data lying exactly on a
// polynomial of the run's degree give back that polynomial at every grid
// node, through the engine helper's reply, the session and the evaluation.
#include "core/trend_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "core/run_kriging.h"
#include "core/kriging_engine.h"

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

// Projected coordinates far from the origin, so that the drift frame's
// centre and scale matter: without them the polynomial is off by far more
// than the tolerance.
constexpr double kX0 = 512000, kY0 = 4318000;

struct Surface {
  const char* nombre;
  int degree;
  std::function<double(double, double)> z;  // at offsets from (kX0, kY0)
};

// 9 x 7 data on a 50 m lattice, a spherical model given (no fit: residuals
// of exact data are all zero), a 6 x 5 grid partly outside the data.
KrigingSession SessionOver(const Surface& p) {
  KrigingSession s;
  SpatialData& d = s.data;
  d.nvar = 3;
  d.names = {"x       ", "y       ", "z       "};
  std::vector<double> rows;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 7; ++j) {
      const double x = kX0 + 50.0 * i + 3.0 * (j % 3);  // a little off the lattice
      const double y = kY0 + 50.0 * j;
      rows.insert(rows.end(), {x, y, p.z(x - kX0, y - kY0)});
    }
  d.N = int(rows.size() / 3);
  d.fillFromRows(rows);
  s.colX = 1, s.colY = 2, s.colZ = 3;
  EXPECT_TRUE(OpcionesPorDefecto(d, 1, 2, s.options).ok);
  s.optionsReady = true;
  OpcionesKriging& op = s.options;
  op.Media = p.degree;
  op.Modelo = 1;
  op.MetodoAjuste = kNoFit;
  op.C0Ini = 0.0f, op.C1Ini = 1.0f, op.AIni = 300.0f;
  op.NRx = 6, op.NRy = 5, op.MinRx = kX0 - 40, op.MinRy = kY0 - 25, op.LRx = 90, op.LRy = 80;
  return s;
}

class TrendSurfaceTest : public ::testing::TestWithParam<Surface> {};

}  // namespace

TEST_P(TrendSurfaceTest, EqualsThePolynomialTheDataLieOnAtEveryNode) {
  const Surface& p = GetParam();
  KrigingSession s = SessionOver(p);
  const fs::path folder = fs::temp_directory_path() / ("sorvan-tendencia-" + std::to_string(::getpid()) + p.nombre);
  KrigingEngine engine;
  const Result r = EjecutaKriging(s, "z", folder.string(), engine);
  fs::remove_all(folder);
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_TRUE(s.trend.known());
  EXPECT_EQ(s.trend.degree, p.degree);

  const std::vector<float> t = TrendSurface(s.surfaces, s.trend);
  const KrigingSurfaces& g = s.surfaces;
  ASSERT_EQ(t.size(), size_t(6 * 5));
  double escala = 0;  // the size of the values, for a relative tolerance
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 6; ++i) escala = std::max(escala, std::fabs(p.z(-40 + 90.0 * i, -25 + 80.0 * j)));
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 6; ++i) {
      // The node's place from the options, not from the grid the run returned.
      const double expected = p.z(-40 + 90.0 * i, -25 + 80.0 * j);
      EXPECT_NEAR(t[size_t(i + 6 * j)], expected, 2e-4 * escala) << "nodo " << i << ", " << j;
    }
  EXPECT_DOUBLE_EQ(g.xMin, kX0 - 40);
}

INSTANTIATE_TEST_SUITE_P(
    Data, TrendSurfaceTest,
    ::testing::Values(Surface{"plano", 1, [](double x, double y) { return 12.5 + 0.02 * x - 0.035 * y; }},
                      Surface{"cuadratica", 2,
                                 [](double x, double y) {
                                   return 3 + 0.01 * x + 2e-4 * x * x - 1.5e-4 * x * y + 3e-4 * y * y;
                                 }}),
    [](const auto& info) { return std::string(info.param.nombre); });

TEST(TrendSurfaceTest, NoTrendNoSurfaceAndHolesStayHoles) {
  KrigingSurfaces g;
  g.nx = 2, g.ny = 2, g.xMin = 0, g.yMin = 0, g.dx = 1, g.dy = 1;
  g.SupPred = {1, kHoleValue, 3, 4};
  TrendFit none;
  EXPECT_FALSE(none.known());
  EXPECT_TRUE(TrendSurface(g, none).empty());
  // u = (x - 1) / 2, v = y / 2: 1 + 2u - v.
  const TrendFit flat{1, {1, 2, -1}, 1, 0, 2};
  const std::vector<float> t = TrendSurface(g, flat);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_FLOAT_EQ(t[0], 0.0f);
  EXPECT_EQ(t[1], kHoleValue);
  EXPECT_FLOAT_EQ(t[2], -0.5f);
  EXPECT_FLOAT_EQ(t[3], 0.5f);
  // Coefficients that do not match the degree are no trend.
  EXPECT_FALSE((TrendFit{2, {1, 2, -1}, 0, 0, 1}.known()));
}

// The grid's origin and spacing used to pass through single precision on
// their way from the options to the engine helper and back into the session's
// surfaces: at a northing of 9.1e6 that moves the grid by up to half a metre.
// Checked here against the decimal values given, computed in double.
#include <gtest/gtest.h>

#include <cmath>

#include "core/sku_arguments.h"
#include "core/run_kriging.h"
#include "core/kriging_options.h"
#include "core/kriging_session.h"

using namespace sorvan::core;

namespace {

constexpr double kX0 = 500000.37, kY0 = 9100000.13, kPaso = 0.15;

// 64 points 0.3 m apart from (kX0, kY0), z = 10 i + j.
KrigingSession OwnSession() {
  KrigingSession s;
  SpatialData& d = s.data;
  d.nvar = 3;
  d.N = 64;
  d.names = {"x       ", "y       ", "z       "};
  std::vector<double> rows;
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i) rows.insert(rows.end(), {kX0 + 0.3 * i, kY0 + 0.3 * j, 10.0 * i + j});
  d.fillFromRows(rows);
  s.colX = 1, s.colY = 2, s.colZ = 3;
  EXPECT_TRUE(OpcionesPorDefecto(d, 1, 2, s.options).ok);
  OpcionesKriging& op = s.options;
  op.NRx = op.NRy = 15;
  op.MinRx = kX0, op.MinRy = kY0, op.LRx = op.LRy = kPaso;
  return s;
}

// The single rounding is far from the values given: the tests below would
// not notice a grid that went through it.
TEST(GridRoundedToSingleOnItsWay, TheValuesGivenAreNotSinglePrecisionNumbers) {
  EXPECT_GT(std::fabs(double(float(kY0)) - kY0), 0.1);
  EXPECT_GT(std::fabs(double(float(kX0)) - kX0), 0.001);
}

TEST(GridRoundedToSingleOnItsWay, PackedArgumentsCarryTheGridInDouble) {
  const KrigingSession s = OwnSession();
  SkuArguments a;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  ASSERT_TRUE(a.doubleGrid.has_value());
  EXPECT_EQ(a.grid().xMin, kX0);
  EXPECT_EQ(a.grid().yMin, kY0);
  EXPECT_EQ(a.grid().dx, kPaso);
  EXPECT_EQ(a.grid().dy, kPaso);
  // SKU's own single arguments are still the nearest floats.
  EXPECT_EQ(a.xMin, float(kX0));
  EXPECT_EQ(a.yMin, float(kY0));
  EXPECT_EQ(a.dx, float(kPaso));
}

TEST(GridRoundedToSingleOnItsWay, RequestAndReplyKeepTheGridInDouble) {
  const KrigingSession s = OwnSession();
  SkuArguments a;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  for (bool reply : {false, true}) {
    SkuArguments b;
    std::string reason;
    ASSERT_TRUE(DecodeArguments(EncodeArguments(a, reply), reply, b, &reason)) << reason;
    ASSERT_TRUE(b.doubleGrid.has_value()) << reply;
    EXPECT_EQ(b.grid().xMin, kX0) << reply;
    EXPECT_EQ(b.grid().yMin, kY0) << reply;
    EXPECT_EQ(b.grid().dx, kPaso) << reply;
    EXPECT_EQ(b.grid().dy, kPaso) << reply;
    if (!reply) {
      EXPECT_EQ(b.xDouble, a.xDouble);  // replies leave the data out
    }
  }
  // The reply with its summary, as the helper sends it.
  SkuArguments c;
  EngineSummary r;
  ASSERT_TRUE(DecodeReply(EncodeReply(a, EngineSummary{}), c, r));
  EXPECT_EQ(c.grid().yMin, kY0);
}

TEST(GridRoundedToSingleOnItsWay, ArgumentsWithoutTheDoubleRecordUseTheSingles) {
  SkuArguments a;
  a.xMin = 1.5f, a.yMin = -2.25f, a.dx = 0.5f, a.dy = 4.0f;
  SkuArguments b;
  ASSERT_TRUE(DecodeArguments(EncodeArguments(a, false), false, b));
  EXPECT_FALSE(b.doubleGrid.has_value());
  EXPECT_EQ(b.grid().xMin, 1.5);
  EXPECT_EQ(b.grid().yMin, -2.25);
  EXPECT_EQ(b.grid().dx, 0.5);
  EXPECT_EQ(b.grid().dy, 4.0);
}

TEST(GridRoundedToSingleOnItsWay, SessionSurfacesTakeTheGridInDouble) {
  KrigingSession s = OwnSession();
  SkuArguments a;
  ASSERT_TRUE(PrepareArguments(s, a).ok);
  ApplySurfaces(s, a, "z", "/tmp");
  EXPECT_EQ(s.surfaces.xMin, kX0);
  EXPECT_EQ(s.surfaces.yMin, kY0);
  EXPECT_EQ(s.surfaces.dx, kPaso);
  EXPECT_EQ(s.surfaces.dy, kPaso);
}

// Half a spacing before the data's minimum, spacing (max - min)/(n - 2),
// both worked in double from the data's decimal extremes.
TEST(GridRoundedToSingleOnItsWay, AutomaticGridKeepsTheCentimetres) {
  KrigingSession s = OwnSession();
  ASSERT_TRUE(AutomaticGrid(s.data, 1, 2, 9, 9, s.options).ok);
  const double side = (kY0 + 2.1) - kY0;
  EXPECT_NEAR(s.options.LRy, side / 7, 1e-9);
  EXPECT_NEAR(s.options.MinRy, kY0 - side / 14, 1e-6);
  EXPECT_NEAR(s.options.MinRx, kX0 - ((kX0 + 2.1) - kX0) / 14, 1e-6);
}

}  // namespace

// Krige with a search neighbourhood: every datum in it gives the global run's
// model and the double reference's grid; holes are counted in the result;
// neighbourhoods the local path cannot take are refused with a message; two
// local runs in two threads give the results of one run.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "kriging_api.h"
#include "kriging_reference.h"
#include "meuse_api_data.h"

namespace kriging {
namespace {

double Spread(const std::vector<double>& v) {
  double m = 0, s = 0;
  for (double e : v) m += e;
  m /= double(v.size());
  for (double e : v) s += (e - m) * (e - m);
  return std::sqrt(s / double(v.size()));
}

TEST(KrigeLocal, EveryDatumInTheNeighbourhoodIsTheGlobalRun) {
  const KrigingData data = MeuseData();
  KrigingOptions o = MeuseOptions();
  const KrigingResult global = Krige(data, o);
  ASSERT_TRUE(global.ok()) << global.message;
  o.neighbourhood.maxPoints = 200;
  o.neighbourhood.localTrend = true;
  const KrigingResult local = Krige(data, o);
  ASSERT_TRUE(local.ok()) << local.message << " " << local.detail;
  // Stage I is the global one: the same model.
  EXPECT_EQ(local.model.c0, global.model.c0);
  EXPECT_EQ(local.model.c1, global.model.c1);
  EXPECT_EQ(local.model.a, global.model.a);
  EXPECT_EQ(local.tooFewNeighbours + local.singularNeighbourhoods, 0);
  // The grid: ordinary kriging in double with that model (coordinates
  // relative to the first datum, which kriging does not notice).
  const reference::Data meuse = reference::Meuse();
  reference::Data relative;
  for (int i = 0; i < meuse.size(); ++i) {
    relative.x.push_back(static_cast<float>(data.x[i] - data.x[0]));
    relative.y.push_back(static_cast<float>(data.y[i] - data.y[0]));
    relative.z.push_back(meuse.z[i]);
  }
  const reference::Kriging ref(relative, {local.model.code, local.model.c0, local.model.c1, local.model.a}, 1);
  std::vector<double> want;
  for (int j = 0; j < o.grid.ny; ++j)
    for (int i = 0; i < o.grid.nx; ++i)
      want.push_back(ref.At(o.grid.xMin + i * o.grid.dx - data.x[0], o.grid.yMin + j * o.grid.dy - data.y[0]).first);
  const double sd = Spread(want);
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_NEAR(local.prediction[k], want[k], 1e-5 * sd) << k;
    EXPECT_NEAR(local.prediction[k], global.prediction[k], 1e-3 * sd) << k;  // the float global path
  }
}

TEST(KrigeLocal, HolesAreCountedInTheResult) {
  const KrigingData data = MeuseData();
  KrigingOptions o = MeuseOptions();
  o.grid.xMin -= 2500;  // the western columns far from the data
  o.neighbourhood = {16, 6, 700.0, 4, true, false};
  const KrigingResult r = Krige(data, o);
  ASSERT_TRUE(r.ok()) << r.message;
  long long holes = 0;
  for (double v : r.prediction) holes += v == o.holeValue;
  EXPECT_GT(r.tooFewNeighbours, 0);
  EXPECT_EQ(holes, r.tooFewNeighbours + r.singularNeighbourhoods);
}

TEST(KrigeLocal, NeighbourhoodsTheLocalPathCannotTakeAreRefused) {
  const KrigingData data = MeuseData();
  struct Case {
    Neighbourhood v;
    int degree;
    const char* fragment;
  };
  const Case cases[] = {{{0, 0, 500.0, 1, true, false}, 0, "número máximo de vecinos"},
                        {{16, 0, 0, 8, true, false}, 0, "sectores (8) debe ser 1 o 4"},
                        {{5, 0, 0, 1, true, false}, 2, "(N = 5) es menor que el número de términos"},
                        {{8, 9, 0, 1, true, false}, 0, "(M = 9) es mayor que el máximo (8)"}};
  for (const Case& c : cases) {
    KrigingOptions o = MeuseOptions();
    o.neighbourhood = c.v;
    o.trendDegree = c.degree;
    const KrigingResult r = Krige(data, o);
    EXPECT_EQ(r.status, KrigingStatus::kInvalidOptions) << c.fragment;
    EXPECT_NE(r.message.find(c.fragment), std::string::npos) << r.message;
  }
}

TEST(KrigeLocal, TwoRunsInTwoThreadsGiveTheResultsOfOne) {
  const KrigingData data = MeuseData();
  KrigingOptions a = MeuseOptions(), b = MeuseOptions();
  a.neighbourhood = {16, 4, 900.0, 1, true, false};
  b.neighbourhood = {24, 4, 0, 4, false, false};
  b.trendDegree = 1;
  const KrigingResult aloneA = Krige(data, a), aloneB = Krige(data, b);
  ASSERT_TRUE(aloneA.ok() && aloneB.ok()) << aloneA.message << aloneB.message;
  KrigingResult threadA, threadB;
  std::thread ta([&] { threadA = Krige(data, a); });
  std::thread tb([&] { threadB = Krige(data, b); });
  ta.join();
  tb.join();
  EXPECT_EQ(threadA.prediction, aloneA.prediction);
  EXPECT_EQ(threadA.variance, aloneA.variance);
  EXPECT_EQ(threadB.prediction, aloneB.prediction);
  EXPECT_EQ(threadB.model.a, aloneB.model.a);
}

}  // namespace
}  // namespace kriging

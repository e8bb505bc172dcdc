// The global fitting method against an independent multi-start minimum of the
// weighted criterion, for every model on real data: the meuse classes of an
// independent package and the automatic classes of each meuse variable.
#include "variogram_fit_global.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "criterion_minimum.h"
#include "kriging_reference.h"
#include "lag_classes.h"
#include "numerics/error_service.h"
#include "variogram_fit.h"

namespace kriging {
namespace {

struct Classes {
  std::string name;
  std::vector<float> estimate, distance;
  std::vector<std::int32_t> count;
  testing::FitClasses AsDouble() const {
    testing::FitClasses c;
    for (size_t i = 0; i < count.size(); ++i) {
      c.count.push_back(count[i]);
      c.distance.push_back(distance[i]);
      c.estimate.push_back(estimate[i]);
    }
    return c;
  }
};

// The meuse log-zinc classes of an independent package (classical estimator).
Classes PackageClasses() {
  return {"meuse_package",
          {0.1581807f, 0.2891516f, 0.4193364f, 0.5425174f, 0.5763432f, 0.6481780f, 0.6894742f,
           0.6442053f, 0.6254373f, 0.5704038f, 0.5554510f, 0.5126042f, 0.5091961f, 0.5330224f,
           0.5446255f},
          {119.987811f, 245.131094f, 402.853047f, 559.329534f, 719.885336f, 878.695953f,
           1036.854542f, 1195.384562f, 1355.122717f, 1513.679656f, 1676.242887f, 1834.607778f,
           1992.134638f, 2155.385200f, 2315.330255f},
          {195, 580, 739, 798, 873, 854, 797, 723, 669, 655, 629, 576, 512, 465, 411}};
}

// The automatic regular classes of meuse column `column` (0-based), the first
// half of them (the fit's default) up to the fit's capacity, classical
// estimator.
Classes AutomaticClasses(int column, const char* name) {
  const char* source = std::getenv("SORVAN_SOURCE_DIR");
  const reference::Data d =
      reference::ReadDae(std::string(source ? source : ".") + "/examples/meuse.dae", 0, 1, column);
  const int n = d.size();
  float first = 0, width = 0;
  std::int32_t lag_count = 0, pairs = -1, max_index = 0;
  ChooseLagParameters(n, d.z.data(), d.x.data(), d.y.data(), first, width, lag_count, pairs);
  std::vector<float> classical(lag_count), robust(lag_count), mean(lag_count);
  std::vector<std::int32_t> count(lag_count);
  AccumulateRegularLags(n, d.z.data(), d.x.data(), d.y.data(), first, width, lag_count, 0, -1, -1,
                        classical.data(), robust.data(), mean.data(), count.data(), max_index);
  Classes c;
  c.name = name;
  for (int k = 0; k < std::min<int>(lag_count, max_index / 2); ++k) {
    if (count[k] == 0) continue;
    if (int(c.count.size()) == kFitCapacity) break;
    c.estimate.push_back(classical[k]);
    c.distance.push_back(mean[k]);
    c.count.push_back(count[k]);
  }
  return c;
}

std::vector<Classes> RealDataSets() {
  return {PackageClasses(),          AutomaticClasses(3, "logzinc"), AutomaticClasses(2, "zinc"),
          AutomaticClasses(4, "cadmium"), AutomaticClasses(5, "copper"),
          AutomaticClasses(6, "lead"),    AutomaticClasses(7, "elev")};
}

struct Fitted {
  float params[10];
  std::int32_t iterations = 500;
};

Fitted FitGlobal(int code, const Classes& c) {
  Fitted r;
  std::fill(r.params, r.params + 10, -1.0f);
  std::FILE* log = std::tmpfile();
  OutputUnit(-2, log);
  OutputUnit(-3, log);
  FitVariogramGlobal(code, c.estimate.data(), c.distance.data(), c.count.data(),
                     int(c.count.size()), int(c.count.size()), 0, r.params, r.iterations);
  std::FILE* none = nullptr;
  OutputUnit(-2, none);
  OutputUnit(-3, none);
  std::fclose(log);
  return r;
}

Fitted FitDirect(int code, const Classes& c) {
  Fitted r;
  std::fill(r.params, r.params + 10, -1.0f);
  std::FILE* log = std::tmpfile();
  OutputUnit(-2, log);
  OutputUnit(-3, log);
  FitVariogramModel(code, c.estimate.data(), c.distance.data(), c.count.data(),
                    int(c.count.size()), int(c.count.size()), 0, r.params, r.iterations, 2);
  std::FILE* none = nullptr;
  OutputUnit(-2, none);
  OutputUnit(-3, none);
  std::fclose(log);
  return r;
}

// The box of a in the solver: [0.001, 100] in units of the last class's
// distance (squared for the rational quadratic model; none for the exponent).
void RangeBounds(int code, const Classes& c, double& low, double& high) {
  const double d = c.distance.back(), unit = code == 4 ? 1 : (code == 5 ? d * d : d);
  low = 0.001 * unit, high = 100 * unit;
}

class GlobalFit : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(GlobalFit, WithinHalfAPercentOfTheTrueMinimum) {
  const auto [set, code] = GetParam();
  const Classes c = RealDataSets()[set];
  ASSERT_GE(c.count.size(), 4u) << c.name;
  const Fitted global = FitGlobal(code, c);
  double low, high;
  RangeBounds(code, c, low, high);
  const testing::FitClasses d = c.AsDouble();
  const testing::Minimum best = testing::MinimiseCriterion(d, code, low, high);
  const double at_global = testing::Criterion(d, code, global.params[0], global.params[1],
                                              global.params[2]);
  const Fitted direct = FitDirect(code, c);
  const double at_direct = testing::Criterion(d, code, direct.params[0], direct.params[1],
                                              direct.params[2]);
  std::printf("%s model %d: minimum %.6g, global %.6g (%.4f), direct %.6g (%.4f)\n",
              c.name.c_str(), code, best.q, at_global, at_global / best.q, at_direct,
              at_direct / best.q);
  EXPECT_LE(at_global, 1.005 * best.q) << c.name << " model " << code;
  // Never worse than the direct fit from the automatic start, which is one
  // of its starts.
  EXPECT_LE(at_global, at_direct * (1 + 1e-5));
  EXPECT_NEAR(global.params[3], at_global, 1e-4 * at_global + 1e-6);
}
INSTANTIATE_TEST_SUITE_P(RealDataAndEveryModel, GlobalFit,
                         ::testing::Combine(::testing::Range(0, 7), ::testing::Range(1, 7)));

TEST(GlobalFitStarts, AutomaticStartFirstThenASpreadOfRanges) {
  const Classes c = PackageClasses();
  const FitClassView view{int(c.count.size()), c.count.data(), c.distance.data(), c.estimate.data()};
  const float automatic[3] = {0.1f, 0.5f, 800};
  const std::vector<FitStart> starts = GlobalFitStarts(1, view, automatic);
  ASSERT_GT(starts.size(), 5u);
  EXPECT_EQ(starts[0].a, 800);
  EXPECT_NEAR(starts[1].a, 0.02 * c.distance.back(), 1e-3);
  EXPECT_NEAR(starts.back().a, 3 * c.distance.back(), 1e-2);
  for (const FitStart& s : starts) EXPECT_TRUE(s.c0 >= 0 && s.c1 >= 0);
  // The power model spreads its exponent, not a range.
  const std::vector<FitStart> power = GlobalFitStarts(4, view, automatic);
  EXPECT_NEAR(power[1].a, 0.1, 1e-6);
  EXPECT_NEAR(power.back().a, 1.9, 1e-6);
}

// At a fixed range the level is a weighted linear least-squares problem:
// classes lying exactly on a model give back its c0 and c1.
TEST(LevelAtRange, RecoversTheLevelOfExactClasses) {
  Classes c;
  for (int k = 1; k <= 10; ++k) {
    const double h = 100.0 * k;
    c.distance.push_back(float(h));
    c.estimate.push_back(float(0.2 + 1.5 * testing::UnitShape(2, 300, h)));
    c.count.push_back(50 + k);
  }
  const FitClassView view{10, c.count.data(), c.distance.data(), c.estimate.data()};
  const FitStart s = LevelAtRange(2, view, 300);
  EXPECT_NEAR(s.c0, 0.2, 1e-5);
  EXPECT_NEAR(s.c1, 1.5, 1e-5);
  EXPECT_EQ(s.a, 300);
}

}  // namespace
}  // namespace kriging

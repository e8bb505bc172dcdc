// The named interface: results against the double-precision reference, the
// options it refuses, failures as a status, independent runs in threads,
// coordinates far from the origin, negative variances.
#include "kriging_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kriging_reference.h"
#include "meuse_api_data.h"
#include "sku.h"
#include "variogram_models.h"

namespace kriging {
namespace {

namespace fs = std::filesystem;

// The reference keeps coordinates in float: it gets them relative to the
// first point, which kriging does not notice.
reference::Data AsReference(const KrigingData& d) {
  reference::Data r;
  for (std::size_t i = 0; i < d.x.size(); ++i) {
    r.x.push_back(static_cast<float>(d.x[i] - d.x[0]));
    r.y.push_back(static_cast<float>(d.y[i] - d.y[0]));
    r.z.push_back(static_cast<float>(d.z[i]));
  }
  return r;
}

// Every node against universal kriging in double with the fitted model.
void ExpectMatchesReference(const KrigingData& data, const KrigingOptions& o,
                            const KrigingResult& r) {
  ASSERT_TRUE(r.ok()) << r.message << " " << r.detail;
  const reference::Data ref = AsReference(data);
  const reference::Model model{r.model.code, r.model.c0, r.model.c1, r.model.a};
  const int terms = (o.trendDegree + 1) * (o.trendDegree + 2) / 2;
  const reference::Kriging kriging(ref, model, terms);
  double zScale = 0;
  for (double v : data.z) zScale = std::max(zScale, std::abs(v));
  for (int j = 0; j < o.grid.ny; ++j) {
    for (int i = 0; i < o.grid.nx; ++i) {
      const auto [value, variance] = kriging.At(o.grid.xMin - data.x[0] + i * o.grid.dx,
                                                o.grid.yMin - data.y[0] + j * o.grid.dy);
      const std::size_t k = i + static_cast<std::size_t>(j) * o.grid.nx;
      EXPECT_NEAR(r.prediction[k], value, 2e-4 * zScale) << i << "," << j;
      EXPECT_NEAR(r.variance[k], variance, 2e-3 * std::max(1.0, std::abs(variance)))
          << i << "," << j;
    }
  }
}

class NamedRunByModel : public testing::TestWithParam<int> {};

TEST_P(NamedRunByModel, KrigesAsTheReferenceWithTheFittedModel) {
  const KrigingData data = MeuseData();
  KrigingOptions o = MeuseOptions();
  o.modelCode = GetParam();
  o.trendDegree = GetParam() % 2;  // ordinary and universal
  if (o.modelCode == 3 || o.modelCode == 4) o.trendDegree = 0;
  const KrigingResult r = Krige(data, o);
  ExpectMatchesReference(data, o, r);
  EXPECT_EQ(r.model.code, o.modelCode);
  EXPECT_FALSE(r.lags.empty());
  EXPECT_GE(r.fitLagCount, 1);
  EXPECT_NE(r.log.find(" Terminado."), std::string::npos);
  // The range of the prediction is that of the grid.
  const auto [low, high] = std::minmax_element(r.prediction.begin(), r.prediction.end());
  EXPECT_DOUBLE_EQ(r.predictionLow, *low);
  EXPECT_DOUBLE_EQ(r.predictionHigh, *high);
  EXPECT_EQ(r.trendCoefficients.size(), o.trendDegree == 1 ? 3u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Models, NamedRunByModel, testing::Values(1, 2, 3, 5));

TEST(NamedRun, LagTableCountsEveryPairOnce) {
  const KrigingData data = MeuseData();
  KrigingOptions o = MeuseOptions();
  o.firstLag = 100, o.lagWidth = 200, o.lagCount = 40;  // reaches beyond the longest pair
  const KrigingResult r = Krige(data, o);
  ASSERT_TRUE(r.ok()) << r.message;
  long long pairs = 0;
  for (const LagClass& c : r.lags) pairs += c.count;
  const long long n = static_cast<long long>(data.x.size());
  EXPECT_EQ(pairs, n * (n - 1) / 2);
  ASSERT_EQ(r.lags.size(), 40u);
  EXPECT_FLOAT_EQ(r.lags[1].lower, 100 + 200 * 0.5);
  EXPECT_FLOAT_EQ(r.lags[1].upper, 100 + 200 * 1.5);
}

TEST(NamedRun, HolesKeepTheHoleValue) {
  const KrigingData data = MeuseData();
  KrigingOptions o = MeuseOptions();
  o.holeMask.assign(o.grid.nx * o.grid.ny, 0);
  o.holeMask[0] = o.holeMask[5] = 1;
  o.holeValue = -123.0;
  const KrigingResult r = Krige(data, o);
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.prediction[0], -123.0);
  EXPECT_EQ(r.variance[5], -123.0);
  EXPECT_NE(r.prediction[1], -123.0);
}

// --- options refused, each naming its parameter ---

struct Refusal {
  const char* name;
  void (*change)(KrigingOptions&);
  const char* named;  // text the message must contain
};

std::ostream& operator<<(std::ostream& out, const Refusal& r) { return out << r.name; }

const Refusal kRefusals[] = {
    {"estimator_5", [](KrigingOptions& o) { o.estimator = static_cast<Estimator>(5); }, "Estimador"},
    {"fit_method_7", [](KrigingOptions& o) { o.fitMethod = static_cast<FitMethod>(7); }, "ajuste"},
    {"model_0", [](KrigingOptions& o) { o.modelCode = 0; }, "Modelo"},
    {"trend_4", [](KrigingOptions& o) { o.trendDegree = 4; }, "tendencia"},
    {"negative_nugget",
     [](KrigingOptions& o) { o.hasStart = true, o.start = {-0.1, 0.5, 800}; }, "c0"},
    {"negative_sill",
     [](KrigingOptions& o) {
       o.fitMethod = FitMethod::kNone, o.hasStart = true, o.start = {0, -5, 100};
     },
     "c1"},
    {"zero_range", [](KrigingOptions& o) { o.hasStart = true, o.start = {0.1, 0.5, 0}; }, "a"},
    {"power_exponent_3",
     [](KrigingOptions& o) { o.modelCode = 4, o.hasStart = true, o.start = {0.1, 0.5, 3}; },
     "exponente"},
    {"power_exponent_0",
     [](KrigingOptions& o) { o.modelCode = 4, o.hasStart = true, o.start = {0.1, 0.5, 0}; },
     "exponente"},
    {"fixed_without_model", [](KrigingOptions& o) { o.fitMethod = FitMethod::kNone; }, "modelo"},
    {"no_nodes", [](KrigingOptions& o) { o.grid.nx = 0; }, "X"},
    {"zero_spacing", [](KrigingOptions& o) { o.grid.dy = 0; }, "Y"},
    {"short_mask", [](KrigingOptions& o) { o.holeMask.assign(3, 0); }, "huecos"},
};

class RefusedOptions : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedOptions, AreRefusedByNameBeforeAnyWork) {
  KrigingOptions o = MeuseOptions();
  GetParam().change(o);
  const std::string message = Validate(o, 155);
  EXPECT_NE(message.find(GetParam().named), std::string::npos) << message;
  const KrigingResult r = Krige(MeuseData(), o);
  EXPECT_EQ(r.status, KrigingStatus::kInvalidOptions);
  EXPECT_EQ(r.message, message);
  EXPECT_TRUE(r.log.empty());
}

INSTANTIATE_TEST_SUITE_P(Options, RefusedOptions, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST(Validate, AcceptsTheDefaultsAndValidModels) {
  KrigingOptions o = MeuseOptions();
  EXPECT_EQ(Validate(o, 155), "");
  o.modelCode = 4, o.hasStart = true, o.start = {0, 0.5, 1.99};
  EXPECT_EQ(Validate(o, 155), "");
  o.modelCode = 3, o.start = {0, 0.5, 0};  // the linear model has no a
  EXPECT_EQ(Validate(o, 155), "");
}

// --- failures as a status ---

TEST(NamedRun, CoincidingDataAreAStatusNotTheEndOfTheProcess) {
  KrigingData data = MeuseData();
  data.x[7] = data.x[3], data.y[7] = data.y[3];
  KrigingOptions o = MeuseOptions();
  o.fitMethod = FitMethod::kNone, o.hasStart = true, o.start = {0.05, 0.6, 900};
  const KrigingResult r = Krige(data, o);
  EXPECT_EQ(r.status, KrigingStatus::kNumericalFailure);
  EXPECT_FALSE(r.message.empty());
  EXPECT_NE(r.detail.find("singular"), std::string::npos) << r.detail;
  // The process goes on and the next run is whole.
  const KrigingResult next = Krige(MeuseData(), o);
  EXPECT_TRUE(next.ok()) << next.message;
}

TEST(NamedRun, AMissingFolderIsAWriteFailureNamingTheFile) {
  KrigingOptions o = MeuseOptions();
  o.outputFolder = "/nonexistent-sorvan-folder";
  const KrigingResult r = Krige(MeuseData(), o);
  EXPECT_EQ(r.status, KrigingStatus::kWriteFailure);
  EXPECT_NE(r.message.find("KRIGING.LOG"), std::string::npos) << r.message;
}

TEST(NamedRun, WritesTheRunFilesToItsFolderOnly) {
  reference::ScratchDirectory scratch;
  fs::create_directory("out");
  KrigingOptions o = MeuseOptions();
  o.outputFolder = (scratch.path() / "out").string();
  const KrigingResult r = Krige(MeuseData(), o);
  ASSERT_TRUE(r.ok()) << r.message;
  for (const char* name : {"KRIGING.LOG", "SKUESTIM.SV", "SKUESTIM.FMT", "SKUEAJUS.SV",
                           "SKUEAJUS.FMT", "SKUPRE.SUP", "SKUVAR.SUP"}) {
    EXPECT_TRUE(fs::exists(scratch.path() / "out" / name)) << name;
    EXPECT_FALSE(fs::exists(scratch.path() / name)) << name;
  }
  // The surface files carry the caller's grid origin, not a shifted one.
  const std::vector<std::string> lines = reference::ReadLines(scratch.path() / "out/SKUPRE.SUP");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], " GRID 12 14");
  EXPECT_EQ(lines[2], " -10000.0 241.75 290.0 178648.0 329784.0");
  // Without a folder nothing is written at all.
  KrigingOptions none = MeuseOptions();
  const KrigingResult silent = Krige(MeuseData(), none);
  ASSERT_TRUE(silent.ok());
  EXPECT_FALSE(fs::exists(scratch.path() / "KRIGING.LOG"));
  EXPECT_EQ(silent.log, r.log);
}

// --- independent runs ---

TEST(NamedRun, TwoRunsInTwoThreadsEqualTheSameRunsInTurn) {
  const KrigingData data = MeuseData();
  KrigingOptions a = MeuseOptions(), b = MeuseOptions();
  a.modelCode = 2, a.trendDegree = 1;
  b.modelCode = 6, b.estimator = Estimator::kRobust, b.fitMethod = FitMethod::kDirect;
  const KrigingResult alone_a = Krige(data, a), alone_b = Krige(data, b);
  ASSERT_TRUE(alone_a.ok() && alone_b.ok());
  for (int round = 0; round < 3; ++round) {
    KrigingResult together_a, together_b;
    std::thread first([&] { together_a = Krige(data, a); });
    std::thread second([&] { together_b = Krige(data, b); });
    first.join();
    second.join();
    EXPECT_EQ(together_a.prediction, alone_a.prediction);
    EXPECT_EQ(together_a.variance, alone_a.variance);
    EXPECT_EQ(together_b.prediction, alone_b.prediction);
    EXPECT_EQ(together_a.log, alone_a.log);
    EXPECT_EQ(together_b.log, alone_b.log);
    EXPECT_EQ(together_b.model.c0, alone_b.model.c0);
    EXPECT_EQ(together_b.model.a, alone_b.model.a);
  }
}

// SKU keeps the process's own context: a named run beside it changes nothing.
std::vector<float> SkuPrediction(const KrigingData& d) {
  std::int32_t n = static_cast<std::int32_t>(d.x.size());
  std::vector<float> x(d.x.begin(), d.x.end()), y(d.y.begin(), d.y.end()), z(d.z.begin(), d.z.end());
  float firstLag = -1, lagWidth = -1, xMin = 178648.0f, yMin = 329784.0f, dx = 241.75f, dy = 290.0f;
  float hole = -10000.0f;
  std::int32_t lagCount = -1, fitLagCount = -1, model = 1, degree = 1, nx = 12, ny = 14, rows = 12;
  std::vector<float> prediction(12 * 14, 0.0f), variance(12 * 14, 0.0f);
  std::int32_t options[7] = {-1, -1, -1, -1, -1, -1, -1};
  float parameters[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  SKU(&n, z.data(), x.data(), y.data(), &firstLag, &lagWidth, &lagCount, &fitLagCount, &model,
      &degree, &nx, &ny, &xMin, &yMin, &dx, &dy, &rows, prediction.data(), variance.data(), &hole,
      options, parameters);
  return prediction;
}

TEST(NamedRun, RunsBesideSKUInAnotherThreadLeaveBothUnchanged) {
  reference::ScratchDirectory scratch;  // SKU writes its files here
  const KrigingData data = MeuseData();
  KrigingOptions o = MeuseOptions();
  o.modelCode = 6;
  const std::vector<float> skuAlone = SkuPrediction(data);
  const KrigingResult namedAlone = Krige(data, o);
  ASSERT_TRUE(namedAlone.ok());
  std::vector<float> skuTogether;
  KrigingResult namedTogether;
  std::thread first([&] { skuTogether = SkuPrediction(data); });
  std::thread second([&] { namedTogether = Krige(data, o); });
  first.join();
  second.join();
  EXPECT_EQ(skuTogether, skuAlone);
  EXPECT_EQ(namedTogether.prediction, namedAlone.prediction);
  EXPECT_EQ(namedTogether.log, namedAlone.log);
}

// --- coordinates far from the origin ---

TEST(NamedRun, SamplesAFractionOfAMetreApartAtNorthingsOfMillionsStayDistinct) {
  // 64 samples 0.3 m apart at a northing of 9.1e6: a float keeps 1 m there.
  KrigingData data;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      data.x.push_back(500000.0 + 0.3 * i);
      data.y.push_back(9100000.0 + 0.3 * j);
      data.z.push_back(10 + std::sin(i * 0.7) + std::cos(j * 0.5));
    }
  KrigingOptions o;
  o.grid = {9, 9, 500000.0, 9100000.0, 0.25, 0.25};
  o.fitMethod = FitMethod::kNone, o.hasStart = true, o.start = {0.0, 1.0, 1.5};  // no nugget: no jump at the samples
  const KrigingResult r = Krige(data, o);
  ExpectMatchesReference(data, o, r);
  // A node on a sample gives that sample.
  EXPECT_NEAR(r.prediction[0], data.z[0], 1e-3);
}

// --- negative variances ---

TEST(NamedRun, VariancesAreNeverSlightlyNegative) {
  // Nodes on data points: the exact variance is 0, round-off may go either way.
  KrigingData data = MeuseData();
  KrigingOptions o;
  o.grid = {1, 1, data.x[0], data.y[0], 1, 1};
  for (int model : {1, 2, 5, 6}) {
    o.modelCode = model;
    const KrigingResult r = Krige(data, o);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.negativeVariances, 0) << model;
    EXPECT_GE(r.variance[0], 0.0) << model;
  }
}

// The cosine hole effect, 1 - cos(h / a), is a semivariogram on a line but
// not in the plane: there the kriging variance itself can be negative.
long double CosineHoleUnit(long double h, long double a) { return 1.0L - std::cos(h / a); }
double UnitSillFactor(double) { return 1.0; }
constexpr int kCosineHoleCode = 9;
const ModelInfo kCosineHole{kCosineHoleCode,
                            "coseno",
                            CosineHoleUnit,
                            nullptr,
                            false,
                            3,
                            {{"c0", "efecto pepita", 0, true, false, 0},
                             {"c1", "meseta parcial", 0, false, false, 0},
                             {"a", "escala", 0, false, false, 0}},
                            1,
                            0,
                            false,
                            UnitSillFactor,
                            nullptr,
                            0};

// Ordinary kriging variance in double (the full system by elimination with
// partial pivoting), for gamma(h) = 1 - cos(h).
double CosineHoleVariance(const KrigingData& data, double x0, double y0) {
  auto gamma = [](double h) { return h < 1e-12 ? 0.0 : 1.0 - std::cos(h); };
  const int n = static_cast<int>(data.x.size()), m = n + 1;
  std::vector<double> a(m * m, 0.0), b(m, 1.0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j)
      a[i * m + j] = gamma(std::hypot(data.x[i] - data.x[j], data.y[i] - data.y[j]));
    a[i * m + n] = a[n * m + i] = 1;
    b[i] = gamma(std::hypot(data.x[i] - x0, data.y[i] - y0));
  }
  std::vector<double> r = b, s(m);
  for (int k = 0; k < m; ++k) {
    int p = k;
    for (int i = k + 1; i < m; ++i)
      if (std::fabs(a[i * m + k]) > std::fabs(a[p * m + k])) p = i;
    for (int j = 0; j < m; ++j) std::swap(a[k * m + j], a[p * m + j]);
    std::swap(r[k], r[p]);
    for (int i = k + 1; i < m; ++i) {
      const double f = a[i * m + k] / a[k * m + k];
      for (int j = k; j < m; ++j) a[i * m + j] -= f * a[k * m + j];
      r[i] -= f * r[k];
    }
  }
  for (int k = m - 1; k >= 0; --k) {
    double t = r[k];
    for (int j = k + 1; j < m; ++j) t -= a[k * m + j] * s[j];
    s[k] = t / a[k * m + k];
  }
  double variance = s[n];
  for (int i = 0; i < n; ++i) variance += s[i] * b[i];
  return variance;
}

TEST(NamedRun, AClearlyNegativeVarianceIsAWarningThatTheModelIsNotValid) {
  RegisterModel(kCosineHole);  // (false when an earlier repetition did)
  ASSERT_NE(FindModel(kCosineHoleCode), nullptr);
  // A 4 x 4 lattice at twice the scale: the exact variance between the
  // lattice's points goes well below zero.
  KrigingData data;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      data.x.push_back(2.0 * i), data.y.push_back(2.0 * j);
      data.z.push_back(std::sin(1.3 * i) + 0.4 * j);
    }
  KrigingOptions o;
  o.modelCode = kCosineHoleCode;
  o.fitMethod = FitMethod::kNone, o.hasStart = true, o.start = {0, 1, 1};
  o.grid = {13, 13, 0.0, 0.0, 0.5, 0.5};
  const KrigingResult r = Krige(data, o);
  ASSERT_TRUE(r.ok()) << r.message << r.detail;

  double mean = 0, scale = 0;
  for (double v : data.z) mean += v / 16;
  for (double v : data.z) scale += (v - mean) * (v - mean) / 15;
  // Round-off below zero becomes 0; clearly negative values are kept and
  // counted.
  const double roundOff = 1e-3 * scale;
  int surelyNegative = 0, maybeNegative = 0;
  double lowest = 0;
  for (int j = 0; j < 13; ++j)
    for (int i = 0; i < 13; ++i) {
      const double exact = CosineHoleVariance(data, 0.5 * i, 0.5 * j);
      const double v = r.variance[i + 13 * j];
      EXPECT_NEAR(v, exact, 1e-3 + roundOff) << i << " " << j;
      EXPECT_TRUE(v >= 0 || v < -roundOff) << v;
      surelyNegative += exact < -roundOff - 1e-3;
      maybeNegative += exact < -roundOff + 1e-3;
      lowest = std::min(lowest, exact);
    }
  ASSERT_LT(lowest, -0.2);
  EXPECT_GE(r.negativeVariances, surelyNegative);
  EXPECT_LE(r.negativeVariances, maybeNegative);
  EXPECT_GT(surelyNegative, 0);
  const bool warned = std::any_of(r.warnings.begin(), r.warnings.end(), [](const std::string& w) {
    return w.find("claramente negativa") != std::string::npos &&
           w.find("coseno no es v\xC3\xA1lido") != std::string::npos;
  });
  EXPECT_TRUE(warned);
}

// The trend iteration that stops at its limit without converging is among the
// run's warnings (as its log says); one that converges is not.
struct TrendStop {
  int iterations;
  double tolerance;
  bool atLimit;
};
class TrendIterationWarning : public testing::TestWithParam<TrendStop> {};

TEST_P(TrendIterationWarning, IsAWarningExactlyWhenTheLogSaysTheLimitWasReached) {
  KrigingOptions o = MeuseOptions();
  o.trendDegree = 1;
  o.maxTrendIterations = GetParam().iterations;
  o.trendTolerance = GetParam().tolerance;
  const KrigingResult r = Krige(MeuseData(), o);
  ASSERT_TRUE(r.ok()) << r.message << r.detail;
  const bool logSaysLimit = r.log.find("Se alcanz\xC3\xB3 el n\xC2\xBA m\xC3\xA1ximo de iteraciones") != std::string::npos;
  EXPECT_EQ(logSaysLimit, GetParam().atLimit) << r.log;
  const bool warned = std::count(r.warnings.begin(), r.warnings.end(), std::string(kTrendLimitWarning)) == 1;
  EXPECT_EQ(warned, GetParam().atLimit);
  if (GetParam().atLimit) {
    EXPECT_EQ(r.model.trendIterations, GetParam().iterations);
  }
}

INSTANTIATE_TEST_SUITE_P(Stops, TrendIterationWarning,
                         testing::Values(TrendStop{1, 1e-9, true}, TrendStop{2, 1e-9, true},
                                         TrendStop{30, 0.5, false}));

}  // namespace
}  // namespace kriging

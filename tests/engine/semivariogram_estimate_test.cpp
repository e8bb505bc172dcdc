// The whole semivariogram stage on the meuse data: options and defaults, the
// four chart files read back, the run log, and the fit against an independent
// minimum of its criterion.
#include "semivariogram_estimate.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "criterion_minimum.h"
#include "lag_classes.h"
#include "meuse_data.h"
#include "numerics/error_service.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {
namespace {

// The chart files go to the working folder: use a folder of this test's own,
// so that other tests writing the same names may run alongside.
class OwnWorkingFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("sorvan-semivariogram-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    std::filesystem::current_path(folder_);
  }
  void TearDown() override {
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder_);
  }

 private:
  std::filesystem::path folder_;
};
const auto* const kFolder = ::testing::AddGlobalTestEnvironment(new OwnWorkingFolder);

struct StageRun {
  float firstLag = -1, lagWidth = -1;
  std::int32_t lagCount = -1, fitLagCount = -1;
  std::int32_t options[7] = {-1, -1, -1, -1, -1, -1, -1};
  float params[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::string log;
};

void Execute(StageRun& run, int modelCode) {
  const testing::MeuseData data = testing::ReadMeuse();
  ASSERT_EQ(data.x.size(), 155u);
  std::FILE* log = std::tmpfile();
  OutputUnit(-2, log);
  EstimateAndFitSemivariogram(155, data.logZinc.data(), data.x.data(), data.y.data(),
                              run.firstLag, run.lagWidth, run.lagCount, modelCode, run.fitLagCount,
                              run.options, run.params);
  std::FILE* none = nullptr;
  OutputUnit(-2, none);
  std::rewind(log);
  for (int ch; (ch = std::fgetc(log)) != EOF;) run.log += char(ch);
  std::fclose(log);
}

std::vector<std::string> Lines(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The numbers of lines [from, to) as one stream.
std::vector<double> Numbers(const std::vector<std::string>& lines, size_t from, size_t to) {
  std::vector<double> values;
  for (size_t i = from; i < to && i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    for (double v; in >> v;) values.push_back(v);
  }
  return values;
}

// A "GENERAL" chart file: two series after the header, each a comment line,
// a count and the X then the Y values (possibly wrapped).
struct Chart {
  std::string header, hole, comment[2];
  std::vector<double> x[2], y[2];
};
Chart ReadChart(const char* name) {
  const std::vector<std::string> lines = Lines(name);
  Chart chart;
  if (lines.size() < 4) return chart;
  chart.header = lines[0], chart.hole = lines[1];
  size_t line = 2;
  for (int s = 0; s < 2 && line < lines.size(); ++s) {
    chart.comment[s] = lines[line++];
    const size_t count = size_t(std::stoi(lines[line++]));
    size_t end = line;
    while (end < lines.size() && lines[end][0] != '#' && Numbers(lines, line, end).size() < 2 * count)
      ++end;
    const std::vector<double> v = Numbers(lines, line, end);
    chart.x[s].assign(v.begin(), v.begin() + std::min(count, v.size()));
    if (v.size() >= 2 * count) chart.y[s].assign(v.begin() + count, v.begin() + 2 * count);
    line = end;
  }
  return chart;
}

TEST(EstimateAndFitSemivariogram, DefaultsChartFilesAndLog) {
  StageRun run;
  Execute(run, 1);
  const std::int32_t defaults[5] = {1, 15, 500, 1, 1};
  for (int e = 0; e < 5; ++e) EXPECT_EQ(run.options[e], defaults[e]) << "entry " << e + 1;
  ASSERT_GT(run.lagCount, 5);
  ASSERT_LE(run.lagCount, kMaxLagClasses);
  EXPECT_GE(run.fitLagCount, 1);
  EXPECT_LE(run.fitLagCount, run.lagCount);
  const LagTable& table = CurrentLagTable();

  const Chart estimate = ReadChart("SKUESTIM.SV");
  EXPECT_EQ(estimate.header, "GENERAL 2 100");
  EXPECT_EQ(estimate.hole, "HOLE -1");
  EXPECT_EQ(estimate.comment[0], "# estimador cl\xE1sico");  // code page 1252
  EXPECT_EQ(estimate.comment[1], "# estimador robusto");
  ASSERT_EQ(estimate.y[0].size(), size_t(run.lagCount));
  ASSERT_EQ(estimate.y[1].size(), size_t(run.lagCount));
  for (int k = 0; k < run.lagCount; ++k) {
    EXPECT_EQ(float(estimate.x[0][k]), table.meanDistance[k]);  // full float precision
    EXPECT_EQ(float(estimate.y[0][k]), table.classical[k]);
    EXPECT_EQ(float(estimate.y[1][k]), table.robust[k]);
  }
  const std::vector<std::string> fmt = Lines("SKUESTIM.FMT");
  ASSERT_GE(fmt.size(), 3u);
  EXPECT_EQ(std::stoi(fmt[0]), 1);
  const std::vector<double> annotation = Numbers(fmt, 1, fmt.size());
  ASSERT_EQ(annotation.size(), size_t(1 + run.lagCount + 1 + run.lagCount + 1));
  EXPECT_EQ(annotation[0], run.lagCount);
  EXPECT_EQ(annotation[1], table.count[0]);
  EXPECT_EQ(annotation[1 + run.lagCount], run.lagCount + 1);
  EXPECT_EQ(float(annotation.back()), table.bounds[run.lagCount]);

  const int m = run.fitLagCount;
  const Chart fit = ReadChart("SKUEAJUS.SV");
  EXPECT_EQ(fit.header, "GENERAL 2 100");
  EXPECT_EQ(fit.comment[0], "# estimador");
  EXPECT_EQ(fit.comment[1], "# modelo");
  ASSERT_EQ(fit.y[0].size(), size_t(m));
  ASSERT_EQ(fit.y[1].size(), 100u);
  EXPECT_FLOAT_EQ(float(fit.x[1][99]), table.meanDistance[m - 1]);
  for (int i : {0, 37, 99})
    EXPECT_NEAR(fit.y[1][i],
                testing::UnitShape(1, run.params[2], fit.x[1][i]) * run.params[1] + run.params[0],
                1e-6);
  const std::vector<std::string> fit_fmt = Lines("SKUEAJUS.FMT");
  ASSERT_GE(fit_fmt.size(), 3u);
  EXPECT_EQ(std::stoi(fit_fmt[0]), 2);
  EXPECT_EQ(Numbers(fit_fmt, 1, fit_fmt.size()).size(), size_t(1 + m + 1 + m + 1));

  // The run log, in order; the fitted model is the current one.
  size_t at = 0;
  for (const char* line : {"    Estimando el semivariograma ...\n",
                           "    (Se calculan los par\xC3\xA1metros de suavizado)\n",
                           "    Ajustando un modelo ...\n", "    Aproximaci\xC3\xB3n inicial:",
                           "    Numero de iteraciones", "    Par\xC3\xA1metros estimados:"}) {
    const size_t found = run.log.find(line, at);
    EXPECT_NE(found, std::string::npos) << line << "\n" << run.log;
    if (found != std::string::npos) at = found;
  }
  EXPECT_EQ(CurrentModel().code, 1);
  EXPECT_EQ(CurrentModel().a, run.params[2]);
}

class MeuseFit : public ::testing::TestWithParam<int> {};

// Automatic classes, both estimators, both methods. The direct method must end
// within 2% of the minimum over the classes it used; the alternating one stops
// at the fixed point of its reweighting, which need not be the minimum, and
// must at least improve on its start. Entry 4 is the criterion at the result.
TEST_P(MeuseFit, FitsAgainstTheMinimumOverTheClassesUsed) {
  const int code = GetParam();
  for (int estimator : {1, 2})
    for (int method : {1, 2}) {
      StageRun run;
      run.options[0] = estimator;
      run.options[3] = method;
      Execute(run, code);
      const FitSet& fit = CurrentFitSet();
      testing::FitClasses classes;
      for (int i = 0; i < fit.m; ++i) {
        classes.count.push_back(fit.count[i]);
        classes.distance.push_back(fit.distance[i]);
        classes.estimate.push_back(fit.estimate[i]);
      }
      const double d = classes.distance.back();
      const double unit = code == 4 ? 1 : code == 5 ? d * d : d;
      const testing::Minimum best =
          testing::MinimiseCriterion(classes, code, 0.001 * unit, 100 * unit);
      const double q =
          testing::Criterion(classes, code, run.params[0], run.params[1], run.params[2]);
      std::printf("meuse automatic classes, model %d, estimator %d, method %d: %d classes, "
                  "criterion %.6g, minimum %.6g, ratio %.4f; minimum at %.5g %.5g %.5g, fitted "
                  "%.5g %.5g %.5g\n",
                  code, estimator, method, fit.m, q, best.q, q / best.q, best.c0, best.c1,
                  best.a, run.params[0], run.params[1], run.params[2]);
      EXPECT_NEAR(run.params[3], q, 1e-4 * q);
      if (method == 2) {
        EXPECT_LE(q, 1.02 * best.q) << "estimator " << estimator;
      } else {
        EXPECT_LE(q, testing::Criterion(classes, code, run.params[5], run.params[6],
                                        run.params[7]));
      }
    }
}
INSTANTIATE_TEST_SUITE_P(AllModels, MeuseFit, ::testing::Range(1, 7));

TEST(EstimateAndFitSemivariogram, ClassCountsAreBoundedByTheTable) {
  StageRun run;
  run.firstLag = 10, run.lagWidth = 20, run.lagCount = 250, run.fitLagCount = 400;
  run.options[3] = 2;
  Execute(run, 2);
  EXPECT_EQ(run.lagCount, kMaxLagClasses);
  EXPECT_EQ(run.fitLagCount, kMaxLagClasses);
  EXPECT_EQ(CurrentFitSet().m, kFitCapacity);
  EXPECT_EQ(ReadChart("SKUEAJUS.SV").y[0].size(), size_t(kMaxLagClasses));
}

TEST(EstimateAndFitSemivariogram, VariableClassesFitHalfOfThem) {
  StageRun run;
  run.options[4] = 2;
  run.options[5] = 100;
  run.fitLagCount = 3;
  Execute(run, 2);
  EXPECT_EQ(run.options[4], 2);
  ASSERT_GT(run.lagCount, 20);
  EXPECT_EQ(run.fitLagCount, run.lagCount / 2);
  const LagTable& table = CurrentLagTable();
  for (int k = 0; k < run.lagCount; ++k) EXPECT_GE(table.count[k], 100);
  EXPECT_EQ(Numbers(Lines("SKUESTIM.FMT"), 0, 1)[0], 1);
}

TEST(EstimateAndFitSemivariogram, RobustEstimatorIsTheOneFitted) {
  StageRun run;
  run.options[0] = 2;
  run.firstLag = 79.831131f, run.lagWidth = 159.662262f, run.lagCount = 15;
  Execute(run, 2);
  const LagTable& table = CurrentLagTable();
  EXPECT_EQ(run.fitLagCount, 15);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(table.fitted[k], table.robust[k]);
  EXPECT_NEAR(table.robust[0], 0.1179286, 1e-4 * 0.1179286);
}

}  // namespace
}  // namespace kriging

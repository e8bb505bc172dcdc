// The global fit from the program: the fit classes read back from a run's
// chart files, the fit within half a percent of an independent multi-start
// minimum of the criterion, and sorvan-krige --fit global on meuse.
#include "core/global_fit_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../engine/criterion_minimum.h"

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v ? v : fallback;
}
const std::string kSource = Environment("SORVAN_SOURCE_DIR", "../..");
const std::string kTool = Environment("SORVAN_BUILD_DIR", "..") + "/bin/sorvan-krige";

fs::path Scratch(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("sorvan_global_" + std::to_string(::getpid())) / name;
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

kriging::testing::FitClasses AsDouble(const FitClasses& c, int minPairs) {
  kriging::testing::FitClasses d;
  for (size_t i = 0; i < c.count.size(); ++i) {
    if (c.count[i] <= minPairs) continue;
    d.count.push_back(c.count[i]);
    d.distance.push_back(c.distance[i]);
    d.estimate.push_back(c.estimate[i]);
  }
  return d;
}

TEST(ReadFitClasses, ChartFilesOfARun) {
  const fs::path dir = Scratch("read");
  std::ofstream(dir / "SKUEAJUS.SV") << "GENERAL 2 100\nHOLE -1\n# estimador\n3\n 10 20 30\n 0.5 0.6 0.7\n"
                                        "# modelo\n2\n 1 2\n 3 4\n";
  std::ofstream(dir / "SKUEAJUS.FMT") << "2\n3\n 12 40 25\n4\n 0 15 25 35\n";
  FitClasses c;
  ASSERT_TRUE(ReadFitClasses(dir.string(), c).ok);
  EXPECT_EQ(c.distance, (std::vector<float>{10, 20, 30}));
  EXPECT_EQ(c.estimate, (std::vector<float>{0.5f, 0.6f, 0.7f}));
  EXPECT_EQ(c.count, (std::vector<std::int32_t>{12, 40, 25}));
  // A damaged file is named.
  std::ofstream(dir / "SKUEAJUS.FMT") << "2\n4\n 12 40\n";
  const Result r = ReadFitClasses(dir.string(), c);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("SKUEAJUS.FMT"), std::string::npos);
}

TEST(FitGlobally, TooFewClassesIsAMessage) {
  FitClasses c{{10, 20, 30}, {0.5f, 0.6f, 0.7f}, {12, 40, 25}};
  float model[4];
  EXPECT_FALSE(FitGlobally(c, 1, 15, 3, model).ok);  // 2 classes above 15 pairs
}

struct Output {
  int status = -1;
  std::string out, err;
};
Output RunTool(const std::string& arguments, const fs::path& dir) {
  const std::string command = kTool + " " + arguments + " >" + (dir / "out.txt").string() + " 2>" +
                              (dir / "err.txt").string();
  const int r = std::system(command.c_str());
  Output o;
  o.status = WIFEXITED(r) ? WEXITSTATUS(r) : -1;
  std::stringstream so, se;
  so << std::ifstream(dir / "out.txt").rdbuf();
  se << std::ifstream(dir / "err.txt").rdbuf();
  o.out = so.str(), o.err = se.str();
  return o;
}

double Number(const std::string& text, const std::string& after) {
  const size_t at = text.find(after);
  return at == std::string::npos ? NAN : std::stod(text.substr(at + after.size()));
}

class GlobalFitTool : public ::testing::TestWithParam<int> {};

// Every model on meuse log zinc: the model the tool reports is within half a
// percent of the criterion's true minimum on the classes of its run.
TEST_P(GlobalFitTool, ReportedModelIsWithinHalfAPercentOfTheMinimum) {
  const int code = GetParam();
  const fs::path dir = Scratch("tool" + std::to_string(code));
  const Output o = RunTool(kSource + "/examples/meuse.dae --z logzinc --grid 5,5 --fit global --model " +
                               std::to_string(code) + " --out " + dir.string(),
                           dir);
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("método global"), std::string::npos) << o.out;
  FitClasses classes;
  ASSERT_TRUE(ReadFitClasses(dir.string(), classes).ok);
  const kriging::testing::FitClasses d = AsDouble(classes, 15);
  const double last = d.distance.back();
  const double low = code == 4 ? 0.001 : 0.001 * (code == 5 ? last * last : last);
  const double high = code == 4 ? 100 : 100 * (code == 5 ? last * last : last);
  const kriging::testing::Minimum best = kriging::testing::MinimiseCriterion(d, code, low, high);
  const double reported = Number(o.out, "Error del ajuste (MCP): ");
  const double fitted_c0 = Number(o.out, ", c0 = "), fitted_c1 = Number(o.out, ", c1 = ");
  const double fitted_a = code == 3 ? 1 : Number(o.out.substr(o.out.find("Modelo ajustado")), ", a = ");
  const double q = kriging::testing::Criterion(d, code, fitted_c0, fitted_c1, fitted_a);
  EXPECT_LE(q, 1.005 * best.q) << o.out;
  EXPECT_NEAR(reported, q, 1e-3 * q);
}
INSTANTIATE_TEST_SUITE_P(EveryModel, GlobalFitTool, ::testing::Range(1, 7));

}  // namespace

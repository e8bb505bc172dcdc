// Cross-validation of the program's data: the CSV table (complete, or no file
// at all), the model comparison order, and the command-line tool's --cv,
// --cv-out and --compare-models on meuse against an independent package.
#include "core/cross_validation_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v ? v : fallback;
}
const std::string kSource = Environment("SORVAN_SOURCE_DIR", "../..");
const std::string kTool = Environment("SORVAN_BUILD_DIR", "..") + "/bin/sorvan-krige";
const std::string kMeuse = kSource + "/examples/meuse.dae";

fs::path Scratch(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("sorvan_cv_" + std::to_string(::getpid())) / name;
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

std::vector<std::vector<std::string>> ReadCsv(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream s(line);
    for (std::string cell; std::getline(s, cell, ',');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

kriging::CrossValidationResult TwoPoints() {
  kriging::CrossValidationResult r;
  r.points.resize(2);
  r.points[0] = {1.5, 2.5, 3, 2, 0.25, 1, 2, 0};
  r.points[1] = {4, 5, 1, 1.5, 1, -0.5, -0.5, 1};
  return r;
}

TEST(WriteCrossValidationCsv, HeaderAndOneRowPerDatum) {
  const fs::path dir = Scratch("csv");
  ASSERT_TRUE(WriteCrossValidationCsv((dir / "t.csv").string(), TwoPoints()).ok);
  const auto rows = ReadCsv(dir / "t.csv");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "dato");
  EXPECT_EQ(rows[0][7], "error_estandarizado");
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "1.5", "2.5", "3", "2", "0.25", "1", "2", "1"}));
  EXPECT_EQ(rows[2][8], "2");
  EXPECT_FALSE(fs::exists(dir / "t.csv.tmp"));
}

TEST(WriteCrossValidationCsv, UnwritableFolderIsNamedAndLeavesNoFile) {
  const fs::path dir = Scratch("csv_bad");
  const std::string path = (dir / "no" / "t.csv").string();
  const Result r = WriteCrossValidationCsv(path, TwoPoints());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(path), std::string::npos);
  EXPECT_FALSE(fs::exists(path));
}

TEST(SortByError, SmallestRootMeanSquareErrorFirstFailuresLast) {
  std::vector<ModelComparisonRow> rows(3);
  rows[0].model.code = 1, rows[0].validation.summary.rootMeanSquareError = 0.5;
  rows[1].model.code = 2, rows[1].validation.status = 1;
  rows[2].model.code = 3, rows[2].validation.summary.rootMeanSquareError = 0.2;
  SortByError(rows);
  EXPECT_EQ(rows[0].model.code, 3);
  EXPECT_EQ(rows[1].model.code, 1);
  EXPECT_EQ(rows[2].model.code, 2);
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
  std::ifstream out(dir / "out.txt"), err(dir / "err.txt");
  std::stringstream so, se;
  so << out.rdbuf(), se << err.rdbuf();
  o.out = so.str(), o.err = se.str();
  return o;
}

// The given spherical model (c0 0.05, c1 0.59, a 900) on meuse log zinc,
// leave-one-out: rows of an independent package (datum, prediction, variance).
// The window and the tool validate through the engine's CrossValidate: a
// model the engine refuses for a run is refused here with the engine's own
// message naming the parameter, and a valid one gives meuse's reference
// figures (an independent package's leave-one-out of this model).
class CrossValidateColumnsTest : public ::testing::TestWithParam<ValidatedModel> {};

TEST_P(CrossValidateColumnsTest, ModelsTheEngineRefusesAreRefusedWithItsMessage) {
  SpatialData data;
  ASSERT_TRUE(ReadData(kMeuse, data).ok);
  const ValidatedModel m = GetParam();
  kriging::KrigingOptions o;
  o.modelCode = m.code;
  o.fitMethod = kriging::FitMethod::kNone;
  o.hasStart = true;
  o.start = {m.c0, m.c1, m.a};
  o.grid = {1, 1, 0, 0, 1, 1};  // a valid grid: only the model is wrong
  const std::string expected = kriging::Validate(o, data.N);
  ASSERT_FALSE(expected.empty());
  const kriging::CrossValidationResult r = CrossValidateColumns(data, 1, 2, 4, m, 0, 0, 1);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.message, expected);
  EXPECT_TRUE(r.points.empty());
}

INSTANTIATE_TEST_SUITE_P(RefusedModels, CrossValidateColumnsTest,
                         ::testing::Values(ValidatedModel{1, 0.05, -0.59, 900}, ValidatedModel{1, -0.1, 0.59, 900},
                                           ValidatedModel{1, 0.05, 0.59, -900}, ValidatedModel{4, 0.05, 0.59, 2.5}));

TEST(CrossValidateColumns, MeuseReferenceOfAFixedModel) {
  SpatialData data;
  ASSERT_TRUE(ReadData(kMeuse, data).ok);
  const kriging::CrossValidationResult r = CrossValidateColumns(data, 1, 2, 4, {1, 0.05, 0.59, 900}, 0, 0, 1);
  ASSERT_EQ(r.status, 0) << r.message;
  EXPECT_EQ(r.summary.count, data.N);
  EXPECT_NEAR(r.summary.rootMeanSquareError, 0.391977, 1e-5);
  EXPECT_NEAR(r.summary.meanSquaredStandardisedError, 0.825517, 1e-4);
}

TEST(SorvanKrigeCrossValidation, TableMatchesTheIndependentPackage) {
  const fs::path dir = Scratch("cli");
  const Output o = RunTool(kMeuse + " --z logzinc --model spherical --fit none --start 0.05,0.59,900 --grid 5,5 --cv-out " +
                           (dir / "cv.csv").string() + " --out " + dir.string(),
                       dir);
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("Validación cruzada (dejando fuera cada dato, 155 datos)"), std::string::npos) << o.out;
  const auto rows = ReadCsv(dir / "cv.csv");
  ASSERT_EQ(rows.size(), 156u);
  const struct { int datum; double prediction, variance; } reference[] = {
      {1, 6.769259, 0.179675}, {50, 5.312103, 0.160281}, {155, 6.349375, 0.540877}};
  for (const auto& r : reference) {
    EXPECT_NEAR(std::stod(rows[r.datum][4]), r.prediction, 5e-4) << r.datum;
    EXPECT_NEAR(std::stod(rows[r.datum][5]), r.variance, 5e-5) << r.datum;
  }
}

TEST(SorvanKrigeCrossValidation, CompareModelsListsTheSixSortedByError) {
  const fs::path dir = Scratch("compare");
  const Output o = RunTool(kMeuse + " --z logzinc --grid 5,5 --compare-models --out " + dir.string(), dir);
  ASSERT_EQ(o.status, 0) << o.err;
  const size_t start = o.out.find("Comparación de modelos");
  ASSERT_NE(start, std::string::npos) << o.out;
  std::stringstream table(o.out.substr(start));
  std::string line;
  std::getline(table, line);
  std::getline(table, line);  // column names
  std::vector<double> errors;
  for (int k = 0; k < 6 && std::getline(table, line); ++k) {
    std::stringstream cells(line);
    std::vector<std::string> v;
    for (std::string c; cells >> c;) v.push_back(c);
    ASSERT_EQ(v.size(), 8u) << line;
    errors.push_back(std::stod(v[5]));
  }
  ASSERT_EQ(errors.size(), 6u);
  for (size_t k = 1; k < errors.size(); ++k) EXPECT_LE(errors[k - 1], errors[k]);
}

TEST(SorvanKrigeCrossValidation, FoldsBelowTwoAreAUsageError) {
  const fs::path dir = Scratch("usage");
  const Output o = RunTool(kMeuse + " --cv-folds 1", dir);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("--cv-folds"), std::string::npos);
}

}  // namespace

// Whole SKU runs through the C ABI of the built library, compared byte for byte
// with the files a run wrote before the engine's internals were reorganised
// (tests/engine/golden/<case>/). The kriged surfaces are the values that a
// different order of the single-precision system's arithmetic may change: the
// files that hold them (SKUPRE.SUP, SKUVAR.SUP and the returned grids) are
// compared number by number within that rounding, every other character
// exactly. Every case runs in a child
// process (a fatal run ends its process) inside a fresh temporary folder.
//
// To write the golden copies again (only after a deliberate change of the
// results): SORVAN_WRITE_GOLDEN=1 ./sku_golden_test
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "kriging_reference.h"

namespace {

namespace fs = std::filesystem;
using kriging::reference::Data;

using Entry = void (*)(std::int32_t*, float*, float*, float*, float*, float*, std::int32_t*,
                       std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*,
                       float*, float*, float*, float*, std::int32_t*, float*, float*, float*,
                       std::int32_t*, float*);

const char* const kFiles[] = {"KRIGING.LOG", "SKUESTIM.SV", "SKUESTIM.FMT", "SKUEAJUS.SV",
                              "SKUEAJUS.FMT", "SKUPRE.SUP", "SKUVAR.SUP"};

fs::path Library() {
  const char* dir = std::getenv("SORVAN_LIB_DIR");
  return fs::path(dir ? dir : ".") / "libkriging.so";
}

fs::path GoldenRoot() {
  const char* source = std::getenv("SORVAN_SOURCE_DIR");
  return fs::path(source ? source : "../..") / "tests/engine/golden";
}

// One SKU call: every argument, with the meuse grid of the desktop program.
struct GoldenCase {
  std::string name;
  Data data;
  float firstLag = -1, lagWidth = -1;
  std::int32_t lagCount = -1, fitLagCount = -1, modelCode = 1, trendDegree = 0;
  std::int32_t nx = 12, ny = 14;
  float xMin = 178648.05f, yMin = 329784.3f, dx = 241.75f, dy = 290.0f;
  std::int32_t gridRows = 12;
  float holeValue = -10000.0f;
  std::vector<int> holes;  // nodes (i + j * gridRows) marked as holes on entry
  std::int32_t options[7] = {-1, -1, -1, 1, -1, -1, -1};
  float parameters[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

std::ostream& operator<<(std::ostream& out, const GoldenCase& c) { return out << c.name; }

std::vector<GoldenCase> Cases() {
  const Data meuse = kriging::reference::Meuse();
  std::vector<GoldenCase> cases;
  auto add = [&](const std::string& name) -> GoldenCase& {
    cases.push_back(GoldenCase{});
    cases.back().name = name;
    cases.back().data = meuse;
    return cases.back();
  };
  add("spherical_ordinary_alternating");
  {
    GoldenCase& c = add("exponential_linear_trend_direct_robust");
    c.modelCode = 2, c.trendDegree = 1;
    c.options[0] = 2, c.options[3] = 2;
  }
  {
    GoldenCase& c = add("rational_quadratic_quadratic_trend_variable_lags");
    c.modelCode = 5, c.trendDegree = 2;
    c.options[4] = 2;
  }
  {
    GoldenCase& c = add("oscillatory_cubic_trend_fixed_model");
    c.modelCode = 6, c.trendDegree = 3;
    c.options[3] = 3;
    c.parameters[0] = 0.05f, c.parameters[1] = 0.6f, c.parameters[2] = 250.0f;
  }
  {
    GoldenCase& c = add("linear_ordinary_given_lags");
    c.modelCode = 3;
    c.firstLag = 80, c.lagWidth = 160, c.lagCount = 12, c.fitLagCount = 8;
  }
  {
    // The covariance of a linear model over 1500 m is not positive definite
    // on these data: the fatal end of the trend iteration.
    GoldenCase& c = add("fatal_linear_trend_not_positive_definite");
    c.modelCode = 3, c.trendDegree = 1;
    c.firstLag = 80, c.lagWidth = 160, c.lagCount = 12, c.fitLagCount = 8;
    c.parameters[9] = 1500;
  }
  {
    GoldenCase& c = add("power_ordinary_start_values");
    c.modelCode = 4;
    c.options[3] = 2;
    c.parameters[0] = 0.1f, c.parameters[1] = 0.01f, c.parameters[2] = 0.8f;
  }
  {
    // A profile-like mask: the nodes of one corner are holes; the grid arrays
    // are taller than the grid.
    GoldenCase& c = add("spherical_holes_tall_arrays");
    c.gridRows = 15;
    c.holeValue = -99.0f;
    for (int j = 0; j < c.ny; ++j)
      for (int i = 0; i < c.nx; ++i)
        if (i + j < 7 || (i > 9 && j > 10)) c.holes.push_back(i + j * c.gridRows);
  }
  {
    // Two data at one place: the fatal singular-system end of a run.
    GoldenCase& c = add("fatal_coinciding_data");
    c.data.x[7] = c.data.x[3], c.data.y[7] = c.data.y[3];
    c.options[3] = 3;
    c.parameters[0] = 0.05f, c.parameters[1] = 0.6f, c.parameters[2] = 900.0f;
  }
  return cases;
}

// Runs the case in `folder` in a child process; returns its wait status.
int RunInChild(GoldenCase c, const fs::path& folder) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(100);
    void* handle = dlopen(Library().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) _exit(101);
    auto sku = reinterpret_cast<Entry>(dlsym(handle, "SKU"));
    if (sku == nullptr) _exit(102);
    const std::size_t size = static_cast<std::size_t>(c.gridRows) * c.ny;
    std::vector<float> prediction(size, 0.0f), variance(size, 0.0f);
    for (int node : c.holes) prediction[node] = c.holeValue;
    std::int32_t n = c.data.size();
    sku(&n, c.data.z.data(), c.data.x.data(), c.data.y.data(), &c.firstLag, &c.lagWidth,
        &c.lagCount, &c.fitLagCount, &c.modelCode, &c.trendDegree, &c.nx, &c.ny, &c.xMin,
        &c.yMin, &c.dx, &c.dy, &c.gridRows, prediction.data(), variance.data(), &c.holeValue,
        c.options, c.parameters);
    // The values written back and the grids are part of the contract too.
    std::ofstream out("RETURNED.TXT");
    out.precision(9);
    out << c.firstLag << ' ' << c.lagWidth << ' ' << c.lagCount << ' ' << c.fitLagCount << '\n';
    for (std::int32_t o : c.options) out << o << ' ';
    out << '\n';
    for (float p : c.parameters) out << p << ' ';
    out << '\n';
    for (std::size_t k = 0; k < size; ++k) out << prediction[k] << ' ' << variance[k] << '\n';
    out.close();
    _exit(out ? 0 : 103);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Both texts split at white space: the same words, the numbers within a unit
// of their last printed digit plus 1e-4 of their size (about five times the
// largest difference that another order or precision of the system's
// single-precision arithmetic has made on these runs).
testing::AssertionResult SameWithinSolveRounding(const std::string& got, const std::string& want) {
  std::istringstream g(got), w(want);
  std::string a, b;
  for (int word = 0;; ++word) {
    const bool moreGot = static_cast<bool>(g >> a), moreWant = static_cast<bool>(w >> b);
    if (moreGot != moreWant)
      return testing::AssertionFailure() << "different length at word " << word;
    if (!moreGot) return testing::AssertionSuccess();
    if (a == b) continue;
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
    if (*endA != '\0' || *endB != '\0')
      return testing::AssertionFailure() << "word " << word << ": " << a << " for " << b;
    const std::size_t point = b.find('.');
    const double lastDigit = point == std::string::npos
                                 ? 1.0
                                 : std::pow(10.0, -static_cast<double>(b.size() - point - 1));
    if (std::fabs(x - y) > lastDigit + 1e-4 * std::fabs(y))
      return testing::AssertionFailure() << "word " << word << ": " << a << " for " << b;
  }
}

class SkuGolden : public testing::TestWithParam<GoldenCase> {};

TEST_P(SkuGolden, EveryFileIsByteIdentical) {
  if (!fs::exists(Library())) GTEST_SKIP() << Library() << " not built";
  const GoldenCase& c = GetParam();
  kriging::reference::ScratchDirectory scratch;
  const int status = RunInChild(c, scratch.path());
  ASSERT_TRUE(WIFEXITED(status));
  const bool fatal = c.name.rfind("fatal_", 0) == 0;
  EXPECT_EQ(WEXITSTATUS(status), fatal ? 2 : 0);

  const fs::path golden = GoldenRoot() / c.name;
  std::vector<std::string> names(std::begin(kFiles), std::end(kFiles));
  names.push_back("RETURNED.TXT");
  names.push_back("EXIT_STATUS");
  std::ofstream(scratch.path() / "EXIT_STATUS") << WEXITSTATUS(status) << '\n';
  if (std::getenv("SORVAN_WRITE_GOLDEN") != nullptr) {
    fs::create_directories(golden);
    for (const std::string& name : names)
      if (fs::exists(scratch.path() / name))
        fs::copy_file(scratch.path() / name, golden / name, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "golden copies written to " << golden;
  }
  ASSERT_TRUE(fs::exists(golden / "KRIGING.LOG")) << golden;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ASSERT_EQ(fs::exists(scratch.path() / name), fs::exists(golden / name));
    if (!fs::exists(golden / name)) continue;
    const std::string got = Contents(scratch.path() / name), want = Contents(golden / name);
    if (name == "SKUPRE.SUP" || name == "SKUVAR.SUP" || name == "RETURNED.TXT") {
      EXPECT_TRUE(SameWithinSolveRounding(got, want));
      continue;
    }
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "first difference at byte "
                             << std::distance(got.begin(), std::mismatch(got.begin(), got.end(),
                                                                         want.begin(), want.end())
                                                                .first);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, SkuGolden, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<GoldenCase>& info) {
                           return info.param.name;
                         });

}  // namespace

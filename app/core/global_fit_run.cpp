#include "core/global_fit_run.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "numerics/error_service.h"
#include "variogram_fit_global.h"

namespace sorvan::core {
namespace {

constexpr int kDefaultMinPairs = 15;

std::vector<std::string> Tokens(const std::filesystem::path& file, int skipLines) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  for (int i = 0; i < skipLines && std::getline(in, line); ++i) {
  }
  std::vector<std::string> tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  return tokens;
}

// The engine's messages of an in-process fit go to a scratch file, not to
// the terminal.
class ScratchOutput {
 public:
  ScratchOutput() : output_(kriging::OutputDestination(2)), errors_(kriging::OutputDestination(3)) {
    scratch_ = std::tmpfile();
    if (scratch_ == nullptr) return;
    kriging::OutputUnit(-2, scratch_);
    kriging::OutputUnit(-3, scratch_);
  }
  ~ScratchOutput() {
    if (scratch_ == nullptr) return;
    kriging::OutputUnit(-2, output_);
    kriging::OutputUnit(-3, errors_);
    std::fclose(scratch_);
  }
  ScratchOutput(const ScratchOutput&) = delete;
  ScratchOutput& operator=(const ScratchOutput&) = delete;

 private:
  std::FILE* output_;
  std::FILE* errors_;
  std::FILE* scratch_ = nullptr;
};

}  // namespace

Result ReadFitClasses(const std::string& folder, FitClasses& classes) {
  const std::filesystem::path dir(folder);
  // "GENERAL 2 100", "HOLE -1", "# estimador", m, m distances, m estimates.
  const std::vector<std::string> sv = Tokens(dir / "SKUEAJUS.SV", 3);
  // kind, m, m counts, ...
  const std::vector<std::string> fmt = Tokens(dir / "SKUEAJUS.FMT", 0);
  FitClasses read;
  try {
    const size_t m = sv.empty() ? 0 : std::stoul(sv[0]);
    if (m < 1 || sv.size() < 1 + 2 * m || fmt.size() < 2 + m || std::stoul(fmt[1]) != m)
      throw std::invalid_argument("layout");
    for (size_t i = 0; i < m; ++i) {
      read.distance.push_back(std::stof(sv[1 + i]));
      read.estimate.push_back(std::stof(sv[1 + m + i]));
      read.count.push_back(std::int32_t(std::stol(fmt[2 + i])));
    }
  } catch (const std::exception&) {
    return Result::Error("No se pueden leer las clases del ajuste en «" + (dir / "SKUEAJUS.SV").string() +
                            "» y «" + (dir / "SKUEAJUS.FMT").string() + "».");
  }
  classes = std::move(read);
  return Result::Success();
}

Result FitGlobally(const FitClasses& classes, int code, int minPairs, int fitLagCount, float model[4]) {
  const int lagCount = int(classes.count.size());
  const int pairs = minPairs < 1 ? kDefaultMinPairs : minPairs;
  int usable = 0;
  for (std::int32_t c : classes.count) usable += c > pairs ? 1 : 0;
  const int parameters = code == 3 ? 2 : 3;
  if (std::min(usable, fitLagCount) < parameters)
    return Result::Error("Hay " + std::to_string(usable) + " clases con más de " + std::to_string(pairs) +
                            " pares: pocas para ajustar el modelo.");
  float params[10];
  std::fill(params, params + 10, -1.0f);
  std::int32_t iterations = 0;
  {
    ScratchOutput quiet;
    kriging::FitVariogramGlobal(code, classes.estimate.data(), classes.distance.data(), classes.count.data(),
                                lagCount, fitLagCount, pairs, params, iterations);
  }
  std::copy(params, params + 4, model);
  return Result::Success();
}

}  // namespace sorvan::core

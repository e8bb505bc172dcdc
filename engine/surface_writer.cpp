#include "surface_writer.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

namespace kriging {
namespace {

constexpr int kFieldWidth = 15;
constexpr int kValuesPerLine = 100;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Shortest text that reads back as the same float, always with a decimal
// point or an exponent so that a reader takes it as a real.
std::string FreeFormatReal(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string s(text, result.ptr);
  if (std::isfinite(value) && s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

void WriteHeader(std::FILE* f, const SurfaceGrid& grid) {
  std::fprintf(f, " GRID %d %d\n", grid.nx, grid.ny);
  std::fprintf(f, " %s %s %s %s %s\n", FreeFormatReal(grid.holeValue).c_str(),
               FreeFormatReal(grid.dx).c_str(), FreeFormatReal(grid.dy).c_str(),
               FreeFormatReal(grid.xMin).c_str(), FreeFormatReal(grid.yMin).c_str());
}

void WriteRow(std::FILE* f, const SurfaceGrid& grid, const float* values, int i) {
  std::string line;
  for (int j = 0; j < grid.ny; ++j) {
    line += "  ";
    line += FormatSurfaceNumber(values[i + static_cast<std::ptrdiff_t>(j) * grid.gridRows]);
    if ((j + 1) % kValuesPerLine == 0 && j + 1 < grid.ny) line += '\n';
  }
  line += '\n';
  std::fputs(line.c_str(), f);
}

}  // namespace

std::string FormatSurfaceNumber(float value) {
  char text[64];
  if (std::isnan(value)) {
    std::snprintf(text, sizeof text, "%*s", kFieldWidth, "nan");
  } else if (std::isinf(value)) {
    std::snprintf(text, sizeof text, "%*s", kFieldWidth, value > 0 ? "inf" : "-inf");
  } else {
    const int length = std::snprintf(text, sizeof text, "%*.4f", kFieldWidth, value);
    if (length > kFieldWidth) std::snprintf(text, sizeof text, "%*.7E", kFieldWidth, value);
  }
  return text;
}

bool WriteSurfaceFiles(const char* predictionPath, const char* variancePath,
                       const SurfaceGrid& grid, const float* prediction, const float* variance,
                       float zLow, float zHigh, std::string* failedPath, int* error) {
  auto fail = [&](const char* path, int cause) {
    if (failedPath != nullptr) *failedPath = path;
    if (error != nullptr) *error = cause;
    return false;
  };
  File pre(std::fopen(predictionPath, "w"));
  if (!pre) return fail(predictionPath, errno);
  File var(std::fopen(variancePath, "w"));
  if (!var) return fail(variancePath, errno);

  std::fprintf(pre.get(), "#  %s  %s\n", FormatSurfaceNumber(zLow).c_str(),
               FormatSurfaceNumber(zHigh).c_str());
  WriteHeader(pre.get(), grid);
  WriteHeader(var.get(), grid);
  for (int i = 0; i < grid.nx; ++i) {
    WriteRow(pre.get(), grid, prediction, i);
    WriteRow(var.get(), grid, variance, i);
  }
  // errno of a failed write survives until the closes below.
  const int writeError = errno;
  const bool preWritten = !std::ferror(pre.get()), varWritten = !std::ferror(var.get());
  errno = 0;
  const bool preClosed = std::fclose(pre.release()) == 0;
  const int preCloseError = errno;
  errno = 0;
  const bool varClosed = std::fclose(var.release()) == 0;
  const int varCloseError = errno;
  if (!preClosed) return fail(predictionPath, preCloseError);
  if (!preWritten) return fail(predictionPath, writeError);
  if (!varClosed) return fail(variancePath, varCloseError);
  if (!varWritten) return fail(variancePath, writeError);
  return true;
}

}  // namespace kriging

#include "surface_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "numerics/thread_pool.h"

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

// Appends value as FormatSurfaceNumber writes it. Fixed point through
// to_chars, which rounds the exact value as printf's "%.4f" does, several
// times faster.
void AppendSurfaceNumber(std::string& line, float value) {
  char text[64];
  int length = 0;
  if (std::isnan(value)) {
    length = std::snprintf(text, sizeof text, "%*s", kFieldWidth, "nan");
  } else if (std::isinf(value)) {
    length = std::snprintf(text, sizeof text, "%*s", kFieldWidth, value > 0 ? "inf" : "-inf");
  } else {
    const auto fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    length = static_cast<int>(fixed.ptr - text);
    if (fixed.ec != std::errc() || length > kFieldWidth)
      length = std::snprintf(text, sizeof text, "%*.7E", kFieldWidth, value);
  }
  line.append(std::max(kFieldWidth - length, 0), ' ');
  line.append(text, length);
}

std::string RowText(const SurfaceGrid& grid, const float* values, int i) {
  std::string line;
  for (int j = 0; j < grid.ny; ++j) {
    line += "  ";
    AppendSurfaceNumber(line, values[i + static_cast<std::ptrdiff_t>(j) * grid.gridRows]);
    if ((j + 1) % kValuesPerLine == 0 && j + 1 < grid.ny) line += '\n';
  }
  line += '\n';
  return line;
}

}  // namespace

std::string FormatSurfaceNumber(float value) {
  std::string text;
  AppendSurfaceNumber(text, value);
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
  // Rows formatted on the threads a batch at a time, written in order. A
  // value takes about as long to format as 250 multiply-adds.
  constexpr int kBatchRows = 128;
  std::vector<std::string> lines(2 * kBatchRows);
  for (int first = 0; first < grid.nx; first += kBatchRows) {
    const int rows = std::min(kBatchRows, grid.nx - first);
    ParallelFor(2 * rows, WorkersFor(500.0 * rows * std::max(grid.ny, 0), WorkerCount()),
                [&](int item, int) {
                  const int i = first + item / 2;
                  lines[item] = RowText(grid, item % 2 == 0 ? prediction : variance, i);
                });
    for (int r = 0; r < rows; ++r) {
      std::fputs(lines[2 * r].c_str(), pre.get());
      std::fputs(lines[2 * r + 1].c_str(), var.get());
    }
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

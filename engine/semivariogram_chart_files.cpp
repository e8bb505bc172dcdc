// Writers of the semivariogram chart files.
#include "semivariogram_chart_files.h"

#include <cstdint>
#include <vector>

#include "run_files.h"
#include "variogram_models.h"

namespace kriging {
namespace {

constexpr int kValuesPerLine = 10;
constexpr int kModelPoints = 100;

struct Series {
  const char* comment;  // code page 1252, as the chart component reads it
  int points;
  const float* x;
  const float* y;
};

void WriteReals(std::FILE* file, int count, const float* values) {
  for (int i = 0; i < count; ++i)
    std::fprintf(file, (i + 1) % kValuesPerLine == 0 || i + 1 == count ? " %.9g\n" : " %.9g",
                 values[i]);
  if (count <= 0) std::fprintf(file, "\n");
}

void WriteIntegers(std::FILE* file, int count, const std::int32_t* values) {
  for (int i = 0; i < count; ++i)
    std::fprintf(file, (i + 1) % kValuesPerLine == 0 || i + 1 == count ? " %d\n" : " %d",
                 static_cast<int>(values[i]));
  if (count <= 0) std::fprintf(file, "\n");
}

// The "GENERAL" layout: header, hole marker, then each series.
void WriteGeneralChart(const char* name, const Series (&series)[2]) {
  if (!RunWritesFiles()) return;
  std::FILE* file = CreateRunFile(name);
  std::fprintf(file, "GENERAL 2 100\nHOLE -1\n");
  for (const Series& s : series) {
    std::fprintf(file, "%s\n%d\n", s.comment, s.points);
    WriteReals(file, s.points, s.x);
    WriteReals(file, s.points, s.y);
  }
  CloseRunFile(file, name);
}

void WriteAnnotation(const char* name, int kind, const LagTable& table, int classes) {
  if (!RunWritesFiles()) return;
  std::FILE* file = CreateRunFile(name);
  std::fprintf(file, "%d\n%d\n", kind, classes);
  WriteIntegers(file, classes, table.count);
  std::fprintf(file, "%d\n", classes + 1);
  WriteReals(file, classes + 1, table.bounds);
  CloseRunFile(file, name);
}

}  // namespace

void WriteEstimateChartFiles(const LagTable& table, int lagCount, std::FILE*) {
  const Series series[2] = {
      {"# estimador cl\xE1sico", lagCount, table.meanDistance, table.classical},
      {"# estimador robusto", lagCount, table.meanDistance, table.robust}};
  WriteGeneralChart("SKUESTIM.SV", series);
  WriteAnnotation("SKUESTIM.FMT", 1, table, lagCount);
}

void WriteFitChartFiles(const LagTable& table, int m, int modelCode, std::FILE*) {
  std::vector<float> h(kModelPoints), gamma(kModelPoints);
  const float step = (m >= 1 ? table.meanDistance[m - 1] : 0.0f) / kModelPoints;
  for (int i = 0; i < kModelPoints; ++i) {
    h[i] = static_cast<float>(i + 1) * step;
    gamma[i] = EvaluateVariogram(modelCode, h[i]);
  }
  const Series series[2] = {{"# estimador", m, table.meanDistance, table.fitted},
                            {"# modelo", kModelPoints, h.data(), gamma.data()}};
  WriteGeneralChart("SKUEAJUS.SV", series);
  WriteAnnotation("SKUEAJUS.FMT", 2, table, m);
}

}  // namespace kriging

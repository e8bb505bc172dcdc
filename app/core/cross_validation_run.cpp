#include "core/cross_validation_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace sorvan::core {

kriging::CrossValidationResult CrossValidateColumns(const SpatialData& data, int colX, int colY,
                                                    int colZ, const ValidatedModel& model,
                                                    int trendDegree, int folds, std::uint32_t seed) {
  const int n = data.N;
  kriging::KrigingData points;
  points.x.resize(n), points.y.resize(n), points.z.resize(n);
  for (int i = 0; i < n; ++i) {
    points.x[i] = data.value(i + 1, colX);
    points.y[i] = data.value(i + 1, colY);
    points.z[i] = data.value(i + 1, colZ);
  }
  // The model as given (no fit), through the engine's named interface, so the
  // options are checked as for any run.
  kriging::KrigingOptions options;
  options.modelCode = model.code;
  options.fitMethod = kriging::FitMethod::kNone;
  options.hasStart = true;
  options.start = {model.c0, model.c1, model.a};
  options.trendDegree = trendDegree;
  return kriging::CrossValidate(points, options, folds, seed).validation;
}

Result WriteCrossValidationCsv(const std::string& path,
                                  const kriging::CrossValidationResult& result) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return Result::Error("No se puede escribir el archivo «" + path + "».");
    out << "dato,x,y,observado,prediccion,varianza,error,error_estandarizado,grupo\n";
    char line[512];
    for (size_t i = 0; i < result.points.size(); ++i) {
      const kriging::CrossValidationPoint& p = result.points[i];
      std::snprintf(line, sizeof line, "%zu,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g,%d\n", i + 1,
                    p.x, p.y, p.observed, p.predicted, p.variance, p.error, p.standardisedError,
                    p.fold + 1);
      out << line;
    }
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return Result::Error("No se pudo terminar de escribir el archivo «" + path + "».");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return Result::Error("No se puede escribir el archivo «" + path + "».");
  }
  return Result::Success();
}

void SortByError(std::vector<ModelComparisonRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const ModelComparisonRow& a, const ModelComparisonRow& b) {
    const bool okA = a.validation.status == 0, okB = b.validation.status == 0;
    if (okA != okB) return okA;
    return okA && a.validation.summary.rootMeanSquareError < b.validation.summary.rootMeanSquareError;
  });
}

}  // namespace sorvan::core

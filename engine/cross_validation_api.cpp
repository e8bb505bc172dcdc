#include "cross_validation_api.h"

#include <algorithm>

namespace kriging {

ValidatedRun CrossValidate(const KrigingData& data, const KrigingOptions& options, int folds,
                           std::uint32_t seed) {
  // The model only: one node at the first datum, no files.
  KrigingOptions fitOnly = options;
  fitOnly.grid = {1, 1, data.x.empty() ? 0 : data.x[0], data.y.empty() ? 0 : data.y[0], 1, 1};
  fitOnly.holeMask.clear();
  fitOnly.outputFolder.clear();
  ValidatedRun run;
  run.fit = Krige(data, fitOnly);
  if (!run.fit.ok()) {
    run.validation.status = 1;
    run.validation.message = run.fit.message;
    return run;
  }
  const FittedModel& m = run.fit.model;
  run.validation = CrossValidateGlobal(static_cast<int>(data.x.size()), data.x.data(), data.y.data(),
                                       data.z.data(), {m.code, m.c0, m.c1, m.a}, options.trendDegree,
                                       folds, seed);
  return run;
}

std::vector<ValidatedRun> CompareModels(const KrigingData& data, const KrigingOptions& options,
                                        int folds, std::uint32_t seed) {
  std::vector<ValidatedRun> runs;
  for (int code = 1; code <= 6; ++code) {
    KrigingOptions o = options;
    o.modelCode = code;
    o.hasStart = false;
    if (o.fitMethod == FitMethod::kNone) o.fitMethod = FitMethod::kAlternating;
    runs.push_back(CrossValidate(data, o, folds, seed));
  }
  std::stable_sort(runs.begin(), runs.end(), [](const ValidatedRun& a, const ValidatedRun& b) {
    const bool okA = a.validation.status == 0, okB = b.validation.status == 0;
    if (okA != okB) return okA;
    return okA && a.validation.summary.rootMeanSquareError < b.validation.summary.rootMeanSquareError;
  });
  return runs;
}

}  // namespace kriging

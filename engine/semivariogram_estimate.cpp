// Stage I of a run: empirical semivariogram, its chart files, the model fit and
// the chart files of the fitted model.
#include "semivariogram_estimate.h"

#include <algorithm>
#include <cstdio>

#include "lag_classes.h"
#include "numerics/error_service.h"
#include "run_context.h"
#include "semivariogram_chart_files.h"
#include "variogram_fit.h"
#include "variogram_fit_global.h"
#include "variogram_models.h"

namespace kriging {
namespace {

// Defaults of option entries 1..5: classical estimator, more than 15 pairs per
// fitted class, 500 solver iterations, alternating fit, regular classes.
constexpr std::int32_t kOptionDefaults[5] = {1, 15, 500, 1, 1};

void LogLine(std::FILE* log, const char* line) {
  if (log != nullptr) std::fprintf(log, "%s\n", line);
}

}  // namespace

void EstimateAndFitSemivariogram(int n, const float* z, const float* x, const float* y,
                                 float& firstLag, float& lagWidth, std::int32_t& lagCount,
                                 std::int32_t modelCode, std::int32_t& fitLagCount,
                                 std::int32_t options[7], float params[10]) {
  std::FILE* log = OutputDestination(2);
  CurrentModel().code = modelCode;
  std::int32_t pairs_per_class = options[5];
  for (int e = 0; e < 5; ++e)
    if (options[e] < 1) options[e] = kOptionDefaults[e];
  if (fitLagCount < 1) fitLagCount = lagCount;
  LogLine(log, "    Estimando el semivariograma ...");

  LagTable& table = CurrentLagTable();
  if (options[4] == 1) {
    if (lagCount < 1) {
      LogLine(log, "    (Se calculan los par\xC3\xA1metros de suavizado)");
      pairs_per_class = -1;  // always the automatic count in this mode
      ChooseLagParameters(n, z, x, y, firstLag, lagWidth, lagCount, pairs_per_class);
    }
    lagCount = std::min(lagCount, kMaxLagClasses);  // the table's capacity
    std::int32_t max_class_index = 1;
    AccumulateRegularLags(n, z, x, y, firstLag, lagWidth, lagCount, 0.0f, -1.0f, -1.0f,
                          table.classical, table.robust, table.meanDistance, table.count,
                          max_class_index);
    if (fitLagCount < 1) fitLagCount = max_class_index / 2;
    RegularLagBounds(firstLag, lagWidth, lagCount, table.bounds);
  } else {
    EstimateVariableLags(n, z, x, y, pairs_per_class, table.bounds, kMaxLagClasses, 0.0f, -1.0f,
                         -1.0f, table.classical, table.robust, table.meanDistance, table.count,
                         lagCount);
    fitLagCount = lagCount / 2;
  }
  // The fit and its chart read only classes this run computed.
  fitLagCount = std::min(fitLagCount, lagCount);
  WriteEstimateChartFiles(table, lagCount, log);

  const float* chosen = options[0] == 1 ? table.classical : table.robust;
  std::copy(chosen, chosen + lagCount, table.fitted);

  LogLine(log, "    Ajustando un modelo ...");
  if (CurrentContext().globalFit && options[3] == 2)
    FitVariogramGlobal(modelCode, table.fitted, table.meanDistance, table.count, lagCount,
                       fitLagCount, options[1], params, options[2]);
  else
    FitVariogramModel(modelCode, table.fitted, table.meanDistance, table.count, lagCount,
                      fitLagCount, options[1], params, options[2], options[3]);
  SetModel(modelCode, params[0], params[1], params[2]);
  WriteFitChartFiles(table, fitLagCount, modelCode, log);
}

}  // namespace kriging

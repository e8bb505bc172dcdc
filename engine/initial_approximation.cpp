// Starting values of the semivariogram fit.
#include <algorithm>

#include "numerics/error_service.h"
#include "numerics/kernels.h"
#include "numerics/regression.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {
namespace {

float Mean(int count, const float* values) {
  return count > 0 ? PlainSum(count, values, 1) / static_cast<float>(count) : 0.0f;
}

// Straight line gamma^ = b0 + b1 h over `count` classes; a negative intercept
// is replaced by the line through the origin.
void StartLine(int count, const float* h, const float* gammaHat, float& b0, float& b1,
               float& meanGamma) {
  float stat[12];
  RLINE(count, h, gammaHat, b0, b1, stat);
  meanGamma = stat[1];
  if (b0 < 0) {
    b1 = DotProduct(count, h, 1, gammaHat, 1) / DotProduct(count, h, 1, h, 1);
    b0 = 0;
  }
}

}  // namespace

void InitialApproximation(int modelCode, int m, const float* gammaHat, const float* h, float p[3]) {
  std::FILE* log = OutputDestination(2);
  float b0 = 0, b1 = 0, mean_gamma = 0;
  const ModelInfo* model = FindModel(modelCode);
  if (model == nullptr) model = FindModel(1);
  if (model->startFromSill == nullptr) {
    // Models without a sill (linear, power): the straight line over all
    // classes, a as the table gives it (the power model's exponent 1).
    p[2] = model->lineStartA;
    StartLine(m, h, gammaHat, b0, b1, mean_gamma);
    if (b1 >= 0) {
      p[0] = b0, p[1] = b1;
    } else {
      p[0] = mean_gamma, p[1] = 0;
    }
    LogFitValues(log, "    Aprox. inicial:", 2, p);
    return;
  }

  // Models with a sill: the line through the first q classes rises to the
  // level S of the last q classes at the range r. Fewer than 3 classes: all.
  const int q = std::min(std::max((m + 1) / 2, 3), m);
  StartLine(q, h, gammaHat, b0, b1, mean_gamma);
  if (m < 1) return;  // the line has already reported that there is no class
  float level = Mean(q, gammaHat + (m - q));
  float base, range;
  if (b1 < 1e-10f || level < b0) {  // no rising start: the overall means
    base = level = Mean(m, gammaHat);
    range = Mean(m, h);
  } else {
    base = b0;
    range = std::min((level - b0) / b1, h[m - 1]);
  }

  model->startFromSill(base, level, range, p);
  LogFitValues(log, "    Aproximaci\xC3\xB3n inicial:", 3, p);
}

}  // namespace kriging

// The linear half of the alternating fit: c0 and c1 by weighted regression.
#include <cmath>

#include "numerics/kernels.h"
#include "numerics/regression.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {

void LinearStep(float p[3]) {
  const FitSet& fit = CurrentFitSet();
  const int m = fit.m;
  const int code = CurrentModel().code;

  // Weights of the relative misfit at the incoming parameters. A model that is
  // zero at a class (all values zero) leaves the plain count weight.
  float weight[kFitCapacity];
  SetModelParameters(p);
  for (int i = 0; i < m; ++i) {
    const float gamma = EvaluateVariogram(code, fit.distance[i]);
    const float root_count = std::sqrt(static_cast<float>(fit.count[i]));
    weight[i] = gamma > 0 && std::isfinite(gamma) ? root_count / gamma : root_count;
  }

  // y = b1 X1 + b2 X2 without intercept: X1 the weight, X2 the unit shape g
  // (the model with c0 = 0, c1 = 1) times the weight.
  SetModel(code, 0.0f, 1.0f, p[2]);
  float columns[2 * kFitCapacity], response[kFitCapacity];
  float* x1 = columns;
  float* x2 = columns + kFitCapacity;
  for (int i = 0; i < m; ++i) {
    x1[i] = weight[i];
    x2[i] = EvaluateVariogram(code, fit.distance[i]) * weight[i];
    response[i] = fit.estimate[i] * weight[i];
  }
  float b[2], sst, sse;
  RLSE(m, response, 2, columns, kFitCapacity, 0, b, sst, sse);

  // Neither a negative nugget nor a negative sill: refit on the other term.
  if (b[0] < 0) {
    b[1] = DotProduct(m, x2, 1, response, 1) / DotProduct(m, x2, 1, x2, 1);
    b[0] = 0;
  }
  if (b[1] < 0) {
    b[0] = DotProduct(m, x1, 1, response, 1) / DotProduct(m, x1, 1, x1, 1);
    b[1] = 0;
  }
  p[0] = b[0];
  p[1] = b[1];
}

}  // namespace kriging

#pragma once
#include <cstdint>
namespace kriging {
// The six semivariogram models: 1 spherical, 2 exponential, 3 linear, 4 power,
// 5 rational quadratic, 6 oscillatory. Parameters c0 (nugget), c1 (partial
// sill, slope or scale), a (range, scale or exponent).
struct VariogramModel {
  std::int32_t code = 1;
  float c0 = 0, c1 = 0, a = 1;
};
// The model held by the library (module state), fitted by stage I, read by the
// trend iteration and the kriging system.
VariogramModel& CurrentModel();
void SetModel(int code, float c0, float c1, float a);
void SetModelParameters(const float p[3]);
void GetModelParameters(float p[3]);
// The model of `code` with the parameters of CurrentModel(), at distance h >= 0.
float EvaluateVariogram(int code, float h);
// The current model at the length of the lag (dx, dy).
float SemivariogramOfLag(float dx, float dy);
using LagVariogram = float (*)(float dx, float dy);
}  // namespace kriging

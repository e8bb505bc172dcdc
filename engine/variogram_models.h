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

// Each model is a unit shape g(h; a) scaled by c1 and lifted by the nugget:
// gamma(h) = c0 + c1 * g(h; a) for h above the origin threshold, 0 below it.
// The units record how a and g scale with the unit of distance D, so that a fit
// can work on parameters relative to the data (a in units of D^rangeUnits, c1 in
// units of semivariance / D^shapeUnits; for the power model the shape carries
// D^a, flagged by shapeUnitsIsExponent).
struct ModelShape {
  int code;
  const char* name;
  long double (*unit)(long double h, long double a);  // g beyond the origin, extended precision
  bool zeroAtThreshold;   // spherical: h <= threshold also gives 0 (others: h < threshold)
  int parameterCount;     // 2 for the linear model (a unused), 3 otherwise
  int rangeUnits;         // power of D carried by a (0: dimensionless or unused)
  int shapeUnits;         // power of D carried by g
  bool shapeUnitsIsExponent;
};
// The model of `code` (1..6) or nullptr for any other code.
const ModelShape* FindModelShape(int code);
// Distances below this give gamma = 0: the float nearest 1e-10.
inline constexpr float kOriginThreshold = 1e-10f;
}  // namespace kriging

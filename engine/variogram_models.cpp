// The semivariogram models as a table of unit shapes, and the current model.
#include "variogram_models.h"

#include <cmath>
#include <limits>

#include "numerics/euclidean_length.h"

namespace kriging {
namespace {

// Spherical: 1.5 h/a - 0.5 (h/a)^3 inside the range, the sill beyond it.
long double Spherical(long double h, long double a) {
  if (h >= a) return 1.0L;
  const long double r = h / a;
  return (3.0L - r * r) * h / (2.0L * a);
}

// Exponential: reaches the sill only asymptotically; beyond 20 a the remaining
// e^-20 is dropped so that far lags give exactly the sill.
long double Exponential(long double h, long double a) {
  if (h > 20.0L * a) return 1.0L;
  return 1.0L - std::exp(-h / a);
}

long double Linear(long double h, long double) { return h; }

long double Power(long double h, long double a) { return std::pow(h, a); }

// Rational quadratic: tends to a (not 1) as h grows, so the sill is c0 + c1 a.
long double RationalQuadratic(long double h, long double a) { return h * h * a / (h * h + a); }

// Oscillatory (hole effect): 1 - sin(h/a) / (h/a); overshoots the sill near
// h = 4.4934 a. Far beyond the scale the oscillation is below any precision.
long double Oscillatory(long double h, long double a) {
  if (h > 1e10L * a) return 1.0L;
  return 1.0L - std::sin(h / a) * a / h;
}

constexpr ModelShape kModels[] = {
    {1, "spherical", Spherical, true, 3, 1, 0, false},
    {2, "exponential", Exponential, false, 3, 1, 0, false},
    {3, "linear", Linear, false, 2, 0, 1, false},
    {4, "power", Power, false, 3, 0, 0, true},
    {5, "rational quadratic", RationalQuadratic, false, 3, 2, 2, false},
    {6, "oscillatory", Oscillatory, false, 3, 1, 0, false},
};

VariogramModel current_model;

}  // namespace

const ModelShape* FindModelShape(int code) {
  for (const ModelShape& model : kModels)
    if (model.code == code) return &model;
  return nullptr;
}

VariogramModel& CurrentModel() { return current_model; }

void SetModel(int code, float c0, float c1, float a) { current_model = {code, c0, c1, a}; }

void SetModelParameters(const float p[3]) {
  current_model.c0 = p[0];
  current_model.c1 = p[1];
  current_model.a = p[2];
}

void GetModelParameters(float p[3]) {
  p[0] = current_model.c0;
  p[1] = current_model.c1;
  p[2] = current_model.a;
}

float EvaluateVariogram(int code, float h) {
  const ModelShape* model = FindModelShape(code);
  if (model == nullptr) return std::numeric_limits<float>::quiet_NaN();
  // The nugget is a jump: gamma(0) = 0 while gamma(0+) = c0.
  if (h < kOriginThreshold || (model->zeroAtThreshold && h == kOriginThreshold)) return 0.0f;
  const long double g = model->unit(h, current_model.a);
  return static_cast<float>(static_cast<long double>(current_model.c0) +
                            static_cast<long double>(current_model.c1) * g);
}

float SemivariogramOfLag(float dx, float dy) {
  return EvaluateVariogram(current_model.code, EuclideanLength(dx, dy));
}

}  // namespace kriging

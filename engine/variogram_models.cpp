// The table of semivariogram models, and the current model.
#include "variogram_models.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <sstream>

#include "numerics/euclidean_length.h"
#include "run_context.h"
#include "variogram_rows.h"

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

double UnitSill(double) { return 1.0; }
double ScaleSill(double a) { return a; }

// Starting values from the straight start (variogram_fit.h, InitialApproximation).
void StartAtRange(float base, float level, float range, float p[3]) {
  p[0] = base, p[1] = level - base, p[2] = range;
}
// Rational quadratic: c1 a is the partial sill.
void StartRationalQuadratic(float base, float level, float range, float p[3]) {
  p[0] = base, p[2] = range / 3, p[1] = (level - base) / p[2];
}
// Oscillatory: the first crossing of the sill at pi a.
void StartOscillatory(float base, float level, float range, float p[3]) {
  p[0] = base, p[1] = level - base, p[2] = 2 * range / 3.141596f;
}

constexpr ParameterRule kNugget{"c0", "efecto pepita", 0, true, false, 0};
constexpr ParameterRule kPartialSill{"c1", "meseta parcial", 0, false, false, 0};
constexpr ParameterRule kSlope{"c1", "pendiente", 0, false, false, 0};
constexpr ParameterRule kScale{"c1", "escala", 0, false, false, 0};
constexpr ParameterRule kRange{"a", "alcance", 0, false, false, 0};
constexpr ParameterRule kUnused{"a", "sin uso", 0, false, false, 0};
constexpr ParameterRule kExponent{"a", "exponente", 0, false, true, 2};

// The built-in models. A new model is one more line here.
constexpr ModelInfo kBuiltInModels[] = {
    {1, "esférico", Spherical, SphericalRow, true, 3, {kNugget, kPartialSill, kRange},
     1, 0, false, UnitSill, StartAtRange, 0, SphericalLengths, SphericalSingleRow},
    {2, "exponencial", Exponential, ExponentialRow, false, 3, {kNugget, kPartialSill, kRange},
     1, 0, false, UnitSill, StartAtRange, 0, ExponentialLengths},
    {3, "lineal", Linear, LinearRow, false, 2, {kNugget, kSlope, kUnused},
     0, 1, false, nullptr, nullptr, 1.0f, LinearLengths, LinearSingleRow},
    {4, "potencial", Power, PowerRow, false, 3, {kNugget, kScale, kExponent},
     0, 0, true, nullptr, nullptr, 1.0f, PowerLengths},
    {5, "racional cuadrático", RationalQuadratic, RationalQuadraticRow, false, 3,
     {kNugget, kScale, kRange}, 2, 2, false, ScaleSill, StartRationalQuadratic, 0, RationalQuadraticLengths,
     RationalQuadraticSingleRow},
    {6, "oscilatorio", Oscillatory, OscillatoryRow, false, 3, {kNugget, kPartialSill, kRange},
     1, 0, false, UnitSill, StartOscillatory, 0, OscillatoryLengths},
};
constexpr int kBuiltInCount = sizeof kBuiltInModels / sizeof kBuiltInModels[0];

// Models added at run time: written under the mutex, published by the count,
// read without a lock.
constexpr int kMaxRegistered = 16;
ModelInfo registered[kMaxRegistered];
std::atomic<int> registeredCount{0};
std::mutex registering;

}  // namespace

const ModelInfo* FindModel(int code) {
  for (const ModelInfo& model : kBuiltInModels)
    if (model.code == code) return &model;
  const int count = registeredCount.load(std::memory_order_acquire);
  for (int k = 0; k < count; ++k)
    if (registered[k].code == code) return &registered[k];
  return nullptr;
}

std::string ModelCodeList() {
  std::string list;
  auto add = [&](const ModelInfo& model) {
    if (!list.empty()) list += ", ";
    list += std::to_string(model.code) + " " + model.name;
  };
  for (const ModelInfo& model : kBuiltInModels) add(model);
  const int count = registeredCount.load(std::memory_order_acquire);
  for (int k = 0; k < count; ++k) add(registered[k]);
  return list;
}

bool RegisterModel(const ModelInfo& model) {
  const std::lock_guard<std::mutex> lock(registering);
  if (FindModel(model.code) != nullptr || model.unit == nullptr) return false;
  const int count = registeredCount.load(std::memory_order_relaxed);
  if (count >= kMaxRegistered) return false;
  registered[count] = model;
  registeredCount.store(count + 1, std::memory_order_release);
  return true;
}

std::string ModelParameterProblem(int code, double c0, double c1, double a) {
  const ModelInfo* model = FindModel(code);
  if (model == nullptr) return "Modelo de semivariograma desconocido: " + std::to_string(code);
  auto text = [](double v) {
    std::ostringstream out;
    out.precision(10);
    out << v;
    return out.str();
  };
  const double values[3] = {c0, c1, a};
  for (int j = 0; j < model->parameterCount; ++j) {
    const ParameterRule& rule = model->parameters[j];
    const double v = values[j];
    const bool inside = std::isfinite(v) &&
                        (rule.lowerIncluded ? v >= rule.lower : v > rule.lower) &&
                        (!rule.hasUpper || v < rule.upper);
    if (inside) continue;
    const std::string bound =
        rule.hasUpper ? "entre " + text(rule.lower) + " y " + text(rule.upper) + " (sin incluirlos)"
                      : (rule.lowerIncluded ? "mayor o igual que " : "mayor que ") + text(rule.lower);
    return "El parámetro " + std::string(rule.symbol) + " (" + rule.meaning + ") del modelo " +
           model->name + " debe ser " + bound + ": " + text(v);
  }
  return {};
}

double ModelSill(const VariogramModel& model, double sillDistance) {
  const ModelInfo* info = FindModel(model.code);
  if (info == nullptr) return std::numeric_limits<double>::quiet_NaN();
  if (info->sillFactor != nullptr)
    return static_cast<double>(model.c0) + static_cast<double>(model.c1) * info->sillFactor(model.a);
  const float h = EuclideanLength(static_cast<float>(sillDistance), static_cast<float>(sillDistance));
  if (!(h >= kOriginThreshold)) return 0;
  return static_cast<double>(model.c0) + static_cast<double>(model.c1) * info->unit(h, model.a);
}

VariogramModel& CurrentModel() { return CurrentContext().model; }

void SetModel(int code, float c0, float c1, float a) { CurrentModel() = {code, c0, c1, a}; }

void SetModelParameters(const float p[3]) {
  VariogramModel& model = CurrentModel();
  model.c0 = p[0];
  model.c1 = p[1];
  model.a = p[2];
}

void GetModelParameters(float p[3]) {
  const VariogramModel& model = CurrentModel();
  p[0] = model.c0;
  p[1] = model.c1;
  p[2] = model.a;
}

void ModelAtLengths(const ModelInfo& model, int count, const double* h, double* values,
                    double c0, double c1, double a) {
  if (model.lengthsRow != nullptr) return model.lengthsRow(count, h, values, c0, c1, a);
  constexpr double threshold = kOriginThreshold;
  for (int k = 0; k < count; ++k) {
    const bool origin = h[k] < threshold || (model.zeroAtThreshold && h[k] == threshold);
    values[k] = origin ? 0.0 : c0 + c1 * static_cast<double>(model.unit(h[k], a));
  }
}

float EvaluateVariogram(int code, float h) {
  const ModelInfo* model = FindModel(code);
  if (model == nullptr) return std::numeric_limits<float>::quiet_NaN();
  // The nugget is a jump: gamma(0) = 0 while gamma(0+) = c0.
  if (h < kOriginThreshold || (model->zeroAtThreshold && h == kOriginThreshold)) return 0.0f;
  const VariogramModel& current = CurrentModel();
  const long double g = model->unit(h, current.a);
  return static_cast<float>(static_cast<long double>(current.c0) +
                            static_cast<long double>(current.c1) * g);
}

float SemivariogramOfLag(float dx, float dy) {
  return EvaluateVariogram(CurrentModel().code, EuclideanLength(dx, dy));
}

}  // namespace kriging

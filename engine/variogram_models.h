#pragma once
// The semivariogram models: one table holds everything the engine knows of a
// model (code, names, parameters and their rules, evaluation, sill, starting
// values, units for the fit's scaling). A new model is one more entry: in
// kBuiltInModels (variogram_models.cpp) or, at run time, RegisterModel.
#include <cstdint>
#include <string>

namespace kriging {

// Parameters c0 (nugget), c1 (partial sill, slope or scale), a (range, scale
// or exponent) of the model of `code`.
struct VariogramModel {
  std::int32_t code = 1;
  float c0 = 0, c1 = 0, a = 1;
};
// The model of the current run (run_context.h), fitted by stage I, read by the
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

// What a valid starting or fixed value of one parameter is.
struct ParameterRule {
  const char* symbol;     // "c0", "c1", "a"
  const char* meaning;    // Spanish, for messages and captions
  double lower;           // the value must exceed lower (or equal it when lowerIncluded)
  bool lowerIncluded;
  bool hasUpper;          // and stay below upper
  double upper;
};

// Starting values of a model with a sill from the empirical semivariogram: the
// nugget level `base`, the sill level `level` and the distance `range` where
// the straight start reaches the sill. Fills p[0..2] (c0, c1, a).
using StartFromSill = void (*)(float base, float level, float range, float p[3]);

// Each model is a unit shape g(h; a) scaled by c1 and lifted by the nugget:
// gamma(h) = c0 + c1 * g(h; a) for h above the origin threshold, 0 below it.
// The units record how a and g scale with the unit of distance D, so that a fit
// can work on parameters relative to the data (a in units of D^rangeUnits, c1 in
// units of semivariance / D^shapeUnits; for the power model the shape carries
// D^a, flagged by shapeUnitsIsExponent).
struct ModelInfo {
  int code;
  const char* name;       // Spanish, as the program shows it ("esférico")
  long double (*unit)(long double h, long double a);  // g beyond the origin, extended precision
  // g over a row of lengths at once, in double (may be null: then `unit` is
  // used element by element). h[k] in, values[k] = c0 + c1 g out.
  void (*row)(int count, float* values, double c0, double c1, double a);
  bool zeroAtThreshold;   // spherical: h <= threshold also gives 0 (others: h < threshold)
  int parameterCount;     // 2 when a is unused (linear), 3 otherwise
  ParameterRule parameters[3];
  int rangeUnits;         // power of D carried by a (0: dimensionless or unused)
  int shapeUnits;         // power of D carried by g
  bool shapeUnitsIsExponent;
  // The sill as c0 + c1 * sillFactor(a); null for models without a sill,
  // whose covariance takes gamma at a given distance instead.
  double (*sillFactor)(double a);
  // Starting values: from the sill for models with one; models without one
  // start from the straight line over all classes with a = lineStartA.
  StartFromSill startFromSill;
  float lineStartA;
  // gamma over many lengths in double, for the local systems: values[k] =
  // c0 + c1 g(h[k]; a) above the origin threshold, 0 at and below it (as
  // `unit`, to the rounding of double). May be null: ModelAtLengths then
  // uses `unit` element by element.
  void (*lengthsRow)(int count, const double* h, double* values, double c0, double c1,
                     double a) = nullptr;
  // gamma over many lengths in single precision throughout, for the grid
  // kriging system and its right-hand sides: values[k] holds a length on
  // entry and gamma of it on return, within a few float roundings of `row`.
  // May be null: the grid kriging then uses `row`.
  void (*singleRow)(int count, float* values, float c0, float c1, float a) = nullptr;
};

// gamma of `model` with c0, c1, a at the lengths h[0..count) in double,
// through its lengthsRow, or its unit shape when it has none.
void ModelAtLengths(const ModelInfo& model, int count, const double* h, double* values,
                    double c0, double c1, double a);

// The model of `code` or nullptr for any code not in the table.
const ModelInfo* FindModel(int code);
// The names the unit-shape table had before it held every model's facts.
using ModelShape = ModelInfo;
inline const ModelInfo* FindModelShape(int code) { return FindModel(code); }

// The codes of the table as the user reads them ("1 esférico, 2 ...").
std::string ModelCodeList();
// Adds a model to the table (its code must be new); false when the code is
// taken or the table is full. Call before the runs that use it.
bool RegisterModel(const ModelInfo& model);

// "" when c0, c1, a obey the rules of the model of `code`, else a Spanish
// message naming the parameter, its meaning, the rule and the value.
std::string ModelParameterProblem(int code, double c0, double c1, double a);

// The sill c0 + c1 sillFactor(a); for a model without one, gamma at the lag
// (L, L) as the trend iteration takes it (L = sillDistance).
double ModelSill(const VariogramModel& model, double sillDistance);

// Distances below this give gamma = 0: the float nearest 1e-10.
inline constexpr float kOriginThreshold = 1e-10f;
}  // namespace kriging

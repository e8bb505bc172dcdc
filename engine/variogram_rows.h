#pragma once
// The current semivariogram model at many lags from one point, for the
// right-hand sides of grid kriging (n lags per node).
//
// out[k] = gamma(x[k] - x0, y[k] - y0), k = 0..count-1, for CurrentModel().
// The lag components are formed in float as SemivariogramOfLag's callers form
// them; the length and the unit shape are evaluated in double (instead of the
// overflow-safe float iteration and extended precision), so each value equals
// SemivariogramOfLag's to the rounding of a float. The loops over the lags
// are plain enough to be vectorised (AVX2 where the processor has it, chosen
// at load time). Cost: count evaluations, a few nanoseconds each for the
// spherical, linear and rational quadratic models. A model of the table
// without a row function is evaluated element by element with its unit shape.
namespace kriging {

void CurrentModelAtLags(int count, const float* x, const float* y, float x0, float y0,
                        float* out);

// The same in single precision throughout where the model has a `singleRow`
// (lengths and shape in float, sixteen lanes with AVX-512: about ten times
// faster), otherwise CurrentModelAtLags. Within a few float roundings of it,
// and the same bits for the same lag, so a node on a datum meets its column
// of the system exactly.
void CurrentModelAtLagsSingle(int count, const float* x, const float* y, float x0, float y0,
                              float* out);

// The row functions of the built-in models (the `row` entries of the model
// table): values[k] holds a length on entry and gamma of it on return.
void SphericalRow(int count, float* values, double c0, double c1, double a);
void ExponentialRow(int count, float* values, double c0, double c1, double a);
void LinearRow(int count, float* values, double c0, double c1, double a);
void PowerRow(int count, float* values, double c0, double c1, double a);
void RationalQuadraticRow(int count, float* values, double c0, double c1, double a);
void OscillatoryRow(int count, float* values, double c0, double c1, double a);

// The single-precision rows (the `singleRow` entries of the model table) of
// the models whose shape needs no transcendental function.
void SphericalSingleRow(int count, float* values, float c0, float c1, float a);
void LinearSingleRow(int count, float* values, float c0, float c1, float a);
void RationalQuadraticSingleRow(int count, float* values, float c0, float c1, float a);

// The double rows of the built-in models (the `lengthsRow` entries of the
// model table): values[k] = gamma(h[k]) for the local systems. The same unit
// shapes as the float rows, kept in double throughout.
void SphericalLengths(int count, const double* h, double* values, double c0, double c1, double a);
void ExponentialLengths(int count, const double* h, double* values, double c0, double c1,
                        double a);
void LinearLengths(int count, const double* h, double* values, double c0, double c1, double a);
void PowerLengths(int count, const double* h, double* values, double c0, double c1, double a);
void RationalQuadraticLengths(int count, const double* h, double* values, double c0, double c1,
                              double a);
void OscillatoryLengths(int count, const double* h, double* values, double c0, double c1,
                        double a);

}  // namespace kriging

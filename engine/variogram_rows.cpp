#include "variogram_rows.h"

#include "numerics/target_clones.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "variogram_models.h"

namespace kriging {
namespace {

// Lengths rounded to float, as EvaluateVariogram receives them. The squares of
// float differences can neither overflow nor underflow destructively in double,
// so the plain double length is as safe as the Moler-Morrison iteration and
// correctly rounded; it vectorises where the iteration does not.
SORVAN_CLONES void Lengths(
    int count, const float* __restrict x, const float* __restrict y, float x0, float y0,
    float* __restrict h) {
  for (int k = 0; k < count; ++k) {
    const double dx = x[k] - x0, dy = y[k] - y0;
    h[k] = static_cast<float>(std::sqrt(dx * dx + dy * dy));
  }
}

// gamma = c0 + c1 g(h; a) above the origin threshold, 0 at and below it.
template <class Shape>
SORVAN_CLONES void Apply(
    int count, float* __restrict values, double c0, double c1, double a, bool zeroAtThreshold,
    Shape shape) {
  const float threshold = kOriginThreshold;
  for (int k = 0; k < count; ++k) {
    const float h = values[k];
    const bool origin = h < threshold || (zeroAtThreshold && h == threshold);
    const double g = shape(static_cast<double>(h), a);
    values[k] = origin ? 0.0f : static_cast<float>(c0 + c1 * g);
  }
}

// gamma = c0 + c1 g(h; a) in double above the origin threshold, 0 at and
// below it. The origin is applied as a bit mask, not a selection: a selection
// after a division keeps the compiler from vectorising (the division might
// trap), the mask does not, and it also clears whatever the shape gives at 0.
template <bool zeroAtThreshold, class Shape>
SORVAN_CLONES void ApplyToLengths(
    int count, const double* __restrict h, double* __restrict values, double c0, double c1,
    double a, Shape shape) {
  const double threshold = kOriginThreshold;
  for (int k = 0; k < count; ++k) {
    const double length = h[k];
    const bool above = zeroAtThreshold ? !(length <= threshold) : !(length < threshold);
    const std::uint64_t keep = std::uint64_t{0} - static_cast<std::uint64_t>(above);
    const double gamma = c0 + c1 * shape(length, a);
    values[k] = std::bit_cast<double>(std::bit_cast<std::uint64_t>(gamma) & keep);
  }
}

// Lengths in float: the differences, their squares and the root each rounded
// once in single precision.
SORVAN_WIDE_CLONES void SingleLengths(int count, const float* __restrict x,
                                      const float* __restrict y, float x0, float y0,
                                      float* __restrict h) {
  for (int k = 0; k < count; ++k) {
    const float dx = x[k] - x0, dy = y[k] - y0;
    h[k] = std::sqrt(dx * dx + dy * dy);
  }
}

// gamma = c0 + c1 g(h; a) in float above the origin threshold, 0 at and below it.
template <bool zeroAtThreshold, class Shape>
SORVAN_WIDE_CLONES void ApplySingle(int count, float* __restrict values, float c0, float c1,
                                    float a, Shape shape) {
  const float threshold = kOriginThreshold;
  for (int k = 0; k < count; ++k) {
    const float h = values[k];
    const bool origin = zeroAtThreshold ? h <= threshold : h < threshold;
    const float gamma = c0 + c1 * shape(h, a);
    values[k] = origin ? 0.0f : gamma;
  }
}

}  // namespace

void SphericalSingleRow(int count, float* values, float c0, float c1, float a) {
  // Beyond the range r = a / a = 1 and g = 1 exactly, as in double.
  ApplySingle<true>(count, values, c0, c1, a, [](float h, float a) {
    const float inside = std::min(h, a), r = inside / a;
    return (3.0f - r * r) * inside / (2.0f * a);
  });
}

void LinearSingleRow(int count, float* values, float c0, float c1, float a) {
  ApplySingle<false>(count, values, c0, c1, a, [](float h, float) { return h; });
}

void RationalQuadraticSingleRow(int count, float* values, float c0, float c1, float a) {
  ApplySingle<false>(count, values, c0, c1, a,
                     [](float h, float a) { return h * h * a / (h * h + a); });
}

void SphericalRow(int count, float* values, double c0, double c1, double a) {
  Apply(count, values, c0, c1, a, true, [](double h, double a) {
    const double r = h / a;
    return h >= a ? 1.0 : (3.0 - r * r) * h / (2.0 * a);
  });
}

void ExponentialRow(int count, float* values, double c0, double c1, double a) {
  Apply(count, values, c0, c1, a, false,
        [](double h, double a) { return h > 20.0 * a ? 1.0 : 1.0 - std::exp(-h / a); });
}

void LinearRow(int count, float* values, double c0, double c1, double a) {
  Apply(count, values, c0, c1, a, false, [](double h, double) { return h; });
}

void PowerRow(int count, float* values, double c0, double c1, double a) {
  Apply(count, values, c0, c1, a, false, [](double h, double a) { return std::pow(h, a); });
}

void RationalQuadraticRow(int count, float* values, double c0, double c1, double a) {
  Apply(count, values, c0, c1, a, false,
        [](double h, double a) { return h * h * a / (h * h + a); });
}

void OscillatoryRow(int count, float* values, double c0, double c1, double a) {
  Apply(count, values, c0, c1, a, false, [](double h, double a) {
    return h > 1e10 * a ? 1.0 : 1.0 - std::sin(h / a) * a / h;
  });
}

void SphericalLengths(int count, const double* h, double* values, double c0, double c1,
                      double a) {
  // h beyond the range taken as a: r = 1 and (3 - 1) a / (2 a) is exactly 1.
  ApplyToLengths<true>(count, h, values, c0, c1, a, [](double h, double a) {
    const double inside = std::min(h, a), r = inside / a;
    return (3.0 - r * r) * inside / (2.0 * a);
  });
}

void ExponentialLengths(int count, const double* h, double* values, double c0, double c1,
                        double a) {
  ApplyToLengths<false>(count, h, values, c0, c1, a,
                 [](double h, double a) { return h > 20.0 * a ? 1.0 : 1.0 - std::exp(-h / a); });
}

void LinearLengths(int count, const double* h, double* values, double c0, double c1, double a) {
  ApplyToLengths<false>(count, h, values, c0, c1, a, [](double h, double) { return h; });
}

void PowerLengths(int count, const double* h, double* values, double c0, double c1, double a) {
  ApplyToLengths<false>(count, h, values, c0, c1, a,
                 [](double h, double a) { return std::pow(h, a); });
}

void RationalQuadraticLengths(int count, const double* h, double* values, double c0, double c1,
                              double a) {
  ApplyToLengths<false>(count, h, values, c0, c1, a,
                 [](double h, double a) { return h * h * a / (h * h + a); });
}

void OscillatoryLengths(int count, const double* h, double* values, double c0, double c1,
                        double a) {
  ApplyToLengths<false>(count, h, values, c0, c1, a, [](double h, double a) {
    return h > 1e10 * a ? 1.0 : 1.0 - std::sin(h / a) * a / h;
  });
}

void CurrentModelAtLags(int count, const float* x, const float* y, float x0, float y0,
                        float* out) {
  const VariogramModel& m = CurrentModel();
  Lengths(count, x, y, x0, y0, out);
  const ModelInfo* model = FindModel(m.code);
  if (model == nullptr) {
    for (int k = 0; k < count; ++k) out[k] = std::numeric_limits<float>::quiet_NaN();
  } else if (model->row != nullptr) {
    model->row(count, out, m.c0, m.c1, m.a);
  } else {
    for (int k = 0; k < count; ++k) {
      const float h = out[k];
      const bool origin = h < kOriginThreshold || (model->zeroAtThreshold && h == kOriginThreshold);
      out[k] = origin ? 0.0f
                      : static_cast<float>(static_cast<long double>(m.c0) +
                                           static_cast<long double>(m.c1) * model->unit(h, m.a));
    }
  }
}

void CurrentModelAtLagsSingle(int count, const float* x, const float* y, float x0, float y0,
                              float* out) {
  const VariogramModel& m = CurrentModel();
  const ModelInfo* model = FindModel(m.code);
  if (model == nullptr || model->singleRow == nullptr)
    return CurrentModelAtLags(count, x, y, x0, y0, out);
  SingleLengths(count, x, y, x0, y0, out);
  model->singleRow(count, out, m.c0, m.c1, m.a);
}

}  // namespace kriging

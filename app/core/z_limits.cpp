#include "core/z_limits.h"

#include <cmath>
#include <utility>

namespace sorvan::core {

ZLimits RoundedZLimits(float zmin, float zmax) {
  if (!std::isfinite(zmin) || !std::isfinite(zmax)) {
    zmin = 0.0f;
    zmax = 1.0f;
  }
  if (zmax < zmin) std::swap(zmin, zmax);
  if (!(zmax > zmin)) {
    zmin -= 1.0f;
    zmax += 1.0f;
  }

  const float r = (zmax - zmin) / 10.0f;
  const float e = std::floor(std::log10(r) - 0.4999f);
  const float p = std::pow(10.0f, e);
  ZLimits l;
  l.step = std::floor(r / p) * p;
  l.zmin = std::floor(zmin / p) * p;
  l.levels = static_cast<std::int16_t>(std::nearbyint((zmax - l.zmin) / l.step) + 1.0f);
  l.zmax = static_cast<float>(l.levels - 1) * l.step + l.zmin;
  return l;
}

}  // namespace sorvan::core

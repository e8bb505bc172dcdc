#include "core/limites_z.h"

#include <cmath>
#include <utility>

LimitesZ LimitesZRedondeados(float zmin, float zmax) {
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
  LimitesZ l;
  l.paso = std::floor(r / p) * p;
  l.zmin = std::floor(zmin / p) * p;
  l.niveles = static_cast<std::int16_t>(std::nearbyint((zmax - l.zmin) / l.paso) + 1.0f);
  l.zmax = static_cast<float>(l.niveles - 1) * l.paso + l.zmin;
  return l;
}

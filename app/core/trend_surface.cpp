#include "core/trend_surface.h"

#include <algorithm>
#include <cmath>

#include "core/kriging_options.h"
#include "core/kriging_session.h"

namespace sorvan::core {

bool TrendFit::known() const {
  return degree >= 1 && degree <= 3 && coefficients.size() == size_t((degree + 1) * (degree + 2) / 2) &&
         std::isfinite(centreX) && std::isfinite(centreY) && std::isfinite(scale) && scale > 0;
}

double TrendValue(const TrendFit& trend, double x, double y) {
  const double u = (x - trend.centreX) / trend.scale;
  const double v = (y - trend.centreY) / trend.scale;
  const double monomials[10] = {1, u, v, u * u, u * v, v * v, u * u * u, u * u * v, v * v * u, v * v * v};
  double sum = 0;
  for (size_t k = 0; k < trend.coefficients.size() && k < 10; ++k) sum += trend.coefficients[k] * monomials[k];
  return sum;
}

std::vector<float> TrendSurface(const KrigingSurfaces& grid, const TrendFit& trend) {
  const size_t nodes = size_t(std::max(grid.nx, 0)) * size_t(std::max(grid.ny, 0));
  if (!trend.known() || nodes == 0 || grid.SupPred.size() != nodes) return {};
  std::vector<float> surface(nodes, kHoleValue);
  for (int j = 0; j < grid.ny; ++j)
    for (int i = 0; i < grid.nx; ++i) {
      const size_t k = size_t(i) + size_t(j) * size_t(grid.nx);
      if (grid.SupPred[k] == kHoleValue) continue;
      surface[k] = float(TrendValue(trend, grid.xMin + i * grid.dx, grid.yMin + j * grid.dy));
    }
  return surface;
}

}  // namespace sorvan::core

#pragma once
// The trend (drift) a universal kriging run fitted, and its surface on the
// run's grid, for the chart drawn beside the prediction.
#include <vector>

namespace sorvan::core {

struct KrigingSurfaces;

// The drift polynomial as the engine reports it: coefficients of the
// monomials 1, u, v, uu, uv, vv, uuu, uuv, vvu, vvv (as many as the degree
// needs) in the frame u = (x - centreX) / scale, v = (y - centreY) / scale.
struct TrendFit {
  int degree = 0;  // 0: no trend fitted (ordinary kriging)
  std::vector<double> coefficients;
  double centreX = 0, centreY = 0, scale = 1;

  // A trend of degree 1..3 with its (degree + 1)(degree + 2) / 2 coefficients
  // and a usable frame.
  bool known() const;
};

// The polynomial at (x, y), in double.
double TrendValue(const TrendFit& trend, double x, double y);

// The trend at every node of `grid`, laid out as grid.SupPred; nodes the
// prediction leaves out (kHoleValue) are left out here too. Empty when the
// trend is not known or the grid holds no prediction.
std::vector<float> TrendSurface(const KrigingSurfaces& grid, const TrendFit& trend);

}  // namespace sorvan::core

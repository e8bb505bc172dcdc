#pragma once
// A regular grid surface as the 3-D chart holds it: nx by ny nodes, node (i, j)
// (0-based) at x = xMin + i*dx, y = yMin + j*dy, value z[i + nx*j] (the X index
// runs fastest, as in the engine's column-major grids). A node whose value
// equals `hole` (or is NaN) was not kriged and is never drawn.
#include <cmath>
#include <vector>

namespace sorvan::platform {

struct SurfaceGrid {
  int nx = 0;
  int ny = 0;
  double xMin = 0.0;
  double yMin = 0.0;
  double dx = 1.0;
  double dy = 1.0;
  float hole = -10000.0f;
  std::vector<float> z;  // nx*ny values, X index fastest

  float at(int i, int j) const { return z[static_cast<std::size_t>(i) + static_cast<std::size_t>(nx) * j]; }
  bool isHole(float v) const { return std::isnan(v) || v == hole; }
  bool isHole(int i, int j) const { return isHole(at(i, j)); }
  double x(int i) const { return xMin + i * dx; }
  double y(int j) const { return yMin + j * dy; }
  bool empty() const { return nx <= 0 || ny <= 0; }
};

}  // namespace sorvan::platform

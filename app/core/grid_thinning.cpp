#include "core/grid_thinning.h"

#include <algorithm>
#include <cmath>

namespace sorvan::core {

int ThinningStride(long long nx, long long ny, long long maximum) {
  if (nx < 1 || ny < 1 || maximum < 1) return 1;
  auto nodes = [&](long long k) { return ((nx + k - 1) / k) * ((ny + k - 1) / k); };
  // The count falls as k grows, so start near sqrt(nx * ny / maximo) (never
  // past the answer: ceil(n/k) >= n/k) and step up.
  long long k = std::max(1LL, (long long)std::floor(std::sqrt(double(nx) * double(ny) / double(maximum))));
  while (k > 1 && nodes(k - 1) <= maximum) --k;  // guard the rounding of the square root
  while (nodes(k) > maximum) ++k;
  return int(k);
}

}  // namespace sorvan::core

#include "core/diezmado_rejilla.h"

#include <algorithm>
#include <cmath>

namespace sorvan {

int PasoDiezmado(long long nx, long long ny, long long maximo) {
  if (nx < 1 || ny < 1 || maximo < 1) return 1;
  auto nodos = [&](long long k) { return ((nx + k - 1) / k) * ((ny + k - 1) / k); };
  // The count falls as k grows, so start near sqrt(nx * ny / maximo) (never
  // past the answer: ceil(n/k) >= n/k) and step up.
  long long k = std::max(1LL, (long long)std::floor(std::sqrt(double(nx) * double(ny) / double(maximo))));
  while (k > 1 && nodos(k - 1) <= maximo) --k;  // guard the rounding of the square root
  while (nodos(k) > maximo) ++k;
  return int(k);
}

}  // namespace sorvan

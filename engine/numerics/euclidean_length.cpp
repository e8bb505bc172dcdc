#include "numerics/euclidean_length.h"

#include <cmath>
#include <limits>

namespace kriging {

// Moler-Morrison iteration (IBM J. Res. Dev. 27, 1983): p converges cubically
// to sqrt(a^2 + b^2) from below and q to 0; no square root and no squares of
// the operands themselves, so neither overflow nor destructive underflow.
float EuclideanLength(float a, float b) {
  float p = std::fabs(a);
  float q = std::fabs(b);
  if (q > p) {
    const float t = p;
    p = q;
    q = t;
  }
  // An infinite or NaN operand would keep 4 + r away from 4 for ever.
  if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<float>::quiet_NaN();
  if (std::isinf(p)) return p;
  if (p == 0.0f) return 0.0f;
  float r = (q / p) * (q / p);
  while (4.0f + r != 4.0f) {
    const float s = r / (4.0f + r);
    const float u = 1.0f + 2.0f * s;
    p = u * p;
    q = s * q;
    r = (q / p) * (q / p);
  }
  return p;
}

}  // namespace kriging

#include "numerics/inverse_one_norm_estimate.h"

#include <algorithm>
#include <cmath>

namespace kriging {

double EstimateSymmetricInverseOneNorm(int n, const std::function<void(std::vector<double>&)>& applyInverse) {
  if (n <= 0) return 0.0;
  auto oneNorm = [](const std::vector<double>& v) {
    double s = 0.0;
    for (double e : v) s += std::fabs(e);
    return s;
  };
  std::vector<double> x(n, 1.0 / n), sign(n), previousSign(n, 0.0);
  double estimate = 0.0;
  int lastVertex = -1;
  for (int iteration = 0; iteration < 5; ++iteration) {
    std::vector<double> y = x;
    applyInverse(y);
    const double norm = oneNorm(y);
    if (iteration > 0 && norm <= estimate) break;  // no further increase
    estimate = norm;
    for (int i = 0; i < n; ++i) sign[i] = y[i] >= 0.0 ? 1.0 : -1.0;
    if (iteration > 0 && sign == previousSign) break;  // same vertex again
    // z = A^{-T} sign(y) is a subgradient; move to the vertex e_j of its
    // largest component unless that promises no increase.
    std::vector<double> z = sign;
    applyInverse(z);
    int j = 0;
    double zx = 0.0;
    for (int i = 0; i < n; ++i) {
      if (std::fabs(z[i]) > std::fabs(z[j])) j = i;
      zx += z[i] * x[i];
    }
    if (iteration > 0 && (j == lastVertex || std::fabs(z[j]) <= zx)) break;
    std::fill(x.begin(), x.end(), 0.0);
    x[j] = 1.0;
    lastVertex = j;
    previousSign = sign;
  }
  // Higham's extra test vector x_i = (-1)^i (1 + i / (n - 1)).
  std::vector<double> alt(n);
  for (int i = 0; i < n; ++i)
    alt[i] = (i % 2 == 0 ? 1.0 : -1.0) * (1.0 + (n > 1 ? static_cast<double>(i) / (n - 1) : 0.0));
  applyInverse(alt);
  return std::max(estimate, 2.0 * oneNorm(alt) / (3.0 * n));
}

}  // namespace kriging

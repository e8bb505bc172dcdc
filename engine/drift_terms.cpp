#include "drift_terms.h"

#include <algorithm>

#include "run_context.h"

namespace kriging {

float DriftTerm(int k, float x, float y) {
  const DriftFrame& currentFrame = CurrentContext().drift;
  const double u = (static_cast<double>(x) - currentFrame.centreX) / currentFrame.scale;
  const double v = (static_cast<double>(y) - currentFrame.centreY) / currentFrame.scale;
  double value = 0;
  switch (k) {
    case 1: value = 1; break;
    case 2: value = u; break;
    case 3: value = v; break;
    case 4: value = u * u; break;
    case 5: value = u * v; break;
    case 6: value = v * v; break;
    case 7: value = (u * u) * u; break;
    case 8: value = (u * u) * v; break;
    case 9: value = (v * v) * u; break;
    case 10: value = (v * v) * v; break;
    default: value = 0; break;
  }
  return static_cast<float>(value);
}

int DriftTermCount(int degree) { return (degree + 1) * (degree + 2) / 2; }

const DriftFrame& CurrentDriftFrame() { return CurrentContext().drift; }

void SetDriftFrame(const DriftFrame& frame) {
  DriftFrame& currentFrame = CurrentContext().drift;
  currentFrame = frame;
  if (!(currentFrame.scale > 0)) currentFrame.scale = 1;
}

DriftFrame DriftFrameOfData(int n, const float* x, const float* y) {
  DriftFrame frame;
  if (n < 1) return frame;
  const auto [xLow, xHigh] = std::minmax_element(x, x + n);
  const auto [yLow, yHigh] = std::minmax_element(y, y + n);
  frame.centreX = 0.5 * (static_cast<double>(*xLow) + *xHigh);
  frame.centreY = 0.5 * (static_cast<double>(*yLow) + *yHigh);
  const double halfExtent =
      0.5 * std::max(static_cast<double>(*xHigh) - *xLow, static_cast<double>(*yHigh) - *yLow);
  frame.scale = halfExtent > 0 ? halfExtent : 1;
  return frame;
}

}  // namespace kriging

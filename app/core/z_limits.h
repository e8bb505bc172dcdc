#pragma once
// The common Z scale of an animation: round-number limits and a whole number
// of equal contour steps between them, worked in single precision.
#include <cstdint>

namespace sorvan::core {

struct ZLimits {
  float zmin = 0;
  float zmax = 0;
  float step = 0;          // distance between contour levels
  std::int16_t levels = 0;  // number of contour levels, zmin and zmax included
};

// r = (zmax - zmin) / 10; p = 10^Int(log10(r) - 0.4999); step = Int(r / p) * p;
// zmin = Int(zmin / p) * p; k = nearest((zmax - zmin) / step) + 1 levels, with
// zmax = (k - 1) * step + zmin (Int rounds down, nearest rounds ties to even).
// Example: 0 ... 37 gives step 3, 13 levels, 0 ... 36.
// A range that is empty or reversed has no logarithm: the limits are swapped
// into order and a flat range is widened by one unit each way; limits that
// are not finite give 0 ... 1.
ZLimits RoundedZLimits(float zmin, float zmax);

}  // namespace sorvan::core

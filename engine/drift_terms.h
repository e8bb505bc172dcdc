#pragma once
namespace kriging {
// Drift monomial k (1..10) at (x, y): 1, x, y, xx, xy, yy, xxx, xxy, yyx, yyy.
float DriftTerm(int k, float x, float y);
using DriftFunction = float (*)(int k, float x, float y);
}  // namespace kriging

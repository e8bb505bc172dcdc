#pragma once
namespace kriging {
// sqrt(a^2 + b^2) without overflow or destructive underflow (Moler-Morrison).
float EuclideanLength(float a, float b);
}  // namespace kriging

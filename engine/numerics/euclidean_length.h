#pragma once
namespace kriging {
// sqrt(a^2 + b^2) without overflow or destructive underflow (Moler-Morrison).
float EuclideanLength(float a, float b);
// d[k] = EuclideanLength(a[k], b[k]) for k < count, the same bits; sixteen
// at a time in AVX-512 registers where the float tiles are the AVX-512 ones
// (simd_kernels.h; each lane iterates until its own length has converged).
void EuclideanLengths(int count, const float* a, const float* b, float* d);
}  // namespace kriging

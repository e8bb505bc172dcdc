#pragma once
namespace kriging {
// Least-squares line y = b0 + b1 x over nobs points; stat[1] (0-based) is the
// mean of y. Reports as "RLINE".
void RLINE(int nobs, const float* x, const float* y, float& b0, float& b1, float stat[12]);
// Multiple linear regression of y (nobs) on the nind columns of x (leading
// dimension ldx), with intercept when intcep = 1; b has intcep + nind entries.
// Orthogonal (Householder QR) factorization. Reports as "RLSE".
void RLSE(int nobs, const float* y, int nind, const float* x, int ldx, int intcep, float* b,
          float& sst, float& sse);
}  // namespace kriging

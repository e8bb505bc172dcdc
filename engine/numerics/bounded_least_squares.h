#pragma once
#include <cstdint>
namespace kriging {
// Residual function of the solver: fills f[0..m-1] at x[0..n-1]. It may change
// the caller's module state.
using ResidualFunction = void (*)(int m, int n, const float* x, float* f);

// Fills iparam[6] and rparam[7] with the solver defaults (0-based: iparam[2] is
// MXITER, rparam[0] GRADTL, ...).
void BCLSFDefaults(std::int32_t iparam[6], float rparam[7]);

// Bounded nonlinear least squares: minimises 1/2 sum f_i(x)^2 subject to bounds,
// by a modified Levenberg-Marquardt method with a trust region and a
// finite-difference Jacobian. ibtype 3: xlb[0], xub[0] apply to every variable.
// Outputs x (inside the bounds), fvec (residuals at x), fjac (ldfjac x n).
// Reports as "BCLSF".
void BCLSF(ResidualFunction fcn, int m, int n, const float* xguess, int ibtype, const float* xlb,
           const float* xub, const float* xscale, const float* fscale, std::int32_t iparam[6],
           float rparam[7], float* x, float* fvec, float* fjac, int ldfjac);
}  // namespace kriging

#pragma once
// Bounded nonlinear least squares: minimise 1/2 sum_i (fscale_i f_i(x))^2
// subject to bounds on x, by a Levenberg-Marquardt trust-region method on the
// problem scaled by xscale and fscale, with a forward-difference Jacobian.
#include <cstdint>
namespace kriging {

// Residual function of the solver: fills f[0..m-1] at x[0..n-1]. It may change
// the caller's module state; the solver's last call is always made at the
// point it returns.
using ResidualFunction = void (*)(int m, int n, const float* x, float* f);

// Fills iparam[6] and rparam[7] with the solver defaults (0-based):
//   iparam: 0 initialisation flag (1), 1 FDIGIT good digits of f (7),
//     2 MXITER (100), 3 MAXFCN (400), 4 MAXJAC (100), 5 scaling flag (1);
//   rparam: 0 GRADTL sqrt(eps), 1 STEPTL eps^(2/3), 2 RFTOL max(eps^(2/3),
//     1e-10), 3 AFTOL max(eps^2, 1e-20), 4 FALSTL 100 eps, 5 STEPMX -999,
//     6 DELTA -999 (-999: the solver chooses), with eps = 2^-23.
void BCLSFDefaults(std::int32_t iparam[6], float rparam[7]);

// Reports as "BCLSF".
//   fcn, m >= n >= 1: residual function and sizes.
//   xguess[n]: start; projected onto the box first.
//   ibtype: 0 bounds xlb[j], xub[j] per variable; 1 x >= 0; 2 x <= 0;
//     3 xlb[0], xub[0] for every variable. xlb and xub are only read.
//   xscale[n], fscale[m]: positive scalings (a bad entry is reported and 1 is
//     used). 1 / xscale[j] is the typical size of x[j]: it sets the
//     finite-difference step and the relative tests.
//   iparam, rparam: settings as above; iparam[0] = 0 fills both with the
//     defaults first. A bad entry is reported (warning) and replaced by its
//     default, which is written back. The scaling flag is not used: xscale
//     is taken as given.
//   Outputs: x[n] the best point found (inside the box), fvec[m] = f(x)
//     (unscaled), fjac (ldfjac >= m, n columns) the forward-difference
//     Jacobian df/dx at x.
// Ends at the first of (severity, code of the message): scaled projected
// gradient <= GRADTL or 1/2 ||Fs f||^2 <= AFTOL (success, no message);
// relative function convergence (3, 1); false convergence (3, 2); MXITER
// iterations (4, 3); MAXFCN evaluations of fcn outside the Jacobian (4, 4);
// MAXJAC Jacobians (4, 5); five steps of length STEPMX (3, 6); scaled step
// <= STEPTL (2, 7). Argument errors are terminal. Cost per iteration: one
// Jacobian (n calls of fcn), O(m n^2) per trial step.
void BCLSF(ResidualFunction fcn, int m, int n, const float* xguess, int ibtype, const float* xlb,
           const float* xub, const float* xscale, const float* fscale, std::int32_t iparam[6],
           float rparam[7], float* x, float* fvec, float* fjac, int ldfjac);

}  // namespace kriging

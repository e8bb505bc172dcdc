#pragma once
// The trust-region subproblem of the Levenberg-Marquardt method.
#include <vector>

namespace kriging {

// Finds s minimising ||J s + f||_2 subject to ||D s||_2 <= delta, to within
// 10 % of delta on the boundary (Moré, "The Levenberg-Marquardt algorithm:
// implementation and theory", 1978): s solves (J^T J + lambda D^2) s = -J^T f
// with lambda = 0 (the Gauss-Newton step) when that step fits, otherwise
// lambda > 0 from a safeguarded Newton iteration on ||D s(lambda)|| = delta.
// Each s(lambda) comes from a Householder QR of [J; sqrt(lambda) D], never
// from the normal equations.
//   jac: m x n, column-major, leading dimension m. f: m. d: n, positive.
//   lambda: in, the parameter of the previous step (a starting guess, 0 if
//     none); out, the parameter of this step.
//   s: out, n.
//   gaussNewtonReduction: out, 1/2 (||f||^2 - min_s ||J s + f||^2), the
//     reduction the linear model promises for an unrestricted step.
// Cost O(m n^2) per trial parameter, at most 11 trials.
void LevenbergMarquardtStep(int m, int n, const std::vector<double>& jac,
                            const std::vector<double>& f, const std::vector<double>& d,
                            double delta, double& lambda, std::vector<double>& s,
                            double& gaussNewtonReduction);

}  // namespace kriging

#pragma once
// Estimate of ||A^{-1}||_1 for a symmetric A from solves only.
#include <functional>
#include <vector>

namespace kriging {

// Hager's method with Higham's refinements (Higham, ACM TOMS 14, 1988): at most
// five pairs of solves climb to a vertex of the unit 1-norm ball where
// ||A^{-1} x||_1 is locally largest, then one extra solve with Higham's
// alternating vector guards against the method's known failures. The result
// is a lower bound, almost always within a factor 3 of the true norm.
//   applyInverse(v): overwrites v (n) with A^{-1} v. Because A is symmetric the
//   same solve serves for A^{-T}.
// Cost: at most 11 solves and O(n) storage.
double EstimateSymmetricInverseOneNorm(int n, const std::function<void(std::vector<double>&)>& applyInverse);

}  // namespace kriging

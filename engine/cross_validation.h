#pragma once
// Cross-validation of global kriging (every datum in every system), ordinary
// or universal, in double precision from ONE factorization for all the data.
//
// Why it works: let A be the kriging matrix of all n data with the drift block
// and B = A^{-1}. Leaving datum i out leaves the system of the others, and
// the block inverse formula gives, without solving it,
//     error_i = z_i - zhat_{-i} = (B [z; 0])_i / B_ii,   variance_i = 1 / B_ii
// (Dubrule's formula), written here in the covariance form. For a fold I of
// several data the same holds blockwise: e_I = (B_II)^{-1} (B [z; 0])_I and
// the variances are the diagonal of (B_II)^{-1}.
//
// The covariance form: with the constant among the drift terms, kriging
// weights and variances do not change when a constant K is added to the
// covariance, so C = K - gamma(h) with K large enough is positive definite for
// every valid model, bounded or not, and C is inverted by Cholesky. B follows
// from C^{-1} and the small Schur complement of the drift, S = F^T C^{-1} F:
//     B_11 = C^{-1} - G S^{-1} G^T,   G = C^{-1} F.
#include <cstdint>
#include <string>
#include <vector>

namespace kriging {

// gamma(h) = c0 + c1 g(h; a) with g the unit shape of `code` (1..6).
struct CrossValidationModel {
  int code = 1;
  double c0 = 0, c1 = 0, a = 1;
};

struct CrossValidationPoint {
  double x = 0, y = 0;
  double observed = 0, predicted = 0, variance = 0;
  double error = 0;              // observed - predicted
  double standardisedError = 0;  // error / sqrt(variance)
  int fold = 0;                  // 0-based; the datum's own index for leave-one-out
};

struct CrossValidationSummary {
  int count = 0;
  double meanError = 0, rootMeanSquareError = 0;
  double meanStandardisedError = 0, meanSquaredStandardisedError = 0;
  double correlation = 0;    // observed against predicted
  double shareWithin = 0;    // share of data with |standardised error| <= 1.96
};

struct CrossValidationResult {
  int status = 0;            // 0 done; otherwise `message` says why not
  std::string message;       // Spanish
  std::vector<CrossValidationPoint> points;
  CrossValidationSummary summary;
};

// Cross-validates n data with the model and a drift of degree 0..3 (0:
// ordinary kriging). folds <= 1 or >= n: leave-one-out; otherwise K-fold with
// the data shuffled by `seed`.
CrossValidationResult CrossValidateGlobal(int n, const double* x, const double* y, const double* z,
                                          const CrossValidationModel& model, int driftDegree,
                                          int folds = 0, std::uint32_t seed = 1);

// The fold (0..folds-1) of each of n data: a Fisher-Yates shuffle drawn from
// a 32-bit Mersenne twister seeded with `seed`, then dealt round-robin, so
// fold sizes differ by at most one and the same seed gives the same folds
// everywhere.
std::vector<int> FoldAssignment(int n, int folds, std::uint32_t seed);

CrossValidationSummary SummariseCrossValidation(const std::vector<CrossValidationPoint>& points);

// The model's value at h (0 at the origin, the nugget being a jump).
double ModelSemivariance(const CrossValidationModel& model, double h);

}  // namespace kriging

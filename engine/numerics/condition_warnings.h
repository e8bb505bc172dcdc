#pragma once
// Thresholds on the reciprocal L1 condition number shared by the symmetric
// solve and the positive definite inverse. Both judge the matrix against the
// 32-bit arithmetic of their interface, eps = 2^-23.
namespace kriging {

// RCOND <= eps: A is singular to working precision ("algorithmically
// singular").
inline constexpr double kAlgorithmicallySingularRcond = 1.1920928955078125e-7;
// RCOND < 100 eps: the relative error bound cond(A) eps exceeds 1%, fewer
// than two digits of the result can be trusted.
inline constexpr double kIllConditionedRcond = 100 * 1.1920928955078125e-7;

}  // namespace kriging

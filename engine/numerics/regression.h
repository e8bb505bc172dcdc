#pragma once
namespace kriging {

// Least-squares line y = b0 + b1 x over nobs points (x, y); pairs with a NaN
// are skipped. stat[12] (0-based): 0 mean of x, 1 mean of y, 2 and 3 sample
// variances of x and y, 4 R^2, 5 residual standard deviation, 6 total, 7
// regression and 8 residual sum of squares of y, 9 residual degrees of
// freedom, 10 number of valid pairs, 11 number of pairs with a NaN. When all
// valid x are equal the slope is 0 and b0 the mean of y. Reports as "RLINE":
// nobs < 1 terminal 1; no valid pair fatal 1 (b0, b1 and stat NaN).
void RLINE(int nobs, const float* x, const float* y, float& b0, float& b1, float stat[12]);

// Multiple linear regression of y (nobs) on the nind columns of x (column-
// major, leading dimension ldx >= nobs), with an intercept when intcep = 1.
// b[intcep + nind]: with intcep = 1, b[0] is the intercept and b[j] belongs to
// column j; with intcep = 0, b[j - 1] belongs to column j. sst is the sum of
// squares of y about its mean (intercept) or about zero (no intercept), sse
// the residual sum of squares. A column that depends linearly on the ones
// before it gets coefficient 0. Householder QR in double; cost
// O(nobs (intcep + nind)^2), workspace nobs (intcep + nind + 1) doubles.
// Reports as "RLSE": bad intcep, no regressor, no storage, nobs < 1 or
// ldx < nobs are terminal.
void RLSE(int nobs, const float* y, int nind, const float* x, int ldx, int intcep, float* b,
          float& sst, float& sse);

}  // namespace kriging

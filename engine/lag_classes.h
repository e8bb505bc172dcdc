#pragma once
// Lag classes of the empirical semivariogram: pairs of points grouped by their
// distance, with the classical (Matheron) and robust (Cressie-Hawkins)
// estimators side by side. All arithmetic in 32-bit floats, every sum stored
// back to a float after each pair. Arrays are 0-based: class k of the text is
// index k - 1. Pairs are visited i < j, with dx = x[i] - x[j] and so on.
#include <cstdint>

namespace kriging {

inline constexpr int kMaxLagClasses = 100;

// The lag table of the last estimate (module state, rebuilt by every run). A
// class with no pair has count 0 and the value 0 in the three float fields.
struct LagTable {
  std::int32_t count[kMaxLagClasses];
  float meanDistance[kMaxLagClasses];
  float classical[kMaxLagClasses];
  float robust[kMaxLagClasses];
  float bounds[kMaxLagClasses + 1];  // class k spans bounds[k-1]..bounds[k]
  float fitted[kMaxLagClasses];      // the estimator chosen for the fit
};
LagTable& CurrentLagTable();

// Regular classes of width lagWidth centred on firstLag + k * lagWidth (k from
// 0); the first class also takes every shorter distance. lagWidth <= 0 is
// replaced by 2 * firstLag (written back). Fills lagCount entries of the four
// output arrays; maxClassIndex (1-based) is the class the farthest pair would
// fall in, counted over all pairs, also those beyond lagCount. Direction
// filter: angle in degrees from the x axis; a negative tolerance (degrees) or
// band width switches that test off.
void AccumulateRegularLags(int n, const float* z, const float* x, const float* y, float firstLag,
                           float& lagWidth, int lagCount, float angle, float tolerance,
                           float bandWidth, float* classical, float* robust, float* meanDistance,
                           std::int32_t* count, std::int32_t& maxClassIndex);

// The limits of lagCount regular classes: lagCount + 1 values.
void RegularLagBounds(float firstLag, float lagWidth, int lagCount, float* bounds);

// Automatic regular classes ("smoothing parameters"): the first class centred
// on the middle of the K shortest pair distances and about as wide as their
// spread, rounded to one significant digit; enough classes to reach the
// longest distance, at most kMaxLagClasses; where kMaxLagClasses classes
// would not reach even half the longest distance, the classes are widened
// instead (two significant digits) so that kMaxLagClasses of them reach it. pairsPerClass < 1 is replaced by K
// = 20 (n < 26) or 30. With fewer than K pairs the longest kept distance stands
// for the K-th. z is not used.
void ChooseLagParameters(int n, const float* z, const float* x, const float* y, float& firstLag,
                         float& lagWidth, std::int32_t& lagCount, std::int32_t& pairsPerClass);

// Variable-length classes of at least K pairs each (K = pairsPerClass, or 20 /
// 30 as above), built from fine cells of the distance axis; a short last class
// is merged into the one before. Outputs lagCount (<= maxClasses) classes and
// lagCount + 1 bounds; arrays hold maxClasses (+ 1 for bounds) entries.
void EstimateVariableLags(int n, const float* z, const float* x, const float* y,
                          std::int32_t& pairsPerClass, float* bounds, int maxClasses, float angle,
                          float tolerance, float bandWidth, float* classical, float* robust,
                          float* meanDistance, std::int32_t* count, std::int32_t& lagCount);

}  // namespace kriging

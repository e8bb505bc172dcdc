#pragma once
// The empirical semivariogram of large data sets: only the pairs that can
// fall into a lag class are visited, found with the k-d tree within the
// largest class distance (or a smaller pair distance, the neighbourhood's
// distance of local kriging), optionally on a random subsample of the data;
// when that distance is half the data's bounding-box diagonal or more, most
// pairs qualify and a plain loop over every later point does the same faster.
//
// Classes are the regular classes of lag_classes.h (class k, 1-based, centred
// on firstLag + (k - 1) lagWidth, the first also taking every shorter
// distance), with the same classical and robust estimators; the sums are
// kept in double, so 10^8 pairs lose nothing to rounding. The result has the
// same bits for any thread count (fixed blocks of points, merged in order).
//
// Cost: O(n log n) for the tree plus O(pairs within the distance), or
// O(n^2) for the plain loop.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kriging {

struct PairSemivariogramOptions {
  double firstLag = 0, lagWidth = 0;  // lagWidth > 0
  int lagCount = 0;                   // 1..kMaxLagClasses
  // Pairs farther apart than this are left out (+infinity: only the classes limit them).
  double maxPairDistance = std::numeric_limits<double>::infinity();
  // 0 (or >= n): every datum; otherwise this many data drawn without
  // replacement by a 64-bit Mersenne twister started from `seed`.
  int sampleSize = 0;
  std::uint64_t seed = 1;
};

struct PairSemivariogram {
  std::vector<float> classical, robust, meanDistance;  // lagCount classes
  std::vector<std::int32_t> count;
  int pointsUsed = 0;     // n, or the subsample's size
  long long pairs = 0;    // pairs counted in some class
};

// Empty when fine, else a message in Spanish.
std::string CheckPairSemivariogram(int n, const PairSemivariogramOptions& options);

PairSemivariogram EstimatePairSemivariogram(int n, const double* x, const double* y,
                                            const double* z,
                                            const PairSemivariogramOptions& options);

// The indices of the subsample of `options` (all of 0..n-1 when no subsample
// is asked for), in increasing order. Its size is the line the run log shows.
std::vector<int> SubsampleIndices(int n, int sampleSize, std::uint64_t seed);

// The run-log line that states the subsample: size, population and seed.
std::string SubsampleLogLine(int used, int n, std::uint64_t seed);

}  // namespace kriging

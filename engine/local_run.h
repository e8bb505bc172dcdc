#pragma once
// One complete run with a moving search neighbourhood ("Kriging Local"):
// the run log, stage I (semivariogram and trend), stage II (every node from
// its own neighbours, local_kriging.h), stage III (surface files), in the
// current working folder with the file names of the global run.
//
// Stage I:
//   - the estimation points are the data, or a seeded random subsample of
//     `sampleSize` of them (stated in the run log); with more than
//     kLargeDataPoints data and no sample size, a subsample of that many;
//   - when they are at most kLargeDataPoints and `neighbourhoodVariogram` is
//     off, stage I is the global run's: the semivariogram (and with a drift
//     the Neuman-Jacobson iteration) on the estimation points;
//   - otherwise the semivariogram comes from the pairs that fall into a lag
//     class, found with the k-d tree (pair_semivariogram.h), of z or, with a
//     drift, of the ordinary least-squares residuals; `neighbourhoodVariogram`
//     ("Variograma") keeps only the pairs up to the neighbourhood's distance.
//     Regular lag classes only: variable-length classes are replaced by
//     automatic regular ones (the log says so).
// Stage II: with `localTrend` ("Tendencia") the drift of the run's degree is
// part of every node's system (universal kriging in each neighbourhood);
// without it, a trend of that degree fitted once over the estimation points
// (generalized least squares under the fitted model) is removed, the
// residuals are kriged with a local constant mean, and the trend added back.
#include <cstdint>

#include "kriging_api.h"
#include "local_kriging.h"
#include "run_driver.h"

namespace kriging {

inline constexpr int kLargeDataPoints = 4000;

struct LocalRunOptions {
  LocalNeighbourhood neighbourhood;
  bool localTrend = true;              // "Tendencia"
  bool neighbourhoodVariogram = false; // "Variograma"
  int sampleSize = 0;                  // 0: automatic (see above)
  std::uint64_t seed = 1;
};

// The local options of the named interface's neighbourhood: maxPoints 1..500
// (0, "all data", is refused: a local system holds at most 500), minPoints 0
// taken as 1, maxDistance 0 as no limit, sectors 1 or 4. `problem` receives
// the Spanish message of a neighbourhood that cannot be used, else "".
LocalRunOptions LocalRunOptionsOf(const Neighbourhood& neighbourhood, int trendDegree,
                                  std::string* problem);

// Empty when fine, else the message in Spanish (also for the run's own
// arguments that the local path cannot take).
std::string CheckLocalRun(const KrigingRun& run, const LocalRunOptions& options);

// The run, as RunKriging does it but with the neighbourhood. Returns the
// grid's summary (holes and their causes). Call only with options that
// CheckLocalRun accepts. Fatal numerical errors of stage I end the process as
// in the global run.
LocalKrigingSummary RunLocalKriging(const KrigingRun& run, const LocalRunOptions& options);

}  // namespace kriging

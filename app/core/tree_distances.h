#pragma once
// The distances of the automatic options (ComputeDistances) for large data
// sets, without visiting every pair: the shortest pair distances from each
// point's nearest neighbours (a k-d tree of the engine), the largest from the
// convex hull (rotating calipers). The same values as the pair-by-pair scan,
// in O(n log n).
#include "core/kriging_options.h"

namespace sorvan::core {

// x, y: n coordinates (NaN: a missing coordinate, left out). Fills cortas
// (the `count` shortest pair distances, ascending, coinciding points giving
// 0), mayor, menor and smallestPositive as ComputeDistances does. `progress` is
// told the share of points searched; its false answer stops the search with
// only `cancelled` set.
DataDistances TreeDistances(int n, const double* x, const double* y, int count,
                                   const ProgressCallback& progress = {});

}  // namespace sorvan::core

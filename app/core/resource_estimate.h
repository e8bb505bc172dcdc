#pragma once
// What a global kriging run will need, worked out before any work is done:
// the memory of its kriging system and the time of its factorisation and of
// the prediction and variance at every node. A run that cannot fit in memory
// is refused with the figures; one that is merely slow or large is announced.
#include <cstdint>
#include <string>

#include "core/result.h"

namespace sorvan::core {

struct ResourceEstimate {
  double bytes = 0;      // peak memory of the engine's process
  double seconds = 0;   // time of the whole run on this machine (rough)
  double available = 0;  // memory the system can give now (0 when unknown)
};

// Estimate for n data, `nodes` grid nodes and trend degree `degree` (0..3).
// The model follows the engine's global system: one n x n double matrix
// (half of it for ordinary kriging) and, with a trend, the inverse's
// workspace; the time grows as n^3 for the factorisation and nodes * n^2 for
// the variances, calibrated on the development machine and scaled by the
// processors available.
ResourceEstimate EstimateResources(int64_t n, int64_t nodes, int degree);

// Memory the system can give now: MemAvailable, bounded by the control
// group's limit when there is one; 0 when neither can be read.
double AvailableMemory();

// Refusal (with the figures and the advice to use a search neighbourhood,
// "Kriging Local") when the estimate does not fit in the memory available;
// success otherwise, with a warning text when the run will take more than a
// minute or more than half the memory available.
Result CheckResources(const ResourceEstimate& e);

// "1,2 GB", "350 MB", "2 min 30 s" as the messages show them.
std::string BytesText(double bytes);
std::string SecondsText(double seconds);

}  // namespace sorvan::core

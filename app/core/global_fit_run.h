#pragma once
// The "global" fitting method on the classes of a finished run (its chart
// files "SKUEAJUS.SV" and "SKUEAJUS.FMT"): direct fits from several starts
// (engine/variogram_fit_global.h), for the model panel.
#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"

namespace sorvan::core {

// The classes of a fit chart: mean distance, estimate and pair count of the
// first classes of the run, in order.
struct FitClasses {
  std::vector<float> distance, estimate;
  std::vector<std::int32_t> count;
};
Result ReadFitClasses(const std::string& folder, FitClasses& classes);

// Global fit of model `code` to the classes with more than minPairs pairs
// (the engine's default of 15 for minPairs < 1), the first fitLagCount of
// them. model[0..2] c0, c1, a; model[3] the fit error.
Result FitGlobally(const FitClasses& classes, int code, int minPairs, int fitLagCount, float model[4]);

}  // namespace sorvan::core

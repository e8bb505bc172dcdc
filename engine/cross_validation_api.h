#pragma once
// Cross-validation and the comparison of models through the named
// interface: the model of the options (fitted as they say, or given with
// FitMethod::kNone) validated by the closed form of cross_validation.h.
#include <cstdint>
#include <vector>

#include "cross_validation.h"
#include "kriging_api.h"

namespace kriging {

struct ValidatedRun {
  KrigingResult fit;                   // the run that gave the model (no grid kriged)
  CrossValidationResult validation;    // status 1 with the fit's message when it failed
};

// folds <= 1: leave-one-out; otherwise K-fold shuffled by `seed`.
ValidatedRun CrossValidate(const KrigingData& data, const KrigingOptions& options, int folds = 0,
                           std::uint32_t seed = 1);

// Each of the six models fitted with the options' trend and fit method (from
// automatic starting values) and cross-validated; sorted by root mean square
// error, failures last.
std::vector<ValidatedRun> CompareModels(const KrigingData& data, const KrigingOptions& options,
                                        int folds = 0, std::uint32_t seed = 1);

}  // namespace kriging

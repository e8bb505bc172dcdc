#pragma once
// Cross-validation of the program's data with a given model and trend, the
// CSV of its table, and the comparison of the six models.
#include <cstdint>
#include <string>
#include <vector>

#include "core/spatial_data.h"
#include "core/result.h"
#include "cross_validation.h"
#include "cross_validation_api.h"

namespace sorvan::core {

struct ValidatedModel {
  int code = 1;
  double c0 = 0, c1 = 0, a = 1;
};

// Columns x, y, z (1-based) of the data with the model (used as given) and a
// trend of degree 0..3, through the engine's CrossValidate (the one path of
// the command line and the window); folds <= 1: leave-one-out.
kriging::CrossValidationResult CrossValidateColumns(const SpatialData& data, int colX, int colY,
                                                    int colZ, const ValidatedModel& model,
                                                    int trendDegree, int folds, std::uint32_t seed);

// The table, one row per datum, to `path` (written to a temporary name and
// renamed, so a failed write leaves no half file):
//   dato,x,y,observado,prediccion,varianza,error,error_estandarizado,grupo
Result WriteCrossValidationCsv(const std::string& path,
                                  const kriging::CrossValidationResult& result);

// One row of a model comparison.
struct ModelComparisonRow {
  ValidatedModel model;
  double fitError = 0;
  kriging::CrossValidationResult validation;
};
// Sorted by root mean square error, failures last.
void SortByError(std::vector<ModelComparisonRow>& rows);

}  // namespace sorvan::core

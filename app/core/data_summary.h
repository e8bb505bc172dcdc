#pragma once
// The data set's summary ("Información"): rows, and per variable the missing
// values, minimum, maximum, mean and standard deviation (over the values
// present, the deviation with n - 1), the extent of X and Y and the
// coordinate reference system.
#include <string>
#include <vector>

#include "core/spatial_data.h"

namespace sorvan::core {

struct VariableStatistics {
  int present = 0, missing = 0;
  double minimum = 0, maximum = 0, mean = 0, deviation = 0;  // NaN when nothing is present
};

// Statistics of variable `var` (1..nvar), in double with a two-pass mean.
VariableStatistics Statistics(const SpatialData& data, int var);

// The summary as text, X and Y being columns colX and colY (1-based).
std::string DataSummary(const SpatialData& data, int colX, int colY);

}  // namespace sorvan::core

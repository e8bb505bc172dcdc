#pragma once
// Points at the same place: found before a run (two coinciding points make
// the kriging system singular) and handled as the run's policy says.
#include <string>
#include <vector>

#include "core/spatial_data.h"
#include "core/result.h"

namespace sorvan::core {

enum class DuplicatePolicy { Error, Average, First };

// "average" | "first" | "error" (the command line's words); false if none.
bool PolicyFromText(const std::string& text, DuplicatePolicy& policy);

// Tolerance for two points to coincide: this fraction of the larger side of
// the data's extent.
inline constexpr double kRelativeTolerance = 1e-9;

// Groups (two or more, rows 0-based ascending, groups in order of their first
// row) of the `rows` whose X and Y lie within the tolerance of each other
// (chained: a near b and b near c puts a, b and c together).
std::vector<std::vector<int>> CoincidentPoints(const SpatialData& data, int colX, int colY,
                                                 const std::vector<int>& rows);

// "filas 3 y 17; filas 40, 41 y 42" (1-based), at most `maximum` groups named.
std::string DescribeGroups(const std::vector<std::vector<int>>& groups, size_t maximum = 10);

// Applies `policy` to the points (x, y, z) of `rows` (0-based rows):
// Average keeps one point per group at the first row's place with the mean
// of their Z; First keeps the group's first row; Error refuses the run with
// a message naming the rows. On success `warning` says what was done (or is
// empty when nothing coincided).
Result ResolveDuplicates(const SpatialData& data, int colX, int colY, int colZ, std::vector<int> rows,
                             DuplicatePolicy policy, std::vector<double>& x, std::vector<double>& y,
                             std::vector<double>& z, std::string& warning);

}  // namespace sorvan::core

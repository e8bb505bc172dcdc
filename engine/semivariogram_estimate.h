#pragma once
#include <cstdint>
namespace kriging {
// Empirical semivariogram (classical and robust) of z at (x, y), chart files
// SKUESTIM.SV/.FMT, then the model fit and SKUEAJUS.SV/.FMT. Arrays 0-based of
// n entries; options[7] and params[10] are the SKU option vectors (0-based:
// options[0] is entry 1). Leaves the fitted model in CurrentModel().
//
// Regular classes (options[4] == 1): lagCount < 1 asks for automatic classes
// (firstLag, lagWidth and lagCount are then written back); lagWidth <= 0 is
// replaced by 2 firstLag. Variable-length classes otherwise. lagCount is kept
// within the 100 classes of the lag table and fitLagCount within lagCount
// (both written back); the fit itself takes at most 50 classes. Options 1..5
// below 1 are replaced by their defaults and written back.
void EstimateAndFitSemivariogram(int n, const float* z, const float* x, const float* y,
                                 float& firstLag, float& lagWidth, std::int32_t& lagCount,
                                 std::int32_t modelCode, std::int32_t& fitLagCount,
                                 std::int32_t options[7], float params[10]);
}  // namespace kriging

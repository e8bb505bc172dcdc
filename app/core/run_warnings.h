#pragma once
// The warnings of a finished run that the user must see, in Spanish with what
// to try: the trend iteration stopped at its limit, the model fit stopped
// early by its solver (any message but the ordinary relative convergence),
// predictions far outside the data's range.
#include <string>
#include <vector>

namespace sorvan {

// logText: the run's "KRIGING.LOG"; dataMin, dataMax: the range of Z;
// predictedMin, predictedMax: the range of the kriged values.
std::vector<std::string> RunWarnings(const std::string& logText, double dataMin, double dataMax,
                                     double predictedMin, double predictedMax);

// The warnings as one message (empty when there are none).
std::string RunWarningsText(const std::vector<std::string>& warnings);

}  // namespace sorvan

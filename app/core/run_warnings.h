#pragma once
// The warnings of a finished run that the user must see, in Spanish with what
// to try: the trend iteration stopped at its limit, the model fit stopped
// early by its solver (any message but the ordinary relative convergence),
// predictions far outside the data's range. Taken from the run's own result
// (the engine's warnings as its reply carries them), not from its log.
#include <string>
#include <vector>

namespace sorvan::core {

// engineWarnings: the run's warnings as the engine reported them
// (KrigingResult::warnings, EngineSummary::avisos); dataMin, dataMax: the
// range of Z; predictedMin, predictedMax: the range of the kriged values.
std::vector<std::string> RunWarnings(const std::vector<std::string>& engineWarnings, double dataMin,
                                     double dataMax, double predictedMin, double predictedMax);

// Whether an engine warning is one RunWarnings turns into its own message
// (so a caller listing the rest does not repeat it).
bool HasOwnRunWarning(const std::string& engineWarning);

// The warnings as one message (empty when there are none).
std::string RunWarningsText(const std::vector<std::string>& warnings);

}  // namespace sorvan::core

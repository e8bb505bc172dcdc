#pragma once
// The sentence that tells the user which options a run takes when the
// options dialog was not opened (the automatic values of OpcionesPorDefecto).
#include <string>

#include "core/kriging_options.h"

namespace sorvan::core {

// Spanish name of model `code` (1..6) as the dialogs show it ("esférico",
// ..., "oscilatorio"); "desconocido" for any other code.
const char* SpanishModelName(int code);

// One sentence, in Spanish, naming the mean, the estimator and the lag
// classes, the model and its fit classes, and the grid of `op`; distances
// with three decimals, a period as separator (as the dialogs show them).
std::string DescribeAutomaticOptions(const OpcionesKriging& op);

}  // namespace sorvan::core

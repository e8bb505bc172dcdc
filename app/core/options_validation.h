#pragma once
// The one check of kriging options shared by the options dialog, the
// command-line tool and the engine call, and the checks of the data that
// catch, in plain Spanish and before the engine is called, the causes the
// engine would only report as a numerical failure.
#include <string>

#include "core/spatial_data.h"
#include "core/kriging_options.h"
#include "core/result.h"

namespace sorvan::core {

// A starting or fixed model (model code 1..6, nugget c0, sill or slope c1,
// range or power exponent a): c0 >= 0, c1 > 0, and a > 0 (a range; unused by
// the linear model) or 0 < a < 2 (the exponent of the power model). The
// message names the parameter and the value given.
Result ValidateModel(int model, double c0, double c1, double a);

// Every option of a run: codes in range (trend 0..3, model 1..6, estimator 1
// or 2, fitting method automatic/alternating/direct/none), lag counts, pairs,
// the grid and, when starting values are given (C0Ini >= 0), the model they
// describe. Messages name the
// option as the dialog and the tool call it.
Result ValidateOptions(const OpcionesKriging& op);

// The data of columns colX, colY, colZ (1-based) against the options:
// CheckData, then CheckLags.
// The pair count stops at the first class that qualifies, so it costs little
// on ordinary data.
Result CheckKrigingData(const SpatialData& data, int colX, int colY, int colZ,
                                const OpcionesKriging& op);

// The data alone, over the rows with X, Y and Z present (those a run
// uses): enough points for trend degree `degree`, Z not constant, X and Y
// not all alike (compared in single precision, as the engine gets them).
Result CheckData(const SpatialData& data, int colX, int colY, int colZ, int degree);
// The lag classes of valid options: for a fit on fixed-width lags, at least
// one class with more than NMinAjus pairs (the engine's 15 when NMinAjus < 1).
Result CheckLags(const SpatialData& data, int colX, int colY, int colZ, const OpcionesKriging& op);

// Points a run needs at least for trend degree `degree`: the drift terms plus
// two, and never fewer than 3.
int MinimumData(int degree);

// `text` with every byte sequence that is not valid UTF-8 replaced by "?",
// so that a file name or a value read from a file can go into a message.
std::string SafeText(const std::string& text);

}  // namespace sorvan::core

#pragma once
// The "global" fitting method from the program: the classes the engine's run
// fitted (its chart files "SKUEAJUS.SV" and "SKUEAJUS.FMT") fitted again by
// direct fits from several starts (engine/variogram_fit_global.h), and a run
// with that model and no fit.
#include <cstdint>
#include <string>
#include <vector>

#include "core/motor_kriging.h"
#include "core/resultado.h"
#include "core/sesion_kriging.h"

namespace sorvan {

// The classes of a fit chart: mean distance, estimate and pair count of the
// first classes of the run, in order.
struct FitClasses {
  std::vector<float> distance, estimate;
  std::vector<std::int32_t> count;
};
Resultado ReadFitClasses(const std::string& carpeta, FitClasses& classes);

// Global fit of model `code` to the classes with more than minPairs pairs
// (the engine's default of 15 for minPairs < 1), the first fitLagCount of
// them. model[0..2] c0, c1, a; model[3] the fit error.
Resultado FitGlobally(const FitClasses& classes, int code, int minPairs, int fitLagCount, float model[4]);

// The whole run with the global method: a run with the session's options to
// obtain the classes, the global fit, then the run with that model and no
// fit, whose result the session keeps. With a trend the model is fitted to
// the residual classes of the first run and not iterated further.
Resultado EjecutaKrigingAjusteGlobal(SesionKriging& sesion, const std::string& nombre,
                                     const std::string& carpeta, MotorKriging& motor);

}  // namespace sorvan

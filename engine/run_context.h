#pragma once
// The working state of one kriging run: the current model, the lag table, the
// fit set, the drift frame, the numerical services' destinations and action
// table, and how a stop ends (the process for SKU, an exception for Krige).
//
// Routines reach the state of the run they belong to through CurrentContext():
// the context bound to the calling thread by a ContextScope, or the process's
// own default context when none is bound (SKU and the tests of single
// routines use that one). ParallelFor binds the caller's context on its
// workers, so a loop's items see the state of the run that started the loop.
#include <cstdio>
#include <string>
#include <vector>

#include "drift_terms.h"
#include "lag_classes.h"
#include "numerics/error_service.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {

struct RunContext {
  VariogramModel model;
  LagTable lags{};
  FitSet fit;
  DriftFrame drift;
  // errors.stopThrows false: a fatal error or critical stop ends the process
  // (SKU's contract); true: it throws ServiceStopped.
  ErrorServiceState errors;
  // Folder prefix of the files a run writes ("" = the working folder) and
  // whether it writes them at all.
  std::string folder;
  bool writeFiles = true;
  // The model is fitted by the global method (several starts) instead of the
  // method of the integer options.
  bool globalFit = false;

  // What the caller's coordinates are shifted by in this run (the named
  // interface works on coordinates relative to the data's centre); the run
  // log reports positions in the caller's coordinates.
  double offsetX = 0, offsetY = 0;

  // Filled by stage I for the named interface.
  std::vector<double> trendCoefficients;
  // False when the trend iteration stopped at its limit without converging.
  bool trendConverged = true;
};

RunContext& CurrentContext();
RunContext* BoundContext();  // null when the default context is in use

// Binds a context to the calling thread for the scope's lifetime.
class ContextScope {
 public:
  explicit ContextScope(RunContext* context);
  ~ContextScope();
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;

 private:
  RunContext* previous_;
};

// Path of a run file in the current context's folder.
std::string RunFilePath(const char* name);

}  // namespace kriging

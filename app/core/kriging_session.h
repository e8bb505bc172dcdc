#pragma once
// The program-wide kriging state: what the desktop program holds between its
// dialogs and windows, and what the command-line tool builds for one run.
#include <cstdint>
#include <string>
#include <vector>

#include "core/spatial_data.h"
#include "core/data_left_out.h"
#include "core/duplicates.h"
#include "core/kriging_options.h"
#include "core/trend_surface.h"

namespace sorvan::core {

// A prediction grid and its two surfaces, column-major with X fastest:
// node (i, j), 1-based, at index (i-1) + (j-1)*nx, lying at
// (xMin + (i-1)*dx, yMin + (j-1)*dy). Nodes left out hold kHoleValue.
struct KrigingSurfaces {
  int nx = 0, ny = 0;
  double xMin = 0, yMin = 0, dx = 0, dy = 0;  // as the options gave them
  std::vector<float> SupPred;  // kriged values
  std::vector<float> SupVar;   // kriging variances; empty for one surface alone (read from a file)
  float zMin = 0, zMax = 0;    // smallest and largest kriged value of the run
};

// The semivariogram model a run fitted, as the engine reports it.
struct FittedModel {
  bool known = false;     // parameters found in the run log
  int32_t code = 0;        // model code 1..6
  float c0 = 0, c1 = 0, a = 0;  // nugget, sill/slope/scale, range/exponent (a unused by code 3)
  float fitError = 0;     // weighted least-squares error of the fit ("Error MCP")
  float c0Ini = 0, c1Ini = 0, aIni = 0;  // starting values the fit used
};

// What a local run ("Kriging Local") reports about its grid.
struct LocalSummary {
  bool local = false;            // the last run used a search neighbourhood
  int64_t computed = 0;        // nodes kriged
  int64_t fewNeighbours = 0;      // holes: fewer neighbours than the minimum
  int64_t singular = 0;        // holes: singular neighbourhood system
};

struct KrigingSession {
  SpatialData data;
  std::string dataFile;            // path of the loaded ".dae" file
  OpcionesKriging options;            // with opciones.perfil, the associated profile
  bool optionsReady = false;         // OpcionesPorDefecto has run for these data and columns
  std::string defaultsAnnounced;      // data file and automatic options the user was last told of
  int colX = 1, colY = 2, colZ = 3;    // 1-based columns chosen in the kriging dialog
  int colLabel = 0;                    // 0 = no label column
  // What a run does with points at the same coordinates.
  DuplicatePolicy duplicates = DuplicatePolicy::Error;
  KrigingSurfaces surfaces;      // surfaces of the last successful run
  bool hasSurfaces = false;         // a run has produced surfaces
  std::string surfacesVariable;     // name of the Z variable of those surfaces
  std::string resultsFolder;       // folder holding that run's result files
  // The result folder the user chose for the data file `chosenFolderFor`;
  // for any other data file (or when empty) runs write to the data set's
  // default folder (SessionResultsFolder).
  std::string chosenFolder;
  std::string chosenFolderFor;
  FittedModel model;               // model fitted by that run
  TrendFit trend;                  // trend fitted by that run (degree 0: none)
  LocalSummary localSummary;           // that run's neighbourhood counts
  std::vector<std::string> warnings;     // that run's warnings as the engine reported them
  DataLeftOut dataLeftOut;               // that run's rows left out and points merged
};

}  // namespace sorvan::core

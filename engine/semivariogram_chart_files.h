#pragma once
// The semivariogram chart files, written to the current working folder:
//   SKUESTIM.SV / SKUESTIM.FMT  the classical and robust estimators per class;
//   SKUEAJUS.SV / SKUEAJUS.FMT  the fitted estimator and the model curve.
// The .SV files use the "GENERAL" layout of the chart component (a header with
// 2 series of at most 100 points, "HOLE -1", then per series a "#" comment
// line, the point count, the X values and the Y values); the .FMT files hold
// the chart kind (1 both estimators, 2 estimator and model), the class counts
// and the class limits. Lists of numbers wrap over several lines; reals keep
// full single precision. The files go to the run's folder (run_files.h); one
// that cannot be created, written or closed ends the run. `log` is unused.
#include <cstdio>

#include "lag_classes.h"

namespace kriging {

// Classes 1..lagCount of the table, both estimators.
void WriteEstimateChartFiles(const LagTable& table, int lagCount, std::FILE* log);

// Classes 1..m of the table with the fitted estimator, and the model `modelCode`
// with the parameters of CurrentModel() at 100 distances up to the mean
// distance of class m.
void WriteFitChartFiles(const LagTable& table, int m, int modelCode, std::FILE* log);

}  // namespace kriging

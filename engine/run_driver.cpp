#include "run_driver.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "drift_terms.h"
#include "grid_kriging.h"
#include "numerics/error_service.h"
#include "run_context.h"
#include "run_files.h"
#include "surface_writer.h"
#include "trend_removal.h"
#include "variogram_models.h"

namespace kriging {
namespace {

const char* const kPredictionName = "SKUPRE.SUP";
const char* const kVarianceName = "SKUVAR.SUP";

}  // namespace

void RunKriging(const KrigingRun& run) {
  const int degree = std::clamp<int>(run.trendDegree, 0, 3);
  const int trendTermCount = DriftTermCount(degree);

  // Run log: every progress line and every service message of this call.
  const RunLog log = OpenRunLog(run.log);
  std::FILE* out = OutputDestination(2);

  std::fprintf(out, "\nI-  Obteniendo un semivariograma isotropico:\n");
  // SKU takes any starting or fixed model it is given; one outside the
  // model's rules is named in the log (the named interface refuses it).
  if (run.parameters[0] >= 0 && FindModel(run.modelCode) != nullptr) {
    const std::string problem = ModelParameterProblem(run.modelCode, run.parameters[0],
                                                      run.parameters[1], run.parameters[2]);
    if (!problem.empty()) std::fprintf(out, "    Aviso: %s\n", problem.c_str());
  }
  // Drift monomials on coordinates centred and scaled by the data, for the
  // trend removal and the kriging system alike.
  SetDriftFrame(DriftFrameOfData(run.n, run.x, run.y));
  EstimateTrendAndSemivariogram(run.n, run.z, run.x, run.y, trendTermCount, &DriftTerm,
                                run.firstLag, run.lagWidth, run.lagCount, run.modelCode,
                                run.fitLagCount, run.options, run.parameters);

  std::fprintf(out, "\n\nII- Calculando las superficies...\n");
  SurfaceGrid grid;
  grid.nx = run.nx;
  grid.ny = run.ny;
  grid.gridRows = run.gridRows;
  grid.xMin = run.xMin;
  grid.yMin = run.yMin;
  grid.dx = run.dx;
  grid.dy = run.dy;
  grid.holeValue = run.holeValue;
  if (run.ny > 0 && run.nx > run.gridRows) {
    grid.nx = std::max(run.gridRows, 0);
    std::fprintf(out,
                 "    Aviso: las matrices de resultados tienen %d filas; se calculan %d de las %d "
                 "filas de la rejilla\n",
                 run.gridRows, grid.nx, run.nx);
  }
  KrigeGrid(run.n, run.z, run.x, run.y, trendTermCount, &DriftTerm, &SemivariogramOfLag, 0, 0,
            grid.nx, grid.ny, grid.xMin, grid.yMin, grid.dx, grid.dy, grid.gridRows,
            run.prediction, run.variance, run.holeValue, run.parameters);
  if (run.afterGrid != nullptr) run.afterGrid(run, run.afterGridData);
  if (run.hasFileOrigin) grid.xMin = run.fileXMin, grid.yMin = run.fileYMin;
  const float zLow = run.parameters[0];
  const float zHigh = run.parameters[1];

  std::fprintf(out, "\n\nIII-Almacenando resultados...\n");
  if (RunWritesFiles()) {
    const std::string predictionPath = RunFilePath(kPredictionName);
    const std::string variancePath = RunFilePath(kVarianceName);
    std::string failedPath;
    int error = 0;
    if (!WriteSurfaceFiles(predictionPath.c_str(), variancePath.c_str(), grid, run.prediction,
                           run.variance, zLow, zHigh, &failedPath, &error)) {
      // Nothing half-written stays behind.
      std::remove(predictionPath.c_str());
      std::remove(variancePath.c_str());
      WriteFailure(failedPath == predictionPath ? kPredictionName : kVarianceName, error);
    }
  }

  std::fprintf(out, "\n Terminado.\n");
  CloseRunLog(log);
  SetDriftFrame(DriftFrame{});
}

}  // namespace kriging

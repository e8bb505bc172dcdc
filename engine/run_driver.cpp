#include "run_driver.h"

#include <algorithm>
#include <cstdio>

#include "drift_terms.h"
#include "grid_kriging.h"
#include "numerics/error_service.h"
#include "surface_writer.h"
#include "trend_removal.h"
#include "variogram_models.h"

namespace kriging {
namespace {

const char* const kLogName = "KRIGING.LOG";
const char* const kPredictionName = "SKUPRE.SUP";
const char* const kVarianceName = "SKUVAR.SUP";

void DirectServiceOutput(std::FILE* standardOutput, std::FILE* errorOutput) {
  OutputUnit(-2, standardOutput);
  OutputUnit(-3, errorOutput);
}

}  // namespace

void RunKriging(const KrigingRun& run) {
  const int degree = std::clamp<int>(run.trendDegree, 0, 3);
  const int trendTermCount = DriftTermCount(degree);

  // Run log: every progress line and every service message of this call.
  std::FILE* previousOutput = OutputDestination(2);
  std::FILE* previousErrors = OutputDestination(3);
  std::FILE* log = std::fopen(kLogName, "w");
  if (log != nullptr)
    DirectServiceOutput(log, log);
  else
    DirectServiceOutput(stderr, stderr);
  std::FILE* out = OutputDestination(2);

  std::fprintf(out, "\nI-  Obteniendo un semivariograma isotropico:\n");
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
  const float zLow = run.parameters[0];
  const float zHigh = run.parameters[1];

  std::fprintf(out, "\n\nIII-Almacenando resultados...\n");
  if (!WriteSurfaceFiles(kPredictionName, kVarianceName, grid, run.prediction, run.variance, zLow,
                         zHigh))
    std::fprintf(out, "    No se pudieron escribir los archivos %s y %s\n", kPredictionName,
                 kVarianceName);

  std::fprintf(out, "\n Terminado.\n");
  DirectServiceOutput(previousOutput, previousErrors);
  if (log != nullptr) std::fclose(log);
  SetDriftFrame(DriftFrame{});
}

}  // namespace kriging

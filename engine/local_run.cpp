// The run driver of local-neighbourhood kriging.
#include "local_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "drift_terms.h"
#include "lag_classes.h"
#include "numerics/error_service.h"
#include "pair_semivariogram.h"
#include "run_context.h"
#include "run_files.h"
#include "semivariogram_chart_files.h"
#include "surface_writer.h"
#include "trend_removal.h"
#include "variogram_fit.h"
#include "variogram_models.h"

namespace kriging {
namespace {

const char* const kPredictionName = "SKUPRE.SUP";
const char* const kVarianceName = "SKUVAR.SUP";

// Defaults of option entries 1..5, as in the global stage I.
constexpr std::int32_t kOptionDefaults[5] = {1, 15, 500, 1, 1};

struct EstimationPoints {
  std::vector<float> x, y, z;
  int size() const { return static_cast<int>(x.size()); }
};

EstimationPoints Pick(const KrigingRun& run, const std::vector<int>& indices) {
  EstimationPoints e;
  for (int i : indices) e.x.push_back(run.x[i]), e.y.push_back(run.y[i]), e.z.push_back(run.z[i]);
  return e;
}

// Stage I from the tree-limited pairs (see local_run.h).
void PairStageI(const KrigingRun& run, const LocalRunOptions& o, const EstimationPoints& e,
                int terms, std::FILE* out) {
  std::int32_t* options = run.options;
  float* params = run.parameters;
  CurrentModel().code = run.modelCode;
  for (int k = 0; k < 5; ++k)
    if (options[k] < 1) options[k] = kOptionDefaults[k];
  const int m = e.size();

  // z, or its ordinary least-squares residuals from the drift.
  std::vector<float> r = e.z;
  if (terms > 1) {
    float beta[10];
    TrendResidualsOLS(m, e.x.data(), e.y.data(), e.z.data(), r.data(), terms, beta, &DriftTerm);
    std::fprintf(out, "    Semivariograma de los residuos de minimos cuadrados ordinarios\n");
  }

  if (options[4] != 1) {
    std::fprintf(out, "    (Kriging local: clases regulares automaticas en lugar de clases de "
                      "longitud variable)\n");
    options[4] = 1;
    run.lagCount = -1;
  }
  if (run.lagCount < 1) {
    std::fprintf(out, "    (Se calculan los par\xC3\xA1metros de suavizado)\n");
    // The automatic classes look at every pair: at most kLargeDataPoints points.
    const std::vector<int> few = SubsampleIndices(m, kLargeDataPoints, o.seed);
    std::vector<float> fx, fy, fz;
    for (int i : few) fx.push_back(e.x[i]), fy.push_back(e.y[i]), fz.push_back(r[i]);
    std::int32_t perClass = -1;
    ChooseLagParameters(static_cast<int>(fx.size()), fz.data(), fx.data(), fy.data(),
                        run.firstLag, run.lagWidth, run.lagCount, perClass);
  }
  if (run.lagWidth <= 0) run.lagWidth = 2 * run.firstLag;
  run.lagCount = std::min<std::int32_t>(run.lagCount, kMaxLagClasses);
  if (run.fitLagCount < 1) run.fitLagCount = std::max(run.lagCount / 2, 1);
  run.fitLagCount = std::min(run.fitLagCount, run.lagCount);

  std::fprintf(out, "    Estimando el semivariograma ...\n");
  std::vector<double> dx(e.x.begin(), e.x.end()), dy(e.y.begin(), e.y.end()),
      dz(r.begin(), r.end());
  PairSemivariogramOptions p;
  p.firstLag = run.firstLag, p.lagWidth = run.lagWidth, p.lagCount = run.lagCount;
  if (o.neighbourhoodVariogram) {
    p.maxPairDistance = o.neighbourhood.maxDistance;
    if (std::isfinite(p.maxPairDistance))
      std::fprintf(out, "    Pares hasta la distancia del vecindario: %g\n", p.maxPairDistance);
  }
  const PairSemivariogram sv = EstimatePairSemivariogram(m, dx.data(), dy.data(), dz.data(), p);
  std::fprintf(out, "    Pares contados: %lld\n", sv.pairs);

  LagTable& table = CurrentLagTable();
  for (int k = 0; k < run.lagCount; ++k) {
    table.count[k] = sv.count[static_cast<std::size_t>(k)];
    table.classical[k] = sv.classical[static_cast<std::size_t>(k)];
    table.robust[k] = sv.robust[static_cast<std::size_t>(k)];
    table.meanDistance[k] = sv.meanDistance[static_cast<std::size_t>(k)];
  }
  RegularLagBounds(run.firstLag, run.lagWidth, run.lagCount, table.bounds);
  WriteEstimateChartFiles(table, run.lagCount, out);
  const float* chosen = options[0] == 1 ? table.classical : table.robust;
  std::copy(chosen, chosen + run.lagCount, table.fitted);

  std::fprintf(out, "    Ajustando un modelo ...\n");
  FitVariogramModel(run.modelCode, table.fitted, table.meanDistance, table.count, run.lagCount,
                    run.fitLagCount, options[1], params, options[2], options[3]);
  SetModel(run.modelCode, params[0], params[1], params[2]);
  WriteFitChartFiles(table, run.fitLagCount, run.modelCode, out);
}

// The global trend of the "Tendencia" unchecked variant, over the estimation
// points: generalized least squares under the fitted model when they are few
// enough for its n x n covariance, ordinary least squares otherwise.
FixedTrend GlobalTrend(const KrigingRun& run, const EstimationPoints& e, int terms,
                       std::FILE* out) {
  const int m = e.size();
  std::vector<float> r(static_cast<std::size_t>(m));
  float beta[10] = {};
  SetModel(run.modelCode, run.parameters[0], run.parameters[1], run.parameters[2]);
  if (m <= kLargeDataPoints) {
    TrendResidualsGLS(m, e.x.data(), e.y.data(), e.z.data(), r.data(), terms, beta, &DriftTerm,
                      &SemivariogramOfLag, CovarianceSill(run.modelCode, run.parameters));
    std::fprintf(out, "    Tendencia global (minimos cuadrados generalizados):");
  } else {
    TrendResidualsOLS(m, e.x.data(), e.y.data(), e.z.data(), r.data(), terms, beta, &DriftTerm);
    std::fprintf(out, "    Tendencia global (minimos cuadrados ordinarios):");
  }
  FixedTrend trend;
  trend.terms = terms;
  const DriftFrame& frame = CurrentDriftFrame();
  trend.centreX = frame.centreX, trend.centreY = frame.centreY, trend.scale = frame.scale;
  for (int k = 0; k < terms; ++k) {
    trend.beta[k] = beta[k];
    std::fprintf(out, " %.7g", beta[k]);
  }
  std::fprintf(out, "\n");
  return trend;
}

}  // namespace

LocalRunOptions LocalRunOptionsOf(const Neighbourhood& v, int trendDegree, std::string* problem) {
  LocalRunOptions o;
  o.neighbourhood.maxPoints = v.maxPoints;
  o.neighbourhood.minPoints = std::max(v.minPoints, 1);
  o.neighbourhood.maxDistance =
      v.maxDistance > 0 ? v.maxDistance : std::numeric_limits<double>::infinity();
  o.neighbourhood.sectors = v.sectors;
  o.localTrend = v.localTrend;
  o.neighbourhoodVariogram = v.localVariogram;
  o.sampleSize = v.variogramSample;
  o.seed = v.variogramSeed;
  *problem = v.maxPoints < 1 ? "Kriging local: indique el número máximo de vecinos (1 a 500)."
                             : CheckNeighbourhood(o.neighbourhood, std::clamp(trendDegree, 0, 3));
  return o;
}

std::string CheckLocalRun(const KrigingRun& run, const LocalRunOptions& o) {
  const std::string message =
      CheckNeighbourhood(o.neighbourhood, std::clamp<int>(run.trendDegree, 0, 3));
  if (!message.empty()) return message;
  if (FindModelShape(run.modelCode) == nullptr)
    return "Kriging local: modelo de semivariograma desconocido (" +
           std::to_string(run.modelCode) + ").";
  if (run.n < 2) return "Kriging local: hacen falta al menos 2 datos.";
  for (int i = 0; i < run.n; ++i)
    if (!std::isfinite(run.x[i]) || !std::isfinite(run.y[i]) || !std::isfinite(run.z[i]))
      return "Kriging local: el dato " + std::to_string(i + 1) + " no es un número finito.";
  if (o.sampleSize < 0 || o.sampleSize == 1)
    return "Kriging local: el tamaño de la submuestra (" + std::to_string(o.sampleSize) +
           ") debe ser 0 (automático) o al menos 2.";
  return {};
}

LocalKrigingSummary RunLocalKriging(const KrigingRun& run, const LocalRunOptions& o) {
  const int degree = std::clamp<int>(run.trendDegree, 0, 3);
  const int terms = DriftTermCount(degree);

  const RunLog log = OpenRunLog(run.log);
  std::FILE* out = OutputDestination(2);

  std::fprintf(out, "\nI-  Obteniendo un semivariograma isotropico:\n");
  SetDriftFrame(DriftFrameOfData(run.n, run.x, run.y));
  const int sample = o.sampleSize > 0 ? o.sampleSize : (run.n > kLargeDataPoints ? kLargeDataPoints : 0);
  const std::vector<int> chosen = SubsampleIndices(run.n, sample, o.seed);
  const EstimationPoints e = Pick(run, chosen);
  if (e.size() < run.n) std::fprintf(out, "%s\n", SubsampleLogLine(e.size(), run.n, o.seed).c_str());
  if (e.size() <= kLargeDataPoints && !o.neighbourhoodVariogram) {
    EstimateTrendAndSemivariogram(e.size(), e.z.data(), e.x.data(), e.y.data(), terms, &DriftTerm,
                                  run.firstLag, run.lagWidth, run.lagCount, run.modelCode,
                                  run.fitLagCount, run.options, run.parameters);
  } else {
    PairStageI(run, o, e, terms, out);
  }
  FixedTrend trend;
  if (!o.localTrend && terms > 1) trend = GlobalTrend(run, e, terms, out);

  std::fprintf(out, "\n\nII- Calculando las superficies...\n");
  const LocalNeighbourhood& nb = o.neighbourhood;
  char distance[32] = "sin limite";
  if (std::isfinite(nb.maxDistance)) std::snprintf(distance, sizeof distance, "%g", nb.maxDistance);
  std::fprintf(out, "    Kriging local: %d vecinos como maximo (%s), %d como minimo, distancia "
                    "maxima %s; tendencia %s\n",
               nb.maxPoints, nb.sectors == 4 ? "por cuadrantes" : "los mas cercanos",
               nb.minPoints, distance, o.localTrend ? "local" : "global");
  std::vector<double> x(run.x, run.x + run.n), y(run.y, run.y + run.n), z(run.z, run.z + run.n);
  LocalKrigingInput in;
  in.n = run.n, in.x = x.data(), in.y = y.data(), in.z = z.data();
  in.modelCode = run.modelCode;
  in.c0 = run.parameters[0], in.c1 = run.parameters[1], in.a = run.parameters[2];
  in.trendDegree = o.localTrend ? degree : 0;
  in.trend = trend;
  in.neighbourhood = nb;
  SurfaceGrid grid;
  grid.nx = run.nx, grid.ny = run.ny, grid.gridRows = run.gridRows;
  grid.xMin = run.xMin, grid.yMin = run.yMin, grid.dx = run.dx, grid.dy = run.dy;
  grid.holeValue = run.holeValue;
  if (run.ny > 0 && run.nx > run.gridRows) {
    grid.nx = std::max(run.gridRows, 0);
    std::fprintf(out,
                 "    Aviso: las matrices de resultados tienen %d filas; se calculan %d de las %d "
                 "filas de la rejilla\n",
                 run.gridRows, grid.nx, run.nx);
  }
  in.nx = grid.nx, in.ny = std::max(run.ny, 0), in.gridRows = std::max(run.gridRows, grid.nx);
  in.xMin = run.xMin, in.yMin = run.yMin, in.dx = run.dx, in.dy = run.dy;
  in.holeValue = run.holeValue;
  LocalKrigingSummary summary;
  const std::string problem = CheckLocalKriging(in);
  if (problem.empty()) {
    summary = KrigeGridLocal(in, run.prediction, run.variance);
  } else {
    // A fitted parameter that is not finite: no node gets a number.
    std::fprintf(out, "    %s\n", problem.c_str());
    for (int j = 0; j < in.ny; ++j)
      for (int i = 0; i < in.nx; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * in.gridRows;
        if (run.prediction[at] != run.holeValue) ++summary.singular;
        run.prediction[at] = run.variance[at] = run.holeValue;
      }
  }
  std::fprintf(out, "    Nodos calculados: %lld; sin valor: %lld (menos vecinos que el minimo: "
                    "%lld; sistema singular: %lld)\n",
               summary.kriged, summary.Holes(), summary.tooFewNeighbours, summary.singular);
  const float zLow = static_cast<float>(summary.minimum);
  const float zHigh = static_cast<float>(summary.maximum);
  run.parameters[0] = zLow;
  run.parameters[1] = zHigh;

  if (run.afterGrid != nullptr) run.afterGrid(run, run.afterGridData);
  if (run.hasFileOrigin) grid.xMin = run.fileXMin, grid.yMin = run.fileYMin;

  std::fprintf(out, "\n\nIII-Almacenando resultados...\n");
  if (RunWritesFiles()) {
    const std::string predictionPath = RunFilePath(kPredictionName);
    const std::string variancePath = RunFilePath(kVarianceName);
    std::string failedPath;
    int error = 0;
    if (!WriteSurfaceFiles(predictionPath.c_str(), variancePath.c_str(), grid, run.prediction,
                           run.variance, zLow, zHigh, &failedPath, &error)) {
      std::remove(predictionPath.c_str());  // nothing half-written stays behind
      std::remove(variancePath.c_str());
      WriteFailure(failedPath == predictionPath ? kPredictionName : kVarianceName, error);
    }
  }
  std::fprintf(out, "\n Terminado.\n");
  CloseRunLog(log);
  SetDriftFrame(DriftFrame{});
  return summary;
}

}  // namespace kriging

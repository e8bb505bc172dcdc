// The named interface over the run driver: options to the driver's vectors,
// a run context of its own whose stops throw, and the result gathered from it.
#include "kriging_api.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <sstream>

#include "drift_terms.h"
#include "local_run.h"
#include "numerics/error_service.h"
#include "run_context.h"
#include "run_driver.h"
#include "run_files.h"
#include "variogram_models.h"

namespace kriging {
namespace {

constexpr int kMaxTrendDegree = 3;

std::string Number(double value) {
  std::ostringstream text;
  text.precision(10);
  text << value;
  return text.str();
}

bool Finite(double v) { return std::isfinite(v); }

// Sample variance of z: the scale against which a negative kriging variance
// is judged round-off or not.
double VarianceOf(const std::vector<double>& z) {
  if (z.size() < 2) return 0;
  double mean = 0;
  for (double v : z) mean += v;
  mean /= static_cast<double>(z.size());
  double sum = 0;
  for (double v : z) sum += (v - mean) * (v - mean);
  return sum / static_cast<double>(z.size() - 1);
}

// Relative size of a negative variance still taken as round-off.
constexpr double kRoundOffVariance = 1e-3;

struct VarianceCheck {
  double scale = 0;
  int clearlyNegative = 0;
  double lowest = 0;
};

// Between the grid and the files: round-off below zero becomes 0; values
// clearly below zero are counted and kept for the warning.
void CheckVariances(const KrigingRun& run, void* data) {
  auto& check = *static_cast<VarianceCheck*>(data);
  const float tolerance = static_cast<float>(kRoundOffVariance * check.scale);
  for (int j = 0; j < run.ny; ++j) {
    for (int i = 0; i < run.nx; ++i) {
      float& v = run.variance[i + static_cast<std::size_t>(j) * run.gridRows];
      if (run.prediction[i + static_cast<std::size_t>(j) * run.gridRows] == run.holeValue) continue;
      if (!(v < 0)) continue;
      if (v >= -tolerance) {
        v = 0;
      } else {
        ++check.clearlyNegative;
        check.lowest = std::min<double>(check.lowest, v);
      }
    }
  }
}

std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char block[4096];
  for (std::size_t k; (k = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, k);
  return text;
}

KrigingResult Failure(KrigingStatus status, std::string message) {
  KrigingResult result;
  result.status = status;
  result.message = std::move(message);
  return result;
}

}  // namespace

std::string Validate(const KrigingOptions& o, int n) {
  if (n < 1) return "No hay datos: se necesita al menos un punto (n = " + std::to_string(n) + ")";
  const auto estimator = static_cast<std::int32_t>(o.estimator);
  if (estimator != 1 && estimator != 2)
    return "Estimador del semivariograma fuera de rango: " + std::to_string(estimator) +
           " (1 clásico, 2 robusto)";
  const auto method = static_cast<std::int32_t>(o.fitMethod);
  if (method < 1 || method > 4)
    return "Método de ajuste fuera de rango: " + std::to_string(method) +
           " (1 alternado, 2 directo, 3 sin ajuste, 4 global)";
  const ModelInfo* model = FindModel(o.modelCode);
  if (model == nullptr)
    return "Modelo de semivariograma fuera de rango: " + std::to_string(o.modelCode) + " (" +
           ModelCodeList() + ")";
  if (o.trendDegree < 0 || o.trendDegree > kMaxTrendDegree)
    return "Grado de la tendencia fuera de rango: " + std::to_string(o.trendDegree) + " (0 a 3)";
  if (o.grid.nx < 1) return "Nodos de la rejilla en X: debe haber al menos 1 (" + std::to_string(o.grid.nx) + ")";
  if (o.grid.ny < 1) return "Nodos de la rejilla en Y: debe haber al menos 1 (" + std::to_string(o.grid.ny) + ")";
  if (!(o.grid.dx > 0) || !Finite(o.grid.dx))
    return "El espaciado de la rejilla en X debe ser positivo: " + Number(o.grid.dx);
  if (!(o.grid.dy > 0) || !Finite(o.grid.dy))
    return "El espaciado de la rejilla en Y debe ser positivo: " + Number(o.grid.dy);
  if (!Finite(o.grid.xMin) || !Finite(o.grid.yMin))
    return "El origen de la rejilla no es un número finito";
  if (!o.holeMask.empty() &&
      o.holeMask.size() != static_cast<std::size_t>(o.grid.nx) * static_cast<std::size_t>(o.grid.ny))
    return "La máscara de huecos tiene " + std::to_string(o.holeMask.size()) +
           " nodos y la rejilla " + std::to_string(static_cast<long long>(o.grid.nx) * o.grid.ny);
  if (!Finite(o.holeValue)) return "El valor de hueco no es un número finito";
  if (!o.variableLags && o.lagCount >= 1) {
    if (o.lagCount > kMaxLagClasses)
      return "Número de clases de distancia fuera de rango: " + std::to_string(o.lagCount) +
             " (1 a " + std::to_string(kMaxLagClasses) + ")";
    if (!Finite(o.firstLag) || !(o.firstLag >= 0))
      return "El primer salto debe ser mayor o igual que 0: " + Number(o.firstLag);
    if (!Finite(o.lagWidth) || (!(o.lagWidth > 0) && !(o.firstLag > 0)))
      return "La anchura de las clases debe ser positiva: " + Number(o.lagWidth);
  }
  if (o.minPairs < 0)
    return "El mínimo de pares por clase no puede ser negativo: " + std::to_string(o.minPairs);
  if (o.maxFitIterations < 1)
    return "El límite de iteraciones del ajuste debe ser al menos 1: " +
           std::to_string(o.maxFitIterations);
  if (o.maxTrendIterations < 1)
    return "El límite de iteraciones de la tendencia debe ser al menos 1: " +
           std::to_string(o.maxTrendIterations);
  if (!(o.trendTolerance > 0) || !Finite(o.trendTolerance))
    return "La tolerancia de la tendencia debe ser positiva: " + Number(o.trendTolerance);
  if (!Finite(o.gradientTolerance) || o.gradientTolerance < 0)
    return "La tolerancia del gradiente no puede ser negativa: " + Number(o.gradientTolerance);
  if (!Finite(o.sillDistance) || o.sillDistance < 0)
    return "La distancia de la meseta no puede ser negativa: " + Number(o.sillDistance);
  if (o.fitMethod == FitMethod::kNone && !o.hasStart)
    return "Sin ajuste hace falta un modelo dado (c0, c1, a)";
  if (o.hasStart) {
    const std::string problem = ModelParameterProblem(o.modelCode, o.start.c0, o.start.c1, o.start.a);
    if (!problem.empty()) return problem;
  }
  const Neighbourhood& v = o.neighbourhood;
  if (v.maxPoints < 0 || v.minPoints < 0 || !Finite(v.maxDistance) || v.maxDistance < 0)
    return "La vecindad de búsqueda tiene valores negativos";
  if (v.sectors < 1) return "Sectores de la vecindad fuera de rango: " + std::to_string(v.sectors);
  return {};
}

KrigingResult Krige(const KrigingData& data, const KrigingOptions& o) {
  const std::size_t size = data.x.size();
  if (data.y.size() != size || data.z.size() != size)
    return Failure(KrigingStatus::kInvalidOptions,
                   "Las columnas X, Y y Z tienen longitudes distintas");
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return Failure(KrigingStatus::kInvalidOptions, "Demasiados puntos");
  const int n = static_cast<int>(size);
  if (std::string problem = Validate(o, n); !problem.empty())
    return Failure(KrigingStatus::kInvalidOptions, std::move(problem));
  // A search neighbourhood: local_run.h on the same arguments.
  const bool local = !o.neighbourhood.IsGlobal();
  LocalRunOptions localOptions;
  if (local) {
    std::string problem;
    localOptions = LocalRunOptionsOf(o.neighbourhood, o.trendDegree, &problem);
    if (!problem.empty()) return Failure(KrigingStatus::kInvalidOptions, std::move(problem));
  }
  for (int i = 0; i < n; ++i)
    if (!Finite(data.x[i]) || !Finite(data.y[i]) || !Finite(data.z[i]))
      return Failure(KrigingStatus::kInvalidOptions,
                     "El punto " + std::to_string(i + 1) + " tiene un valor que no es un número finito");

  // Single precision on coordinates relative to the centre of the data.
  const auto [xLow, xHigh] = std::minmax_element(data.x.begin(), data.x.end());
  const auto [yLow, yHigh] = std::minmax_element(data.y.begin(), data.y.end());
  const double cx = 0.5 * (*xLow + *xHigh), cy = 0.5 * (*yLow + *yHigh);
  std::vector<float> x(size), y(size), z(size);
  for (int i = 0; i < n; ++i) {
    x[i] = static_cast<float>(data.x[i] - cx);
    y[i] = static_cast<float>(data.y[i] - cy);
    z[i] = static_cast<float>(data.z[i]);
  }

  const int nx = o.grid.nx, ny = o.grid.ny;
  const std::size_t nodes = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
  const float hole = static_cast<float>(o.holeValue);
  std::vector<float> prediction, variance;
  try {
    prediction.assign(nodes, 0.0f);
    variance.assign(nodes, 0.0f);
  } catch (const std::bad_alloc&) {
    return Failure(KrigingStatus::kOutOfMemory,
                   "No hay memoria para una rejilla de " + std::to_string(nodes) + " nodos");
  }
  for (std::size_t k = 0; k < o.holeMask.size(); ++k)
    if (o.holeMask[k] != 0) prediction[k] = hole;

  std::int32_t options[7] = {static_cast<std::int32_t>(o.estimator), o.minPairs,
                             o.maxFitIterations,
                             // The global method runs the direct fit from several starts.
                             o.fitMethod == FitMethod::kGlobal ? static_cast<std::int32_t>(FitMethod::kDirect)
                                                               : static_cast<std::int32_t>(o.fitMethod),
                             o.variableLags ? 2 : 1, o.pairsPerClass, o.maxTrendIterations};
  float parameters[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  if (o.hasStart) {
    parameters[0] = static_cast<float>(o.start.c0);
    parameters[1] = static_cast<float>(o.start.c1);
    parameters[2] = static_cast<float>(o.start.a);
  }
  if (o.gradientTolerance > 0) parameters[4] = static_cast<float>(o.gradientTolerance);
  parameters[8] = static_cast<float>(o.trendTolerance);
  if (o.sillDistance > 0) parameters[9] = static_cast<float>(o.sillDistance);
  float firstLag = static_cast<float>(o.firstLag), lagWidth = static_cast<float>(o.lagWidth);
  std::int32_t lagCount = o.variableLags ? 0 : o.lagCount, fitLagCount = o.fitLagCount;

  RunContext context;
  context.errors.stopThrows = true;
  context.errors.collect = true;
  context.folder = o.outputFolder;
  context.writeFiles = !o.outputFolder.empty();
  context.offsetX = cx, context.offsetY = cy;
  context.globalFit = o.fitMethod == FitMethod::kGlobal;
  const ContextScope scope(&context);

  // The run log: KRIGING.LOG in the folder, or memory when no files are written.
  char* memoryLog = nullptr;
  std::size_t memoryLogSize = 0;
  std::FILE* log = context.writeFiles ? std::fopen(RunFilePath("KRIGING.LOG").c_str(), "w+")
                                      : open_memstream(&memoryLog, &memoryLogSize);
  if (log == nullptr)
    return Failure(context.writeFiles ? KrigingStatus::kWriteFailure : KrigingStatus::kOutOfMemory,
                   context.writeFiles ? WriteFailureMessage("KRIGING.LOG", errno)
                                      : "No hay memoria para el registro de la ejecución");

  VarianceCheck check;
  check.scale = VarianceOf(data.z);
  KrigingRun run{n,
                       z.data(),
                       x.data(),
                       y.data(),
                       firstLag,
                       lagWidth,
                       lagCount,
                       fitLagCount,
                       o.modelCode,
                       o.trendDegree,
                       nx,
                       ny,
                       static_cast<float>(o.grid.xMin - cx),
                       static_cast<float>(o.grid.yMin - cy),
                       static_cast<float>(o.grid.dx),
                       static_cast<float>(o.grid.dy),
                       nx,
                       prediction.data(),
                       variance.data(),
                       hole,
                       options,
                       parameters,
                       log,
                       &CheckVariances,
                       &check};
  // The surface files carry the grid's own coordinates, not the relative ones.
  run.hasFileOrigin = true;
  run.fileXMin = static_cast<float>(o.grid.xMin);
  run.fileYMin = static_cast<float>(o.grid.yMin);

  KrigingResult result;
  try {
    if (local) {
      const LocalKrigingSummary summary = RunLocalKriging(run, localOptions);
      result.tooFewNeighbours = summary.tooFewNeighbours;
      result.singularNeighbourhoods = summary.singular;
    } else {
      RunKriging(run);
    }
  } catch (const ServiceStopped& stop) {
    result.status = stop.kind == ServiceStopped::kNoMemory ? KrigingStatus::kOutOfMemory
                    : stop.kind == ServiceStopped::kWrite  ? KrigingStatus::kWriteFailure
                                                           : KrigingStatus::kNumericalFailure;
    switch (result.status) {
      case KrigingStatus::kOutOfMemory:
        result.message = "No hay memoria suficiente para " + std::to_string(n) +
                         " puntos con la vecindad global";
        result.detail = stop.message;
        break;
      case KrigingStatus::kWriteFailure: result.message = stop.message; break;
      default:
        result.message = "El cálculo numérico no pudo completarse";
        result.detail = stop.message;
    }
  } catch (const std::bad_alloc&) {
    result.status = KrigingStatus::kOutOfMemory;
    result.message = "No hay memoria suficiente para " + std::to_string(n) + " puntos";
  }
  if (!result.ok()) {
    // The log says how the run ended; a folder's surface files of a failed
    // run are not left behind.
    std::fprintf(log, "\n %s\n", result.message.c_str());
    if (context.writeFiles) {
      std::remove(RunFilePath("SKUPRE.SUP").c_str());
      std::remove(RunFilePath("SKUVAR.SUP").c_str());
    }
  }
  std::fflush(log);
  if (context.writeFiles) {
    result.log = ReadAll(log);
    const bool closed = std::fclose(log) == 0;
    if (!closed && result.ok()) {
      result.status = KrigingStatus::kWriteFailure;
      result.message = WriteFailureMessage("KRIGING.LOG", errno);
    }
  } else {
    std::fclose(log);
    result.log.assign(memoryLog, memoryLogSize);
    std::free(memoryLog);
  }
  for (const ServiceMessage& m : context.errors.printed) result.warnings.push_back(m.text);
  if (!context.trendConverged) result.warnings.push_back(kTrendLimitWarning);
  if (!result.ok()) return result;

  // The fitted model, the lag table and the trend.
  const VariogramModel& model = context.model;
  FittedModel& fitted = result.model;
  fitted.code = model.code;
  fitted.c0 = model.c0, fitted.c1 = model.c1, fitted.a = model.a;
  fitted.fitError = parameters[3];
  fitted.start = {parameters[5], parameters[6], parameters[7]};
  fitted.fitIterations = options[2];
  if (o.trendDegree > 0) {
    fitted.trendIterations = options[6];
    fitted.trendChange = parameters[8];
  }
  fitted.sill = ModelSill(model, o.sillDistance);
  result.firstLag = firstLag, result.lagWidth = lagWidth;
  result.fitLagCount = fitLagCount;
  result.minPairs = options[1];
  const LagTable& table = context.lags;
  for (int k = 0; k < std::min<int>(lagCount, kMaxLagClasses); ++k)
    result.lags.push_back({table.bounds[k], table.bounds[k + 1], table.meanDistance[k],
                           table.count[k], table.classical[k], table.robust[k]});
  result.trendCoefficients = context.trendCoefficients;
  const DriftFrame frame = DriftFrameOfData(n, x.data(), y.data());
  result.trendCentreX = frame.centreX + cx;
  result.trendCentreY = frame.centreY + cy;
  result.trendScale = frame.scale;

  result.prediction.assign(prediction.begin(), prediction.end());
  result.variance.assign(variance.begin(), variance.end());
  for (std::size_t k = 0; k < o.holeMask.size(); ++k)
    if (o.holeMask[k] != 0) result.prediction[k] = result.variance[k] = o.holeValue;
  result.predictionLow = parameters[0];
  result.predictionHigh = parameters[1];
  result.negativeVariances = check.clearlyNegative;
  if (check.clearlyNegative > 0)
    result.warnings.push_back(
        "La varianza de kriging es claramente negativa en " + std::to_string(check.clearlyNegative) +
        " nodos (mínimo " + Number(check.lowest) + "): el modelo " +
        FindModel(model.code)->name + " no es válido para estos datos");
  return result;
}

}  // namespace kriging

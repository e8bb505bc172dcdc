#include "trend_removal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "critical_stop.h"
#include "numerics/error_service.h"
#include "numerics/kernels.h"
#include "numerics/positive_definite_inverse.h"
#include "numerics/regression.h"
#include "numerics/symmetric_solve_refined.h"
#include "run_context.h"
#include "semivariogram_estimate.h"
#include "variogram_rows.h"

namespace kriging {
namespace {

constexpr int kDefaultIterations = 5;
constexpr float kDefaultTolerance = 0.005f;

bool IsDataFrame(DriftFunction driftTerm) {
  const DriftFrame& frame = CurrentDriftFrame();
  return driftTerm == &DriftTerm &&
         (frame.centreX != 0 || frame.centreY != 0 || frame.scale != 1);
}

void LogTrendCoefficients(std::FILE* log, int p, const float* beta, DriftFunction driftTerm) {
  const bool framed = IsDataFrame(driftTerm);
  std::fprintf(log, framed ? " Parametros (coordenadas centradas y escaladas):" : " Parametros:");
  for (int k = 0; k < p; ++k) std::fprintf(log, " %.7g", beta[k]);
  std::fprintf(log, "\n");
  if (framed) {
    const DriftFrame& frame = CurrentDriftFrame();
    const RunContext& context = CurrentContext();
    std::fprintf(log, "    u = (x - %.10g) / %.10g,  v = (y - %.10g) / %.10g\n",
                 frame.centreX + context.offsetX, frame.scale, frame.centreY + context.offsetY,
                 frame.scale);
  }
}

// X(i, k) = f_k(x_i, y_i), column-major with leading dimension n.
void FillDesign(int n, const float* x, const float* y, int p, DriftFunction driftTerm, float* design) {
  for (int k = 0; k < p; ++k)
    for (int i = 0; i < n; ++i)
      design[i + static_cast<std::size_t>(k) * n] = driftTerm(k + 1, x[i], y[i]);
}

// r = z - X beta.
void Residuals(int n, int p, const float* design, const float* beta, const float* z, float* fit,
               float* r) {
  MatrixVectorProduct("N", n, p, 1.0f, design, n, beta, 1, 0.0f, fit, 1);
  CopyVector(n, z, 1, r, 1);
  ScaledAdd(n, -1.0f, fit, 1, r, 1);
}

}  // namespace

float CovarianceSill(int modelCode, const float params[10]) {
  const ModelInfo* model = FindModel(modelCode);
  if (model == nullptr || model->sillFactor == nullptr)
    return SemivariogramOfLag(params[9], params[9]);
  return params[0] + params[1] * static_cast<float>(model->sillFactor(params[2]));
}

bool HasSill(int modelCode) {
  const ModelInfo* model = FindModel(modelCode);
  return model != nullptr && model->sillFactor != nullptr;
}

void TrendResidualsOLS(int n, const float* x, const float* y, const float* z, float* r, int p,
                       float* beta, DriftFunction driftTerm) {
  const std::size_t rows = static_cast<std::size_t>(std::max(n, 0));
  auto design = WorkArray<float>(rows * static_cast<std::size_t>(std::max(p, 0)));
  auto fit = WorkArray<float>(rows);
  FillDesign(n, x, y, p, driftTerm, design.data());
  float sst = 0, sse = 0;
  RLSE(n, z, p, design.data(), n, 0, beta, sst, sse);
  Residuals(n, p, design.data(), beta, z, fit.data(), r);
}

void TrendResidualsGLS(int n, const float* x, const float* y, const float* z, float* r, int p,
                       float* beta, DriftFunction driftTerm, LagVariogram variogram, float sill) {
  const std::size_t rows = static_cast<std::size_t>(std::max(n, 0));
  const std::size_t cols = static_cast<std::size_t>(std::max(p, 0));
  auto covariance = WorkArray<float>(rows * rows);
  auto design = WorkArray<float>(rows * cols);
  auto weighted = WorkArray<float>(cols * rows);  // W = X^T K^-1, p x n
  auto normal = WorkArray<float>(cols * cols);    // A = W X, p x p
  auto vector = WorkArray<float>(std::max(rows, cols));
  float* k = covariance.data();

  // Column j of the upper triangle: the current model evaluated for the whole
  // column at once when it is the one asked for (variogram_rows.h).
  for (std::size_t j = 0; j < rows; ++j) {
    float* column = k + j * rows;
    if (variogram == &SemivariogramOfLag) {
      CurrentModelAtLags(static_cast<int>(j) + 1, x, y, x[j], y[j], column);
      for (std::size_t i = 0; i <= j; ++i) column[i] = sill - column[i];
    } else {
      for (std::size_t i = 0; i <= j; ++i) column[i] = sill - variogram(x[i] - x[j], y[i] - y[j]);
    }
  }
  FillDesign(n, x, y, p, driftTerm, design.data());

  PositiveDefiniteInverse(n, k, n, k, n);
  // The inverse is guaranteed in the upper triangle only; the products below
  // read the whole matrix.
  for (std::size_t j = 0; j < rows; ++j)
    for (std::size_t i = j + 1; i < rows; ++i) k[i + j * rows] = k[j + i * rows];

  MatrixMatrixProduct("T", "N", p, n, n, 1.0f, design.data(), n, k, n, 0.0f, weighted.data(), p);
  MatrixMatrixProduct("N", "N", p, p, n, 1.0f, weighted.data(), p, design.data(), n, 0.0f,
                      normal.data(), p);
  MatrixVectorProduct("N", p, n, 1.0f, weighted.data(), p, z, 1, 0.0f, vector.data(), 1);
  SymmetricSolveRefined(p, normal.data(), p, vector.data(), beta);
  Residuals(n, p, design.data(), beta, z, vector.data(), r);
}

void EstimateTrendAndSemivariogram(int n, const float* z, const float* x, const float* y,
                                   int trendTermCount, DriftFunction driftTerm, float& firstLag,
                                   float& lagWidth, std::int32_t& lagCount,
                                   std::int32_t modelCode, std::int32_t& fitLagCount,
                                   std::int32_t options[7], float params[10]) {
  std::FILE* log = OutputDestination(2);
  const int p = trendTermCount;
  if (p == 1) {
    EstimateAndFitSemivariogram(n, z, x, y, firstLag, lagWidth, lagCount, modelCode, fitLagCount,
                                options, params);
    return;
  }

  std::fprintf(log, " Metodo de Neuman y Jacobson\n");
  auto residuals = WorkArray<float>(static_cast<std::size_t>(std::max(n, 0)));
  auto beta = WorkArray<float>(static_cast<std::size_t>(p));

  std::fprintf(log, " Paso inicial (Residuos MCO)\n");
  TrendResidualsOLS(n, x, y, z, residuals.data(), p, beta.data(), driftTerm);
  EstimateAndFitSemivariogram(n, residuals.data(), x, y, firstLag, lagWidth, lagCount, modelCode,
                              fitLagCount, options, params);

  if (params[9] <= 0 && !HasSill(modelCode)) {
    std::fprintf(log, " No se pueden calcular los residuos por MCG\n");
    CurrentContext().trendCoefficients.assign(beta.begin(), beta.end());
    return;
  }

  const ModelInfo* model = FindModel(modelCode);
  const int npar = model != nullptr ? model->parameterCount : 3;
  if (options[6] < 1) options[6] = kDefaultIterations;
  if (params[8] <= 0) params[8] = kDefaultTolerance;
  const int limit = options[6];
  const float tolerance = params[8];

  // Neuman-Jacobson: GLS residuals under the current model, refit, repeat
  // until the relative change of the parameters is within the tolerance.
  float change = 0;
  int performed = 0;
  bool converged = false;
  for (int iteration = 1; iteration <= limit; ++iteration) {
    std::fprintf(log, " Iteración %d\n", iteration);
    float previous[3];
    std::copy(params, params + npar, previous);
    const float sill = CovarianceSill(modelCode, params);
    TrendResidualsGLS(n, x, y, z, residuals.data(), p, beta.data(), driftTerm,
                      &SemivariogramOfLag, sill);
    EstimateAndFitSemivariogram(n, residuals.data(), x, y, firstLag, lagWidth, lagCount,
                                modelCode, fitLagCount, options, params);
    change = 0;
    for (int j = 0; j < npar; ++j)
      change = std::max(change, std::fabs(params[j] - previous[j]) / std::max(params[j], 1.0f));
    performed = iteration;
    if (change <= tolerance) {
      std::fprintf(log, " El algoritmo converge\n");
      converged = true;
      break;
    }
  }

  LogTrendCoefficients(log, p, beta.data(), driftTerm);
  CurrentContext().trendCoefficients.assign(beta.begin(), beta.end());
  params[8] = change;
  options[6] = performed;
  CurrentContext().trendConverged = converged;
  if (!converged) std::fprintf(log, " Se alcanzó el nº máximo de iteraciones\n");
}

}  // namespace kriging

#include "core/run_warnings.h"

#include <cctype>
#include <cstdio>

#include "kriging_api.h"

namespace sorvan::core {
namespace {

// A message of the fit's solver (" *** WARNING  ERROR 2 from BCLSF. ...")
// other than its ordinary stop at relative function convergence (error 1):
// false convergence, an iteration, evaluation or Jacobian limit, repeated
// maximal steps.
bool SolverStoppedEarly(const std::string& log) {
  const std::string tail = " from BCLSF";
  for (size_t at = log.find(tail); at != std::string::npos; at = log.find(tail, at + 1)) {
    size_t start = at;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(log[start - 1]))) --start;
    if (start == at || log.compare(start >= 6 ? start - 6 : 0, 6, "ERROR ") != 0) continue;
    if (std::stoi(log.substr(start, at - start)) != 1) return true;
  }
  return false;
}

bool TrendAtLimit(const std::string& warning) { return warning == kriging::kTrendLimitWarning; }

bool Any(const std::vector<std::string>& warnings, bool (*test)(const std::string&)) {
  for (const std::string& w : warnings)
    if (test(w)) return true;
  return false;
}

}  // namespace

bool HasOwnRunWarning(const std::string& engineWarning) {
  return TrendAtLimit(engineWarning) || SolverStoppedEarly(engineWarning);
}

std::vector<std::string> RunWarnings(const std::vector<std::string>& engineWarnings, double dataMin,
                                     double dataMax, double predictedMin, double predictedMax) {
  std::vector<std::string> warnings;
  if (Any(engineWarnings, TrendAtLimit))
    warnings.push_back(
        "La iteración de la tendencia llegó a su número máximo de iteraciones sin converger: "
        "pruebe un grado de tendencia menor, más iteraciones o una tolerancia mayor.");
  if (Any(engineWarnings, SolverStoppedEarly))
    warnings.push_back(
        "El ajuste del modelo terminó con un aviso del optimizador: revise el modelo ajustado en "
        "el semivariograma; pruebe el método de ajuste global, otros valores iniciales u otro "
        "modelo.");
  const double span = dataMax - dataMin;
  if (span > 0 && (predictedMax > dataMax + span || predictedMin < dataMin - span)) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "La predicción va de %.6g a %.6g, más allá del rango de los datos (%.6g a "
                  "%.6g) en más de su amplitud: revise el modelo y la tendencia (un grado menor "
                  "suele extrapolar menos) o reduzca la rejilla a la zona de los datos.",
                  predictedMin, predictedMax, dataMin, dataMax);
    warnings.push_back(text);
  }
  return warnings;
}

std::string RunWarningsText(const std::vector<std::string>& warnings) {
  std::string text;
  for (const std::string& w : warnings) text += (text.empty() ? "" : "\n\n") + std::string("• ") + w;
  return text;
}

}  // namespace sorvan::core

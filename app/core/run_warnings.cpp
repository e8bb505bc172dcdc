#include "core/run_warnings.h"

#include <cctype>
#include <cstdio>

namespace sorvan {
namespace {

// A message of the fit's solver other than its ordinary stop at relative
// function convergence (error 1): false convergence, an iteration, evaluation
// or Jacobian limit, repeated maximal steps.
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

}  // namespace

std::vector<std::string> RunWarnings(const std::string& logText, double dataMin, double dataMax,
                                     double predictedMin, double predictedMax) {
  std::vector<std::string> warnings;
  if (logText.find("Se alcanz\xC3\xB3 el n\xC2\xBA m\xC3\xA1ximo de iteraciones") != std::string::npos)
    warnings.push_back(
        "La iteración de la tendencia llegó a su número máximo de iteraciones sin converger: "
        "pruebe un grado de tendencia menor, más iteraciones o una tolerancia mayor.");
  if (SolverStoppedEarly(logText))
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

}  // namespace sorvan

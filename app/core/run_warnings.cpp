#include "core/run_warnings.h"

#include <cstdio>

namespace sorvan {

std::vector<std::string> RunWarnings(const std::string& logText, double dataMin, double dataMax,
                                     double predictedMin, double predictedMax) {
  std::vector<std::string> warnings;
  if (logText.find("Se alcanz\xC3\xB3 el n\xC2\xBA m\xC3\xA1ximo de iteraciones") != std::string::npos)
    warnings.push_back(
        "La iteración de la tendencia llegó a su número máximo de iteraciones sin converger: "
        "pruebe un grado de tendencia menor, más iteraciones o una tolerancia mayor.");
  if (logText.find("from BCLSF") != std::string::npos)
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

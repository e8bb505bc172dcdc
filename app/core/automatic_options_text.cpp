#include "core/automatic_options_text.h"

#include <cstdio>

namespace sorvan::core {

namespace {

std::string Distance(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", v);
  std::string s = text;
  if (s == "-0.000") s = "0.000";
  return s;
}

const char* MeanName(int mean) {
  switch (mean) {
    case 0: return "constante (kriging ordinario)";
    case 1: return "con tendencia lineal (kriging universal)";
    case 2: return "con tendencia cuadrática (kriging universal)";
    case 3: return "con tendencia cúbica (kriging universal)";
    default: return "desconocida";
  }
}

}  // namespace

const char* SpanishModelName(int code) {
  static const char* const names[] = {"esférico",  "exponencial",         "lineal",
                                      "potencial", "racional-cuadrático", "oscilatorio"};
  return code >= 1 && code <= 6 ? names[code - 1] : "desconocido";
}

std::string DescribeAutomaticOptions(const OpcionesKriging& op) {
  std::string s = "Media ";
  s += MeanName(op.Media);
  s += "; estimador ";
  s += op.Estimador == 2 ? "robusto" : "clásico";
  if (op.LongVar) {
    s += " con saltos de longitud variable de " + std::to_string(op.NApor) + " aportaciones";
  } else {
    s += " con " + std::to_string(op.NSaltos) + (op.NSaltos == 1 ? " salto" : " saltos") + " de " +
         Distance(op.RSalto) + " desde " + Distance(op.SaltoIni);
  }
  s += "; modelo ";
  s += SpanishModelName(op.Modelo);
  s += " ajustado en " + std::to_string(op.NAjus) + " saltos de al menos " + std::to_string(op.NMinAjus) +
       " aportaciones; rejilla de " + std::to_string(op.NRx) + " x " + std::to_string(op.NRy) +
       " nodos desde (" + Distance(op.MinRx) + ", " + Distance(op.MinRy) + ") con paso (" + Distance(op.LRx) +
       ", " + Distance(op.LRy) + ").";
  return s;
}

}  // namespace sorvan::core

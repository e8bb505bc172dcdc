#include "core/data_summary.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace sorvan::core {

namespace {
std::string ShortNumber(double v) {
  if (std::isnan(v)) return "-";
  char b[40];
  std::snprintf(b, sizeof b, "%.10g", v);
  return b;
}
}  // namespace

VariableStatistics Statistics(const SpatialData& d, int var) {
  VariableStatistics e;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  e.minimum = e.maximum = e.mean = e.deviation = nan;
  const double* c = d.column(var);
  double sum = 0;
  for (int i = 0; i < d.N; ++i) {
    if (std::isnan(c[i])) {
      ++e.missing;
      continue;
    }
    if (e.present == 0 || c[i] < e.minimum) e.minimum = c[i];
    if (e.present == 0 || c[i] > e.maximum) e.maximum = c[i];
    sum += c[i];
    ++e.present;
  }
  if (e.present == 0) return e;
  e.mean = sum / e.present;
  double cuadrados = 0;
  for (int i = 0; i < d.N; ++i)
    if (!std::isnan(c[i])) cuadrados += (c[i] - e.mean) * (c[i] - e.mean);
  e.deviation = e.present > 1 ? std::sqrt(cuadrados / (e.present - 1)) : 0.0;
  return e;
}

std::string DataSummary(const SpatialData& d, int colX, int colY) {
  std::string t = "Título: " + d.title;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  t += "\nFilas: " + std::to_string(d.N) + "\nVariables: " + std::to_string(d.nvar) + "\n\n";
  t += "Variable: ausentes, mínimo, máximo, media, desviación típica\n";
  for (int k = 1; k <= d.nvar; ++k) {
    const VariableStatistics e = Statistics(d, k);
    t += d.nameWithoutBlanks(k) + ": " + std::to_string(e.missing) + ", " + ShortNumber(e.minimum) + ", " + ShortNumber(e.maximum) +
         ", " + ShortNumber(e.mean) + ", " + ShortNumber(e.deviation) + "\n";
  }
  if (colX >= 1 && colX <= d.nvar && colY >= 1 && colY <= d.nvar) {
    t += "\nExtensión: X (" + d.nameWithoutBlanks(colX) + ") de " + ShortNumber(d.minimum[size_t(colX - 1)]) + " a " +
         ShortNumber(d.maximum[size_t(colX - 1)]) + "; Y (" + d.nameWithoutBlanks(colY) + ") de " +
         ShortNumber(d.minimum[size_t(colY - 1)]) + " a " + ShortNumber(d.maximum[size_t(colY - 1)]) + "\n";
  }
  t += "Sistema de referencia: " + (d.crs.empty() ? std::string("desconocido") : d.crs) + "\n";
  return t;
}

}  // namespace sorvan::core

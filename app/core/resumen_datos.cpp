#include "core/resumen_datos.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace sorvan {

namespace {
std::string Num(double v) {
  if (std::isnan(v)) return "-";
  char b[40];
  std::snprintf(b, sizeof b, "%.10g", v);
  return b;
}
}  // namespace

EstadisticaVariable Estadistica(const DatosEspaciales& d, int var) {
  EstadisticaVariable e;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  e.minimo = e.maximo = e.media = e.desviacion = nan;
  const double* c = d.columna(var);
  double suma = 0;
  for (int i = 0; i < d.N; ++i) {
    if (std::isnan(c[i])) {
      ++e.ausentes;
      continue;
    }
    if (e.presentes == 0 || c[i] < e.minimo) e.minimo = c[i];
    if (e.presentes == 0 || c[i] > e.maximo) e.maximo = c[i];
    suma += c[i];
    ++e.presentes;
  }
  if (e.presentes == 0) return e;
  e.media = suma / e.presentes;
  double cuadrados = 0;
  for (int i = 0; i < d.N; ++i)
    if (!std::isnan(c[i])) cuadrados += (c[i] - e.media) * (c[i] - e.media);
  e.desviacion = e.presentes > 1 ? std::sqrt(cuadrados / (e.presentes - 1)) : 0.0;
  return e;
}

std::string ResumenDatos(const DatosEspaciales& d, int colX, int colY) {
  std::string t = "Título: " + d.titulo;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  t += "\nFilas: " + std::to_string(d.N) + "\nVariables: " + std::to_string(d.nvar) + "\n\n";
  t += "Variable: ausentes, mínimo, máximo, media, desviación típica\n";
  for (int k = 1; k <= d.nvar; ++k) {
    const EstadisticaVariable e = Estadistica(d, k);
    t += d.nombreSinBlancos(k) + ": " + std::to_string(e.ausentes) + ", " + Num(e.minimo) + ", " + Num(e.maximo) +
         ", " + Num(e.media) + ", " + Num(e.desviacion) + "\n";
  }
  if (colX >= 1 && colX <= d.nvar && colY >= 1 && colY <= d.nvar) {
    t += "\nExtensión: X (" + d.nombreSinBlancos(colX) + ") de " + Num(d.minimo[size_t(colX - 1)]) + " a " +
         Num(d.maximo[size_t(colX - 1)]) + "; Y (" + d.nombreSinBlancos(colY) + ") de " +
         Num(d.minimo[size_t(colY - 1)]) + " a " + Num(d.maximo[size_t(colY - 1)]) + "\n";
  }
  t += "Sistema de referencia: " + (d.crs.empty() ? std::string("desconocido") : d.crs) + "\n";
  return t;
}

}  // namespace sorvan

#include "core/duplicados.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sorvan {

bool PoliticaDeTexto(const std::string& t, PoliticaDuplicados& p) {
  if (t == "average") p = PoliticaDuplicados::Promedio;
  else if (t == "first") p = PoliticaDuplicados::Primero;
  else if (t == "error") p = PoliticaDuplicados::Error;
  else return false;
  return true;
}

std::vector<std::vector<int>> PuntosCoincidentes(const DatosEspaciales& d, int colX, int colY,
                                                 const std::vector<int>& filas) {
  const double* x = d.columna(colX);
  const double* y = d.columna(colY);
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  for (size_t k = 0; k < filas.size(); ++k) {
    const int i = filas[k];
    x0 = k ? std::min(x0, x[i]) : x[i];
    x1 = k ? std::max(x1, x[i]) : x[i];
    y0 = k ? std::min(y0, y[i]) : y[i];
    y1 = k ? std::max(y1, y[i]) : y[i];
  }
  const double tol = kToleranciaRelativa * std::max(x1 - x0, y1 - y0);
  // Sorted by X, a point meets only those within tol along X: a sweep.
  std::vector<int> orden = filas;
  std::sort(orden.begin(), orden.end(), [&](int a, int b) { return x[a] < x[b] || (x[a] == x[b] && a < b); });
  // Union-find over positions in `orden`.
  std::vector<size_t> padre(orden.size());
  std::iota(padre.begin(), padre.end(), size_t(0));
  auto raiz = [&](size_t a) {
    while (padre[a] != a) a = padre[a] = padre[padre[a]];
    return a;
  };
  for (size_t a = 0; a < orden.size(); ++a)
    for (size_t b = a + 1; b < orden.size() && x[orden[b]] - x[orden[a]] <= tol; ++b)
      if (std::fabs(y[orden[b]] - y[orden[a]]) <= tol) padre[raiz(b)] = raiz(a);
  std::vector<std::vector<int>> porRaiz(orden.size());
  for (size_t a = 0; a < orden.size(); ++a) porRaiz[raiz(a)].push_back(orden[a]);
  std::vector<std::vector<int>> grupos;
  for (auto& g : porRaiz)
    if (g.size() > 1) {
      std::sort(g.begin(), g.end());
      grupos.push_back(std::move(g));
    }
  std::sort(grupos.begin(), grupos.end());
  return grupos;
}

std::string DescribeGrupos(const std::vector<std::vector<int>>& grupos, size_t maximo) {
  std::string r;
  for (size_t g = 0; g < grupos.size() && g < maximo; ++g) {
    if (g) r += "; ";
    r += "filas ";
    for (size_t k = 0; k < grupos[g].size(); ++k) {
      if (k) r += k + 1 == grupos[g].size() ? " y " : ", ";
      r += std::to_string(grupos[g][k] + 1);
    }
  }
  if (grupos.size() > maximo) r += "; y " + std::to_string(grupos.size() - maximo) + " grupos más";
  return r;
}

Resultado ResuelveDuplicados(const DatosEspaciales& d, int colX, int colY, int colZ, std::vector<int> filas,
                             PoliticaDuplicados politica, std::vector<double>& x, std::vector<double>& y,
                             std::vector<double>& z, std::string& aviso) {
  aviso.clear();
  const std::vector<std::vector<int>> grupos = PuntosCoincidentes(d, colX, colY, filas);
  if (!grupos.empty() && politica == PoliticaDuplicados::Error)
    return Resultado::Error("Hay puntos en las mismas coordenadas: " + DescribeGrupos(grupos) +
                            ".\nDos puntos en el mismo lugar hacen imposible el kriging. Elija promediarlos o "
                            "quedarse con el primero de cada grupo (en la línea de órdenes, --duplicates average o "
                            "--duplicates first), o corrija los datos.");
  // Each group is represented by its first row; the others drop out.
  std::vector<double> suma(size_t(d.N), 0.0);
  std::vector<int> cuenta(size_t(d.N), 0);
  std::vector<char> fuera(size_t(d.N), 0);
  for (const auto& g : grupos) {
    for (size_t k = 1; k < g.size(); ++k) fuera[size_t(g[k])] = 1;
    if (politica == PoliticaDuplicados::Promedio)
      for (int i : g) {
        suma[size_t(g[0])] += d.columna(colZ)[i];
        ++cuenta[size_t(g[0])];
      }
  }
  x.clear();
  y.clear();
  z.clear();
  for (int i : filas) {
    if (fuera[size_t(i)]) continue;
    x.push_back(d.columna(colX)[i]);
    y.push_back(d.columna(colY)[i]);
    z.push_back(cuenta[size_t(i)] ? suma[size_t(i)] / cuenta[size_t(i)] : d.columna(colZ)[i]);
  }
  if (!grupos.empty())
    aviso = std::string(politica == PoliticaDuplicados::Promedio ? "Se han promediado" : "Se ha tomado el primero de") +
            " " + std::to_string(grupos.size()) + (grupos.size() == 1 ? " grupo" : " grupos") +
            " de puntos en las mismas coordenadas (" + DescribeGrupos(grupos) + ").";
  return Resultado::Exito();
}

}  // namespace sorvan

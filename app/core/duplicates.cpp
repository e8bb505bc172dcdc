#include "core/duplicates.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sorvan::core {

bool PolicyFromText(const std::string& t, DuplicatePolicy& p) {
  if (t == "average") p = DuplicatePolicy::Average;
  else if (t == "first") p = DuplicatePolicy::First;
  else if (t == "error") p = DuplicatePolicy::Error;
  else return false;
  return true;
}

std::vector<std::vector<int>> CoincidentPoints(const SpatialData& d, int colX, int colY,
                                                 const std::vector<int>& rows) {
  const double* x = d.column(colX);
  const double* y = d.column(colY);
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const int i = rows[k];
    x0 = k ? std::min(x0, x[i]) : x[i];
    x1 = k ? std::max(x1, x[i]) : x[i];
    y0 = k ? std::min(y0, y[i]) : y[i];
    y1 = k ? std::max(y1, y[i]) : y[i];
  }
  const double tol = kRelativeTolerance * std::max(x1 - x0, y1 - y0);
  // Sorted by X, a point meets only those within tol along X: a sweep.
  std::vector<int> order = rows;
  std::sort(order.begin(), order.end(), [&](int a, int b) { return x[a] < x[b] || (x[a] == x[b] && a < b); });
  // Union-find over positions in `order`.
  std::vector<size_t> parent(order.size());
  std::iota(parent.begin(), parent.end(), size_t(0));
  auto root = [&](size_t a) {
    while (parent[a] != a) a = parent[a] = parent[parent[a]];
    return a;
  };
  for (size_t a = 0; a < order.size(); ++a)
    for (size_t b = a + 1; b < order.size() && x[order[b]] - x[order[a]] <= tol; ++b)
      if (std::fabs(y[order[b]] - y[order[a]]) <= tol) parent[root(b)] = root(a);
  std::vector<std::vector<int>> byRoot(order.size());
  for (size_t a = 0; a < order.size(); ++a) byRoot[root(a)].push_back(order[a]);
  std::vector<std::vector<int>> groups;
  for (auto& g : byRoot)
    if (g.size() > 1) {
      std::sort(g.begin(), g.end());
      groups.push_back(std::move(g));
    }
  std::sort(groups.begin(), groups.end());
  return groups;
}

std::string DescribeGroups(const std::vector<std::vector<int>>& groups, size_t maximum) {
  std::string r;
  for (size_t g = 0; g < groups.size() && g < maximum; ++g) {
    if (g) r += "; ";
    r += "filas ";
    for (size_t k = 0; k < groups[g].size(); ++k) {
      if (k) r += k + 1 == groups[g].size() ? " y " : ", ";
      r += std::to_string(groups[g][k] + 1);
    }
  }
  if (groups.size() > maximum) r += "; y " + std::to_string(groups.size() - maximum) + " grupos más";
  return r;
}

Result ResolveDuplicates(const SpatialData& d, int colX, int colY, int colZ, std::vector<int> rows,
                             DuplicatePolicy policy, std::vector<double>& x, std::vector<double>& y,
                             std::vector<double>& z, std::string& warning) {
  warning.clear();
  const std::vector<std::vector<int>> groups = CoincidentPoints(d, colX, colY, rows);
  if (!groups.empty() && policy == DuplicatePolicy::Error)
    return Result::Error("Hay puntos en las mismas coordenadas: " + DescribeGroups(groups) +
                            ".\nDos puntos en el mismo lugar hacen imposible el kriging. Elija promediarlos o "
                            "quedarse con el primero de cada grupo (en la línea de órdenes, --duplicates average o "
                            "--duplicates first), o corrija los datos.");
  // Each group is represented by its first row; the others drop out.
  std::vector<double> sum(size_t(d.N), 0.0);
  std::vector<int> tally(size_t(d.N), 0);
  std::vector<char> fuera(size_t(d.N), 0);
  for (const auto& g : groups) {
    for (size_t k = 1; k < g.size(); ++k) fuera[size_t(g[k])] = 1;
    if (policy == DuplicatePolicy::Average)
      for (int i : g) {
        sum[size_t(g[0])] += d.column(colZ)[i];
        ++tally[size_t(g[0])];
      }
  }
  x.clear();
  y.clear();
  z.clear();
  for (int i : rows) {
    if (fuera[size_t(i)]) continue;
    x.push_back(d.column(colX)[i]);
    y.push_back(d.column(colY)[i]);
    z.push_back(tally[size_t(i)] ? sum[size_t(i)] / tally[size_t(i)] : d.column(colZ)[i]);
  }
  if (!groups.empty())
    warning = std::string(policy == DuplicatePolicy::Average ? "Se han promediado" : "Se ha tomado el primero de") +
            " " + std::to_string(groups.size()) + (groups.size() == 1 ? " grupo" : " grupos") +
            " de puntos en las mismas coordenadas (" + DescribeGroups(groups) + ").";
  return Result::Success();
}

}  // namespace sorvan::core

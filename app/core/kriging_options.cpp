#include "core/kriging_options.h"

#include <cmath>

#include "core/tree_distances.h"

namespace sorvan::core {

int32_t RoundToEven(double v) {
  // nearbyint in the default rounding mode rounds halves to even.
  return static_cast<int32_t>(std::nearbyint(v));
}

DataDistances ComputeDistances(const SpatialData& data, int colX, int colY, int count,
                                  const ProgressCallback& progress) {
  DataDistances r;
  const int n = data.N;
  if (n < 2 || colX < 1 || colX > data.nvar || colY < 1 || colY > data.nvar || count < 1) return r;
  const double* x = data.column(colX);
  const double* y = data.column(colY);
  // Beyond a few thousand points every pair costs too much: the same values
  // through a k-d tree and the convex hull.
  if (n > kAllPairsPoints) return TreeDistances(n, x, y, count, progress);
  std::vector<double>& kept = r.shortest;
  kept.reserve(size_t(count) + 1);
  double largest = 0, smallestPositive = 0;
  for (int i = 0; i + 1 < n; ++i) {
    if (std::isnan(x[i]) || std::isnan(y[i])) continue;  // a missing coordinate places nothing
    for (int j = i + 1; j < n; ++j) {
      if (std::isnan(x[j]) || std::isnan(y[j])) continue;
      const double ddx = double(x[i]) - double(x[j]);
      const double ddy = double(y[i]) - double(y[j]);
      const double d = std::sqrt(ddx * ddx + ddy * ddy);
      if (d > largest) largest = d;
      if (d > 0 && (smallestPositive == 0 || d < smallestPositive)) smallestPositive = d;
      // Insertion before the first kept distance >= d, so a new distance goes
      // in front of equal ones; the largest drops out past `count`.
      if (int(kept.size()) == count && d >= kept.back()) continue;
      size_t pos = 0;
      while (pos < kept.size() && kept[pos] < d) ++pos;
      kept.insert(kept.begin() + std::ptrdiff_t(pos), d);
      if (int(kept.size()) > count) kept.pop_back();
    }
  }
  if (kept.empty()) return r;
  r.largest = static_cast<float>(largest);
  r.smallest = static_cast<float>(kept.front());
  r.smallestPositive = static_cast<float>(smallestPositive);
  return r;
}

void LagParameters(const DataDistances& d, int N, OpcionesKriging& op) {
  if (d.shortest.empty()) return;
  const size_t m = N > 25 ? 30 : 20;
  double d1 = d.shortest.front();
  // Fewer pairs than m: the largest kept distance stands for the m-th.
  double dm = d.shortest[std::min(m, d.shortest.size()) - 1];
  // At least m coincident pairs: both would be 0 and give lags of no width.
  if (dm <= 0) d1 = dm = d.smallestPositive;
  if (dm == d1) {
    op.RSalto = static_cast<float>(d1);
    op.SaltoIni = op.RSalto;
  } else {
    const double e = std::floor(std::log10(dm) - 0.4999);
    const double p = static_cast<float>(std::pow(10.0, e));
    op.RSalto = static_cast<float>((std::floor((dm - d1) / p) + 1) * p);
    // The 16-bit rounding of the program: halves to even.
    op.SaltoIni = static_cast<float>(RoundToEven((dm + d1) / p) * p / 2);
  }
  double lags = op.RSalto > 0 ? std::floor((double(d.largest) - op.SaltoIni) / op.RSalto + 0.5) + 1 : 1;
  // The cap of kMaxLags classes cutting them short of even half the longest
  // distance (many close pairs over a large extent): wider classes, rounded up
  // to two significant digits, so that the capped count reaches it.
  const double range = op.SaltoIni + (kMaxLags - 0.5) * double(op.RSalto);
  if (lags > kMaxLags && range < 0.5 * double(d.largest)) {
    const double stretch = double(d.largest) - op.SaltoIni, minimal = stretch / (kMaxLags - 0.5);
    const double q = std::pow(10.0, std::floor(std::log10(minimal)) - 1);
    double anchura = std::ceil(minimal / q) * q;
    while (std::floor(stretch / static_cast<float>(anchura) + 0.5) + 1 > kMaxLags) anchura += q;
    op.RSalto = static_cast<float>(anchura);
    lags = std::floor(stretch / op.RSalto + 0.5) + 1;
  }
  if (!(lags >= 1)) lags = 1;
  op.NSaltos = lags > kMaxLags ? kMaxLags : static_cast<int32_t>(lags);
}

Result AutomaticGrid(const SpatialData& data, int colX, int colY, int nx, int ny,
                            OpcionesKriging& op) {
  if (nx < 3 || ny < 3)
    return Result::Error("La rejilla automática necesita al menos 3 nodos en X y en Y (se pidieron " +
                            std::to_string(nx) + " x " + std::to_string(ny) + ").");
  if (colX < 1 || colX > data.nvar || colY < 1 || colY > data.nvar)
    return Result::Error("Las columnas X e Y no existen en los datos.");
  const double lx = (data.maximum[size_t(colX - 1)] - data.minimum[size_t(colX - 1)]) / double(nx - 2);
  const double ly = (data.maximum[size_t(colY - 1)] - data.minimum[size_t(colY - 1)]) / double(ny - 2);
  if (!std::isfinite(lx) || !std::isfinite(ly)) return Result::Error("Las columnas X e Y no tienen valores.");
  op.NRx = nx;
  op.NRy = ny;
  op.LRx = lx;
  op.LRy = ly;
  op.MinRx = data.minimum[size_t(colX - 1)] - lx / 2;
  op.MinRy = data.minimum[size_t(colY - 1)] - ly / 2;
  return Result::Success();
}

Result ProfileGrid(const Profile& profile, int nx, int ny, OpcionesKriging& op) {
  if (!profile.attached()) return Result::Error("No hay ningún perfil asociado.");
  if (nx < 1 || ny < 1)
    return Result::Error("Para ajustar la rejilla al perfil hace falta al menos 1 nodo en X y en Y.");
  op.NRx = nx;
  op.NRy = ny;
  op.LRx = (double(profile.maxX) - profile.minX) / nx;
  op.LRy = (double(profile.maxY) - profile.minY) / ny;
  op.MinRx = profile.minX + op.LRx / 2;
  op.MinRy = profile.minY + op.LRy / 2;
  return Result::Success();
}

Result OpcionesPorDefecto(const SpatialData& data, int colX, int colY, OpcionesKriging& op,
                             DataDistances* distances, const ProgressCallback& progress) {
  if (data.N < 2) return Result::Error("Hacen falta al menos 2 datos para calcular las opciones de kriging.");
  if (colX < 1 || colX > data.nvar || colY < 1 || colY > data.nvar)
    return Result::Error("Las columnas X e Y no existen en los datos.");
  DataDistances d = ComputeDistances(data, colX, colY, 30, progress);
  if (d.cancelled) return Result::Error(kCancelledText);
  if (!(d.largest > 0)) return Result::Error("Todos los datos están en el mismo punto: no se puede hacer kriging.");

  OpcionesKriging r;
  const bool many = data.N > 25;
  r.Media = 0;
  r.LongVar = 0;
  r.NApor = many ? 30 : 20;
  r.Estimador = 1;
  LagParameters(d, data.N, r);
  r.Modelo = many ? 1 : 3;
  r.NAjus = std::max(RoundToEven(r.NSaltos / 2.0), 3);
  r.NMinAjus = 15;
  r.NRx = 50;
  r.NRy = 50;
  AutomaticGrid(data, colX, colY, 50, 50, r);
  r.profile.clear();
  r.VerSupPred = 1;
  r.VerSupVar = 0;
  r.VerEstimadores = 0;
  r.VerAjuste = 1;
  r.MetodoAjuste = kEngineFit;
  r.C0Ini = r.C1Ini = r.AIni = -1.0f;
  op = r;
  if (distances) *distances = std::move(d);
  return Result::Success();
}

}  // namespace sorvan::core

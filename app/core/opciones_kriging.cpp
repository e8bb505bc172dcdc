#include "core/opciones_kriging.h"

#include <cmath>

#include "core/distancias_arbol.h"

namespace sorvan {

int32_t RedondeaPar(double v) {
  // nearbyint in the default rounding mode rounds halves to even.
  return static_cast<int32_t>(std::nearbyint(v));
}

DistanciasDatos CalculaDistancias(const DatosEspaciales& datos, int colX, int colY, int cuantas,
                                  const AvisoProgreso& progreso) {
  DistanciasDatos r;
  const int n = datos.N;
  if (n < 2 || colX < 1 || colX > datos.nvar || colY < 1 || colY > datos.nvar || cuantas < 1) return r;
  const double* x = datos.columna(colX);
  const double* y = datos.columna(colY);
  // Beyond a few thousand points every pair costs too much: the same values
  // through a k-d tree and the convex hull.
  if (n > kPuntosTodosLosPares) return DistanciasConArbol(n, x, y, cuantas, progreso);
  std::vector<double>& kept = r.cortas;
  kept.reserve(size_t(cuantas) + 1);
  double mayor = 0, menorPositiva = 0;
  for (int i = 0; i + 1 < n; ++i) {
    if (std::isnan(x[i]) || std::isnan(y[i])) continue;  // a missing coordinate places nothing
    for (int j = i + 1; j < n; ++j) {
      if (std::isnan(x[j]) || std::isnan(y[j])) continue;
      const double ddx = double(x[i]) - double(x[j]);
      const double ddy = double(y[i]) - double(y[j]);
      const double d = std::sqrt(ddx * ddx + ddy * ddy);
      if (d > mayor) mayor = d;
      if (d > 0 && (menorPositiva == 0 || d < menorPositiva)) menorPositiva = d;
      // Insertion before the first kept distance >= d, so a new distance goes
      // in front of equal ones; the largest drops out past `cuantas`.
      if (int(kept.size()) == cuantas && d >= kept.back()) continue;
      size_t pos = 0;
      while (pos < kept.size() && kept[pos] < d) ++pos;
      kept.insert(kept.begin() + std::ptrdiff_t(pos), d);
      if (int(kept.size()) > cuantas) kept.pop_back();
    }
  }
  if (kept.empty()) return r;
  r.mayor = static_cast<float>(mayor);
  r.menor = static_cast<float>(kept.front());
  r.menorPositiva = static_cast<float>(menorPositiva);
  return r;
}

void ParametrosSaltos(const DistanciasDatos& d, int N, OpcionesKriging& op) {
  if (d.cortas.empty()) return;
  const size_t m = N > 25 ? 30 : 20;
  double d1 = d.cortas.front();
  // Fewer pairs than m: the largest kept distance stands for the m-th.
  double dm = d.cortas[std::min(m, d.cortas.size()) - 1];
  // At least m coincident pairs: both would be 0 and give lags of no width.
  if (dm <= 0) d1 = dm = d.menorPositiva;
  if (dm == d1) {
    op.RSalto = static_cast<float>(d1);
    op.SaltoIni = op.RSalto;
  } else {
    const double e = std::floor(std::log10(dm) - 0.4999);
    const double p = static_cast<float>(std::pow(10.0, e));
    op.RSalto = static_cast<float>((std::floor((dm - d1) / p) + 1) * p);
    // The 16-bit rounding of the program: halves to even.
    op.SaltoIni = static_cast<float>(RedondeaPar((dm + d1) / p) * p / 2);
  }
  double saltos = op.RSalto > 0 ? std::floor((double(d.mayor) - op.SaltoIni) / op.RSalto + 0.5) + 1 : 1;
  // The cap of kMaxSaltos classes cutting them short of even half the longest
  // distance (many close pairs over a large extent): wider classes, rounded up
  // to two significant digits, so that the capped count reaches it.
  const double alcance = op.SaltoIni + (kMaxSaltos - 0.5) * double(op.RSalto);
  if (saltos > kMaxSaltos && alcance < 0.5 * double(d.mayor)) {
    const double tramo = double(d.mayor) - op.SaltoIni, minima = tramo / (kMaxSaltos - 0.5);
    const double q = std::pow(10.0, std::floor(std::log10(minima)) - 1);
    double anchura = std::ceil(minima / q) * q;
    while (std::floor(tramo / static_cast<float>(anchura) + 0.5) + 1 > kMaxSaltos) anchura += q;
    op.RSalto = static_cast<float>(anchura);
    saltos = std::floor(tramo / op.RSalto + 0.5) + 1;
  }
  if (!(saltos >= 1)) saltos = 1;
  op.NSaltos = saltos > kMaxSaltos ? kMaxSaltos : static_cast<int32_t>(saltos);
}

Resultado RejillaAutomatica(const DatosEspaciales& datos, int colX, int colY, int nx, int ny,
                            OpcionesKriging& op) {
  if (nx < 3 || ny < 3)
    return Resultado::Error("La rejilla automática necesita al menos 3 nodos en X y en Y (se pidieron " +
                            std::to_string(nx) + " x " + std::to_string(ny) + ").");
  if (colX < 1 || colX > datos.nvar || colY < 1 || colY > datos.nvar)
    return Resultado::Error("Las columnas X e Y no existen en los datos.");
  const double lx = (datos.maximo[size_t(colX - 1)] - datos.minimo[size_t(colX - 1)]) / double(nx - 2);
  const double ly = (datos.maximo[size_t(colY - 1)] - datos.minimo[size_t(colY - 1)]) / double(ny - 2);
  if (!std::isfinite(lx) || !std::isfinite(ly)) return Resultado::Error("Las columnas X e Y no tienen valores.");
  op.NRx = nx;
  op.NRy = ny;
  op.LRx = lx;
  op.LRy = ly;
  op.MinRx = datos.minimo[size_t(colX - 1)] - lx / 2;
  op.MinRy = datos.minimo[size_t(colY - 1)] - ly / 2;
  return Resultado::Exito();
}

Resultado RejillaPerfil(const Perfil& perfil, int nx, int ny, OpcionesKriging& op) {
  if (!perfil.asociado()) return Resultado::Error("No hay ningún perfil asociado.");
  if (nx < 1 || ny < 1)
    return Resultado::Error("Para ajustar la rejilla al perfil hace falta al menos 1 nodo en X y en Y.");
  op.NRx = nx;
  op.NRy = ny;
  op.LRx = (double(perfil.maxX) - perfil.minX) / nx;
  op.LRy = (double(perfil.maxY) - perfil.minY) / ny;
  op.MinRx = perfil.minX + op.LRx / 2;
  op.MinRy = perfil.minY + op.LRy / 2;
  return Resultado::Exito();
}

Resultado OpcionesPorDefecto(const DatosEspaciales& datos, int colX, int colY, OpcionesKriging& op,
                             DistanciasDatos* distancias, const AvisoProgreso& progreso) {
  if (datos.N < 2) return Resultado::Error("Hacen falta al menos 2 datos para calcular las opciones de kriging.");
  if (colX < 1 || colX > datos.nvar || colY < 1 || colY > datos.nvar)
    return Resultado::Error("Las columnas X e Y no existen en los datos.");
  DistanciasDatos d = CalculaDistancias(datos, colX, colY, 30, progreso);
  if (d.cancelado) return Resultado::Error(kTextoCancelado);
  if (!(d.mayor > 0)) return Resultado::Error("Todos los datos están en el mismo punto: no se puede hacer kriging.");

  OpcionesKriging r;
  const bool muchos = datos.N > 25;
  r.Media = 0;
  r.LongVar = 0;
  r.NApor = muchos ? 30 : 20;
  r.Estimador = 1;
  ParametrosSaltos(d, datos.N, r);
  r.Modelo = muchos ? 1 : 3;
  r.NAjus = std::max(RedondeaPar(r.NSaltos / 2.0), 3);
  r.NMinAjus = 15;
  r.NRx = 50;
  r.NRy = 50;
  RejillaAutomatica(datos, colX, colY, 50, 50, r);
  r.perfil.quita();
  r.VerSupPred = 1;
  r.VerSupVar = 0;
  r.VerEstimadores = 0;
  r.VerAjuste = 1;
  r.MetodoAjuste = kAjusteMotor;
  r.C0Ini = r.C1Ini = r.AIni = -1.0f;
  op = r;
  if (distancias) *distancias = std::move(d);
  return Resultado::Exito();
}

}  // namespace sorvan

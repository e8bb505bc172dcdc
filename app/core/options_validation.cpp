#include "core/options_validation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace sorvan::core {

namespace {

std::string NumberString(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.7g", v);
  return b;
}

std::string IntegerArgument(long long v) { return std::to_string(v); }

}  // namespace

Result ValidateModel(int model, double c0, double c1, double a) {
  if (model < 1 || model > 6)
    return Result::Error("El modelo de semivariograma debe estar entre 1 y 6 (se dio " + IntegerArgument(model) + ").");
  if (!std::isfinite(c0) || c0 < 0)
    return Result::Error("La pepita C0 del modelo no puede ser negativa (se dio " + NumberString(c0) + ").");
  if (!std::isfinite(c1) || !(c1 > 0))
    return Result::Error("La meseta o pendiente C1 del modelo debe ser positiva (se dio " + NumberString(c1) + ").");
  if (model == 4) {
    if (!std::isfinite(a) || !(a > 0 && a < 2))
      return Result::Error("El exponente A del modelo potencial debe estar entre 0 y 2, sin incluirlos (se dio " +
                              NumberString(a) + ").");
  } else if (model != 3 && (!std::isfinite(a) || !(a > 0))) {
    return Result::Error("El alcance A del modelo debe ser positivo (se dio " + NumberString(a) + ").");
  }
  return Result::Success();
}

Result ValidateOptions(const OpcionesKriging& op) {
  if (op.Media < 0 || op.Media > 3)
    return Result::Error("El grado de la tendencia debe estar entre 0 y 3 (se dio " + IntegerArgument(op.Media) + ").");
  if (op.Modelo < 1 || op.Modelo > 6)
    return Result::Error("El modelo de semivariograma debe estar entre 1 y 6 (se dio " + IntegerArgument(op.Modelo) + ").");
  if (op.Estimador != 1 && op.Estimador != 2)
    return Result::Error("El estimador debe ser 1 (clásico) o 2 (robusto) (se dio " + IntegerArgument(op.Estimador) + ").");
  if (op.MetodoAjuste != kEngineFit && op.MetodoAjuste != kAlternateFit && op.MetodoAjuste != kDirectFit &&
      op.MetodoAjuste != kNoFit && op.MetodoAjuste != kGlobalFit)
    return Result::Error("El método de ajuste debe ser 1 (alterno), 2 (directo), 3 (ninguno) o 4 (global) (se dio " +
                            IntegerArgument(op.MetodoAjuste) + ").");
  if (op.LongVar) {
    if (op.NApor < 1)
      return Result::Error("El nº de pares por salto (saltos de longitud variable) debe ser al menos 1 (se dio " +
                              IntegerArgument(op.NApor) + ").");
  } else {
    if (op.NSaltos < 1 || op.NSaltos > kMaxLags)
      return Result::Error("El nº de saltos debe estar entre 1 y " + IntegerArgument(kMaxLags) + ".");
    if (!std::isfinite(op.SaltoIni) || op.SaltoIni < 0)
      return Result::Error("La distancia del primer salto no puede ser negativa (se dio " + NumberString(op.SaltoIni) +
                              ").");
    if (!std::isfinite(op.RSalto) || op.RSalto < 0)
      return Result::Error("La anchura de los saltos no puede ser negativa (se dio " + NumberString(op.RSalto) + ").");
    if (op.SaltoIni == 0 && op.RSalto == 0)
      return Result::Error("La distancia del primer salto y la anchura de los saltos no pueden ser ambas 0.");
    if (op.NAjus < 1 || op.NAjus > op.NSaltos)
      return Result::Error("El nº de saltos para el ajuste debe estar entre 1 y el nº de saltos (" +
                              IntegerArgument(op.NSaltos) + ") (se dio " + IntegerArgument(op.NAjus) + ").");
  }
  if (op.NMinAjus < 0)
    return Result::Error("El nº mínimo de pares para el ajuste no puede ser negativo (se dio " +
                            IntegerArgument(op.NMinAjus) + ").");
  if (op.NRx < 1 || op.NRy < 1 || int64_t(op.NRx) * int64_t(op.NRy) > kMaxGridNodes)
    return Result::Error("La rejilla de predicción debe tener entre 1 y " + IntegerArgument(kMaxGridNodes) +
                            " nodos (se pidieron " + IntegerArgument(op.NRx) + " x " + IntegerArgument(op.NRy) + ").");
  for (double v : {op.MinRx, op.MinRy, op.LRx, op.LRy})
    if (!std::isfinite(v)) return Result::Error("Hay opciones de kriging con valores no numéricos.");
  if (!(op.LRx > 0) || !(op.LRy > 0))
    return Result::Error("El espaciado de la rejilla debe ser positivo (Lx, Ly).");
  if (op.C0Ini >= 0) {
    Result m = ValidateModel(op.Modelo, op.C0Ini, op.C1Ini, op.AIni);
    if (!m) return m;
  }
  return Result::Success();
}

int MinimumData(int degree) {
  const int g = std::clamp(degree, 0, 3);
  return std::max(3, (g + 1) * (g + 2) / 2 + 2);
}

Result CheckKrigingData(const SpatialData& d, int colX, int colY, int colZ, const OpcionesKriging& op) {
  Result r = CheckData(d, colX, colY, colZ, op.Media);
  return r ? CheckLags(d, colX, colY, colZ, op) : r;
}

Result CheckData(const SpatialData& d, int colX, int colY, int colZ, int degree) {
  for (int col : {colX, colY, colZ})
    if (col < 1 || col > d.nvar)
      return Result::Error("La columna " + IntegerArgument(col) + " no existe: los datos tienen " + IntegerArgument(d.nvar) +
                              " variables.");
  // Only rows with X, Y and Z present take part in a run.
  const std::vector<int> rows = CompleteRows(d, {colX, colY, colZ});
  const int n = int(rows.size());
  const int minimum = MinimumData(degree);
  if (n < minimum)
    return Result::Error("Hay " + IntegerArgument(n) + " datos" +
                            (n < d.N ? " con X, Y y Z presentes (de " + IntegerArgument(d.N) + " filas)" : std::string()) +
                            " y el kriging con tendencia de grado " + IntegerArgument(degree) + " necesita al menos " +
                            IntegerArgument(minimum) + ".");
  // As the engine gets them: in single precision.
  const auto constant = [&](int col, double& value) {
    const double* v = d.column(col);
    value = v[rows[0]];
    const float first = float(value);
    return std::all_of(rows.begin(), rows.end(), [&](int i) { return float(v[i]) == first; });
  };
  double value = 0;
  if (constant(colZ, value))
    return Result::Error("La variable " + SafeText(d.nameWithoutBlanks(colZ)) + " vale " + NumberString(value) +
                            " en todos los datos: no hay variación que interpolar.");
  for (int col : {colX, colY})
    if (constant(col, value))
      return Result::Error("Todos los datos tienen la misma coordenada " + std::string(col == colX ? "X" : "Y") +
                              " (" + SafeText(d.nameWithoutBlanks(col)) + " = " + NumberString(value) +
                              "): los puntos están en una línea y no cubren una superficie.");
  return Result::Success();
}

Result CheckLags(const SpatialData& d, int colX, int colY, int colZ, const OpcionesKriging& op) {
  for (int col : {colX, colY, colZ})
    if (col < 1 || col > d.nvar) return Result::Success();
  // A fit on fixed-width lags needs a class with more than NMinAjus pairs.
  // The classes are those of the engine: centred on SaltoIni + k * RSalto,
  // the first taking every shorter distance, in single precision.
  if (op.LongVar || op.MetodoAjuste == kNoFit || op.NSaltos < 1 || op.NSaltos > kMaxLags) return Result::Success();
  const float width = op.RSalto > 0 ? op.RSalto : 2 * op.SaltoIni;
  if (!(width > 0)) return Result::Success();  // refused by ValidateOptions
  // The engine takes a minimum of 0 as its default of 15.
  const int64_t minPairs = op.NMinAjus < 1 ? 15 : op.NMinAjus;
  std::vector<float> x, y;
  for (int i : CompleteRows(d, {colX, colY, colZ})) {
    x.push_back(float(d.column(colX)[i]));
    y.push_back(float(d.column(colY)[i]));
  }
  const size_t n = x.size();
  std::vector<int64_t> tally(size_t(op.NSaltos), 0);
  for (size_t i = 0; i + 1 < n; ++i)
    for (size_t j = i + 1; j < n; ++j) {
      const float dx = x[i] - x[j], dy = y[i] - y[j];
      const float dist = std::sqrt(dx * dx + dy * dy);
      const float t = (dist - op.SaltoIni) / width + 0.5f;
      const long k = std::max(long(t >= 0 ? std::floor(t) : std::ceil(t)) + 1, 1L);
      if (k > op.NSaltos) continue;
      if (++tally[size_t(k - 1)] > minPairs) return Result::Success();
    }
  const int64_t largest = *std::max_element(tally.begin(), tally.end());
  return Result::Error("Ningún salto tiene más de " + IntegerArgument(minPairs) +
                          " pares de datos (el que más tiene " + IntegerArgument(largest) +
                          "): no se puede ajustar el modelo. Ensanche los saltos, reduzca el nº mínimo de pares "
                          "para el ajuste o dé un modelo fijo.");
}

std::string SafeText(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= s.size();
    for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(s[i + k]) >> 6) == 2;
    // Overlong forms and surrogates are not valid either.
    if (valid && length == 2) valid = c >= 0xC2;
    if (valid && length == 3) {
      const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
      valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
    }
    if (valid && length == 4) {
      const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
      valid = c <= 0xF4 && !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
    }
    if (valid && length == 1 && c < 0x20 && c != '\n' && c != '\t') valid = false;
    if (valid) {
      r.append(s, i, length);
      i += length;
    } else {
      r.push_back('?');
      ++i;
    }
  }
  return r;
}

}  // namespace sorvan::core

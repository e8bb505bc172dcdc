#include "gui/kriging/texto_numero.h"

#include <QLocale>
#include <cmath>
#include <limits>

QString FormatoDistancia(double valor) {
  QString texto = QString::number(valor, 'f', 3);
  // A tiny negative value would show as "-0.000"; the sign means nothing there.
  if (texto == QLatin1String("-0.000")) texto = QStringLiteral("0.000");
  return texto;
}

QString FormatoEntero(long long valor) { return QString::number(valor); }

double LeeNumero(const QString& texto) {
  const QString t = texto;
  qsizetype i = 0;
  const qsizetype n = t.size();
  while (i < n && (t[i] == u' ' || t[i] == u'\t')) ++i;
  const qsizetype inicio = i;
  if (i < n && (t[i] == u'+' || t[i] == u'-')) ++i;
  qsizetype digitos = 0;
  while (i < n && t[i].isDigit() && t[i].unicode() < 128) { ++i; ++digitos; }
  if (i < n && t[i] == u'.') {
    ++i;
    while (i < n && t[i].isDigit() && t[i].unicode() < 128) { ++i; ++digitos; }
  }
  if (digitos == 0) return 0.0;
  qsizetype fin = i;
  // The exponent belongs to the number only when at least one digit follows.
  if (i < n && (t[i] == u'e' || t[i] == u'E')) {
    qsizetype j = i + 1;
    if (j < n && (t[j] == u'+' || t[j] == u'-')) ++j;
    qsizetype k = j;
    while (k < n && t[k].isDigit() && t[k].unicode() < 128) ++k;
    if (k > j) fin = k;
  }
  bool ok = false;
  const double valor = QLocale::c().toDouble(t.mid(inicio, fin - inicio), &ok);
  if (ok) return valor;
  // Out of range for a double (e.g. "1e999"): keep the sign, let callers
  // reject the non-finite value.
  return t[inicio] == u'-' ? -std::numeric_limits<double>::infinity()
                           : std::numeric_limits<double>::infinity();
}

std::optional<int> LeeEntero(const QString& texto) {
  // nearbyint rounds in the current mode, to nearest with halves to even.
  const double r = std::nearbyint(LeeNumero(texto));
  if (!std::isfinite(r) || r < std::numeric_limits<int>::min() || r > std::numeric_limits<int>::max())
    return std::nullopt;
  return static_cast<int>(r);
}

#include "gui/anim/numero_texto.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

double ValorNumerico(const QString& texto) {
  static const QRegularExpression numero(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
  const QRegularExpressionMatch m = numero.match(texto);
  if (!m.hasMatch()) return 0.0;
  const double valor = m.captured(0).trimmed().toDouble();  // QString reads the C locale
  return std::isfinite(valor) ? valor : 0.0;
}

int FotogramasPorSegundo(const QString& texto) {
  return static_cast<int>(std::nearbyint(std::clamp(ValorNumerico(texto), -32768.0, 32767.0)));
}

#include "gui/kriging/texto_numero.h"

#include "core/number_text.h"

QString FormatoDistancia(double valor) {
  QString texto = QString::number(valor, 'f', 3);
  // A tiny negative value would show as "-0.000"; the sign means nothing there.
  if (texto == QLatin1String("-0.000")) texto = QStringLiteral("0.000");
  return texto;
}

QString FormatoEntero(long long valor) { return QString::number(valor); }

std::optional<double> LeeNumero(const QString& texto) { return sorvan::ParseNumber(texto.toStdString()); }

std::optional<int> LeeEntero(const QString& texto) { return sorvan::ParseInteger(texto.toStdString()); }

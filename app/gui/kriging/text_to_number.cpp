#include "gui/kriging/text_to_number.h"

#include "core/number_text.h"

namespace sorvan::gui {
using namespace sorvan::core;

QString DistanceFormat(double value) {
  QString text = QString::number(value, 'f', 3);
  // A tiny negative value would show as "-0.000"; the sign means nothing there.
  if (text == QLatin1String("-0.000")) text = QStringLiteral("0.000");
  return text;
}

QString IntegerFormat(long long value) { return QString::number(value); }

std::optional<double> ReadNumberText(const QString& text) { return sorvan::core::ParseNumber(text.toStdString()); }

std::optional<int> ReadInteger(const QString& text) { return sorvan::core::ParseInteger(text.toStdString()); }

}  // namespace sorvan::gui

#pragma once
// How the kriging dialogs show numbers in their text boxes and read them back.
// One decimal separator, the period, is used both ways whatever the user's
// locale, so that a value shown and read back unchanged stays the same value.
#include <QString>
#include <optional>

namespace sorvan::gui {

// A distance or coordinate in the format "#####0.000": at least one integer
// digit, exactly three decimals, no grouping, period as separator.
QString DistanceFormat(double value);

// An integer shown plainly ("12", "-3").
QString IntegerFormat(long long value);

// The number the text holds (sorvan::core::ParseNumber): nothing when the text is
// not wholly a number ("abc", "12,5", empty) or is out of range.
std::optional<double> ReadNumberText(const QString& text);

// The integer the text holds (sorvan::core::ParseInteger): halves to even; nothing
// when the text is not a number or the value does not fit 32 bits.
std::optional<int> ReadInteger(const QString& text);

}  // namespace sorvan::gui

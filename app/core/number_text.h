#pragma once
// Reading a number typed by the user: the one rule every dialog, prompt and
// the command line share. The period is the decimal separator whatever the
// locale, so a value shown and read back unchanged stays the same value.
#include <optional>
#include <string_view>

namespace sorvan::core {

// The number that `text` holds: blanks around it, an optional sign, digits
// with an optional period and decimals (at least one digit in all), an
// optional exponent ("1.5e3"). Anything else in the text ("abc", "12,5",
// "3 m", an empty text) or a value outside the range of a double gives
// nothing: the caller refuses the field and names it.
std::optional<double> ParseNumber(std::string_view text);

// ParseNumber rounded to the nearest integer, halves to even (2.5 -> 2,
// 3.5 -> 4); nothing when the text is not a number or the value does not fit
// a 32-bit integer.
std::optional<int> ParseInteger(std::string_view text);

}  // namespace sorvan::core

#include "core/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace sorvan::core {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  const std::string_view t = text.substr(b, e - b);
  // The shape is checked by hand: the library readers also take "inf",
  // "nan" and hexadecimal.
  size_t i = 0, digits = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t exponent = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++exponent;
    if (exponent == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  // from_chars reads the period whatever the process's locale (a Qt program
  // runs under the user's), and takes no leading '+'.
  const std::string_view digitsOnly = t[0] == '+' ? t.substr(1) : t;
  double v = 0;
  const auto [end, error] = std::from_chars(digitsOnly.data(), digitsOnly.data() + digitsOnly.size(), v);
  if (error != std::errc() || end != digitsOnly.data() + digitsOnly.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

std::optional<int> ParseInteger(std::string_view text) {
  const std::optional<double> v = ParseNumber(text);
  if (!v) return std::nullopt;
  // nearbyint rounds in the current mode, to nearest with halves to even.
  const double r = std::nearbyint(*v);
  if (r < std::numeric_limits<int>::min() || r > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(r);
}

}  // namespace sorvan::core

#include "base/decimal_text.h"

#include <algorithm>
#include <charconv>

namespace kelmira {

namespace {

std::string chars(double value, std::chars_format format, int precision) {
  // The widest: 309 digits before the point of the largest double, and the precision.
  char text[400];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, format, std::clamp(precision, 0, 60));
  return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

std::string fixedDecimal(double value, int decimals) { return chars(value, std::chars_format::fixed, decimals); }

std::string generalDecimal(double value, int significant) {
  return chars(value, std::chars_format::general, significant);
}

}  // namespace kelmira

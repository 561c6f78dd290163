#include "mirror/number_text.h"

#include <charconv>
#include <cmath>

namespace kelmira {

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
}  // namespace

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<double> parseNumber(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<long long> parseWholeNumber(std::string_view text) {
  const std::optional<double> value = parseNumber(text);
  if (!value || *value != std::floor(*value) || std::abs(*value) > 9e15) return std::nullopt;
  return static_cast<long long>(*value);
}

std::optional<std::vector<double>> parseNumberList(std::string_view text) {
  std::vector<double> numbers;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (isSpace(text[i]) || text[i] == ',')) ++i;
    const std::size_t start = i;
    while (i < text.size() && !isSpace(text[i]) && text[i] != ',') ++i;
    if (i == start) break;
    const std::optional<double> value = parseNumber(text.substr(start, i - start));
    if (!value) return std::nullopt;
    numbers.push_back(*value);
  }
  return numbers;
}

}  // namespace kelmira

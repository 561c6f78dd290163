#pragma once

#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kelmira::test {

// Bytes written out by hand: hex pairs, spaces ignored, and 'text' in single quotes
// taken character by character.
inline std::vector<std::uint8_t> hexBytes(std::string_view text) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '\'') {
      const std::size_t close = text.find('\'', i + 1);
      if (close == std::string_view::npos) throw std::invalid_argument("unclosed quote");
      out.insert(out.end(), text.begin() + i + 1, text.begin() + close);
      i = close + 1;
    } else {
      if (i + 1 >= text.size()) throw std::invalid_argument("odd hex digit");
      out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
      i += 2;
    }
  }
  return out;
}

}  // namespace kelmira::test

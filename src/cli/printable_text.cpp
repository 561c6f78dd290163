#include "cli/printable_text.h"

#include <cstdint>
#include <cstdio>

namespace kelmira {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0 when it is not one.
std::size_t sequenceLength(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

void appendHex(std::string& out, std::uint8_t value) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", value);
  out += escape;
}

}  // namespace

std::string printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<std::uint8_t>(text[at]);
    if (c >= 0x20 && c < 0x7F) {
      if (c == '\\') out += '\\';
      out += static_cast<char>(c);
      ++at;
      continue;
    }
    if (c == '\n' || c == '\t' || c == '\r') {
      out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
      ++at;
      continue;
    }
    const std::size_t length = c >= 0x80 ? sequenceLength(text, at) : 0;
    // U+0080 to U+009F are the C1 controls, CSI among them.
    const bool c1 = length == 2 && c == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) <= 0x9F;
    if (length == 0 || c1) {
      for (std::size_t i = 0; i < (c1 ? 2 : 1); ++i) appendHex(out, static_cast<std::uint8_t>(text[at + i]));
      at += c1 ? 2 : 1;
      continue;
    }
    out.append(text, at, length);
    at += length;
  }
  return out;
}

std::string fitToColumns(const std::string& text, std::size_t columns) {
  std::string out;
  std::size_t shown = 0;
  for (std::size_t at = 0; at < text.size() && shown < columns; ++shown) {
    const std::size_t length = sequenceLength(text, at);
    const std::size_t take = length == 0 ? 1 : length;
    out.append(text, at, take);
    at += take;
  }
  out.append(columns - shown, ' ');
  return out;
}

}  // namespace kelmira

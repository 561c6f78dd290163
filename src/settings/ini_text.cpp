#include "settings/ini_text.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <string_view>

namespace kelmira {

namespace {

unsigned hexValue(char digit) {
  return std::isdigit(static_cast<unsigned char>(digit)) ? static_cast<unsigned>(digit - '0')
                                                         : static_cast<unsigned>((digit | 0x20) - 'a' + 10);
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Undoes a backslash escape starting at text[at] (the backslash); returns the index after it.
std::size_t unescape(std::string_view text, std::size_t at, std::string& out) {
  if (at + 1 >= text.size()) return text.size();
  const char code = text[at + 1];
  switch (code) {
    case 'n': out += '\n'; return at + 2;
    case 'r': out += '\r'; return at + 2;
    case 't': out += '\t'; return at + 2;
    case 'a': out += '\a'; return at + 2;
    case 'b': out += '\b'; return at + 2;
    case 'f': out += '\f'; return at + 2;
    case 'v': out += '\v'; return at + 2;
    case 'x': {
      // \xNNNN: a character by its code, as QSettings wrote what it would not write raw.
      std::size_t end = at + 2;
      unsigned value = 0;
      while (end < text.size() && end < at + 6 && std::isxdigit(static_cast<unsigned char>(text[end]))) {
        value = value * 16 + hexValue(text[end]);
        ++end;
      }
      if (value < 0x80) {
        out += static_cast<char>(value);
      } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
      }
      return end;
    }
    default: out += code; return at + 2;
  }
}

// The value's texts: one for a plain value, several for a list (commas outside quotes).
// A semicolon outside quotes starts a comment.
std::vector<std::string> unescapedParts(std::string_view raw) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  std::string pendingSpace;
  for (std::size_t i = 0; i < raw.size();) {
    const char c = raw[i];
    if (c == '"') {
      quoted = !quoted;
      ++i;
    } else if (c == '\\') {
      parts.back() += pendingSpace;
      pendingSpace.clear();
      i = unescape(raw, i, parts.back());
    } else if (!quoted && c == ';') {
      break;
    } else if (!quoted && c == ',') {
      parts.emplace_back();
      pendingSpace.clear();
      ++i;
      while (i < raw.size() && raw[i] == ' ') ++i;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      pendingSpace += c;  // kept only when more of the value follows
      ++i;
    } else {
      parts.back() += pendingSpace;
      pendingSpace.clear();
      parts.back() += c;
      ++i;
    }
  }
  return parts;
}

bool needsQuotes(const std::string& text) {
  if (text.empty()) return false;
  if (text.front() == ' ' || text.back() == ' ' || text.front() == '@') return true;
  return text.find_first_of(",;=\"\\\n\r\t") != std::string::npos;
}

std::string escaped(const std::string& text) {
  if (!needsQuotes(text)) return text;
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

}  // namespace

IniText IniText::parse(const std::string& text) {
  IniText ini;
  // A byte-order mark some editors put first says only that the text is UTF-8.
  const bool marked = text.rfind("\xEF\xBB\xBF", 0) == 0;
  std::istringstream lines(marked ? text.substr(3) : text);
  std::string line;
  std::string section = "General";
  while (std::getline(lines, line)) {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == ';' || content.front() == '#') continue;
    if (content.front() == '[') {
      const auto close = content.find(']');
      // "[A]", "[ A ]" and a later "[A]" again are one section, read and written as one.
      section = std::string(trimmed(content.substr(1, close == std::string_view::npos ? content.npos : close - 1)));
      continue;
    }
    const auto equals = content.find('=');
    if (equals == std::string_view::npos) continue;
    ini.setRaw(section, std::string(trimmed(content.substr(0, equals))),
               std::string(trimmed(content.substr(equals + 1))));
  }
  return ini;
}

std::string IniText::format() const {
  std::string out;
  for (const Section& section : sections_) {
    if (!out.empty()) out += '\n';
    out += "[" + section.name + "]\n";
    for (const auto& [name, raw] : section.values) out += name + "=" + raw + "\n";
  }
  return out;
}

std::optional<std::string> IniText::raw(const std::string& section, const std::string& name) const {
  for (const Section& s : sections_) {
    if (s.name != section) continue;
    for (const auto& [key, value] : s.values) {
      if (key == name) return value;
    }
  }
  return std::nullopt;
}

std::optional<std::string> IniText::text(const std::string& section, const std::string& name) const {
  const std::optional<std::string> value = raw(section, name);
  if (!value) return std::nullopt;
  std::vector<std::string> parts = unescapedParts(*value);
  if (parts.size() != 1) return std::nullopt;
  return std::move(parts.front());
}

std::optional<int> IniText::integer(const std::string& section, const std::string& name) const {
  const std::optional<std::string> value = text(section, name);
  if (!value) return std::nullopt;
  const std::string_view digits = trimmed(*value);
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return std::nullopt;
  return number;
}

void IniText::setText(const std::string& section, const std::string& name, const std::string& value) {
  setRaw(section, name, escaped(value));
}

void IniText::setInteger(const std::string& section, const std::string& name, int value) {
  setRaw(section, name, std::to_string(value));
}

void IniText::setRaw(const std::string& section, const std::string& name, std::string raw) {
  Section* target = nullptr;
  for (Section& s : sections_) {
    if (s.name == section) target = &s;
  }
  if (target == nullptr) target = &sections_.emplace_back(Section{section, {}});
  for (auto& [key, value] : target->values) {
    if (key == name) {
      value = std::move(raw);
      return;
    }
  }
  target->values.emplace_back(name, std::move(raw));
}

}  // namespace kelmira

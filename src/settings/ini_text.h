#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelmira {

// The text of an INI file as the settings store keeps it: sections of named values, in
// the order they appear. It reads what Qt's QSettings wrote before Kelmira had its own
// reader (quoted texts with backslash escapes, a bare comma making a list), and writes
// the same way, so files pass between the two unchanged in meaning.
class IniText {
 public:
  static IniText parse(const std::string& text);
  std::string format() const;

  // The raw value as written in the file, quotes and all; none when absent.
  std::optional<std::string> raw(const std::string& section, const std::string& name) const;
  // The value as a text: quotes removed and escapes undone. None when absent or when
  // the value is a list (an unquoted comma).
  std::optional<std::string> text(const std::string& section, const std::string& name) const;
  // The value as a 32-bit integer; none when absent or not a whole number in range.
  std::optional<int> integer(const std::string& section, const std::string& name) const;

  void setText(const std::string& section, const std::string& name, const std::string& value);
  void setInteger(const std::string& section, const std::string& name, int value);

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;  // name, raw value
  };
  void setRaw(const std::string& section, const std::string& name, std::string raw);

  std::vector<Section> sections_;
};

}  // namespace kelmira

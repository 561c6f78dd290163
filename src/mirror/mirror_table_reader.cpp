#include "mirror/mirror_table_reader.h"

#include "base/decimal_text.h"
#include "mirror/number_text.h"

namespace kelmira {

namespace {
constexpr std::size_t kLongestTable = 100000;
}  // namespace

std::unique_ptr<TableMirror> readMirrorTableText(std::string_view text, std::string& why) {
  std::vector<MirrorTableEntry> entries;
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const std::size_t comma = line.find(',');
    const std::optional<double> radius =
        comma == std::string_view::npos ? std::nullopt : parseNumber(line.substr(0, comma));
    const std::optional<double> elevation =
        comma == std::string_view::npos ? std::nullopt : parseNumber(line.substr(comma + 1));
    if (!radius || !elevation) {
      why = "line " + std::to_string(number) + " is not \"radius,elevation\"";
      return nullptr;
    }
    if (entries.size() == kLongestTable) {
      why = "more than " + std::to_string(kLongestTable) + " lines";
      return nullptr;
    }
    entries.push_back({*radius, *elevation});
  }
  return TableMirror::make(std::move(entries), why);
}

std::string mirrorTableText(const std::vector<MirrorTableEntry>& entries, std::string_view comment) {
  std::string text;
  std::size_t start = 0;
  while (start < comment.size()) {
    std::size_t end = comment.find('\n', start);
    if (end == std::string_view::npos) end = comment.size();
    text += "# ";
    text += comment.substr(start, end - start);
    text += '\n';
    start = end + 1;
  }
  for (const MirrorTableEntry& entry : entries) {
    text += fixedDecimal(entry.fraction, 6) + ',' + fixedDecimal(entry.elevation, 4) + '\n';
  }
  return text;
}

}  // namespace kelmira

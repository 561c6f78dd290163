#include "cli/output_format.h"

#include <cerrno>
#include <cstdlib>

namespace kelmira {

namespace {

bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size();
}

bool splitPair(const std::string& text, char separator, double& first, double& second) {
  const auto split = text.find(separator);
  return split != std::string::npos && parseNumber(text.substr(0, split), first) &&
         parseNumber(text.substr(split + 1), second);
}

}  // namespace

bool parsePoint(const std::string& text, double& x, double& y) { return splitPair(text, ',', x, y); }

bool parseSize(const std::string& text, int& width, int& height) {
  double w = 0;
  double h = 0;
  if (!splitPair(text, 'x', w, h) || w < 1 || h < 1 || w > 100000 || h > 100000 || w != static_cast<int>(w) ||
      h != static_cast<int>(h)) {
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

}  // namespace kelmira

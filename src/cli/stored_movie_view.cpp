#include "cli/stored_movie_view.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "movie/movie_settings.h"

namespace kelmira {

namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool parsePositive(std::string_view text, int& value) {
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || !isMovieViewSizeAllowed(parsed)) return false;
  value = parsed;
  return true;
}

}  // namespace

MovieViewSize readStoredMovieView(const std::string& iniPath) {
  std::ifstream file(iniPath);
  int width = 0;
  int height = 0;
  bool inDefaults = false;
  std::string line;
  while (std::getline(file, line)) {
    const std::string_view text = trimmed(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') continue;
    if (text.front() == '[') {
      inDefaults = text == "[DEFAULTS]";
      continue;
    }
    const auto equals = text.find('=');
    if (!inDefaults || equals == std::string_view::npos) continue;
    const std::string_view key = trimmed(text.substr(0, equals));
    const std::string_view value = trimmed(text.substr(equals + 1));
    if (key == "DEFAULT_MOVIE_WIDTH" && !parsePositive(value, width)) width = 0;
    if (key == "DEFAULT_MOVIE_HEIGHT" && !parsePositive(value, height)) height = 0;
  }
  // A half-stored size is not what anyone chose: use both or neither.
  if (width > 0 && height > 0) return {width, height};
  return {};
}

std::string windowSettingsPath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (configHome != nullptr && configHome[0] == '/') {
    folder = configHome;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : "") + "/.config";
  }
  return folder + "/Torbek/kelmira.conf";
}

}  // namespace kelmira

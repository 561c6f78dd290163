#pragma once

#include <string>

#include "settings/settings_keys.h"

namespace kelmira {

struct MovieViewSize {
  int width = settings::defaultMovieWidth;
  int height = settings::defaultMovieHeight;
};

// The default view size that the window's Movie Defaults dialog stored in the
// settings file at `iniPath` ([DEFAULTS] DEFAULT_MOVIE_WIDTH and _HEIGHT), or
// 400 x 180 when the file, the keys or sensible values are missing.
MovieViewSize readStoredMovieView(const std::string& iniPath);

// The window program's settings file: $XDG_CONFIG_HOME (or ~/.config)/Torbek/kelmira.conf.
std::string windowSettingsPath();

}  // namespace kelmira

#include "cli/stored_movie_view.h"

#include "movie/movie_settings.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace kelmira {

MovieViewSize readStoredMovieView(const std::string& iniPath) {
  using namespace settings;
  const SettingsStore store(iniPath);
  const int width = store.readInt(defaultsSection, movieWidthKey, 0);
  const int height = store.readInt(defaultsSection, movieHeightKey, 0);
  // A half-stored size is not what anyone chose: use both or neither.
  if (isMovieViewSizeAllowed(width) && isMovieViewSizeAllowed(height)) return {width, height};
  return {};
}

std::string windowSettingsPath() { return userSettingsPath("kelmira"); }

}  // namespace kelmira

#include "settings/settings_version.h"

#include <strings.h>

#include <cstdio>

#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace kelmira {

std::string versionText() {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(versionNumber));
  return text;
}

void reconcileSettingsVersion(SettingsStore& settings) {
  using namespace settings;
  const std::string current = versionText();
  const std::string stored = settings.readString(defaultsSection, versionKey, "-1");
  if (strcasecmp(stored.c_str(), current.c_str()) == 0) return;
  settings.writeString(defaultsSection, versionKey, current);
  settings.writeInt(defaultsSection, limitedColourKey, 0);
  settings.writeInt(defaultsSection, movieWidthKey, defaultMovieWidth);
  settings.writeInt(defaultsSection, movieHeightKey, defaultMovieHeight);
}

}  // namespace kelmira

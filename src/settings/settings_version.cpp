#include "settings/settings_version.h"

#include <strings.h>

#include <algorithm>

#include "base/decimal_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace kelmira {

std::string versionText() { return fixedDecimal(static_cast<double>(versionNumber), 4); }

void reconcileSettingsVersion(SettingsStore& settings) {
  using namespace settings;
  const std::string current = versionText();
  const std::string stored = settings.readString(defaultsSection, versionKey, "-1");
  if (strcasecmp(stored.c_str(), current.c_str()) == 0) return;
  // This version written in a session with a decimal comma, as it once was: the same
  // version, only spelt wrongly, so the user's choices stay.
  std::string pointed = stored;
  std::replace(pointed.begin(), pointed.end(), ',', '.');
  if (pointed == current) {
    settings.writeString(defaultsSection, versionKey, current);
    return;
  }
  settings.writeString(defaultsSection, versionKey, current);
  settings.writeInt(defaultsSection, limitedColourKey, 0);
  settings.writeInt(defaultsSection, movieWidthKey, defaultMovieWidth);
  settings.writeInt(defaultsSection, movieHeightKey, defaultMovieHeight);
}

}  // namespace kelmira

#pragma once

#include <string>

namespace kelmira {

class SettingsStore;

// Single precision on purpose: it is printed widened to double, which four decimals round
// back to 2.1000.
inline constexpr float versionNumber = 2.1f;

// versionNumber with four decimals and a point in every locale: "2.1000". Recorded as
// DEFAULTS/VERSION.
std::string versionText();

// On the first run and after any change of version, puts the colour warning and the
// default movie size back to their defaults and records the version. The equipment
// choice survives.
void reconcileSettingsVersion(SettingsStore& settings);

}  // namespace kelmira

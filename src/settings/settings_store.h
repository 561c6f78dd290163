#pragma once

#include <string>

#include "settings/integer_settings.h"

namespace kelmira {

// The per-user settings: sections of named integer and text values in an INI file. Every
// copy of the program shares the file without locking: each read looks at the file as it
// is now (so a value another running copy wrote is seen, as in a registry), and each write
// replaces the whole file at once. A value that is missing or does not read as the asked
// type gives the caller's default; a failed write goes unreported.
class SettingsStore : public IntegerSettings {
 public:
  explicit SettingsStore(std::string iniFilePath);

  int readInt(const char* section, const char* name, int defaultValue) const override;
  void writeInt(const char* section, const char* name, int value) override;
  std::string readString(const std::string& section, const std::string& name, const std::string& defaultValue) const;
  void writeString(const std::string& section, const std::string& name, const std::string& value);

  const std::string& fileName() const { return path_; }

 private:
  std::string path_;
};

// The settings file of a program of ours: $XDG_CONFIG_HOME (or ~/.config)/Torbek/NAME.conf.
std::string userSettingsPath(const std::string& programName);

}  // namespace kelmira

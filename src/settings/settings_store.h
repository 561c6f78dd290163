#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "settings/ini_text.h"
#include "settings/integer_settings.h"

namespace kelmira {

// The per-user settings: sections of named integer and text values in an INI file. Every
// copy of the program shares the file without locking: each read looks at the file as it
// is now (so a value another running copy wrote is seen, as in a registry), and each write
// replaces the whole file at once. A value that is missing or does not read as the asked
// type gives the caller's default; a failed write goes unreported.
//
// A file that is there but cannot be read (no permission, not a plain file, a read error,
// not text) is never replaced: reads give the defaults, writes leave it as it is, and the
// listener hears of it once.
class SettingsStore : public IntegerSettings {
 public:
  using ProblemListener = std::function<void(const std::string& message)>;

  explicit SettingsStore(std::string iniFilePath);

  int readInt(const char* section, const char* name, int defaultValue) const override;
  void writeInt(const char* section, const char* name, int value) override;
  std::string readString(const std::string& section, const std::string& name, const std::string& defaultValue) const;
  void writeString(const std::string& section, const std::string& name, const std::string& value);

  const std::string& fileName() const { return path_; }

  // Told, once, the first time the file is found unreadable; none to stop telling.
  void setProblemListener(ProblemListener listener) { listener_ = std::move(listener); }
  // Whether the file was found unreadable at the last look.
  bool unreadable() const { return unreadable_; }

 private:
  std::optional<IniText> load() const;

  std::string path_;
  ProblemListener listener_;
  mutable bool unreadable_ = false;
  mutable bool told_ = false;
};

// The settings file of a program of ours: $XDG_CONFIG_HOME (or ~/.config)/Torbek/NAME.conf.
std::string userSettingsPath(const std::string& programName);

}  // namespace kelmira

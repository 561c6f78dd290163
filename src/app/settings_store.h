#pragma once

#include <QSettings>
#include <QString>

#include "workspace/integer_settings.h"

namespace kelmira {

// The per-user settings: sections of named integer and text values in an INI file,
// ~/.config/Torbek/<executable base name>.conf. Every copy of the program shares the
// file without locking; a value that is missing or does not read as the asked type
// gives the caller's default, and a failed write goes unreported.
class SettingsStore : public IntegerSettings {
 public:
  SettingsStore();
  // A store in the given file; tests keep theirs in a temporary folder.
  explicit SettingsStore(const QString& iniFilePath);
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  int readInt(const char* section, const char* name, int defaultValue) const override;
  void writeInt(const char* section, const char* name, int value) override;
  int readInt(const QString& section, const QString& name, int defaultValue) const;
  QString readString(const QString& section, const QString& name, const QString& defaultValue) const;
  void writeInt(const QString& section, const QString& name, int value);
  void writeString(const QString& section, const QString& name, const QString& value);

  QString fileName() const;

 private:
  QVariant read(const QString& section, const QString& name) const;
  void write(const QString& section, const QString& name, const QVariant& value);

  // Reads sync first so that a value another running copy wrote is seen, as it would
  // be in a registry.
  mutable QSettings settings_;
};

}  // namespace kelmira

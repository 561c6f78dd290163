#include "app/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelmira {

namespace {

QString defaultSettingsPath() {
  // The executable's own name, not applicationName(), which start-up code may set.
  QString application = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (application.isEmpty()) application = QStringLiteral("kelmira");
  // An explicit file rather than QSettings' organisation lookup: that one would name the
  // file .ini and fall back to an organisation-wide file, which the registry never did.
  const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  return config.filePath(QStringLiteral("Torbek/") + application + QStringLiteral(".conf"));
}

QString keyOf(const QString& section, const QString& name) { return section + QLatin1Char('/') + name; }

}  // namespace

SettingsStore::SettingsStore() : settings_(defaultSettingsPath(), QSettings::IniFormat) {}

SettingsStore::SettingsStore(const QString& iniFilePath) : settings_(iniFilePath, QSettings::IniFormat) {}

QString SettingsStore::fileName() const { return settings_.fileName(); }

QVariant SettingsStore::read(const QString& section, const QString& name) const {
  settings_.sync();
  return settings_.value(keyOf(section, name));
}

void SettingsStore::write(const QString& section, const QString& name, const QVariant& value) {
  settings_.setValue(keyOf(section, name), value);
  settings_.sync();
}

int SettingsStore::readInt(const QString& section, const QString& name, int defaultValue) const {
  QVariant value = read(section, name);
  if (!value.isValid() || !value.convert(QMetaType::fromType<QString>())) return defaultValue;
  // QString's own parse, because QVariant's wraps numbers beyond 32 bits instead of failing.
  bool ok = false;
  const int number = value.toString().toInt(&ok);
  return ok ? number : defaultValue;
}

int SettingsStore::readInt(const char* section, const char* name, int defaultValue) const {
  return readInt(QString::fromUtf8(section), QString::fromUtf8(name), defaultValue);
}

void SettingsStore::writeInt(const char* section, const char* name, int value) {
  writeInt(QString::fromUtf8(section), QString::fromUtf8(name), value);
}

QString SettingsStore::readString(const QString& section, const QString& name,
                                  const QString& defaultValue) const {
  QVariant value = read(section, name);
  // An unquoted comma in a hand-edited file reads as a list, which is no text of ours.
  if (!value.isValid() || !value.convert(QMetaType::fromType<QString>())) return defaultValue;
  return value.toString();
}

void SettingsStore::writeInt(const QString& section, const QString& name, int value) {
  write(section, name, value);
}

void SettingsStore::writeString(const QString& section, const QString& name, const QString& value) {
  write(section, name, value);
}

}  // namespace kelmira

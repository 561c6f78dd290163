#include "settings/settings_store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "base/replacement_file.h"
#include "settings/ini_text.h"
#include "settings/settings_keys.h"

namespace kelmira {

namespace {

IniText load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return IniText::parse(text.str());
}

void save(const std::string& path, const IniText& ini) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  ReplacementFile replacement(path);
  if (!replacement.created()) return;
  {
    std::ofstream file(replacement.temporaryPath(), std::ios::binary | std::ios::trunc);
    file << ini.format();
    if (!file.flush()) return;
  }
  replacement.commit();
}

}  // namespace

SettingsStore::SettingsStore(std::string iniFilePath) : path_(std::move(iniFilePath)) {}

int SettingsStore::readInt(const char* section, const char* name, int defaultValue) const {
  return load(path_).integer(section, name).value_or(defaultValue);
}

void SettingsStore::writeInt(const char* section, const char* name, int value) {
  IniText ini = load(path_);
  ini.setInteger(section, name, value);
  save(path_, ini);
}

std::string SettingsStore::readString(const std::string& section, const std::string& name,
                                      const std::string& defaultValue) const {
  return load(path_).text(section, name).value_or(defaultValue);
}

void SettingsStore::writeString(const std::string& section, const std::string& name, const std::string& value) {
  IniText ini = load(path_);
  ini.setText(section, name, value);
  save(path_, ini);
}

std::string userSettingsPath(const std::string& programName) {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (configHome != nullptr && configHome[0] == '/') {
    folder = configHome;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : "") + "/.config";
  }
  return folder + "/" + settings::organisation + "/" + programName + ".conf";
}

}  // namespace kelmira

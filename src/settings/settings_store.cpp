#include "settings/settings_store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "base/replacement_file.h"
#include "settings/settings_keys.h"

namespace kelmira {

namespace {

// A settings file of ours is a few hundred bytes; anything near this is not one.
constexpr std::uintmax_t kLargestSettingsFile = 4 << 20;

// The file's text; none when it is there but cannot be read whole. No file is no text.
std::optional<std::string> readText(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return std::string();
  // A folder, a pipe or a device in its place is not a settings file either.
  if (error || status.type() != std::filesystem::file_type::regular) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  // The size of the file opened: another copy may have renamed a new one over it since.
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0, std::ios::beg);
  if (!file || size < 0 || static_cast<std::uintmax_t>(size) > kLargestSettingsFile) return std::nullopt;
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!file.read(text.data(), size)) return std::nullopt;
  // Text has no NUL bytes: this is some other file in our file's place.
  if (text.find('\0') != std::string::npos) return std::nullopt;
  return text;
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

std::optional<IniText> SettingsStore::load() const {
  const std::optional<std::string> text = readText(path_);
  unreadable_ = !text;
  if (!text) {
    if (!told_ && listener_) {
      told_ = true;
      listener_("The settings file " + path_ +
                " cannot be read. Kelmira runs with its default settings and leaves the file as it is.");
    }
    return std::nullopt;
  }
  return IniText::parse(*text);
}

int SettingsStore::readInt(const char* section, const char* name, int defaultValue) const {
  const std::optional<IniText> ini = load();
  return ini ? ini->integer(section, name).value_or(defaultValue) : defaultValue;
}

void SettingsStore::writeInt(const char* section, const char* name, int value) {
  std::optional<IniText> ini = load();
  if (!ini) return;
  ini->setInteger(section, name, value);
  save(path_, *ini);
}

std::string SettingsStore::readString(const std::string& section, const std::string& name,
                                      const std::string& defaultValue) const {
  const std::optional<IniText> ini = load();
  return ini ? ini->text(section, name).value_or(defaultValue) : defaultValue;
}

void SettingsStore::writeString(const std::string& section, const std::string& name, const std::string& value) {
  std::optional<IniText> ini = load();
  if (!ini) return;
  ini->setText(section, name, value);
  save(path_, *ini);
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

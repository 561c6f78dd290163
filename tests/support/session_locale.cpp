#include "support/session_locale.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kelmira::test {

namespace {

constexpr char kGerman[] = "de_DE.UTF-8";

bool germanWorks() {
  if (std::setlocale(LC_ALL, kGerman) == nullptr) return false;
  const bool comma = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
  std::setlocale(LC_ALL, "C");
  return comma;
}

// Makes the locale in a folder of its own beside the test programs (glibc looks there
// when LOCPATH names it), once for all of them: made aside, then renamed.
bool makeGerman(std::string& why) {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::filesystem::path folder =
      (error ? std::filesystem::temp_directory_path() : program.parent_path()) / "test-locales";
  setenv("LOCPATH", folder.c_str(), 1);
  if (std::filesystem::exists(folder / "de_DE.utf8" / "LC_NUMERIC") && germanWorks()) return true;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path aside = folder / ("making-" + std::to_string(getpid()));
  const std::string command = "localedef --no-archive -i de_DE -f UTF-8 '" + aside.string() + "' > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  std::filesystem::rename(aside, folder / "de_DE.utf8", error);
  std::filesystem::remove_all(aside, error);
  if (germanWorks()) return true;
  unsetenv("LOCPATH");
  why = status != 0 ? "localedef could not make de_DE.UTF-8 (Debian's locales package; scripts/setup.sh test installs it)"
                    : "de_DE.UTF-8 was made but does not load";
  return false;
}

}  // namespace

GermanSession::GermanSession() {
  if (!germanWorks() && !makeGerman(why_)) return;
  if (const char* before = std::getenv("LC_ALL")) before_ = before;
  setenv("LC_ALL", kGerman, 1);
  std::setlocale(LC_ALL, "");
}

GermanSession::~GermanSession() {
  if (!active()) return;
  if (before_) {
    setenv("LC_ALL", before_->c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  std::setlocale(LC_ALL, "C");
}

}  // namespace kelmira::test

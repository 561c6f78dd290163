#include "app/command_line.h"

#include <cstdio>
#include <cstring>

#include "base/simd_target.h"
#include "settings/settings_version.h"

namespace kelmira {

std::string windowProgramHelp() {
  return "Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas.\n"
         "Usage: kelmira [OPTIONS] [FILE]\n"
         "\n"
         "Positionals:\n"
         "  FILE                        A round photograph or mirror video to open, as Open Round does\n"
         "\n"
         "Options:\n"
         "  -h,--help                   Print this help message and exit\n"
         "  --version                   Print the version and the vector instructions in use, and exit\n"
         "  -platform NAME              Qt's platform plugin: xcb, wayland or offscreen (Qt's other options work "
         "too)\n";
}

std::string windowProgramVersion() { return "kelmira " + versionText() + "\n" + simdDescription() + "\n"; }

std::optional<int> answerHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argumentsBeforeFiles(argc, argv); ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(windowProgramHelp().c_str(), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs(windowProgramVersion().c_str(), stdout);
      return 0;
    }
  }
  return std::nullopt;
}

int argumentsBeforeFiles(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return i;
  }
  return argc;
}

WindowArguments readWindowArguments(const std::vector<std::string>& argumentsAfterQt) {
  WindowArguments result;
  bool options = true;
  for (std::size_t i = 1; i < argumentsAfterQt.size(); ++i) {
    const std::string& argument = argumentsAfterQt[i];
    if (options && argument == "--") {
      options = false;
      continue;
    }
    if (options && argument.size() > 1 && argument[0] == '-') {
      result.error = "unknown option " + argument + " (kelmira --help lists them)";
      return result;
    }
    if (!result.file.empty()) {
      result.error = "kelmira opens one photograph at a time; kelmira-cli takes many";
      return result;
    }
    result.file = argument;
  }
  return result;
}

}  // namespace kelmira

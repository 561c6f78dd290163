#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelmira {

// The window program's command line: `kelmira [FILE]`, `kelmira --help`, `kelmira --version`.
// Help and the version are answered before any window or display is needed.
std::string windowProgramHelp();
std::string windowProgramVersion();

// The answer to --help or --version (printed, exit status 0) when asked for before any
// "--"; none otherwise.
std::optional<int> answerHelpOrVersion(int argc, char** argv);

// How many of the arguments Qt may read its options from: those before a "--", after
// which every argument is a file, whatever it looks like.
int argumentsBeforeFiles(int argc, char** argv);

// What is left of the arguments once Qt has taken its own options, in the file system's
// bytes (no QString in between, so any name opens): the photograph to open, or why the
// line cannot be used (an unknown option, more than one file).
struct WindowArguments {
  std::string file;
  std::string error;
};
WindowArguments readWindowArguments(const std::vector<std::string>& argumentsAfterQt);

}  // namespace kelmira

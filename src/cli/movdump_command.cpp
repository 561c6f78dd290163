#include "cli/movdump_command.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <vector>

#include "cli/cli_command.h"
#include "cli/printable_text.h"
#include "movie/mov_dump.h"

namespace kelmira {

int runMovdump(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "kelmira-cli: cannot open %s\n", printable(path).c_str());
    return 1;
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kelmira-cli: %s is too large to read\n", printable(path).c_str());
    return 1;
  }
  if (file.bad()) {
    std::fprintf(stderr, "kelmira-cli: cannot read %s\n", printable(path).c_str());
    return 1;
  }
  std::cout << "file: " << printable(path) << " (" << bytes.size() << " bytes)\n";
  const bool ok = dumpMovie(bytes.data(), bytes.size(), std::cout);
  std::cout.flush();
  return ok ? 0 : 1;
}

std::unique_ptr<CliCommand> addMovdumpCommand(CLI::App& app) {
  return addOneFileCommand(app, "movdump", "Show the atoms of a QuickTime movie, its VR atom containers field by field",
                           "FILE", "The movie file", runMovdump);
}

}  // namespace kelmira

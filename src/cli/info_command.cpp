#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/printable_text.h"
#include "image/dib_image.h"
#include "image/file_type.h"

namespace kelmira {

int runInfo(const std::string& path) {
  const FileType type = identifyFileType(path);
  std::printf("file: %s\ntype: %d (%s)\n", printable(path).c_str(), static_cast<int>(type), fileTypeName(type));
  DibImage image;
  const ImageErrorCode code = image.loadFromFile(path, type);
  if (code != ImageError::None) {
    std::printf("error: %s\n", errorText(code).c_str());
    return 1;
  }
  std::printf("width: %d\nheight: %d\n", image.width(), image.height());
  return 0;
}

std::unique_ptr<CliCommand> addInfoCommand(CLI::App& app) {
  return addOneFileCommand(app, "info", "Show an image file's type and size", "FILE", "The image file", runInfo);
}

}  // namespace kelmira

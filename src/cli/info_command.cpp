#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/printable_text.h"
#include "image/dib_image.h"
#include "image/file_type.h"

namespace kelmira {

int runInfo(const std::string& path) {
  const FileType type = identifyFileType(path);
  std::printf("file: %s\ntype: %d (%s)\n", printable(path).c_str(), static_cast<int>(type), fileTypeName(type));
  DibImage image;
  const ImageErrorCode code = image.loadFromFile(path);
  if (code != ImageError::None) {
    std::printf("error: %s\n", errorText(code).c_str());
    return 1;
  }
  std::printf("width: %d\nheight: %d\n", image.width(), image.height());
  return 0;
}

}  // namespace kelmira

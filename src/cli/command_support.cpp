#include "cli/command_support.h"

#include <cstdio>

#include "cli/terminal_progress.h"
#include "image/dib_image.h"

namespace kelmira {

bool loadImage(DibImage& image, const std::string& path, TerminalProgress& progress) {
  progress.setLabel("Reading");
  const ImageErrorCode code = image.loadFromFile(path, &progress);
  if (code == ImageError::None && image.hasPixels()) return true;
  const bool recognised = code == ImageError::FileOpen || identifyFileType(path) != FileTypeNone;
  std::fprintf(stderr, "kelmira-cli: cannot read %s: %s\n", path.c_str(),
               recognised ? errorText(code).c_str() : "not a picture in a format Kelmira reads");
  return false;
}

bool saveImage(const DibImage& image, const std::string& path, FileType type, TerminalProgress& progress) {
  progress.setLabel("Writing");
  const ImageErrorCode code = image.saveToFile(path, type, &progress);
  if (code == ImageError::None) return true;
  std::fprintf(stderr, "kelmira-cli: cannot write %s: %s\n", path.c_str(), errorText(code).c_str());
  return false;
}

int reportUnsupportedOutput(const std::string& path) {
  std::fprintf(stderr, "kelmira-cli: %s: the output must end in .bmp, .jpg, .jpeg, .tif or .tiff\n", path.c_str());
  return 1;
}

}  // namespace kelmira

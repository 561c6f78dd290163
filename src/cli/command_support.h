#pragma once

#include <string>

#include "image/file_type.h"

namespace kelmira {

class DibImage;
class TerminalProgress;

// Loading and saving with a progress bar and a one-line error report on failure.
bool loadImage(DibImage& image, const std::string& path, TerminalProgress& progress);
bool saveImage(const DibImage& image, const std::string& path, FileType type, TerminalProgress& progress);
int reportUnsupportedOutput(const std::string& path);

}  // namespace kelmira

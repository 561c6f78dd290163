#pragma once

#include <cstdint>
#include <string>

#include "image/pixel_block.h"

namespace kelmira {

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Renders a Windows or enhanced metafile. There is no metafile renderer on this
// platform: a file that exists gives ImageError::BadMetafile and no block, a missing
// one FileOpen, and an abort at the loading stage Aborted. The size (0.01 mm) and background are what a
// renderer would use for metafiles without a frame of their own.
PixelBlock readMetafile(const std::string& path, std::int32_t defaultWidth, std::int32_t defaultHeight,
                        RgbColour background, std::int32_t& width, std::int32_t& height);

}  // namespace kelmira

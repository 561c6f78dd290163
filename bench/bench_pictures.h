#pragma once

#include <cstdint>

#include "image/dib_image.h"

namespace kelmira::bench {

// Gradients and a checker of `block`-pixel squares with noise on top, so that codecs and
// filters work as hard as on a photograph.
inline void paintNoisyPanorama(DibImage& image, int width, int height, int block, std::uint32_t seed) {
  image.allocate(width, height);
  std::uint8_t* p = image.beginAccess();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        seed = seed * 1103515245u + 12345u;
        const int base[3] = {x * 255 / width, y * 255 / height, (x / block + y / block) % 2 ? 185 : 60};
        const int v = base[c] + static_cast<int>((seed >> 16) & 15) - 8;
        *p++ = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
  image.endAccess();
}

}  // namespace kelmira::bench

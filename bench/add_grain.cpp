// Adds sensor-like grain to a picture, so that codecs work on it as hard as on a camera's
// photograph: every byte moves by up to AMOUNT either way, the same for every run.
// Usage: kelmira-add-grain IN OUT.bmp [AMOUNT]
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "image/dib_image.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: kelmira-add-grain IN OUT.bmp [AMOUNT]\n");
    return 2;
  }
  const int amount = argc > 3 ? std::atoi(argv[3]) : 12;
  kelmira::DibImage picture;
  if (picture.loadFromFile(argv[1]) != kelmira::ImageError::None) {
    std::fprintf(stderr, "kelmira-add-grain: cannot read %s\n", argv[1]);
    return 1;
  }
  std::uint8_t* p = picture.beginAccess();
  const std::size_t bytes = std::size_t{3} * picture.width() * picture.height();
  std::uint32_t seed = 2024;
  for (std::size_t i = 0; i < bytes; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const int v = p[i] + static_cast<int>((seed >> 16) % (2 * amount + 1)) - amount;
    p[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  picture.endAccess();
  if (picture.saveToFile(argv[2], kelmira::FileTypeBmp) != kelmira::ImageError::None) {
    std::fprintf(stderr, "kelmira-add-grain: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}

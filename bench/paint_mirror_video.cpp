// Round frames of a mirror video for the video benchmark, written to standard output as
// raw 24-bit RGB: a textured scene through the mirror model, its ring centred and half the
// frame high, the scene turning a little each frame as if the camera turned.
// Usage: kelmira-paint-mirror-video WIDTH HEIGHT FRAMES
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "image/dib_image.h"
#include "support/synthetic_ring.h"
#include "unwarp/ring_simulator.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kelmira-paint-mirror-video WIDTH HEIGHT FRAMES\n");
    return 2;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]), frames = std::atoi(argv[3]);
  if (width < 16 || height < 16 || frames < 1) return 2;
  kelmira::DibImage scene;
  const int columns = 4 * height, rows = height / 2;
  kelmira::test::paintTexturedPanorama(scene, columns, rows, 11);
  std::vector<std::uint8_t> turned(std::size_t(columns) * rows * 3);
  std::vector<std::uint8_t> round(std::size_t(width) * height * 3);
  for (int f = 0; f < frames; ++f) {
    // The scene turns by 0.3 degrees a frame.
    const int shift = static_cast<int>(f * 0.3 / 360 * columns) % columns;
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < columns; ++x) {
        const std::uint8_t* from = scene.pixels() + (std::size_t(y) * columns + (x + shift) % columns) * 3;
        std::copy_n(from, 3, &turned[(std::size_t(y) * columns + x) * 3]);
      }
    }
    const kelmira::SourceView source{turned.data(), std::uint32_t(columns), std::uint32_t(rows), 3,
                                     std::size_t(columns) * 3};
    const kelmira::ImageView target{round.data(), std::uint32_t(width), std::uint32_t(height), 3,
                                    std::size_t(width) * 3};
    kelmira::simulateRing(source, target, width / 2.0, height / 2.0);
    if (std::fwrite(round.data(), 1, round.size(), stdout) != round.size()) return 1;
  }
  return 0;
}

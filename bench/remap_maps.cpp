// The maps FFmpeg's remap filter takes for the same frames kelmira-cli video makes: for each
// pixel of the equirectangular frame, the nearest source pixel's column (xmap) and row
// (ymap) as 16-bit PGM pictures, the same geometry (ringFrameMap) the video uses; pixels
// that see nothing point past the frame, which the filter fills with black.
// Usage: kelmira-remap-maps FRAME_WIDTH FRAME_HEIGHT CENTRE_X CENTRE_Y RING_RADIUS WIDTH XMAP YMAP
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "unwarp/unwarp_ring.h"
#include "video/ring_frame_map.h"

namespace {

bool writePgm(const char* path, std::uint32_t width, std::uint32_t height, const std::vector<std::uint16_t>& values) {
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  std::fprintf(out, "P5\n%u %u\n65535\n", width, height);
  std::vector<std::uint8_t> bytes(values.size() * 2);
  for (std::size_t i = 0; i < values.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(values[i] >> 8);  // PGM's samples are big-endian
    bytes[2 * i + 1] = static_cast<std::uint8_t>(values[i]);
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr, "usage: kelmira-remap-maps FRAME_WIDTH FRAME_HEIGHT CENTRE_X CENTRE_Y RING_RADIUS WIDTH XMAP YMAP\n");
    return 2;
  }
  const auto frameWidth = static_cast<std::uint32_t>(std::atoi(argv[1]));
  const auto frameHeight = static_cast<std::uint32_t>(std::atoi(argv[2]));
  const kelmira::VideoRing ring{std::atof(argv[3]), std::atof(argv[4]), kelmira::ringScaleForRadius(std::atof(argv[5])),
                                false};
  const auto width = static_cast<std::uint32_t>(std::atoi(argv[6]));
  const kelmira::FrameMap map = kelmira::ringFrameMap(ring, width, frameWidth, frameHeight);
  if (map.empty()) return 1;
  std::vector<std::uint16_t> xs(std::size_t(width) * map.height(), 65535);
  std::vector<std::uint16_t> ys(xs.size(), 65535);
  for (std::uint32_t row = map.bandTop(); row < map.bandTop() + map.bandRows(); ++row) {
    for (std::uint32_t j = 0; j < width; ++j) {
      const float x = map.xRow(row)[j], y = map.yRow(row)[j];
      if (std::isnan(x) || std::isnan(y)) continue;
      xs[std::size_t(row) * width + j] = static_cast<std::uint16_t>(std::lround(x));
      ys[std::size_t(row) * width + j] = static_cast<std::uint16_t>(std::lround(y));
    }
  }
  return writePgm(argv[7], width, map.height(), xs) && writePgm(argv[8], width, map.height(), ys) ? 0 : 1;
}

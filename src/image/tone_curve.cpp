#include "image/tone_curve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "image/byte_table.h"
#include "image/layer_state.h"

namespace kelmira {

namespace {

double clampUnit(double value) { return std::isnan(value) ? 0.0 : std::clamp(value, -1.0, 1.0); }

}  // namespace

std::array<std::uint8_t, 256> toneTable(double brightness, double contrast) {
  const double b = clampUnit(brightness);
  const double c = clampUnit(contrast);

  // Five control points: the ends, the mid-grey pivot and one point halfway to each end.
  double px[5];
  double py[5];
  if (c >= 0) {
    px[0] = 127 * c;
    py[0] = 0;
    px[4] = 255 - 127 * c;
    py[4] = 255;
  } else {
    px[0] = 0;
    py[0] = -127 * c;
    px[4] = 255;
    py[4] = 255 + 127 * c;
  }
  px[2] = 128;
  py[2] = 128;
  const double flatness = 1 - std::fabs(c);
  px[1] = (px[0] + 128) / 2;
  py[1] = py[0] + flatness * (128 - py[0]) / 2;
  px[3] = (px[4] + 128) / 2;
  py[3] = py[4] - flatness * (py[4] - 128) / 2;
  for (int p = 0; p < 5; ++p) {
    px[p] = std::clamp(px[p], 0.0, 255.0);
    py[p] = std::clamp(py[p] + 255 * b, 0.0, 255.0);
  }

  double curve[256];
  std::fill(curve, curve + 129, 0.0);
  std::fill(curve + 129, curve + 256, 255.0);
  for (int s = 0; s < 4; ++s) {
    const double span = px[s + 1] - px[s];
    // Only a contrast of 1 (after clamping) makes a segment zero wide (the upper points
    // meet at 128). Such a segment keeps its starting level instead of dividing by
    // zero; at contrast 1 that turns the curve into a clean threshold at 128.
    const double slope = span > 0 ? (py[s + 1] - py[s]) / span : 0.0;
    const auto start = static_cast<int>(px[s]);
    const int end = s == 3 ? 255 : std::min(start + static_cast<int>(span), 255);
    for (int j = start; j <= end; ++j) {
      curve[j] = std::clamp(py[s] + (j - start) * slope, 0.0, 255.0);
    }
  }

  std::array<std::uint8_t, 256> table{};
  for (int j = 0; j < 256; ++j) table[j] = static_cast<std::uint8_t>(static_cast<int>(curve[j]));
  return table;
}

bool adjustBrightnessContrast(std::uint8_t* pixels, std::int32_t width, std::int32_t height, double brightness,
                              double contrast) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0 || std::isnan(brightness) || std::isnan(contrast)) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  // The table pass runs as a nested operation, so it reports no rows of its own.
  if (!applyChannelTable(pixels, width, height, 7, toneTable(brightness, contrast))) {
    call.fail(lastError());
    return false;
  }
  return true;
}

bool applyChannelTable(std::uint8_t* pixels, std::int32_t width, std::int32_t height, unsigned channelMask,
                       const std::array<std::uint8_t, 256>& table) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  // Channels left out map through the identity, so every pixel takes the same path.
  std::array<std::uint8_t, 256> identity;
  for (int j = 0; j < 256; ++j) identity[j] = static_cast<std::uint8_t>(j);
  const std::uint8_t* red = (channelMask & 1u) != 0 ? table.data() : identity.data();
  const std::uint8_t* green = (channelMask & 2u) != 0 ? table.data() : identity.data();
  const std::uint8_t* blue = (channelMask & 4u) != 0 ? table.data() : identity.data();

  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  if (red == green && green == blue) {
    for (std::int32_t y = 0; y < height; ++y) {
      image_detail::mapBytes(pixels + static_cast<std::size_t>(y) * stride, stride, red);
      if (!call.progress(y, height)) return false;
    }
    return true;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* p = pixels + static_cast<std::size_t>(y) * stride;
    std::uint8_t* const end = p + stride;
    for (; p != end; p += 3) {
      p[0] = red[p[0]];
      p[1] = green[p[1]];
      p[2] = blue[p[2]];
    }
    if (!call.progress(y, height)) return false;
  }
  return true;
}

}  // namespace kelmira

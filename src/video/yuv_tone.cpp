#include "video/yuv_tone.h"

#include <algorithm>
#include <cmath>

#include "image/tone_curve.h"

namespace kelmira {

YuvTone::YuvTone(double brightness, double contrast, bool fullRange) {
  const std::array<std::uint8_t, 256> curve = toneTable(brightness, contrast);
  identity_ = true;
  for (int v = 0; v < 256; ++v) identity_ = identity_ && curve[v] == v;
  // Limited-range luma runs from 16 to 235.
  const double low = fullRange ? 0 : 16;
  const double span = fullRange ? 255 : 219;
  for (int v = 0; v < 256; ++v) {
    const double full = std::clamp((v - low) * 255 / span, 0.0, 255.0);
    const auto index = static_cast<std::size_t>(std::lround(full));
    luma_[v] = static_cast<std::uint8_t>(std::clamp(std::lround(curve[index] * span / 255 + low), 0L, 255L));
  }
  const double slope = (curve[160] - curve[96]) / 64.0;
  for (int v = 0; v < 256; ++v) {
    chroma_[v] = static_cast<std::uint8_t>(std::clamp(std::lround(128 + (v - 128) * slope), 0L, 255L));
  }
}

}  // namespace kelmira

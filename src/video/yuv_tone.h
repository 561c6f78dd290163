#pragma once

#include <array>
#include <cstdint>

namespace kelmira {

// The window's brightness and contrast on a video's frames: the pictures' tone curve
// (toneTable) on the luma, read in full range, and the chroma's distance from neutral
// scaled by the curve's slope at mid-grey, so colours keep their hue as contrast changes.
class YuvTone {
 public:
  YuvTone() = default;
  YuvTone(double brightness, double contrast, bool fullRange);
  bool identity() const { return identity_; }
  void applyLuma(std::uint8_t* row, std::size_t count) const { apply(luma_, row, count); }
  void applyChroma(std::uint8_t* row, std::size_t count) const { apply(chroma_, row, count); }

 private:
  static void apply(const std::array<std::uint8_t, 256>& table, std::uint8_t* row, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) row[i] = table[row[i]];
  }
  bool identity_ = true;
  std::array<std::uint8_t, 256> luma_{};
  std::array<std::uint8_t, 256> chroma_{};
};

}  // namespace kelmira

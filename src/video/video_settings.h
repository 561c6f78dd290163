#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelmira {

// How a 360-degree video is encoded and which part of the input it covers.
struct VideoSettings {
  std::uint32_t width = 0;  // of the equirectangular frame, height width / 2; 0: from the ring's size
  int crf = 20;             // x264's constant rate factor, 0 to 51 (lower is better)
  std::string preset = "medium";
  double start = 0;      // seconds into the input
  double duration = 0;   // seconds from there; 0: to the end
};

inline constexpr std::uint32_t kMaxVideoWidth = 4096;
inline constexpr std::uint32_t kVideoWidthStep = 16;
inline constexpr int kMaxCrf = 51;

// x264's presets, fastest first.
inline constexpr std::array<std::string_view, 10> kX264Presets = {
    "ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow", "placebo"};

inline bool isX264Preset(std::string_view name) {
  for (const std::string_view preset : kX264Presets) {
    if (preset == name) return true;
  }
  return false;
}

// A width the video can be given: a multiple of 16 up to 4096.
inline bool isVideoWidth(std::uint32_t width) {
  return width >= kVideoWidthStep && width <= kMaxVideoWidth && width % kVideoWidthStep == 0;
}

}  // namespace kelmira

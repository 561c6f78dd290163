#pragma once

#include <cstdint>

#include "movie/quicktime/qt_types.h"
#include "settings/settings_keys.h"

namespace kelmira {

// How a panorama movie is compressed and viewed.
struct MovieSettings {
  OSType codecType = fourCC("jpeg");    // 'SVQ1', 'cvid' or 'jpeg'
  std::uint32_t codecQuality = 0x200;   // 0, 0x100, 0x200, 0x300, 0x3FF or 0x400
  std::int32_t viewWidth = settings::defaultMovieWidth;  // pixels of the VR view
  std::int32_t viewHeight = settings::defaultMovieHeight;
  std::uint32_t correctionMode = 0;     // 0 none, 1 partial, 2 full
};

// The track header keeps the view size as 16.16 fixed point, so 32767 is the largest.
inline constexpr std::int32_t kMaxMovieViewSize = 32767;
inline constexpr bool isMovieViewSizeAllowed(std::int64_t pixels) { return pixels >= 1 && pixels <= kMaxMovieViewSize; }
inline constexpr char kMovieViewSizeRule[] = "The movie width and height must be whole numbers from 1 to 32767.";

}  // namespace kelmira

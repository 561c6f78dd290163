#pragma once

#include <cstdint>

namespace kelmira {

class DibImage;
class ProgressSink;

// A panorama movie holds the panorama turned a quarter turn and cut into 24 tiles of
// equal height, each side of a tile a multiple of 4 pixels: so the panorama's width is a
// multiple of 96 and its height a multiple of 4.
inline constexpr std::int32_t kMovieTileCount = 24;
inline constexpr std::int32_t kMovieTileSideStep = 4;
inline constexpr std::int32_t kMovieWidthStep = kMovieTileCount * kMovieTileSideStep;
inline constexpr std::int32_t kMovieHeightStep = kMovieTileSideStep;

// Trims `picture`, whose size is width x height, to the size a movie takes: the width cut
// to a multiple of 96 with the height scaled alike, the height cut to a multiple of 4.
// A picture of that size already is resampled only when `force` is set. Always 1; a
// resample that fails leaves the picture as it was.
int fitToMovieSize(DibImage& picture, std::int32_t width, std::int32_t height, bool force,
                   ProgressSink* progress = nullptr);

}  // namespace kelmira

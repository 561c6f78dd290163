#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "movie/quicktime/image_compression.h"
#include "movie/quicktime/qt_types.h"
#include "movie/rules/movie_size.h"
#include "settings/settings_keys.h"

namespace kelmira {

// The facts of a panorama movie: its size rules in movie/rules/movie_size.h (which the
// workspace reads too), its compression, view and correction choices here.

// How the viewer straightens the panorama: QuickTime VR's correction modes.
inline constexpr std::uint32_t kNoCorrection = 0;
inline constexpr std::uint32_t kPartialCorrection = 1;
inline constexpr std::uint32_t kFullCorrection = 2;

// How a panorama movie is compressed and viewed.
struct MovieSettings {
  CodecType codecType = kJPEGCodecType;  // kJPEGCodecType, kCinepakCodecType or kSorensonCodecType
  CodecQ codecQuality = codecNormalQuality;  // one of kMovieQualities
  std::int32_t viewWidth = settings::defaultMovieWidth;  // pixels of the VR view
  std::int32_t viewHeight = settings::defaultMovieHeight;
  std::uint32_t correctionMode = kNoCorrection;  // one of kMovieCorrections
};

// A choice a movie offers, by the name kelmira-cli gives it.
template <typename Code>
struct MovieChoice {
  std::string_view name;
  Code code;
};

inline constexpr MovieChoice<CodecType> kMovieCodecs[] = {
    {"jpeg", kJPEGCodecType}, {"cinepak", kCinepakCodecType}, {"sorenson", kSorensonCodecType}};
inline constexpr MovieChoice<CodecQ> kMovieQualities[] = {
    {"minimum", codecMinQuality}, {"low", codecLowQuality},     {"normal", codecNormalQuality},
    {"high", codecHighQuality},   {"maximum", codecMaxQuality}, {"lossless", codecLosslessQuality}};
inline constexpr MovieChoice<std::uint32_t> kMovieCorrections[] = {
    {"none", kNoCorrection}, {"partial", kPartialCorrection}, {"full", kFullCorrection}};

// The code of the choice called `name`, or nothing.
template <typename Code, std::size_t N>
constexpr std::optional<Code> movieChoice(const MovieChoice<Code> (&choices)[N], std::string_view name) {
  for (const MovieChoice<Code>& choice : choices) {
    if (choice.name == name) return choice.code;
  }
  return std::nullopt;
}

// The track header keeps the view size as 16.16 fixed point, so 32767 is the largest.
inline constexpr std::int32_t kMaxMovieViewSize = 32767;
inline constexpr bool isMovieViewSizeAllowed(std::int64_t pixels) { return pixels >= 1 && pixels <= kMaxMovieViewSize; }
inline constexpr char kMovieViewSizeRule[] = "The movie width and height must be whole numbers from 1 to 32767.";

}  // namespace kelmira

#pragma once

#include <array>
#include <cstdint>

namespace kelmira {

// The brightness/contrast tone curve as a byte table. Both values are clamped to -1..1
// (a NaN counts as 0); brightness 0 and contrast 0 give the identity.
std::array<std::uint8_t, 256> toneTable(double brightness, double contrast);

// Applies toneTable(brightness, contrast) to all three channels in place. ImageError::BadParameter for a
// NaN value.
bool adjustBrightnessContrast(std::uint8_t* pixels, std::int32_t width, std::int32_t height, double brightness,
                              double contrast);

// Maps the channels chosen by channelMask (bit 0 red, bit 1 green, bit 2 blue) of every
// pixel through table, in place.
bool applyChannelTable(std::uint8_t* pixels, std::int32_t width, std::int32_t height, unsigned channelMask,
                       const std::array<std::uint8_t, 256>& table);

}  // namespace kelmira

#pragma once

#include <cstdint>

namespace kelmira {

// The movie toolbox speaks QuickTime's vocabulary: four-character codes, 16.16 fixed
// point, 16-bit result codes (noErr for success) and rectangles of 16-bit coordinates.
using OSErr = std::int16_t;
using OSType = std::uint32_t;
using Fixed = std::int32_t;
using TimeValue = std::int32_t;
using TimeScale = std::int32_t;

constexpr OSType fourCC(const char (&code)[5]) {
  return (OSType(std::uint8_t(code[0])) << 24) | (OSType(std::uint8_t(code[1])) << 16) |
         (OSType(std::uint8_t(code[2])) << 8) | OSType(std::uint8_t(code[3]));
}

constexpr Fixed fixedFromInt(int value) { return static_cast<Fixed>(static_cast<std::uint32_t>(value) << 16); }

struct Rect {
  std::int16_t top = 0;
  std::int16_t left = 0;
  std::int16_t bottom = 0;
  std::int16_t right = 0;
};

// Result codes, with QuickTime's numbers.
inline constexpr OSErr noErr = 0;
inline constexpr OSErr ioErr = -36;
inline constexpr OSErr eofErr = -39;
inline constexpr OSErr fnfErr = -43;
inline constexpr OSErr dupFNErr = -48;
inline constexpr OSErr paramErr = -50;
inline constexpr OSErr memFullErr = -108;
inline constexpr OSErr couldNotResolveDataRef = -2000;
inline constexpr OSErr badImageDescription = -2001;
inline constexpr OSErr cantFindHandler = -2003;
inline constexpr OSErr invalidMedia = -2008;
inline constexpr OSErr invalidTrack = -2009;
inline constexpr OSErr invalidMovie = -2010;
inline constexpr OSErr invalidSampleTable = -2011;
inline constexpr OSErr invalidDataRef = -2012;
inline constexpr OSErr invalidDuration = -2014;
inline constexpr OSErr invalidTime = -2015;
inline constexpr OSErr badDataRefIndex = -2050;
inline constexpr OSErr qtmlLoadErr = -2093;           // the runtime could not be loaded
inline constexpr OSErr qtmlEntryNotFoundErr = -2094;  // an entry point of the runtime is missing
inline constexpr OSErr qtmlUninitialized = -2095;     // the runtime is not initialised
inline constexpr OSErr cannotFindAtomErr = -2101;
inline constexpr OSErr duplicateAtomTypeAndIDErr = -2103;
inline constexpr OSErr invalidAtomErr = -2104;
inline constexpr OSErr invalidAtomContainerErr = -2105;
inline constexpr OSErr invalidAtomTypeErr = -2106;
inline constexpr OSErr codecErr = -8960;
inline constexpr OSErr noCodecErr = -8961;
inline constexpr OSErr codecSizeErr = -8963;
inline constexpr OSErr codecBadDataErr = -8969;

}  // namespace kelmira

#pragma once

#include <cstdint>
#include <string>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// Bytes of a video sample description without extensions.
inline constexpr std::int32_t kImageDescriptionBytes = 86;

// QuickTime's description of one compressed image, as fCompressImage fills it and as the
// movie's sample description table stores it.
struct ImageDescription {
  std::int32_t idSize = kImageDescriptionBytes;
  OSType cType = 0;
  std::int16_t dataRefIndex = 1;
  std::int16_t version = 0;
  std::int16_t revisionLevel = 0;
  OSType vendor = fourCC("appl");
  std::uint32_t temporalQuality = 0;
  std::uint32_t spatialQuality = 0;
  std::int16_t width = 0;
  std::int16_t height = 0;
  Fixed hRes = fixedFromInt(72);
  Fixed vRes = fixedFromInt(72);
  std::int32_t dataSize = 0;
  std::int16_t frameCount = 1;
  // Stored as a Pascal string in 32 bytes, so at most 31 characters are kept.
  std::string name;
  std::int16_t depth = 24;
  std::int16_t clutID = -1;

  // The big-endian sample description entry, size and format first.
  ByteBuffer toSampleDescription() const;
};

}  // namespace kelmira

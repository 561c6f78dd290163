#pragma once

#include <cstddef>
#include <string>

namespace kelmira {

// What a written picture carries besides its pixels, each block ready to embed and empty
// when absent. The codecs place what their format holds (a JPEG all four; a TIFF its
// colour profile, then the rest through its row's finishing step); BMP holds none.
struct EmbeddedMetadata {
  std::string exif;        // a TIFF structure, as a JPEG's APP1 Exif segment holds it
  std::string xmp;         // an XMP packet
  std::string iptc;        // IPTC-IIM datasets
  std::string iccProfile;  // a colour profile, whole

  bool empty() const { return exif.empty() && xmp.empty() && iptc.empty() && iccProfile.empty(); }
  static const EmbeddedMetadata& none() {
    static const EmbeddedMetadata nothing;
    return nothing;
  }
};

// The most a JPEG segment can hold of each block once its header is counted; larger
// blocks fail a JPEG's save with ImageError::BadParameter.
inline constexpr std::size_t kMaxJpegExifBytes = 65533 - 6;   // after "Exif\0\0"
inline constexpr std::size_t kMaxJpegXmpBytes = 65000;
inline constexpr std::size_t kMaxJpegIptcBytes = 65533 - 27;  // one Photoshop resource, padded to even

}  // namespace kelmira

#include "image/tiff_metadata.h"

#include <exception>

#include <exiv2/exiv2.hpp>

#include "image/exiv2_session.h"

namespace kelmira {

namespace {

constexpr std::uint16_t kSoftwareTag = 0x0131;

// EXIF fields of compressed pictures only; an uncompressed TIFF states its size itself.
bool onlyForCompressed(const std::string& key) {
  return key == "Exif.Photo.ComponentsConfiguration" || key == "Exif.Photo.CompressedBitsPerPixel" ||
         key == "Exif.Photo.PixelXDimension" || key == "Exif.Photo.PixelYDimension";
}

const Exiv2::byte* bytesOf(const std::string& block) { return reinterpret_cast<const Exiv2::byte*>(block.data()); }

void mergeExif(Exiv2::ExifData& file, const std::string& block) {
  Exiv2::ExifData ours;
  Exiv2::ExifParser::decode(ours, bytesOf(block), static_cast<std::uint32_t>(block.size()));
  for (const Exiv2::Exifdatum& datum : ours) {
    const Exiv2::ExifKey key(datum.key());
    // The first directory describes this file's picture: what libtiff wrote there stays.
    if (datum.groupName() == "Image" && datum.tag() != kSoftwareTag && file.findKey(key) != file.end()) continue;
    if (onlyForCompressed(datum.key())) continue;
    file[datum.key()].setValue(&datum.value());
  }
}

}  // namespace

ImageErrorCode embedTiffMetadata(const std::string& path, const EmbeddedMetadata& metadata) {
  if (metadata.exif.empty() && metadata.iptc.empty() && metadata.xmp.empty()) return ImageError::None;
  prepareExiv2();
  try {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    if (!metadata.exif.empty()) mergeExif(image->exifData(), metadata.exif);
    if (!metadata.iptc.empty()) {
      Exiv2::IptcData iptc;
      if (Exiv2::IptcParser::decode(iptc, bytesOf(metadata.iptc), static_cast<std::uint32_t>(metadata.iptc.size())) ==
          0) {
        image->setIptcData(iptc);
      }
    }
    if (!metadata.xmp.empty()) {
      Exiv2::XmpData xmp;
      if (Exiv2::XmpParser::decode(xmp, metadata.xmp) == 0) image->setXmpData(xmp);
    }
    image->writeMetadata();
  } catch (const std::exception&) {
    return ImageError::TiffInternal;
  }
  return ImageError::None;
}

}  // namespace kelmira

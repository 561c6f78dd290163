#include "metadata/exif_fields.h"

#include <algorithm>
#include <cstdint>

namespace kelmira {

namespace {

// The fields of the first directory that describe a file's own picture, by tag.
constexpr std::uint16_t kPictureTags[] = {
    0x00FE,  // NewSubfileType
    0x00FF,  // SubfileType
    0x0100,  // ImageWidth
    0x0101,  // ImageLength
    0x0102,  // BitsPerSample
    0x0103,  // Compression
    0x0106,  // PhotometricInterpretation
    0x010A,  // FillOrder
    0x0111,  // StripOffsets
    0x0115,  // SamplesPerPixel
    0x0116,  // RowsPerStrip
    0x0117,  // StripByteCounts
    0x011C,  // PlanarConfiguration
    0x0129,  // PageNumber
    0x013D,  // Predictor
    0x0142,  // TileWidth
    0x0143,  // TileLength
    0x0144,  // TileOffsets
    0x0145,  // TileByteCounts
    0x014A,  // SubIFDs
    0x0152,  // ExtraSamples
    0x0153,  // SampleFormat
    0x015B,  // JPEGTables
    0x0201,  // JPEGInterchangeFormat
    0x0202,  // JPEGInterchangeFormatLength
    0x0212,  // YCbCrSubSampling
    0x02BC,  // XMLPacket: the XMP, carried apart
    0x83BB,  // IPTCNAA: the IPTC, carried apart
    0x8649,  // ImageResources: Photoshop's, of the old file
    0x8773,  // InterColorProfile: the colour profile, carried apart
};

bool isPictureField(const Exiv2::Exifdatum& datum) {
  if (datum.groupName() != "Image") return false;
  return std::find(std::begin(kPictureTags), std::end(kPictureTags), datum.tag()) != std::end(kPictureTags);
}

// The directories that belong to the moment, not to the file: the first, the EXIF and GPS
// directories with interoperability, and a maker's notes. The rest are the thumbnail and
// further pictures of the file.
bool isOtherPicture(const Exiv2::Exifdatum& datum) {
  const std::string group = datum.groupName();
  return group != "Image" && group != "Photo" && group != "GPSInfo" && group != "Iop" && group != "MakerNote" &&
         !Exiv2::ExifTags::isMakerGroup(group);
}

// First-directory fields any file may have without saying anything of a photograph.
constexpr std::uint16_t kAnyFileTags[] = {
    0x0112,  // Orientation, read apart and set anew
    0x011A,  // XResolution
    0x011B,  // YResolution
    0x0128,  // ResolutionUnit
    0x0131,  // Software, set anew
    0x013E,  // WhitePoint
    0x013F,  // PrimaryChromaticities
    0x0211,  // YCbCrCoefficients
    0x0213,  // YCbCrPositioning
    0x0214,  // ReferenceBlackWhite
    0x8769,  // ExifTag: the EXIF directory, counted by its own fields
    0x8825,  // GPSTag: the GPS directory, the same
};

}  // namespace

bool saysMoreThanAnyFile(const Exiv2::ExifData& exif) {
  return std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) {
    return datum.groupName() != "Image" ||
           std::find(std::begin(kAnyFileTags), std::end(kAnyFileTags), datum.tag()) == std::end(kAnyFileTags);
  });
}

void dropPictureFields(Exiv2::ExifData& exif) {
  for (auto datum = exif.begin(); datum != exif.end();) {
    datum = isPictureField(*datum) || isOtherPicture(*datum) ? exif.erase(datum) : std::next(datum);
  }
}

std::string exifBlock(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order, exif);
  return {blob.begin(), blob.end()};
}

const Exiv2::byte* bytesOf(const std::string& block) { return reinterpret_cast<const Exiv2::byte*>(block.data()); }

}  // namespace kelmira

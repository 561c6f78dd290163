#pragma once

// Exiv2's types: only the metadata folder's own sources include this.
#include <string>

#include <exiv2/exiv2.hpp>

namespace kelmira {

// Leaves only what the photograph says of the moment it was taken: drops the fields that
// describe how its own file stored the picture (size, strips, tiles, samples, compression),
// the blocks carried apart (colour profile, XMP, IPTC, Photoshop's resources), the
// thumbnail and every further picture of the file.
void dropPictureFields(Exiv2::ExifData& exif);

// Whether anything is left to carry once the fields every result sets anew (orientation,
// software) and those every TIFF has (resolution, its colours' description) are set aside:
// a TIFF says this much of itself without any metadata at all.
bool saysMoreThanAnyFile(const Exiv2::ExifData& exif);

// An EXIF block as bytes: the TIFF structure of a JPEG's APP1 Exif segment.
std::string exifBlock(const Exiv2::ExifData& exif, Exiv2::ByteOrder order);

const Exiv2::byte* bytesOf(const std::string& block);

}  // namespace kelmira

#include "metadata/result_metadata.h"

#include <exception>

#include "image/exiv2_session.h"
#include "metadata/exif_fields.h"
#include "settings/settings_version.h"

namespace kelmira {

namespace {

void eraseWhere(Exiv2::ExifData& exif, bool (*drop)(const Exiv2::Exifdatum&)) {
  for (auto datum = exif.begin(); datum != exif.end();) datum = drop(*datum) ? exif.erase(datum) : std::next(datum);
}

bool isMakerNote(const Exiv2::Exifdatum& datum) {
  return datum.key() == "Exif.Photo.MakerNote" || datum.groupName() == "MakerNote" ||
         Exiv2::ExifTags::isMakerGroup(datum.groupName());
}

std::string resultExif(const std::string& block, std::int32_t width, std::int32_t height) {
  if (block.empty()) return {};
  Exiv2::ExifData exif;
  const Exiv2::ByteOrder order =
      Exiv2::ExifParser::decode(exif, bytesOf(block), static_cast<std::uint32_t>(block.size()));
  dropPictureFields(exif);
  if (exif.empty()) return {};
  exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
  exif["Exif.Image.Software"] = resultSoftware();
  exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(width);
  exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(height);
  std::string encoded = exifBlock(exif, order);
  if (encoded.size() > kMaxJpegExifBytes) {
    // A maker's notes are the one large part of a camera's EXIF.
    eraseWhere(exif, isMakerNote);
    encoded = exifBlock(exif, order);
  }
  return encoded.size() <= kMaxJpegExifBytes ? encoded : std::string();
}

void eraseStartingWith(Exiv2::XmpData& xmp, const std::string& start) {
  for (auto datum = xmp.begin(); datum != xmp.end();) {
    datum = datum->key().compare(0, start.size(), start) == 0 ? xmp.erase(datum) : std::next(datum);
  }
}

void correctIfThere(Exiv2::XmpData& xmp, const char* key, const std::string& value) {
  if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end()) xmp[key] = value;
}

// The rdf:Description elements of the photograph's XMP, made true of the result; empty when
// none is left.
std::string photoDescriptions(const std::string& packet, std::int32_t width, std::int32_t height) {
  if (packet.empty()) return {};
  Exiv2::XmpData xmp;
  if (Exiv2::XmpParser::decode(xmp, packet) != 0) return {};
  // The photograph's own panorama fields (a phone's) say nothing true of a result.
  eraseStartingWith(xmp, "Xmp.GPano.");
  eraseStartingWith(xmp, "Xmp.xmp.Thumbnails");
  eraseStartingWith(xmp, "Xmp.xmpNote.HasExtendedXMP");  // the rest of it is not carried
  correctIfThere(xmp, "Xmp.tiff.Orientation", "1");
  correctIfThere(xmp, "Xmp.tiff.ImageWidth", std::to_string(width));
  correctIfThere(xmp, "Xmp.tiff.ImageLength", std::to_string(height));
  correctIfThere(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
  correctIfThere(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));
  correctIfThere(xmp, "Xmp.tiff.Software", resultSoftware());
  correctIfThere(xmp, "Xmp.xmp.CreatorTool", resultSoftware());
  if (xmp.empty()) return {};
  std::string encoded;
  if (Exiv2::XmpParser::encode(encoded, xmp, Exiv2::XmpParser::omitPacketWrapper |
                                                  Exiv2::XmpParser::useCompactFormat) != 0) {
    return {};
  }
  // Between the end of the rdf:RDF start tag and its end tag.
  const std::size_t rdf = encoded.find("<rdf:RDF");
  const std::size_t opened = rdf == std::string::npos ? rdf : encoded.find(">\n", rdf);
  const std::size_t closed = encoded.rfind(" </rdf:RDF>");
  if (opened == std::string::npos || closed == std::string::npos || closed < opened + 2) return {};
  return encoded.substr(opened + 2, closed - opened - 2);
}

std::string resultXmp(const std::string& packet, std::int32_t width, std::int32_t height,
                      const std::string& ownDescription) {
  const std::string photo = photoDescriptions(packet, width, height);
  if (photo.empty()) return ownDescription.empty() ? std::string() : xmpPacketAround(ownDescription);
  std::string result = xmpPacketAround(photo + ownDescription);
  if (result.size() > kMaxJpegXmpBytes) result = ownDescription.empty() ? std::string() : xmpPacketAround(ownDescription);
  return result;
}

}  // namespace

std::string resultSoftware() { return "Kelmira " + versionText(); }

std::string xmpPacketAround(const std::string& descriptions) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n" +
         descriptions +
         " </rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end=\"w\"?>";
}

EmbeddedMetadata metadataForResult(const PhotoMetadata& photo, std::int32_t width, std::int32_t height,
                                   const std::string& ownDescription) {
  EmbeddedMetadata result;
  if (photo.empty()) {
    if (!ownDescription.empty()) result.xmp = xmpPacketAround(ownDescription);
    return result;
  }
  prepareExiv2();
  result.iccProfile = photo.iccProfile;
  if (photo.iptc.size() <= kMaxJpegIptcBytes) result.iptc = photo.iptc;
  try {
    result.exif = resultExif(photo.exif, width, height);
  } catch (const std::exception&) {
    result.exif.clear();
  }
  try {
    result.xmp = resultXmp(photo.xmp, width, height, ownDescription);
  } catch (const std::exception&) {
    result.xmp = ownDescription.empty() ? std::string() : xmpPacketAround(ownDescription);
  }
  return result;
}

}  // namespace kelmira

#include "metadata/photo_metadata_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <exception>
#include <memory>

#include "image/exiv2_session.h"
#include "image/file_format.h"
#include "image/image_stream.h"
#include "image/jpeg_codec.h"
#include "metadata/exif_fields.h"

namespace kelmira {

namespace {

// The blocks as Exiv2 holds them, while the summary is taken from them.
struct Decoded {
  Exiv2::ExifData exif;
  Exiv2::IptcData iptc;
  Exiv2::XmpData xmp;
};

class Warnings {
 public:
  Warnings(const std::string& name, std::vector<std::string>& out) : name_(name), out_(out) {}
  void leftOut(const char* block) { out_.push_back(name_ + ": its " + block + " is damaged and was left out."); }
  void partly(const char* block) {
    out_.push_back(name_ + ": its " + block + " is partly damaged; what could be read is kept.");
  }

 private:
  const std::string& name_;
  std::vector<std::string>& out_;
};

// ---- reading the blocks ----

void decodeExif(const std::string& block, Decoded& decoded, PhotoMetadata& metadata, Warnings& warnings) {
  if (block.empty()) return;
  Exiv2ErrorCount errors;
  try {
    Exiv2::ExifParser::decode(decoded.exif, bytesOf(block), static_cast<std::uint32_t>(block.size()));
  } catch (const std::exception&) {
    decoded.exif.clear();
  }
  if (decoded.exif.empty()) {
    warnings.leftOut("EXIF block");
    return;
  }
  if (errors.errors() > 0) warnings.partly("EXIF block");
  if (saysMoreThanAnyFile(decoded.exif)) metadata.exif = block;
}

void decodeXmp(const std::string& packet, Decoded& decoded, PhotoMetadata& metadata, Warnings& warnings) {
  if (packet.empty()) return;
  bool read = false;
  try {
    read = Exiv2::XmpParser::decode(decoded.xmp, packet) == 0;
  } catch (const std::exception&) {
  }
  if (!read) {
    decoded.xmp.clear();
    warnings.leftOut("XMP packet");
    return;
  }
  metadata.xmp = packet;
}

void decodeIptc(const Exiv2::byte* data, std::size_t size, Decoded& decoded, PhotoMetadata& metadata,
                Warnings& warnings) {
  // Photoshop and many cameras leave an empty IPTC record behind: nothing to keep, nothing wrong.
  if (size == 0) return;
  bool read = false;
  try {
    read = Exiv2::IptcParser::decode(decoded.iptc, data, static_cast<std::uint32_t>(size)) == 0;
  } catch (const std::exception&) {
  }
  if (!read || decoded.iptc.empty()) {
    decoded.iptc.clear();
    warnings.leftOut("IPTC block");
    return;
  }
  metadata.iptc.assign(reinterpret_cast<const char*>(data), size);
}

// A JPEG's blocks one by one, so a damaged one costs only itself.
void readJpegBlocks(const std::string& path, Decoded& decoded, PhotoMetadata& metadata, Warnings& warnings) {
  JpegMetadataSegments segments;
  std::unique_ptr<ImageStream> stream = openForReading(path);
  if (!stream || !readJpegMetadataSegments(*stream, segments)) return;
  closeStream(std::move(stream));
  decodeExif(segments.exif, decoded, metadata, warnings);
  decodeXmp(segments.xmp, decoded, metadata, warnings);
  if (!segments.photoshop.empty()) {
    const auto* resources = bytesOf(segments.photoshop);
    const Exiv2::byte* record = nullptr;
    std::uint32_t header = 0;
    std::uint32_t size = 0;
    const int found = Exiv2::Photoshop::locateIptcIrb(resources, static_cast<long>(segments.photoshop.size()), &record,
                                                      &header, &size);
    if (found == 0 && record != nullptr &&
        static_cast<std::size_t>(record - resources) + header + size <= segments.photoshop.size()) {
      decodeIptc(record + header, size, decoded, metadata, warnings);
    } else if (found != 3) {
      warnings.leftOut("IPTC block");
    }
  }
}

// Formats whose metadata is part of the file's own structure, read whole by Exiv2.
void readWholeFile(const std::string& path, Decoded& decoded, PhotoMetadata& metadata, Warnings& warnings) {
  Exiv2ErrorCount errors;
  try {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    decoded.exif = image->exifData();
    decoded.iptc = image->iptcData();
    decoded.xmp = image->xmpData();
    dropPictureFields(decoded.exif);
    if (saysMoreThanAnyFile(decoded.exif)) metadata.exif = exifBlock(decoded.exif, image->byteOrder());
    if (!decoded.iptc.empty()) {
      const Exiv2::DataBuf iptc = Exiv2::IptcParser::encode(decoded.iptc);
      metadata.iptc.assign(reinterpret_cast<const char*>(iptc.pData_), static_cast<std::size_t>(iptc.size_));
    }
    metadata.xmp = image->xmpPacket();
    if (metadata.xmp.empty() && !decoded.xmp.empty()) Exiv2::XmpParser::encode(metadata.xmp, decoded.xmp);
  } catch (const std::exception&) {
    decoded = {};
    metadata.exif.clear();
    metadata.iptc.clear();
    metadata.xmp.clear();
    warnings.leftOut("metadata");
    return;
  }
  if (errors.errors() > 0) warnings.partly("metadata");
}

void readColourProfile(const std::string& path, FileType type, PhotoMetadata& metadata, Warnings& warnings) {
  const FileFormat* format = fileFormatOf(type);
  if (format == nullptr || format->readColourProfile == nullptr) return;
  std::unique_ptr<ImageStream> stream = openForReading(path);
  if (!stream) return;
  bool damaged = false;
  metadata.iccProfile = format->readColourProfile(*stream, damaged);
  closeStream(std::move(stream));
  if (damaged) warnings.leftOut("colour profile");
}

// ---- what people are shown ----

// Text fit to show: no control characters, no padding, no runaway length.
std::string shown(const std::string& text) {
  constexpr std::size_t kLongest = 200;
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  out = out.substr(first, out.find_last_not_of(' ') - first + 1);
  return out.size() > kLongest ? out.substr(0, kLongest) : out;
}

template <typename Data, typename Key>
std::string field(const Data& data, const char* key) {
  try {
    const auto found = data.findKey(Key(key));
    if (found != data.end() && found->count() > 0) return shown(found->toString());
  } catch (const std::exception&) {
  }
  return {};
}

std::string exifField(const Decoded& d, const char* key) { return field<Exiv2::ExifData, Exiv2::ExifKey>(d.exif, key); }
std::string xmpField(const Decoded& d, const char* key) { return field<Exiv2::XmpData, Exiv2::XmpKey>(d.xmp, key); }
std::string iptcField(const Decoded& d, const char* key) { return field<Exiv2::IptcData, Exiv2::IptcKey>(d.iptc, key); }

bool digitsAt(const std::string& text, std::size_t at, std::size_t count) {
  if (text.size() < at + count) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// "2021:06:05 14:03:22" (EXIF) or "2021-06-05T14:03:22+02:00" (XMP, IPTC): "2021-06-05
// 14:03:22", the date alone when the time is missing; empty when it is no date.
std::string dateText(const std::string& value) {
  if (!digitsAt(value, 0, 4) || !digitsAt(value, 5, 2) || !digitsAt(value, 8, 2) || value.compare(0, 4, "0000") == 0) {
    return {};
  }
  std::string text = value.substr(0, 4) + "-" + value.substr(5, 2) + "-" + value.substr(8, 2);
  if (value.size() >= 16 && digitsAt(value, 11, 2) && digitsAt(value, 14, 2)) {
    text += " " + value.substr(11, 2) + ":" + value.substr(14, 2);
    if (digitsAt(value, 17, 2)) text += ":" + value.substr(17, 2);
  }
  return text;
}

std::string captureTime(const Decoded& d) {
  for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized"}) {
    if (std::string text = dateText(exifField(d, key)); !text.empty()) return text;
  }
  for (const char* key : {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"}) {
    if (std::string text = dateText(xmpField(d, key)); !text.empty()) return text;
  }
  const std::string date = dateText(iptcField(d, "Iptc.Application2.DateCreated"));
  const std::string time = iptcField(d, "Iptc.Application2.TimeCreated");
  if (!date.empty() && date.size() == 10 && digitsAt(time, 0, 2) && digitsAt(time, 3, 2)) {
    return dateText(date + "T" + time);
  }
  return date;
}

bool startsWithIgnoringCase(const std::string& text, const std::string& start) {
  if (start.empty() || text.size() < start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(start[i]))) {
      return false;
    }
  }
  return true;
}

std::string camera(const Decoded& d) {
  std::string make = exifField(d, "Exif.Image.Make");
  std::string model = exifField(d, "Exif.Image.Model");
  if (make.empty() && model.empty()) {
    make = xmpField(d, "Xmp.tiff.Make");
    model = xmpField(d, "Xmp.tiff.Model");
  }
  // Models often begin with their maker's name ("Canon" "Canon EOS R6").
  if (model.empty() || startsWithIgnoringCase(model, make)) return model.empty() ? make : model;
  return make.empty() ? model : make + " " + model;
}

// Degrees, minutes and seconds as three rationals; none when they are not.
std::optional<double> exifDegrees(const Decoded& d, const char* key) {
  const auto found = d.exif.findKey(Exiv2::ExifKey(key));
  if (found == d.exif.end() || found->count() != 3) return std::nullopt;
  double degrees = 0;
  double unit = 1;
  for (long i = 0; i < 3; ++i, unit *= 60) {
    const Exiv2::Rational part = found->toRational(i);
    if (part.second == 0 || part.first < 0 || part.second < 0) return std::nullopt;
    degrees += static_cast<double>(part.first) / part.second / unit;
  }
  return degrees;
}

// XMP's "59,54.832N" or "59,54,49.93N".
std::optional<double> xmpDegrees(const std::string& value) {
  if (value.size() < 3) return std::nullopt;
  const char hemisphere = static_cast<char>(std::toupper(static_cast<unsigned char>(value.back())));
  if (hemisphere != 'N' && hemisphere != 'S' && hemisphere != 'E' && hemisphere != 'W') return std::nullopt;
  double degrees = 0;
  double unit = 1;
  std::size_t at = 0;
  const std::string numbers = value.substr(0, value.size() - 1);
  while (at <= numbers.size() && unit <= 3600) {
    const std::size_t comma = std::min(numbers.find(',', at), numbers.size());
    double part = 0;
    const char* const end = numbers.data() + comma;
    const auto [stop, error] = std::from_chars(numbers.data() + at, end, part, std::chars_format::fixed);
    if (error != std::errc() || stop != end || part < 0) return std::nullopt;
    degrees += part / unit;
    unit *= 60;
    at = comma + 1;
  }
  if (at <= numbers.size()) return std::nullopt;
  return hemisphere == 'S' || hemisphere == 'W' ? -degrees : degrees;
}

std::optional<GeoPosition> position(const Decoded& d) {
  std::optional<double> latitude = exifDegrees(d, "Exif.GPSInfo.GPSLatitude");
  std::optional<double> longitude = exifDegrees(d, "Exif.GPSInfo.GPSLongitude");
  if (latitude && longitude) {
    if (exifField(d, "Exif.GPSInfo.GPSLatitudeRef") == "S") *latitude = -*latitude;
    if (exifField(d, "Exif.GPSInfo.GPSLongitudeRef") == "W") *longitude = -*longitude;
  } else {
    latitude = xmpDegrees(xmpField(d, "Xmp.exif.GPSLatitude"));
    longitude = xmpDegrees(xmpField(d, "Xmp.exif.GPSLongitude"));
  }
  if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) return std::nullopt;
  return GeoPosition{*latitude, *longitude};
}

std::string placeName(const Decoded& d) {
  const char* const names[][2] = {{"Xmp.photoshop.City", "Iptc.Application2.City"},
                                  {"Xmp.photoshop.State", "Iptc.Application2.ProvinceState"},
                                  {"Xmp.photoshop.Country", "Iptc.Application2.CountryName"}};
  std::string text;
  for (const auto& name : names) {
    std::string part = xmpField(d, name[0]);
    if (part.empty()) part = iptcField(d, name[1]);
    if (part.empty()) continue;
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

int orientation(const Decoded& d) {
  std::string value = exifField(d, "Exif.Image.Orientation");
  if (value.empty()) value = xmpField(d, "Xmp.tiff.Orientation");
  const int number = value.size() == 1 && std::isdigit(static_cast<unsigned char>(value[0])) ? value[0] - '0' : 1;
  return number >= 1 && number <= 8 ? number : 1;
}

}  // namespace

PhotoMetadata readPhotoMetadata(const std::string& path, FileType type, const std::string& name,
                                std::vector<std::string>& warnings) {
  prepareExiv2();
  PhotoMetadata metadata;
  Decoded decoded;
  Warnings warn(name, warnings);
  if (type == FileTypeJpeg) {
    readJpegBlocks(path, decoded, metadata, warn);
  } else if (type == FileTypeTiff || type == FileTypePng) {
    readWholeFile(path, decoded, metadata, warn);
  }
  readColourProfile(path, type, metadata, warn);
  try {
    metadata.orientation = orientation(decoded);
    metadata.captureTime = captureTime(decoded);
    metadata.camera = camera(decoded);
    metadata.placeName = placeName(decoded);
    metadata.position = position(decoded);
  } catch (const std::exception&) {
    // What people are shown is a courtesy: without it the blocks are still carried.
  }
  return metadata;
}

}  // namespace kelmira

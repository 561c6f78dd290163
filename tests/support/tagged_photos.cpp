#include "support/tagged_photos.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kelmira::test {

namespace {

void putBigEndian(Bytes& out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// Each element of a profile starts at a multiple of four bytes.
void padToFour(Bytes& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

Bytes xyzElement(double x, double y, double z) {
  Bytes element;
  putText(element, "XYZ ");
  putBigEndian(element, 0, 4);
  for (const double value : {x, y, z}) putBigEndian(element, static_cast<std::uint32_t>(value * 65536 + 0.5), 4);
  return element;
}

Bytes gammaElement(double gamma) {
  Bytes element;
  putText(element, "curv");
  putBigEndian(element, 0, 4);
  putBigEndian(element, 1, 4);
  putBigEndian(element, static_cast<std::uint32_t>(gamma * 256 + 0.5), 2);
  return element;
}

Bytes descriptionElement(const std::string& description) {
  Bytes element;
  putText(element, "desc");
  putBigEndian(element, 0, 4);
  putBigEndian(element, static_cast<std::uint32_t>(description.size() + 1), 4);
  putText(element, description);
  element.push_back(0);
  putBigEndian(element, 0, 4);  // no Unicode description
  putBigEndian(element, 0, 4);
  putBigEndian(element, 0, 2);  // no Macintosh one
  element.push_back(0);
  element.insert(element.end(), 67, 0);
  return element;
}

Bytes textElement(const std::string& text) {
  Bytes element;
  putText(element, "text");
  putBigEndian(element, 0, 4);
  putText(element, text);
  element.push_back(0);
  return element;
}

}  // namespace

bool haveExiftool() { return std::system("exiftool -ver > /dev/null 2>&1") == 0; }

bool haveImageMagick() { return std::system("convert -version > /dev/null 2>&1") == 0; }

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool runCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) text += line;
  if (output != nullptr) *output = text;
  return pclose(pipe) == 0;
}

std::map<std::string, std::string> exiftoolTags(const std::string& path) {
  std::string output;
  std::map<std::string, std::string> tags;
  if (!runCommand("exiftool -args -a -G1 -n -charset UTF8 " + shellQuoted(path), &output)) return tags;
  std::size_t at = 0;
  while (at < output.size()) {
    std::size_t end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(at, end - at);
    at = end + 1;
    const std::size_t equals = line.find('=');
    if (line.size() < 2 || line[0] != '-' || equals == std::string::npos) continue;
    tags[line.substr(1, equals - 1)] = line.substr(equals + 1);
  }
  return tags;
}

Bytes exiftoolBytes(const std::string& path, const std::string& tag) {
  const std::filesystem::path out = std::filesystem::path(path).replace_extension(".extracted-" + tag);
  if (!runCommand("exiftool -b -" + tag + " " + shellQuoted(path) + " > " + shellQuoted(out.string()))) return {};
  Bytes bytes = readFileBytes(out.string());
  std::filesystem::remove(out);
  return bytes;
}

Bytes colourProfile(const std::string& description, std::size_t extra) {
  struct Element {
    const char* signature;
    Bytes bytes;
  };
  std::vector<Element> elements = {
      {"desc", descriptionElement(description)},
      {"cprt", textElement("No copyright, use freely")},
      {"wtpt", xyzElement(0.9642, 1.0, 0.8249)},
      {"rXYZ", xyzElement(0.4361, 0.2225, 0.0139)},
      {"gXYZ", xyzElement(0.3851, 0.7169, 0.0971)},
      {"bXYZ", xyzElement(0.1431, 0.0606, 0.7141)},
      {"rTRC", gammaElement(2.2)},
      {"gTRC", gammaElement(2.2)},
      {"bTRC", gammaElement(2.2)},
  };
  if (extra > 0) {
    Bytes data;
    putText(data, "data");
    putBigEndian(data, 0, 4);
    putBigEndian(data, 1, 4);  // binary
    for (std::size_t i = 0; i < extra; ++i) data.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    elements.push_back({"kTst", data});
  }
  Bytes table;
  Bytes body;
  std::uint32_t offset = 128 + 4 + 12 * static_cast<std::uint32_t>(elements.size());
  for (const Element& element : elements) {
    putText(table, element.signature);
    putBigEndian(table, offset + static_cast<std::uint32_t>(body.size()), 4);
    putBigEndian(table, static_cast<std::uint32_t>(element.bytes.size()), 4);
    body.insert(body.end(), element.bytes.begin(), element.bytes.end());
    padToFour(body);
  }
  Bytes profile;
  putBigEndian(profile, 128 + 4 + static_cast<std::uint32_t>(table.size() + body.size()), 4);
  putBigEndian(profile, 0, 4);
  putBigEndian(profile, 0x02100000, 4);  // version 2.1
  putText(profile, "mntrRGB XYZ ");
  for (const std::uint32_t part : {2021u, 6u, 5u, 14u, 3u, 22u}) putBigEndian(profile, part, 2);
  putText(profile, "acsp");
  profile.resize(64, 0);
  putBigEndian(profile, 0, 4);  // perceptual
  for (const double value : {0.9642, 1.0, 0.8249}) putBigEndian(profile, static_cast<std::uint32_t>(value * 65536 + 0.5), 4);
  profile.resize(128, 0);
  putBigEndian(profile, static_cast<std::uint32_t>(elements.size()), 4);
  profile.insert(profile.end(), table.begin(), table.end());
  profile.insert(profile.end(), body.begin(), body.end());
  return profile;
}

bool tagPhotograph(const std::string& path, const PhotographTags& tags, int orientation) {
  const std::string thumbnail = path + ".thumb.jpg";
  if (!runCommand("convert -size 32x24 gradient:yellow-purple " + shellQuoted(thumbnail))) return false;
  const std::string command =
      "exiftool -q -overwrite_original -n -charset iptc=UTF8 -codedcharacterset=utf8"
      " -Make=" + shellQuoted(tags.make) + " -Model=" + shellQuoted(tags.model) +
      " -LensModel=" + shellQuoted(tags.lens) + " -DateTimeOriginal=" + shellQuoted(tags.taken) +
      " -ExposureTime=" + tags.exposure + " -FNumber=" + tags.fNumber + " -ISO=" + tags.iso +
      " -GPSLatitude=" + tags.latitude + " -GPSLatitudeRef=N -GPSLongitude=" + tags.longitude +
      " -GPSLongitudeRef=W -Artist=" + shellQuoted(tags.artist) + " -Copyright=" + shellQuoted(tags.copyright) +
      " -Orientation=" + std::to_string(orientation) + " -IPTC:City=" + shellQuoted(tags.city) +
      " -IPTC:Country-PrimaryLocationName=" + shellQuoted(tags.country) + " -IPTC:Keywords=" +
      shellQuoted(tags.keyword) + " -IPTC:Headline=" + shellQuoted(tags.headline) + " -XMP-dc:Creator=" +
      shellQuoted(tags.creatorXmp) + " -XMP-xmp:Label=" + shellQuoted(tags.label) +
      " -XMP-photoshop:City=" + shellQuoted(tags.city) + " -XMP-photoshop:Country=" + shellQuoted(tags.country) +
      // A phone's panorama fields, which no result of Kelmira's may keep.
      " -XMP-GPano:ProjectionType=cylindrical -XMP-GPano:FullPanoWidthPixels=99" +
      " '-ThumbnailImage<=" + thumbnail + "' " + shellQuoted(path);
  const bool tagged = runCommand(command);
  std::filesystem::remove(thumbnail);
  return tagged;
}

bool embedProfile(const std::string& from, const std::string& profilePath, const std::string& to) {
  return runCommand("convert " + shellQuoted(from) + " -quality 95 -profile " + shellQuoted(profilePath) + " " +
                    shellQuoted(to));
}

}  // namespace kelmira::test

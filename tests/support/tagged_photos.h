#pragma once

// Photographs that carry metadata, made by tools no one here wrote (exiftool writes the
// EXIF, GPS, IPTC and XMP; ImageMagick embeds the colour profile), and exiftool's reading
// of what Kelmira wrote.
#include <map>
#include <string>

#include "support/test_files.h"

namespace kelmira::test {

bool haveExiftool();
bool haveImageMagick();

// A shell word that stands for `text` as it is.
std::string shellQuoted(const std::string& text);
// Runs a shell command; whether it exited 0. Its output, both streams, into `output`.
bool runCommand(const std::string& command, std::string* output = nullptr);

// Every tag exiftool reads of a file, "Group:Tag" (its family 1 groups) to the value as a
// number where it is one ("IFD0:Orientation" is "1").
std::map<std::string, std::string> exiftoolTags(const std::string& path);
// The bytes of one tag, as exiftool extracts them ("ICC_Profile").
Bytes exiftoolBytes(const std::string& path, const std::string& tag);

// A small colour profile of a display, as a colour-managed viewer reads it: its description
// `description`; `extra` bytes of a private tag make it as long as a large profile.
Bytes colourProfile(const std::string& description, std::size_t extra = 0);

// What the tagged photographs say, as written.
struct PhotographTags {
  std::string make = "Canon";
  std::string model = "Canon EOS R6";
  std::string lens = "RF24-105mm F4 L IS USM";
  std::string taken = "2021:06:05 14:03:22";
  std::string exposure = "0.004";  // 1/250 s
  std::string fNumber = "8";
  std::string iso = "200";
  std::string latitude = "59.91387";  // north
  std::string longitude = "10.75225";  // west
  std::string artist = "Ann Example";
  std::string copyright = "(c) 2021 Ann Example";
  std::string city = "Oslo";
  std::string country = "Norway";
  std::string keyword = "harbour";
  std::string headline = "Evening at the fjord";
  std::string creatorXmp = "Ann Example";
  std::string label = "Pier";  // the photograph's own XMP, in a namespace of no one's
};

// Writes the tags into `path` in place (JPEG, TIFF or PNG), with a thumbnail of its own and
// the orientation given; whether exiftool did it.
bool tagPhotograph(const std::string& path, const PhotographTags& tags = {}, int orientation = 1);

// Embeds the profile in `from` with ImageMagick, writing `to`; whether it did.
bool embedProfile(const std::string& from, const std::string& profilePath, const std::string& to);

}  // namespace kelmira::test

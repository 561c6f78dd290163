#include "video/spherical_v1_box.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

namespace kelmira {

namespace {

// The box's user type: ffcc8263-f855-4a93-8814-587a02521fdd.
constexpr std::uint8_t kSphericalUuid[16] = {0xff, 0xcc, 0x82, 0x63, 0xf8, 0x55, 0x4a, 0x93,
                                             0x88, 0x14, 0x58, 0x7a, 0x02, 0x52, 0x1f, 0xdd};

std::uint32_t readU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void writeU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

struct Box {
  std::size_t begin = 0;   // of its header
  std::size_t payload = 0;  // where its contents begin
  std::size_t end = 0;
};

// The first child of type `type` between `begin` and `end` of `bytes`; boxes inside the
// movie box have 32-bit sizes.
std::optional<Box> findChild(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end,
                             const char* type) {
  for (std::size_t at = begin; at + 8 <= end;) {
    const std::uint32_t size = readU32(&bytes[at]);
    if (size < 8 || size > end - at) return std::nullopt;
    if (std::memcmp(&bytes[at + 4], type, 4) == 0) return Box{at, at + 8, at + size};
    at += size;
  }
  return std::nullopt;
}

bool isVideoTrack(const std::vector<std::uint8_t>& bytes, const Box& track) {
  const std::optional<Box> media = findChild(bytes, track.payload, track.end, "mdia");
  if (!media) return false;
  const std::optional<Box> handler = findChild(bytes, media->payload, media->end, "hdlr");
  // Version and flags, a predefined word, then the handler type.
  return handler && handler->end - handler->payload >= 12 && std::memcmp(&bytes[handler->payload + 8], "vide", 4) == 0;
}

}  // namespace

std::string sphericalV1Xml() {
  return "<?xml version=\"1.0\"?>"
         "<rdf:SphericalVideo xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
         "xmlns:GSpherical=\"http://ns.google.com/videos/1.0/spherical/\">"
         "<GSpherical:Spherical>true</GSpherical:Spherical>"
         "<GSpherical:Stitched>true</GSpherical:Stitched>"
         "<GSpherical:StitchingSoftware>Kelmira</GSpherical:StitchingSoftware>"
         "<GSpherical:ProjectionType>equirectangular</GSpherical:ProjectionType>"
         "</rdf:SphericalVideo>";
}

bool addSphericalV1Box(const std::string& path, std::string& why) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) {
    why = "cannot open the video to finish it";
    return false;
  }
  file.seekg(0, std::ios::end);
  const auto fileSize = static_cast<std::uint64_t>(file.tellg());
  // The top-level boxes: the movie box must be the last, with a 32-bit size.
  std::optional<std::uint64_t> movieAt;
  std::uint64_t movieSize = 0;
  for (std::uint64_t at = 0; at < fileSize;) {
    std::uint8_t header[16];
    if (fileSize - at < 8 || !file.seekg(static_cast<std::streamoff>(at)) || !file.read(reinterpret_cast<char*>(header), 8)) {
      why = "the video's boxes do not add up";
      return false;
    }
    std::uint64_t size = readU32(header);
    if (size == 1) {
      if (fileSize - at < 16 || !file.read(reinterpret_cast<char*>(header + 8), 8)) {
        why = "the video's boxes do not add up";
        return false;
      }
      size = std::uint64_t{readU32(header + 8)} << 32 | readU32(header + 12);
    } else if (size == 0) {
      size = fileSize - at;
    }
    if (size < 8 || size > fileSize - at) {
      why = "the video's boxes do not add up";
      return false;
    }
    if (std::memcmp(header + 4, "moov", 4) == 0) {
      movieAt = at;
      movieSize = size;
    }
    at += size;
  }
  if (!movieAt || *movieAt + movieSize != fileSize) {
    why = "the video's movie box is not at its end";
    return false;
  }
  std::vector<std::uint8_t> movie(movieSize);
  file.seekg(static_cast<std::streamoff>(*movieAt));
  if (!file.read(reinterpret_cast<char*>(movie.data()), static_cast<std::streamsize>(movieSize)) ||
      readU32(movie.data()) != movieSize) {
    why = "the video's movie box cannot be read";
    return false;
  }
  std::optional<Box> track;
  for (std::size_t at = 8; at < movie.size();) {
    track = findChild(movie, at, movie.size(), "trak");
    if (!track || isVideoTrack(movie, *track)) break;
    at = track->end;
    track.reset();
  }
  if (!track) {
    why = "the video has no video track";
    return false;
  }

  const std::string xml = sphericalV1Xml();
  std::vector<std::uint8_t> box(8 + sizeof kSphericalUuid);
  writeU32(box.data(), static_cast<std::uint32_t>(box.size() + xml.size()));
  std::memcpy(&box[4], "uuid", 4);
  std::memcpy(&box[8], kSphericalUuid, sizeof kSphericalUuid);
  box.insert(box.end(), xml.begin(), xml.end());
  if (movie.size() + box.size() > 0xFFFFFFFFu) {
    why = "the video's movie box is too large";
    return false;
  }
  writeU32(&movie[track->begin], static_cast<std::uint32_t>(track->end - track->begin + box.size()));
  writeU32(movie.data(), static_cast<std::uint32_t>(movie.size() + box.size()));
  movie.insert(movie.begin() + static_cast<std::ptrdiff_t>(track->end), box.begin(), box.end());
  file.seekp(static_cast<std::streamoff>(*movieAt));
  if (!file.write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size())) ||
      !file.flush()) {
    why = "the video cannot be finished";
    return false;
  }
  return true;
}

}  // namespace kelmira

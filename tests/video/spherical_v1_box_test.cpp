#include "video/spherical_v1_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/test_files.h"

namespace kelmira {
namespace {

using test::Bytes;

void putBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes box(const char* type, const Bytes& contents) {
  Bytes out;
  putBe32(out, static_cast<std::uint32_t>(8 + contents.size()));
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes track(const char* handler) {
  Bytes hdlr(8, 0);
  hdlr.insert(hdlr.end(), handler, handler + 4);
  hdlr.resize(24, 0);
  return box("trak", join({box("tkhd", Bytes(84, 1)), box("mdia", join({box("mdhd", Bytes(24, 2)), box("hdlr", hdlr)}))}));
}

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// An MP4 laid out as libavformat writes it: the sound track first, the movie box last.
TEST(SphericalV1Box, GoesAtTheEndOfTheVideoTrackAndTheSizesFollow) {
  test::TempDir dir;
  const Bytes head = join({box("ftyp", Bytes{'i', 's', 'o', 'm', 0, 0, 2, 0}), box("free", {}),
                           box("mdat", Bytes(1000, 0x5A))});
  const Bytes sound = track("soun");
  const Bytes video = track("vide");
  const Bytes movie = box("moov", join({box("mvhd", Bytes(100, 3)), sound, video, box("udta", Bytes(12, 4))}));
  test::writeFileBytes(dir.file("v.mp4"), join({head, movie}));
  std::string why;
  ASSERT_TRUE(addSphericalV1Box(dir.file("v.mp4"), why)) << why;

  const Bytes after = test::readFileBytes(dir.file("v.mp4"));
  const std::string xml = sphericalV1Xml();
  const std::size_t added = 8 + 16 + xml.size();
  ASSERT_EQ(after.size(), head.size() + movie.size() + added);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), after.begin()));  // no sample moved
  const std::size_t moov = head.size();
  EXPECT_EQ(be32(after, moov), movie.size() + added);
  const std::size_t videoAt = moov + 8 + 108 + sound.size();
  EXPECT_EQ(std::memcmp(&after[videoAt + 4], "trak", 4), 0);
  EXPECT_EQ(be32(after, videoAt), video.size() + added);
  const std::size_t uuid = videoAt + video.size();
  EXPECT_EQ(be32(after, uuid), added);
  EXPECT_EQ(std::memcmp(&after[uuid + 4], "uuid", 4), 0);
  const std::uint8_t expected[16] = {0xff, 0xcc, 0x82, 0x63, 0xf8, 0x55, 0x4a, 0x93,
                                     0x88, 0x14, 0x58, 0x7a, 0x02, 0x52, 0x1f, 0xdd};
  EXPECT_EQ(std::memcmp(&after[uuid + 8], expected, 16), 0);
  EXPECT_EQ(std::string(after.begin() + static_cast<long>(uuid + 24), after.begin() + static_cast<long>(uuid + added)), xml);
  EXPECT_EQ(std::memcmp(&after[uuid + added + 4], "udta", 4), 0);
  for (const char* tag : {"<GSpherical:Spherical>true", "<GSpherical:Stitched>true", "<GSpherical:StitchingSoftware>",
                          "<GSpherical:ProjectionType>equirectangular"}) {
    EXPECT_NE(xml.find(tag), std::string::npos) << tag;
  }
}

// Files it cannot safely change are left as they are.
TEST(SphericalV1Box, LeavesAloneWhatItCannotChangeSafely) {
  test::TempDir dir;
  const Bytes movieFirst = join({box("ftyp", Bytes(8, 0)), box("moov", track("vide")), box("mdat", Bytes(50, 1))});
  const Bytes noVideo = join({box("ftyp", Bytes(8, 0)), box("mdat", Bytes(50, 1)), box("moov", track("soun"))});
  Bytes broken = join({box("ftyp", Bytes(8, 0)), box("moov", track("vide"))});
  broken[3] = 200;  // the first box claims more than the file holds
  for (const auto& [name, bytes] : {std::pair{"first.mp4", movieFirst}, std::pair{"sound.mp4", noVideo},
                                    std::pair{"broken.mp4", broken}}) {
    test::writeFileBytes(dir.file(name), bytes);
    std::string why;
    EXPECT_FALSE(addSphericalV1Box(dir.file(name), why)) << name;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(test::readFileBytes(dir.file(name)), bytes) << name;
  }
  std::string why;
  EXPECT_FALSE(addSphericalV1Box(dir.file("missing.mp4"), why));
}

}  // namespace
}  // namespace kelmira

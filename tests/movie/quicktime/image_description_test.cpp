#include "movie/quicktime/image_description.h"

#include <gtest/gtest.h>

namespace kelmira {
namespace {

TEST(ImageDescriptionTest, PhotoJpegEntryBytes) {
  ImageDescription desc;
  desc.cType = fourCC("jpeg");
  desc.spatialQuality = 0x200;
  desc.width = 768;
  desc.height = 104;
  desc.dataSize = 0x12345;
  desc.name = "Photo - JPEG";

  const ByteBuffer expected = {
      0x00, 0x00, 0x00, 0x56,                          // size 86
      'j',  'p',  'e',  'g',                           // format
      0,    0,    0,    0,    0,    0,                 // reserved
      0x00, 0x01,                                      // data reference index
      0x00, 0x00, 0x00, 0x00,                          // version, revision level
      'a',  'p',  'p',  'l',                           // vendor
      0x00, 0x00, 0x00, 0x00,                          // temporal quality
      0x00, 0x00, 0x02, 0x00,                          // spatial quality
      0x03, 0x00, 0x00, 0x68,                          // 768 x 104
      0x00, 0x48, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00,  // 72 dpi both ways
      0x00, 0x01, 0x23, 0x45,                          // data size
      0x00, 0x01,                                      // frame count
      12,   'P',  'h',  'o',  't',  'o',  ' ',  '-',  ' ',  'J', 'P', 'E', 'G',
      0,    0,    0,    0,    0,    0,    0,    0,    0,    0,   0,   0,   0,   0, 0, 0, 0, 0, 0,  // name pad
      0x00, 0x18,                                      // depth 24
      0xFF, 0xFF,                                      // colour table id -1
  };
  ASSERT_EQ(expected.size(), 86u);
  EXPECT_EQ(desc.toSampleDescription(), expected);
}

TEST(ImageDescriptionTest, NameIsCutToThirtyOneCharacters) {
  ImageDescription desc;
  desc.name = std::string(40, 'x');
  const ByteBuffer bytes = desc.toSampleDescription();
  ASSERT_EQ(bytes.size(), 86u);
  EXPECT_EQ(bytes[50], 31);
  EXPECT_EQ(bytes[81], 'x');
  EXPECT_EQ(bytes[82], 0x00);
  EXPECT_EQ(bytes[83], 0x18);
}

}  // namespace
}  // namespace kelmira

#include "image/file_type.h"

#include <gtest/gtest.h>

#include <string>

#include "image/image_stream.h"
#include "image/layer_state.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::Bytes;

// A 44-byte head that starts with the given bytes, rest zero.
Bytes headWith(const Bytes& start, std::size_t size = 44) {
  Bytes bytes(size, 0);
  std::copy(start.begin(), start.end(), bytes.begin());
  return bytes;
}

TEST(FileType, ContentWinsOverTheExtension) {
  test::TempDir dir;
  struct Case {
    const char* name;
    Bytes bytes;
    FileType expected;
  };
  const Bytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes emf = headWith({0x01, 0x00, 0x00, 0x00});
  emf[40] = ' ', emf[41] = 'E', emf[42] = 'M', emf[43] = 'F';
  const Case cases[] = {
      {"png_named.jpg", headWith(png), FileTypePng},
      {"jpeg_named.bmp", headWith({0xFF, 0xD8, 0xFF, 0xE1}), FileTypeJpeg},
      {"bitmap.tif", headWith({'B', 'M'}), FileTypeBmp},
      {"motorola.bin", headWith({'M', 'M', 0, 42}), FileTypeTiff},
      {"pcx.bin", headWith({0x0A, 0x05, 0x01}), FileTypePcx},
      {"placeable.bin", headWith({0xD7, 0xCD, 0xC6, 0x9A}), FileTypeWmf},
      {"enhanced.bin", emf, FileTypeEmf},
      // GIF is recognised by content but has no type, so only the extension can give one.
      {"anim.gif", headWith({'G', 'I', 'F', '8', '9', 'a'}), FileTypeNone},
      {"anim87.jpg", headWith({'G', 'I', 'F', '8', '7', 'a'}), FileTypeJpeg},
      // Shorter than 44 bytes: never by content, so a bitmap head named .png is a PNG.
      {"short.png", headWith({'B', 'M'}, 30), FileTypePng},
      {"short.dat", headWith({'B', 'M'}, 43), FileTypeNone},
      {"noextension", headWith({0x00, 0x00, 0x02}), FileTypeNone},
      {"pic.tga", headWith({0x00, 0x00, 0x02}), FileTypeTga},
      {"pic.tGa", headWith({0x00, 0x00, 0x02}), FileTypeTga},
      {"panorama.Mov", headWith({0x00, 0x00, 0x02}), FileTypeMovie},
      {"archive.tif.gz", headWith({}), FileTypeNone},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file(c.name);
    test::writeFileBytes(path, c.bytes);
    EXPECT_EQ(identifyFileType(path), c.expected) << c.name;
  }
  EXPECT_EQ(fileTypeFromContent(dir.file("short.png")), FileTypeNone);
  EXPECT_EQ(fileTypeFromExtension(dir.file("png_named.jpg")), FileTypeJpeg);
}

TEST(FileType, PathsWithoutAFileAndTheLastError) {
  test::TempDir dir;
  closeStream(nullptr);  // leaves ImageError::BadParameter behind
  ASSERT_NE(lastError(), ImageError::None);
  EXPECT_EQ(identifyFileType(dir.file("missing.BMP")), FileTypeBmp);
  EXPECT_EQ(lastError(), ImageError::None);
  EXPECT_EQ(fileTypeFromContent(dir.file("missing.bmp")), FileTypeNone);
  EXPECT_EQ(lastError(), ImageError::None);
  // The extension is taken from the last dot of the whole path.
  EXPECT_EQ(fileTypeFromExtension("/photos.bmp/picture"), FileTypeNone);
  EXPECT_EQ(fileTypeFromExtension("picture."), FileTypeNone);
  EXPECT_EQ(fileTypeFromExtension("picture"), FileTypeNone);
  EXPECT_EQ(fileTypeFromExtension("a.b.TIFF"), FileTypeTiff);
  EXPECT_EQ(fileTypeFromExtension("drawing.emf"), FileTypeEmf);
}

}  // namespace
}  // namespace kelmira

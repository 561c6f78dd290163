#include "image/file_format.h"

#include <gtest/gtest.h>

#include <set>

#include "codec_test_helpers.h"
#include "image/codec_dispatch.h"

namespace kelmira {
namespace {

// What the table says is written is read back by the table's own reader and recognised
// by its content under a name that says nothing; the lossless formats give every byte back.
TEST(FileFormat, EveryWrittenFormatIsRecognisedAndReadBack) {
  test::TempDir dir;
  const std::vector<std::uint8_t> picture = test::patternPixels(7, 5, 3);
  std::set<FileType> written;
  for (const FileFormat& format : fileFormats()) {
    if (format.encode == nullptr) continue;
    SCOPED_TRACE(format.name);
    written.insert(format.type);
    const std::string path = dir.file("picture.bin");
    ImageErrorCode error = static_cast<ImageErrorCode>(-1);
    test::encodeFile(
        path, [&](ImageStream& s) { return encodeStream(s, format.type, picture.data(), 7, 5); }, error);
    ASSERT_EQ(error, ImageError::None);
    EXPECT_EQ(fileTypeFromContent(path), format.type);
    ASSERT_NE(format.decode, nullptr);
    const test::Decoded decoded = test::decodeFile(path, format.decode);
    EXPECT_EQ(decoded.error, ImageError::None);
    EXPECT_EQ(decoded.width, 7);
    EXPECT_EQ(decoded.height, 5);
    if (format.type != FileTypeJpeg) {
      EXPECT_EQ(decoded.bytes(), picture);
    }
  }
  // The formats the described dialogs offer are exactly the ones written.
  EXPECT_EQ(written, (std::set<FileType>{FileTypeBmp, FileTypeJpeg, FileTypeTiff}));
  for (const FileFormat& format : fileFormats()) {
    EXPECT_EQ(format.dialogLabel != nullptr && format.encode != nullptr, written.count(format.type) == 1)
        << format.name;
  }
  EXPECT_EQ(shortExtension(*fileFormatOf(FileTypeTiff)), "tif");
  EXPECT_EQ(fileFormatOf(FileTypeNone), nullptr);
  EXPECT_FALSE(isWritable(FileTypePng));
}

}  // namespace
}  // namespace kelmira

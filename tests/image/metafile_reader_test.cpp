#include "image/metafile_reader.h"

#include <gtest/gtest.h>

#include "codec_test_helpers.h"
#include "image/dib_image.h"
#include "progress_recorder.h"

namespace kelmira {
namespace {

using test::Bytes;

TEST(ReadMetafile, NoRendererHereSoCode27ForFilesThatExist) {
  test::TempDir dir;
  // A placeable metafile header (key D7 CD C6 9A) and an enhanced one (" EMF" at 40).
  Bytes placeable(64, 0);
  placeable[0] = 0xD7, placeable[1] = 0xCD, placeable[2] = 0xC6, placeable[3] = 0x9A;
  Bytes enhanced(88, 0);
  enhanced[0] = 1;
  enhanced[40] = ' ', enhanced[41] = 'E', enhanced[42] = 'M', enhanced[43] = 'F';
  test::writeFileBytes(dir.file("a.wmf"), placeable);
  test::writeFileBytes(dir.file("b.emf"), enhanced);

  for (const char* name : {"a.wmf", "b.emf"}) {
    std::int32_t width = -1, height = -1;
    test::ProgressRecorder progress;
    EXPECT_EQ(readMetafile(dir.file(name), 100, 100, {128, 128, 128}, width, height), nullptr);
    EXPECT_EQ(lastError(), ImageError::BadMetafile) << name;
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{0, 4}})) << "asked before loading";
  }

  std::int32_t width = -1, height = -1;
  EXPECT_EQ(readMetafile(dir.file("none.wmf"), 100, 100, {}, width, height), nullptr);
  EXPECT_EQ(lastError(), ImageError::FileOpen);
  {
    test::ProgressRecorder abort(0);
    EXPECT_EQ(readMetafile(dir.file("a.wmf"), 100, 100, {}, width, height), nullptr);
    EXPECT_EQ(lastError(), ImageError::Aborted);
  }

  // Loading goes to the metafile reader by content or by extension.
  DibImage image;
  ASSERT_EQ(image.allocate(2, 2), ImageError::None);
  EXPECT_EQ(image.loadFromFile(dir.file("a.wmf")), ImageError::BadMetafile);
  EXPECT_FALSE(image.hasPixels());
  test::writeFileBytes(dir.file("c.bin"), enhanced);
  EXPECT_EQ(image.loadFromFile(dir.file("c.bin")), ImageError::BadMetafile);
  test::writeFileBytes(dir.file("short.EMF"), Bytes(10, 0));
  EXPECT_EQ(image.loadFromFile(dir.file("short.EMF")), ImageError::BadMetafile);
  EXPECT_EQ(image.loadFromFile(dir.file("missing.emf")), ImageError::FileOpen);
}

}  // namespace
}  // namespace kelmira

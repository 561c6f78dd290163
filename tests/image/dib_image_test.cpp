#include "image/dib_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "image/image_error.h"
#include "image/pixel_block.h"
#include "image/progress_scope.h"
#include "image/progress_sink.h"
#include "image_file_builders.h"
#include "support/recording_sink.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::RecordingSink;

TEST(DibImage, EmptyImagesAndAllocation) {
  DibImage image;
  EXPECT_EQ(image.beginAccess(), nullptr);
  EXPECT_EQ(image.accessCount(), 0);
  image.endAccess();
  std::array<std::uint8_t, 1024> table{};
  EXPECT_EQ(image.computeOptimalPalette(table), ImageError::BadParameter);
  EXPECT_EQ(image.mirrorHorizontally(), 0);
  EXPECT_EQ(image.palette(), nullptr);

  ASSERT_EQ(image.allocate(4, 3), ImageError::None);
  EXPECT_EQ(image.width(), 4);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(image.pixels()[i], 0);
  // A size whose bytes cannot be had empties the image, even one that held a picture.
  EXPECT_EQ(image.allocate(70000, 70000), ImageError::OutOfMemory);
  EXPECT_EQ(image.width(), 0);
  EXPECT_EQ(image.height(), 0);
  EXPECT_FALSE(image.hasPixels());
  EXPECT_EQ(image.allocate(-1, 5), ImageError::OutOfMemory);
}

TEST(DibImage, CopiesAreDeepAndHaveNoPalette) {
  const auto pixels = test::patternPixels(5, 4);
  DibImage source;
  ASSERT_EQ(source.copyFromPixels(pixels.data(), 5, 4), ImageError::None);
  source.buildPalette();
  ASSERT_NE(source.palette(), nullptr);
  DibImage copy;
  ASSERT_EQ(copy.copyFrom(source), ImageError::None);
  EXPECT_EQ(std::memcmp(copy.pixels(), pixels.data(), pixels.size()), 0);
  EXPECT_NE(copy.pixels(), source.pixels());
  EXPECT_EQ(copy.palette(), nullptr);
  copy.beginAccess()[0] ^= 0xFF;
  copy.endAccess();
  EXPECT_EQ(source.pixels()[0], pixels[0]);

  DibImage empty;
  EXPECT_EQ(copy.copyFrom(empty), ImageError::OutOfMemory);
  EXPECT_FALSE(copy.hasPixels());
}

TEST(DibImage, PaletteHoldsThePicturesColours) {
  const std::uint8_t pixels[] = {255, 0, 0, 0, 0, 255, 255, 0, 0, 0, 200, 0};
  DibImage image;
  ASSERT_EQ(image.copyFromPixels(pixels, 2, 2), ImageError::None);
  image.buildPalette();
  const DisplayPalette* palette = image.palette();
  ASSERT_NE(palette, nullptr);
  int found = 0;
  for (const PaletteEntry& e : *palette) {
    found += (e.red == 255 && e.green == 0 && e.blue == 0) + (e.red == 0 && e.green == 0 && e.blue == 255) +
             (e.red == 0 && e.green == 200 && e.blue == 0);
  }
  EXPECT_EQ(found, 3);
}

TEST(DibImage, MirrorAndRotate) {
  const auto pixels = test::patternPixels(7, 3);
  DibImage image;
  ASSERT_EQ(image.copyFromPixels(pixels.data(), 7, 3), ImageError::None);
  EXPECT_NE(image.mirrorHorizontally(), 0);
  EXPECT_EQ(std::memcmp(image.pixels(), pixels.data() + 18, 3), 0);  // column 6 came to column 0
  EXPECT_NE(image.mirrorHorizontally(), 0);
  EXPECT_EQ(std::memcmp(image.pixels(), pixels.data(), pixels.size()), 0);

  ASSERT_NE(image.rotateImage(2), 0);
  EXPECT_EQ(image.width(), 3);
  EXPECT_EQ(image.height(), 7);
  ASSERT_NE(image.rotateImage(0), 0);
  EXPECT_EQ(image.width(), 7);
  EXPECT_EQ(std::memcmp(image.pixels(), pixels.data(), pixels.size()), 0);
  EXPECT_EQ(image.rotateImage(3), 0);
}

TEST(DibImage, SaveAndLoadRoundTripWithProgress) {
  test::TempDir dir;
  const auto pixels = test::patternPixels(13, 9);
  DibImage image;
  ASSERT_EQ(image.copyFromPixels(pixels.data(), 13, 9), ImageError::None);
  for (const auto& [name, type] : {std::pair{"a.bmp", FileTypeBmp}, std::pair{"a.tif", FileTypeTiff}}) {
    RecordingSink sink;
    ASSERT_EQ(image.saveToFile(dir.file(name), type, &sink), ImageError::None) << name;
    DibImage loaded;
    ASSERT_EQ(loaded.loadFromFile(dir.file(name), &sink), ImageError::None) << name;
    ASSERT_EQ(loaded.width(), 13);
    EXPECT_EQ(std::memcmp(loaded.pixels(), pixels.data(), pixels.size()), 0) << name;
    EXPECT_EQ(sink.positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(sink.ends, 2);
  }
}

TEST(DibImage, LoadsPngPcxAndTgaAndKeepsWhatACutPcxGave) {
  test::TempDir dir;
  const auto pixels = test::patternPixels(6, 2, 4);
  const test::Bytes expected(pixels.begin(), pixels.end());

  test::writeFileBytes(dir.file("picture.png"),
                       test::encodePng(test::pngPicture(6, 2, PNG_COLOR_TYPE_RGB, 8, {pixels.begin(), pixels.end()})));
  // 24-bit PCX: each line holds the red, green and blue planes in turn.
  test::PcxHeader pcx;
  pcx.xmax = 5;
  pcx.ymax = 1;
  pcx.planes = 3;
  pcx.bytesPerLine = 6;
  test::Bytes pcxData;
  for (int y = 0; y < 2; ++y) {
    test::Bytes line;
    for (int k = 0; k < 3; ++k)
      for (int x = 0; x < 6; ++x) line.push_back(pixels[(y * 6 + x) * 3 + k]);
    const test::Bytes packed = test::pcxRunLength(line);
    pcxData.insert(pcxData.end(), packed.begin(), packed.end());
  }
  test::writeFileBytes(dir.file("picture.pcx"), test::pcxFile(pcx, pcxData));
  // TGA, top row first, found by its extension in any letter case.
  test::TgaHeader tga;
  tga.width = 6;
  tga.height = 2;
  tga.descriptor = 0x20;
  test::Bytes tgaData;
  for (std::size_t i = 0; i < pixels.size(); i += 3) tgaData.insert(tgaData.end(), {pixels[i + 2], pixels[i + 1], pixels[i]});
  test::writeFileBytes(dir.file("picture.TgA"), test::tgaFile(tga, tgaData));

  for (const char* name : {"picture.png", "picture.pcx", "picture.TgA"}) {
    RecordingSink sink;
    DibImage image;
    ASSERT_EQ(image.loadFromFile(dir.file(name), &sink), ImageError::None) << name;
    ASSERT_EQ(image.width(), 6);
    ASSERT_EQ(image.height(), 2);
    EXPECT_EQ(test::Bytes(image.pixels(), image.pixels() + expected.size()), expected) << name;
    EXPECT_EQ(sink.positions, (std::vector<int>{0, 1})) << name;
    EXPECT_EQ(sink.ends, 1);
  }

  // A PCX cut after its first line is adopted with the code; a cut PNG leaves nothing.
  const test::Bytes pcxFile = test::readFileBytes(dir.file("picture.pcx"));
  test::writeFileBytes(dir.file("cut.pcx"), test::Bytes(pcxFile.begin(), pcxFile.end() - 3));
  DibImage cut;
  EXPECT_EQ(cut.loadFromFile(dir.file("cut.pcx")), ImageError::FileRead);
  ASSERT_TRUE(cut.hasPixels());
  EXPECT_EQ(test::Bytes(cut.pixels(), cut.pixels() + 18), test::Bytes(expected.begin(), expected.begin() + 18));
  EXPECT_EQ(test::Bytes(cut.pixels() + 18, cut.pixels() + 36), test::Bytes(18, 0));
  const test::Bytes pngFile = test::readFileBytes(dir.file("picture.png"));
  test::writeFileBytes(dir.file("cut.png"), test::Bytes(pngFile.begin(), pngFile.end() - 20));
  EXPECT_EQ(cut.loadFromFile(dir.file("cut.png")), ImageError::BadPng);
  EXPECT_FALSE(cut.hasPixels());
}

TEST(DibImage, AFailedSaveLeavesTheOldFileAndNoTemporary) {
  test::TempDir dir;
  const test::Bytes old{'o', 'l', 'd'};
  test::writeFileBytes(dir.file("keep.jpg"), old);
  DibImage empty;
  EXPECT_EQ(empty.saveToFile(dir.file("keep.jpg"), FileTypeJpeg), ImageError::BadParameter);
  DibImage image;
  ASSERT_EQ(image.allocate(4, 4), ImageError::None);
  EXPECT_EQ(image.saveToFile(dir.file("keep.jpg"), FileTypePng), ImageError::BadParameter);  // no PNG encoder
  EXPECT_NE(image.saveToFile(dir.path().string() + "/missing/folder.jpg", FileTypeJpeg), ImageError::None);
  EXPECT_EQ(test::readFileBytes(dir.file("keep.jpg")), old);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);

  // Loading what is not a picture is an error, never an empty success.
  test::writeFileBytes(dir.file("text.txt"), test::Bytes(64, 'x'));
  EXPECT_NE(image.loadFromFile(dir.file("text.txt")), ImageError::None);
  EXPECT_FALSE(image.hasPixels());
  EXPECT_EQ(image.loadFromFile(dir.file("absent.bmp")), ImageError::FileOpen);
}

// A window that runs a command while it pumps messages: the first report replaces the
// picture being read, as a slider release of the image tools once did during a trim.
class ReplacingSink : public ProgressSink {
 public:
  ReplacingSink(DibImage& victim, const DibImage& newer) : victim_(victim), newer_(newer) {}
  int reportProgress(std::int32_t, std::int32_t) override {
    if (!replaced) victim_.copyFrom(newer_);
    replaced = true;
    return 1;
  }
  void endProgress() override {}
  bool replaced = false;

 private:
  DibImage& victim_;
  const DibImage& newer_;
};

TEST(DibImage, WorkThatPumpsMessagesKeepsTheBlockItReadsAndNeverUndoesANewerPicture) {
  const auto oldPixels = test::patternPixels(200, 50, 1);
  const auto newPixels = test::patternPixels(120, 40, 2);
  DibImage newer;
  ASSERT_EQ(newer.copyFromPixels(newPixels.data(), 120, 40), ImageError::None);

  // Resizing in place: the old block is read to the end (ASan sees any freed read), and
  // the newer picture put in meanwhile stays; the stale result is dropped with ImageError::Aborted.
  DibImage image;
  ASSERT_EQ(image.copyFromPixels(oldPixels.data(), 200, 50), ImageError::None);
  ReplacingSink sink(image, newer);
  EXPECT_EQ(image.resizeTo(96, 24, &sink), ImageError::Aborted);
  EXPECT_TRUE(sink.replaced);
  ASSERT_EQ(image.width(), 120);
  EXPECT_EQ(std::memcmp(image.pixels(), newPixels.data(), newPixels.size()), 0);

  // Resampling from another image that is replaced meanwhile gives the old picture's resample.
  DibImage source;
  DibImage expected;
  ASSERT_EQ(source.copyFromPixels(oldPixels.data(), 200, 50), ImageError::None);
  ASSERT_EQ(expected.resampleFrom(source, 96, 24), ImageError::None);
  ReplacingSink sourceSink(source, newer);
  DibImage target;
  EXPECT_EQ(target.resampleFrom(source, 96, 24, &sourceSink), ImageError::None);
  EXPECT_TRUE(sourceSink.replaced);
  EXPECT_EQ(std::memcmp(target.pixels(), expected.pixels(), 3 * 96 * 24), 0);

  // Saving while the picture is replaced writes the picture the save began with.
  test::TempDir dir;
  DibImage saving;
  ASSERT_EQ(saving.copyFromPixels(oldPixels.data(), 200, 50), ImageError::None);
  ReplacingSink saveSink(saving, newer);
  const ProgressScope outer(&saveSink);  // a save reports through whatever callback is installed
  ASSERT_EQ(saving.saveToFile(dir.file("old.bmp"), FileTypeBmp), ImageError::None);
  DibImage saved;
  ASSERT_EQ(saved.loadFromFile(dir.file("old.bmp")), ImageError::None);
  ASSERT_EQ(saved.width(), 200);
  EXPECT_EQ(std::memcmp(saved.pixels(), oldPixels.data(), oldPixels.size()), 0);
}

TEST(DibImage, ANestedProgressScopeGivesTheOuterTaskItsProgressBack) {
  RecordingSink outer;
  RecordingSink inner;
  DibImage image;
  ASSERT_EQ(image.allocate(50, 20), ImageError::None);
  {
    const ProgressScope outerScope(&outer);
    ASSERT_EQ(image.resizeTo(40, 10, &inner), ImageError::None);  // work of its own, with its own sink
    DibImage other;
    ASSERT_EQ(other.allocate(30, 12), ImageError::None);
    ASSERT_EQ(image.saveToFile(testing::TempDir() + "/scope.bmp", FileTypeBmp), ImageError::None);
  }
  EXPECT_EQ(inner.positions.size(), 10u);
  EXPECT_FALSE(outer.positions.empty());  // the outer task still reports after the inner one ended
}

TEST(DibImage, RunningOutOfMemoryIsACodeAndLeavesTheImage) {
  const auto pixels = test::patternPixels(64, 16);
  DibImage image;
  ASSERT_EQ(image.copyFromPixels(pixels.data(), 64, 16), ImageError::None);
  DibImage copy;
  {
    const PixelBlockBudget budget(3 * 64 * 16 - 1);
    EXPECT_EQ(copy.copyFrom(image), ImageError::OutOfMemory);
    EXPECT_EQ(image.resizeTo(128, 32), ImageError::OutOfMemory);
  }
  EXPECT_EQ(image.width(), 64);
  EXPECT_EQ(std::memcmp(image.pixels(), pixels.data(), pixels.size()), 0);
  EXPECT_EQ(copy.copyFrom(image), ImageError::None);
}

}  // namespace
}  // namespace kelmira

#include "movie/quicktime/graphics_importer.h"

#include <gtest/gtest.h>

#include "image/dib_image.h"
#include "image/file_type.h"
#include "movie/quicktime/movie_runtime.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

class GraphicsImporterTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(initializeQtml(), noErr); }
  void TearDown() override {
    closeComponent(importer_);
    disposeGWorld(world_);
    terminateQtml();
  }

  // A BMP of a picture with a different colour in every pixel.
  std::string writeBmp(int width, int height) {
    pixels_ = test::patternPixels(width, height);
    DibImage image;
    EXPECT_EQ(image.copyFromPixels(pixels_.data(), width, height), ImageError::None);
    const std::string path = dir_.file("picture.bmp");
    EXPECT_EQ(image.saveToFile(path, FileTypeBmp), ImageError::None);
    return path;
  }

  // The picture's pixel at (row, column) as the world should hold it: alpha, red, green, blue.
  std::vector<std::uint8_t> expectedArgb(int width, int row, int column) const {
    const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(row) * width + column) * 3];
    return {0xFF, p[0], p[1], p[2]};
  }

  static std::vector<std::uint8_t> worldPixel(PixMapHandle pixMap, int row, int column) {
    const std::uint8_t* p = pixMap->baseAddr + row * pixMap->rowBytes + column * 4;
    return {p[0], p[1], p[2], p[3]};
  }

  test::TempDir dir_;
  std::vector<std::uint8_t> pixels_;
  GraphicsImportComponent importer_ = nullptr;
  GWorldPtr world_ = nullptr;
};

TEST_F(GraphicsImporterTest, NaturalBoundsAreThePictureSize) {
  ASSERT_EQ(getGraphicsImporterForFile(writeBmp(40, 96), &importer_), noErr);
  Rect natural;
  ASSERT_EQ(graphicsImportGetNaturalBounds(importer_, &natural), noErr);
  EXPECT_EQ(natural.top, 0);
  EXPECT_EQ(natural.left, 0);
  EXPECT_EQ(natural.bottom, 96);
  EXPECT_EQ(natural.right, 40);
  Rect bounds;
  ASSERT_EQ(graphicsImportGetBoundsRect(importer_, &bounds), noErr);
  EXPECT_EQ(bounds.bottom, 96);
  EXPECT_EQ(bounds.right, 40);
}

// As the tile writer does: a world one tile high, the picture moved up tile by tile.
TEST_F(GraphicsImporterTest, DrawingMovedUpShowsTheRowsBelow) {
  const int width = 37;
  const int height = 96;
  const int tile = 4;
  ASSERT_EQ(getGraphicsImporterForFile(writeBmp(width, height), &importer_), noErr);
  Rect bounds;
  ASSERT_EQ(graphicsImportGetBoundsRect(importer_, &bounds), noErr);
  ASSERT_EQ(newGWorld(&world_, 0, Rect{0, 0, tile, width}), noErr);
  PixMapHandle pixMap = getGWorldPixMap(world_);

  for (int i = 0; i < height / tile; ++i) {
    ASSERT_EQ(graphicsImportSetGWorld(importer_, world_), noErr);
    ASSERT_EQ(graphicsImportSetBoundsRect(importer_, &bounds), noErr);
    ASSERT_EQ(graphicsImportDraw(importer_), noErr);
    offsetRect(bounds, 0, -tile);
    for (int row = 0; row < tile; ++row) {
      for (int column = 0; column < width; ++column) {
        ASSERT_EQ(worldPixel(pixMap, row, column), expectedArgb(width, i * tile + row, column))
            << "tile " << i << " row " << row << " column " << column;
      }
    }
  }
}

TEST_F(GraphicsImporterTest, DrawingIsClippedToTheWorldAndPlacedByItsCoordinates) {
  const int width = 20;
  const int height = 10;
  ASSERT_EQ(getGraphicsImporterForFile(writeBmp(width, height), &importer_), noErr);
  // The world covers x 10..29, y 100..109; the picture is put at x 15, y 103.
  ASSERT_EQ(newGWorld(&world_, 32, Rect{100, 10, 110, 30}), noErr);
  const Rect at{103, 15, 113, 35};
  ASSERT_EQ(graphicsImportSetGWorld(importer_, world_), noErr);
  ASSERT_EQ(graphicsImportSetBoundsRect(importer_, &at), noErr);
  ASSERT_EQ(graphicsImportDraw(importer_), noErr);
  PixMapHandle pixMap = getGWorldPixMap(world_);
  const std::vector<std::uint8_t> white{0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(worldPixel(pixMap, 2, 19), white);
  EXPECT_EQ(worldPixel(pixMap, 3, 4), white);
  EXPECT_EQ(worldPixel(pixMap, 3, 5), expectedArgb(width, 0, 0));
  EXPECT_EQ(worldPixel(pixMap, 9, 19), expectedArgb(width, 6, 14));
}

TEST_F(GraphicsImporterTest, BoundsOfAnotherSizeScaleThePicture) {
  ASSERT_EQ(getGraphicsImporterForFile(writeBmp(8, 6), &importer_), noErr);
  ASSERT_EQ(newGWorld(&world_, 32, Rect{0, 0, 12, 16}), noErr);
  const Rect doubled{0, 0, 12, 16};
  ASSERT_EQ(graphicsImportSetGWorld(importer_, world_), noErr);
  ASSERT_EQ(graphicsImportSetBoundsRect(importer_, &doubled), noErr);
  ASSERT_EQ(graphicsImportDraw(importer_), noErr);
  PixMapHandle pixMap = getGWorldPixMap(world_);
  EXPECT_EQ(worldPixel(pixMap, 11, 15), expectedArgb(8, 5, 7));
  EXPECT_EQ(worldPixel(pixMap, 4, 6), expectedArgb(8, 2, 3));
  EXPECT_EQ(worldPixel(pixMap, 5, 7), expectedArgb(8, 2, 3));
}

TEST_F(GraphicsImporterTest, FilesItCannotReadAndBadArguments) {
  EXPECT_EQ(getGraphicsImporterForFile(dir_.file("missing.bmp"), &importer_), fnfErr);
  EXPECT_EQ(importer_, nullptr);

  DibImage image;
  const auto pixels = test::patternPixels(8, 8);
  ASSERT_EQ(image.copyFromPixels(pixels.data(), 8, 8), ImageError::None);
  ASSERT_EQ(image.saveToFile(dir_.file("picture.jpg"), FileTypeJpeg), ImageError::None);
  EXPECT_EQ(getGraphicsImporterForFile(dir_.file("picture.jpg"), &importer_), cantFindHandler);

  // A bitmap header whose pixels are missing.
  const std::string bmp = writeBmp(16, 16);
  test::Bytes bytes = test::readFileBytes(bmp);
  bytes.resize(80);
  test::writeFileBytes(dir_.file("short.bmp"), bytes);
  EXPECT_NE(getGraphicsImporterForFile(dir_.file("short.bmp"), &importer_), noErr);
  EXPECT_EQ(importer_, nullptr);

  EXPECT_EQ(getGraphicsImporterForFile("", &importer_), paramErr);
  EXPECT_EQ(getGraphicsImporterForFile(bmp, nullptr), paramErr);
  ASSERT_EQ(getGraphicsImporterForFile(bmp, &importer_), noErr);
  EXPECT_EQ(graphicsImportDraw(importer_), paramErr) << "no world to draw into";
  const Rect empty{0, 0, 0, 16};
  EXPECT_EQ(graphicsImportSetBoundsRect(importer_, &empty), paramErr);
  EXPECT_EQ(graphicsImportSetBoundsRect(importer_, nullptr), paramErr);
  EXPECT_EQ(graphicsImportGetNaturalBounds(importer_, nullptr), paramErr);
  EXPECT_EQ(graphicsImportGetNaturalBounds(nullptr, nullptr), paramErr);
  EXPECT_EQ(graphicsImportDraw(nullptr), paramErr);
  EXPECT_EQ(closeComponent(nullptr), noErr);

  terminateQtml();
  GraphicsImportComponent other = nullptr;
  EXPECT_EQ(getGraphicsImporterForFile(bmp, &other), qtmlUninitialized);
  ASSERT_EQ(initializeQtml(), noErr);
}

}  // namespace
}  // namespace kelmira

// Reading what a photograph says of itself, from photographs that exiftool and ImageMagick
// tagged: every block, what people are shown of it, damaged blocks left out with a warning,
// and the turned pictures of phones opened upright.
#include "metadata/photo_metadata_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "image/dib_image.h"
#include "image/upright.h"
#include "support/tagged_photos.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

std::string sample() { return std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg"; }

std::string asText(const test::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

class PhotoMetadataReader : public testing::Test {
 protected:
  void SetUp() override {
    if (!test::haveExiftool() || !test::haveImageMagick()) {
      GTEST_SKIP() << "no exiftool or ImageMagick (scripts/setup.sh test installs them)";
    }
    profile = test::colourProfile("Kelmira test display", 70000);  // two APP2 chunks in a JPEG
    test::writeFileBytes(dir.file("display.icc"), profile);
  }

  // The sample, small, with the profile and every tag: as `name` (its extension says the format).
  std::string taggedPhotograph(const std::string& name, int orientation = 1) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(test::runCommand("convert " + test::shellQuoted(sample()) + " -resize 160x120 " +
                                 test::shellQuoted(dir.file("plain-" + name))));
    EXPECT_TRUE(test::embedProfile(dir.file("plain-" + name), dir.file("display.icc"), path));
    EXPECT_TRUE(test::tagPhotograph(path, tags, orientation));
    return path;
  }

  PhotoMetadata read(const std::string& path, FileType type) { return readPhotoMetadata(path, type, "photo", warnings); }

  test::TempDir dir;
  test::Bytes profile;
  test::PhotographTags tags;
  std::vector<std::string> warnings;
};

TEST_F(PhotoMetadataReader, ReadsEveryBlockOfAJpegTiffAndPng) {
  for (const auto& [name, type] : {std::pair{"photo.jpg", FileTypeJpeg}, std::pair{"photo.tif", FileTypeTiff},
                                   std::pair{"photo.png", FileTypePng}}) {
    SCOPED_TRACE(name);
    warnings.clear();
    const PhotoMetadata metadata = read(taggedPhotograph(name, 3), type);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(metadata.iccProfile, asText(profile)) << "the profile whole, byte for byte";
    EXPECT_FALSE(metadata.exif.empty());
    EXPECT_FALSE(metadata.iptc.empty());
    EXPECT_NE(metadata.iptc.find(tags.headline), std::string::npos);
    EXPECT_NE(metadata.xmp.find(tags.label), std::string::npos);
    EXPECT_EQ(metadata.orientation, 3);
    EXPECT_EQ(metadata.captureTime, "2021-06-05 14:03:22");
    EXPECT_EQ(metadata.camera, "Canon EOS R6") << "the maker's name is not said twice";
    EXPECT_EQ(metadata.placeName, "Oslo, Norway");
    ASSERT_TRUE(metadata.position.has_value());
    EXPECT_NEAR(metadata.position->latitude, 59.91387, 1e-6);
    EXPECT_NEAR(metadata.position->longitude, -10.75225, 1e-6);
    EXPECT_EQ(placeText(metadata), "Oslo, Norway, 59.91387\u00B0 N, 10.75225\u00B0 W");
  }
}

TEST_F(PhotoMetadataReader, APhotographWithoutAnyHasNothingToCarryAndNothingToSay) {
  // The sample has a JFIF header only; ImageMagick's TIFF and PNG have their own fields
  // (resolution, colours' description, dates in PNG text), which are no photograph's.
  ASSERT_TRUE(test::runCommand("convert " + test::shellQuoted(sample()) + " -resize 80x60 " +
                               test::shellQuoted(dir.file("plain.tif"))));
  ASSERT_TRUE(test::runCommand("convert " + test::shellQuoted(sample()) + " -resize 80x60 " +
                               test::shellQuoted(dir.file("plain.png"))));
  for (const auto& [path, type] : {std::pair{sample(), FileTypeJpeg}, std::pair{dir.file("plain.tif"), FileTypeTiff},
                                   std::pair{dir.file("plain.png"), FileTypePng}}) {
    const PhotoMetadata metadata = read(path, type);
    EXPECT_TRUE(metadata.empty()) << path;
    EXPECT_EQ(metadata.orientation, 1);
    EXPECT_TRUE(metadata.captureTime.empty() && metadata.camera.empty() && placeText(metadata).empty()) << path;
  }
  EXPECT_TRUE(warnings.empty());
}

// Finds `what` in the file and puts `with` over it; false when it is not there.
bool patch(const std::string& path, const std::string& what, const std::string& with) {
  test::Bytes bytes = test::readFileBytes(path);
  const auto at = std::search(bytes.begin(), bytes.end(), what.begin(), what.end());
  if (at == bytes.end()) return false;
  std::copy(with.begin(), with.end(), at);
  test::writeFileBytes(path, bytes);
  return true;
}

TEST_F(PhotoMetadataReader, ADamagedBlockIsLeftOutWithAWarningAndTheRestKept) {
  const std::string path = taggedPhotograph("photo.jpg");
  // exiftool writes EXIF big-endian: the first directory's offset pointed far past the block.
  ASSERT_TRUE(patch(path, std::string("Exif\0\0MM\0\x2A\0\0\0\x08", 14), std::string("Exif\0\0MM\0\x2A\x7F\0\0\x08", 14)));
  DibImage picture;
  ASSERT_EQ(picture.loadFromFile(path), ImageError::None) << "the picture itself is whole";
  const PhotoMetadata metadata = read(path, FileTypeJpeg);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "photo: its EXIF block is damaged and was left out.");
  EXPECT_TRUE(metadata.exif.empty());
  EXPECT_TRUE(metadata.captureTime.empty());
  EXPECT_EQ(metadata.camera, "") << "the camera is EXIF's alone";
  EXPECT_EQ(metadata.placeName, "Oslo, Norway") << "IPTC and XMP are kept";
  EXPECT_FALSE(metadata.iptc.empty());
  EXPECT_FALSE(metadata.xmp.empty());
  EXPECT_EQ(metadata.iccProfile, asText(profile));

  // Two profile chunks that both say they are the first: no profile, a warning.
  warnings.clear();
  const std::string second = taggedPhotograph("second.jpg");
  ASSERT_TRUE(patch(second, std::string("ICC_PROFILE\0\x02\x02", 14), std::string("ICC_PROFILE\0\x01\x02", 14)));
  const PhotoMetadata noProfile = read(second, FileTypeJpeg);
  EXPECT_TRUE(noProfile.iccProfile.empty());
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "photo: its colour profile is damaged and was left out.");
  EXPECT_FALSE(noProfile.exif.empty());

  // An XMP packet that is no XML.
  warnings.clear();
  const std::string third = taggedPhotograph("third.jpg");
  ASSERT_TRUE(patch(third, "<x:xmpmeta", "<x:xmpmeta<<"));
  EXPECT_TRUE(read(third, FileTypeJpeg).xmp.empty());
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "photo: its XMP packet is damaged and was left out.");
}

TEST_F(PhotoMetadataReader, AnEmptyIptcRecordIsNoDamage) {
  // What Photoshop and some cameras leave: a resource block whose IPTC record has no bytes,
  // beside the digest of that nothing.
  std::string resources("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0\0" "8BIM\x04\x25\0\0\0\0\0\x10", 38);
  resources += std::string("\xd4\x1d\x8c\xd9\x8f\x00\xb2\x04\xe9\x80\x09\x98\xec\xf8\x42\x7e", 16);
  const auto length = static_cast<char>(resources.size() + 2);
  const std::string segment = std::string("\xFF\xED\0", 3) + length + resources;
  test::Bytes bytes = test::readFileBytes(sample());
  bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
  test::writeFileBytes(dir.file("empty-iptc.jpg"), bytes);
  const PhotoMetadata metadata = read(dir.file("empty-iptc.jpg"), FileTypeJpeg);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  EXPECT_TRUE(metadata.iptc.empty());
}

// The stored picture of each orientation, made by ImageMagick from the upright one: the
// operation that turns the upright picture into what the camera stored.
struct Stored {
  int orientation;
  const char* operation;
};
constexpr Stored kStored[] = {{1, ""},           {2, "-flop"},      {3, "-rotate 180"}, {4, "-flip"},
                              {5, "-transpose"}, {6, "-rotate 270"}, {7, "-transverse"}, {8, "-rotate 90"}};

TEST_F(PhotoMetadataReader, EveryOrientationOpensUpright) {
  // A small picture of distinct colours, lossless in PNG and TIFF.
  const std::vector<std::uint8_t> upright = test::patternPixels(7, 4);
  DibImage original;
  ASSERT_EQ(original.copyFromPixels(upright.data(), 7, 4), ImageError::None);
  ASSERT_EQ(original.saveToFile(dir.file("upright.bmp"), FileTypeBmp), ImageError::None);
  for (const char* extension : {".png", ".tif"}) {
    for (const Stored& stored : kStored) {
      const std::string path = dir.file("stored" + std::to_string(stored.orientation) + extension);
      SCOPED_TRACE(path);
      ASSERT_TRUE(test::runCommand("convert " + test::shellQuoted(dir.file("upright.bmp")) + " " + stored.operation +
                                   " " + test::shellQuoted(path)));
      ASSERT_TRUE(test::runCommand("exiftool -q -overwrite_original -n -Orientation=" +
                                   std::to_string(stored.orientation) + " " + test::shellQuoted(path)));
      const FileType type = extension == std::string(".png") ? FileTypePng : FileTypeTiff;
      DibImage picture;
      ASSERT_EQ(picture.loadFromFile(path, type), ImageError::None);
      const PhotoMetadata metadata = read(path, type);
      EXPECT_EQ(metadata.orientation, stored.orientation);
      ASSERT_EQ(turnUpright(picture, orientationAfterDecoding(type, metadata.orientation)), ImageError::None);
      ASSERT_EQ(picture.width(), 7);
      ASSERT_EQ(picture.height(), 4);
      EXPECT_EQ(std::memcmp(picture.pixels(), upright.data(), upright.size()), 0);
    }
  }
  EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace kelmira

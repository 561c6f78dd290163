// What the camera recorded travels with the picture: a photograph tagged by exiftool, with a
// colour profile ImageMagick embedded, made into every result by kelmira-cli, and each
// result read back by exiftool. A photograph without metadata gives the very bytes it gave
// before any metadata was carried.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "cli_runner.h"
#include "image/dib_image.h"
#include "sphere/sha256.h"
#include "support/tagged_photos.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::runCli;
using Tags = std::map<std::string, std::string>;

std::string source() { return std::getenv("KELMIRA_SOURCE_DIR"); }
std::string sample() { return source() + "/samples/mirror-sample.jpg"; }
std::string q(const std::string& text) { return test::shellQuoted(text); }

std::string text(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

std::string hexDigest(const std::string& path) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : sha256(text(path))) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

bool haveTools() { return test::haveExiftool() && test::haveImageMagick(); }

// The fields exiftool must read the same in the photograph and in every result that holds them.
constexpr const char* kKept[] = {
    "IFD0:Make",           "IFD0:Model",         "ExifIFD:LensModel",     "ExifIFD:DateTimeOriginal",
    "ExifIFD:ExposureTime", "ExifIFD:FNumber",   "ExifIFD:ISO",           "GPS:GPSLatitude",
    "GPS:GPSLatitudeRef",  "GPS:GPSLongitude",   "GPS:GPSLongitudeRef",   "IFD0:Artist",
    "IFD0:Copyright",      "IPTC:City",          "IPTC:Keywords",         "IPTC:Headline",
    "IPTC:Country-PrimaryLocationName",           "XMP-dc:Creator",        "XMP-xmp:Label",
    "XMP-photoshop:City",  "XMP-photoshop:Country",
};

bool hasGroup(const Tags& tags, const std::string& group) {
  for (const auto& [key, value] : tags) {
    if (key.rfind(group + ":", 0) == 0) return true;
  }
  return false;
}

class MetadataResults : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveTools()) GTEST_SKIP() << "no exiftool or ImageMagick (scripts/setup.sh test installs them)";
    profile = test::colourProfile("Kelmira test display", 70000);
    test::writeFileBytes(dir.file("display.icc"), profile);
    photo = dir.file("photo.jpg");
    ASSERT_TRUE(test::embedProfile(sample(), dir.file("display.icc"), photo));
    ASSERT_TRUE(test::tagPhotograph(photo));
    before = test::exiftoolTags(photo);
    ASSERT_FALSE(before["IFD1:ThumbnailImage"].empty()) << "the photograph has a thumbnail of its own";
  }

  void expectKept(const Tags& after, const std::string& result) {
    for (const char* key : kKept) {
      ASSERT_FALSE(before[key].empty()) << key;
      const auto found = after.find(key);
      EXPECT_TRUE(found != after.end() && found->second == before[key])
          << result << " " << key << ": " << (found == after.end() ? "missing" : found->second);
    }
    EXPECT_EQ(test::exiftoolBytes(result, "ICC_Profile"), profile) << result << ": the profile, byte for byte";
  }

  // Made true of the new picture.
  void expectTrue(Tags after, const std::string& result, int width, int height) {
    EXPECT_EQ(after["ICC_Profile:ProfileDescription"], "Kelmira test display") << result;
    EXPECT_EQ(after["IFD0:Orientation"], "1") << result;
    EXPECT_EQ(after["IFD0:Software"], "Kelmira 2.1000") << result;
    EXPECT_EQ(after.count("IFD1:ThumbnailImage"), 0u) << result << ": no thumbnail of the round photograph";
    const std::string sizeGroup = result.ends_with(".jpg") ? "File:" : "IFD0:";
    EXPECT_EQ(after[sizeGroup + "ImageWidth"], std::to_string(width)) << result;
    EXPECT_EQ(after[sizeGroup + "ImageHeight"], std::to_string(height)) << result;
    if (result.ends_with(".jpg")) {
      EXPECT_EQ(after["ExifIFD:ExifImageWidth"], std::to_string(width)) << result;
      EXPECT_EQ(after["ExifIFD:ExifImageHeight"], std::to_string(height)) << result;
    }
    EXPECT_EQ(after["ExifTool:Warning"], "") << result;
  }

  test::TempDir dir;
  test::Bytes profile;
  std::string photo;
  Tags before;
};

TEST_F(MetadataResults, ThePanoramaPicturesCarryWhatTheCameraRecorded) {
  for (const char* name : {"pano.jpg", "pano.tif"}) {
    const std::string result = dir.file(name);
    const test::RunResult made = runCli("unwarp " + q(photo) + " " + q(result) + " --centre auto");
    ASSERT_EQ(made.status, 0) << made.output;
    const Tags after = test::exiftoolTags(result);
    expectKept(after, result);
    expectTrue(after, result, 1809, 288);
    EXPECT_FALSE(hasGroup(after, "XMP-GPano")) << name << ": a panorama strip is no Photo Sphere";
  }
  // A batch writes its pictures as their rows are made, on threads of their own.
  const test::RunResult batch = runCli("unwarp " + q(photo) + " --out-dir " + q(dir.path().string()) + " --centre auto");
  ASSERT_EQ(batch.status, 0) << batch.output;
  expectKept(test::exiftoolTags(dir.file("photo_pano.jpg")), dir.file("photo_pano.jpg"));

  // A bitmap has no place for any of it.
  ASSERT_EQ(runCli("unwarp " + q(photo) + " " + q(dir.file("pano.bmp")) + " --centre auto").status, 0);
  const Tags bitmap = test::exiftoolTags(dir.file("pano.bmp"));
  for (const char* group : {"IFD0", "ExifIFD", "GPS", "IPTC", "XMP-dc", "ICC_Profile"}) {
    EXPECT_FALSE(hasGroup(bitmap, group)) << group;
  }
}

TEST_F(MetadataResults, The360DegreePhotoCarriesItBesideItsPhotoSphereFields) {
  const std::string result = dir.file("photo_360.jpg");
  const test::RunResult made = runCli("sphere " + q(photo) + " " + q(result) + " --centre auto");
  ASSERT_EQ(made.status, 0) << made.output;
  ASSERT_NE(made.output.find("1809 x 253 of a 1809 x 904 sphere from row 366"), std::string::npos) << made.output;
  Tags after = test::exiftoolTags(result);
  expectKept(after, result);
  expectTrue(after, result, 1809, 253);
  // The photograph's own (a phone's cylindrical panorama) gave way to the photo's own.
  const std::map<std::string, std::string> sphere = {
      {"ProjectionType", "equirectangular"},     {"UsePanoramaViewer", "True"},
      {"FullPanoWidthPixels", "1809"},           {"FullPanoHeightPixels", "904"},
      {"CroppedAreaImageWidthPixels", "1809"},   {"CroppedAreaImageHeightPixels", "253"},
      {"CroppedAreaLeftPixels", "0"},            {"CroppedAreaTopPixels", "366"}};
  for (const auto& [field, value] : sphere) EXPECT_EQ(after["XMP-GPano:" + field], value) << field;
  // The fields stand as elements in one description of their own, as viewers look for them.
  EXPECT_NE(text(result).find("   <GPano:ProjectionType>equirectangular</GPano:ProjectionType>\n"),
            std::string::npos);
}

TEST_F(MetadataResults, TheWebPageSaysWhenAndWhereUnderItsTitle) {
  const std::string page = dir.file("harbour.html");
  ASSERT_EQ(runCli("web " + q(photo) + " " + q(page) + " --centre auto").status, 0);
  const std::string html = text(page);
  EXPECT_NE(html.find("author: \"2021-06-05 14:03:22\\u000aOslo, Norway, 59.91387\u00B0 N, 10.75225\u00B0 W\""),
            std::string::npos);
  // A photograph that does not say has no caption at all.
  ASSERT_EQ(runCli("web " + q(sample()) + " " + q(dir.file("plain.html"))).status, 0);
  EXPECT_EQ(text(dir.file("plain.html")).find("author:"), std::string::npos);

  // A place named in markup, and in what the viewer's byline would read as its patterns.
  test::PhotographTags hostile;
  hostile.city = "<img src=x onerror=alert(1)> $& $$";
  const std::string named = dir.file("named.jpg");
  ASSERT_TRUE(test::runCommand("cp " + q(sample()) + " " + q(named)));
  ASSERT_TRUE(test::tagPhotograph(named, hostile));
  const std::string hostilePage = dir.file("hostile.html");
  ASSERT_EQ(runCli("web " + q(named) + " " + q(hostilePage) + " --title 'The pier'").status, 0);
  EXPECT_EQ(text(hostilePage).find("<img src=x"), std::string::npos);

  const bool browser = std::filesystem::exists("/usr/bin/chromium") &&
                       test::runCommand("node --version") &&
                       std::filesystem::exists(source() + "/web/node_modules/playwright-core");
  if (!browser) GTEST_SKIP() << "no Chromium, Node.js or playwright-core (scripts/setup.sh test installs them)";
  const std::pair<std::string, std::string> pages[] = {
      {page, "harbour\t2021-06-05 14:03:22\\nOslo, Norway, 59.91387\u00B0 N, 10.75225\u00B0 W"},
      {hostilePage, "The pier\t2021-06-05 14:03:22\\n" + hostile.city + ", Norway, 59.91387\u00B0 N, 10.75225\u00B0 W"}};
  for (const auto& [shown, expected] : pages) {
    const std::size_t tab = expected.find('\t');
    std::string report;
    const bool passed = test::runCommand("cd " + q(source() + "/web") + " && node test/page_caption_test.mjs " +
                                             q(shown) + " " + q(expected.substr(0, tab)) + " " +
                                             q(expected.substr(tab + 1)) + " " + q(shown + ".png"),
                                         &report);
    EXPECT_TRUE(passed) << shown << ": " << report;
  }
}

TEST_F(MetadataResults, ADamagedExifBlockIsLeftOutWithAWarningAndTheRestCarried) {
  test::Bytes bytes = test::readFileBytes(photo);
  const std::string header("Exif\0\0MM\0\x2A\0\0\0\x08", 14);
  const auto at = std::search(bytes.begin(), bytes.end(), header.begin(), header.end());
  ASSERT_NE(at, bytes.end());
  at[10] = 0x7F;  // the first directory far past the block
  test::writeFileBytes(photo, bytes);
  const test::RunResult made = runCli("unwarp " + q(photo) + " " + q(dir.file("pano.jpg")) + " --centre auto");
  ASSERT_EQ(made.status, 0) << made.output;
  EXPECT_NE(made.output.find("kelmira-cli: warning: photo.jpg: its EXIF block is damaged and was left out.\n"),
            std::string::npos)
      << made.output;
  Tags after = test::exiftoolTags(dir.file("pano.jpg"));
  EXPECT_FALSE(hasGroup(after, "IFD0"));
  EXPECT_EQ(after["IPTC:City"], "Oslo");
  EXPECT_EQ(after["XMP-xmp:Label"], "Pier");
  EXPECT_EQ(after["ICC_Profile:ProfileDescription"], "Kelmira test display");
}

// A phone stores its picture as the sensor lay and says how to turn it (orientation 6: a
// quarter turn clockwise): the ring is found on the upright picture.
TEST_F(MetadataResults, ATurnedPhotographIsOpenedUpright) {
  ASSERT_EQ(runCli("unwarp " + q(sample()) + " " + q(dir.file("sample.bmp")) + " --centre auto").status, 0);
  ASSERT_EQ(runCli("simulate " + q(dir.file("sample.bmp")) + " " + q(dir.file("upright.bmp")) +
                   " --size 1200x900 --centre 520,410")
                .status,
            0);
  const std::string stored = dir.file("stored.jpg");
  ASSERT_TRUE(test::runCommand("convert " + q(dir.file("upright.bmp")) + " -rotate 270 -quality 95 " + q(stored)));
  const test::RunResult sideways = runCli("find-ring " + q(stored));
  EXPECT_NE(sideways.output.find("centre 410.0 679.0"), std::string::npos) << sideways.output;
  ASSERT_TRUE(test::tagPhotograph(stored, {}, 6));
  const test::RunResult upright = runCli("find-ring " + q(stored));
  EXPECT_NE(upright.output.find("centre 520.0 410.0"), std::string::npos) << upright.output;
  const test::RunResult made = runCli("unwarp " + q(stored) + " " + q(dir.file("pano.jpg")) + " --centre auto");
  EXPECT_NE(made.output.find("around (520, 410)"), std::string::npos) << made.output;
  EXPECT_EQ(test::exiftoolTags(dir.file("pano.jpg"))["IFD0:Orientation"], "1");
}

// The digests of what kelmira-cli wrote of the sample before it carried any metadata.
TEST(MetadataFreeResults, AreTheBytesTheyWereBefore) {
  test::TempDir dir;
  const std::pair<const char*, const char*> results[] = {
      {"sample_pano.jpg", "6c586898cc361f5893172ba942844e870e3268f97f1625554653389969e9d760"},
      {"sample_pano.tif", "0625e3479fd8b22d6e5f3605fb42aecf4a2e44e913d2912e3bbe61e10b183cf4"},
      {"sample_pano.bmp", "645dc984df89d05b16b935eff866634672f70ae3e934b268e88e195055f24b31"},
      {"sample_360.jpg", "1fa76dda84c95faad7b19d4b5ddd543247b2537de2667a55468ce40a442ca49d"},
      {"sample.html", "75930e63a49fc789d7ca0d0751a34e36518e4ec46a014b23f2a4706ea1ce94e2"},
  };
  for (const auto& [name, digest] : results) {
    const std::string command = std::string(name).ends_with("_360.jpg") ? "sphere"
                                : std::string(name).ends_with(".html") ? "web"
                                                                       : "unwarp";
    const test::RunResult made = runCli(command + " " + q(sample()) + " " + q(dir.file(name)) + " --centre auto");
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_EQ(hexDigest(dir.file(name)), digest) << name;
  }
}

}  // namespace
}  // namespace kelmira

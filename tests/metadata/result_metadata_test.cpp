// What a result carries of the photograph: nothing at all without metadata, the photograph's
// own XMP made true of the result (read back by exiftool), and blocks too large for a JPEG
// left out rather than failing the save.
#include "metadata/result_metadata.h"

#include <gtest/gtest.h>

#include "image/dib_image.h"
#include "support/tagged_photos.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

const std::string kOwnDescription =
    "  <rdf:Description rdf:about=\"\" xmlns:GPano=\"http://ns.google.com/photos/1.0/panorama/\">\n"
    "   <GPano:ProjectionType>equirectangular</GPano:ProjectionType>\n"
    "  </rdf:Description>\n";

std::string packetWith(const std::string& properties) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "<rdf:Description rdf:about=\"\" xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\""
         " xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\""
         " xmlns:GPano=\"http://ns.google.com/photos/1.0/panorama/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n" +
         properties + "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

TEST(ResultMetadata, APhotographWithoutMetadataAddsNothing) {
  const EmbeddedMetadata picture = metadataForResult(PhotoMetadata::none(), 1809, 288);
  EXPECT_TRUE(picture.empty());
  // What people are shown counts for nothing by itself: only the blocks are carried.
  PhotoMetadata shownOnly;
  shownOnly.captureTime = "2021-06-05 14:03:22";
  shownOnly.orientation = 6;
  EXPECT_TRUE(metadataForResult(shownOnly, 1809, 288).empty());
  const EmbeddedMetadata sphere = metadataForResult(shownOnly, 1809, 253, kOwnDescription);
  EXPECT_EQ(sphere.xmp,
            "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
            " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n" +
                kOwnDescription +
                " </rdf:RDF>\n"
                "</x:xmpmeta>\n"
                "<?xpacket end=\"w\"?>");
  EXPECT_TRUE(sphere.exif.empty() && sphere.iptc.empty() && sphere.iccProfile.empty());
}

TEST(ResultMetadata, ThePhotographsOwnXmpIsMadeTrueOfTheResult) {
  if (!test::haveExiftool()) GTEST_SKIP() << "no exiftool (scripts/setup.sh test installs it)";
  PhotoMetadata photo;
  photo.xmp = packetWith(
      "<tiff:Orientation>6</tiff:Orientation><exif:PixelXDimension>1600</exif:PixelXDimension>"
      "<xmp:CreatorTool>Phone camera 1.0</xmp:CreatorTool><GPano:ProjectionType>cylindrical</GPano:ProjectionType>"
      "<xmp:Thumbnails><rdf:Alt><rdf:li rdf:parseType=\"Resource\"><xmpGImg:image "
      "xmlns:xmpGImg=\"http://ns.adobe.com/xap/1.0/g/img/\">AAAA</xmpGImg:image></rdf:li></rdf:Alt></xmp:Thumbnails>"
      "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">The pier</rdf:li></rdf:Alt></dc:title>\n");
  test::TempDir dir;
  DibImage picture;
  ASSERT_EQ(picture.allocate(24, 8), ImageError::None);
  ASSERT_EQ(picture.saveToFile(dir.file("result.jpg"), FileTypeJpeg, nullptr,
                               metadataForResult(photo, 24, 8, kOwnDescription)),
            ImageError::None);
  std::map<std::string, std::string> tags = test::exiftoolTags(dir.file("result.jpg"));
  EXPECT_EQ(tags["XMP-dc:Title"], "The pier");
  EXPECT_EQ(tags["XMP-tiff:Orientation"], "1");
  EXPECT_EQ(tags["XMP-exif:ExifImageWidth"], "24");
  EXPECT_EQ(tags["XMP-xmp:CreatorTool"], "Kelmira 2.1000");
  EXPECT_EQ(tags["XMP-GPano:ProjectionType"], "equirectangular");
  EXPECT_EQ(tags.count("XMP-xmp:ThumbnailImage"), 0u) << "no thumbnail of the round photograph";
  EXPECT_EQ(tags["ExifTool:Warning"], "");
}

TEST(ResultMetadata, BlocksTooLargeForAJpegAreLeftOutAndThePhotoSphereFieldsStay) {
  PhotoMetadata photo;
  photo.xmp = packetWith("<dc:description>" + std::string(70000, 'x') + "</dc:description>\n");
  photo.iptc = std::string(70000, '\0');
  photo.iccProfile = "a profile";
  const EmbeddedMetadata sphere = metadataForResult(photo, 64, 16, kOwnDescription);
  EXPECT_EQ(sphere.xmp, xmpPacketAround(kOwnDescription));
  EXPECT_TRUE(sphere.iptc.empty());
  EXPECT_EQ(sphere.iccProfile, "a profile");
  const EmbeddedMetadata picture = metadataForResult(photo, 64, 16);
  EXPECT_TRUE(picture.xmp.empty());
  test::TempDir dir;
  DibImage image;
  ASSERT_EQ(image.allocate(64, 16), ImageError::None);
  EXPECT_EQ(image.saveToFile(dir.file("big.jpg"), FileTypeJpeg, nullptr, picture), ImageError::None);
  EXPECT_EQ(image.saveToFile(dir.file("sphere.jpg"), FileTypeJpeg, nullptr, sphere), ImageError::None);
}

}  // namespace
}  // namespace kelmira

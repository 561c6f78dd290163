#include "sphere/sphere_photo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "image/dib_image.h"
#include "support/test_files.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/unwarp_ring.h"
#include "workspace/workspace.h"

namespace kelmira {
namespace {

// The colour of the 10-degree band an elevation lies in: bands from +20 down to -40.
std::uint8_t bandGrey(double elevation) { return static_cast<std::uint8_t>(20 + 35 * (2 - std::floor(elevation / 10))); }

// A round photograph painted from the model itself: each pixel in the grey of the band
// its radius looks at, so in a right 360-degree photo the bands fall on known rows.
void writeModelRound(const std::string& path, int width, int height) {
  DibImage round;
  round.allocate(width, height);
  std::uint8_t* p = round.beginAccess();
  const double scale = defaultRingScale(static_cast<std::uint32_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      const double t = std::hypot(x - width / 2.0, y - height / 2.0) / scale;
      p[0] = p[1] = p[2] = t < 1.7 || t > 4.3 ? 0 : bandGrey(elevationForRadius(t));
    }
  round.endAccess();
  round.saveToFile(path, FileTypeBmp);
}

// Where, down a column, the grey passes half way from one band's grey to the next band's:
// the row (between rows) of each band edge, by the elevation at which it lies.
std::map<int, double> bandEdges(const DibImage& photo, int column) {
  std::map<int, double> edges;
  const auto grey = [&](int y) { return double(photo.pixels()[3 * (std::size_t(y) * photo.width() + column)]); };
  for (int boundary = 10; boundary >= -30; boundary -= 10) {
    const double middle = (bandGrey(boundary + 5) + bandGrey(boundary - 5)) / 2.0;
    for (int y = 1; y < photo.height(); ++y) {
      if (grey(y - 1) < middle && grey(y) >= middle) {
        edges[boundary] = y - 1 + (middle - grey(y - 1)) / (grey(y) - grey(y - 1));
        break;
      }
    }
  }
  return edges;
}

class SpherePhotoTest : public testing::Test {
 protected:
  SpherePhotoTest() : workspace(nullptr, nullptr, nullptr) {}
  test::TempDir dir;
  Workspace workspace;
};

TEST_F(SpherePhotoTest, TheBandsOfTheModelLandOnTheRowsOfTheirElevations) {
  writeModelRound(dir.file("model.bmp"), 1600, 1200);
  ASSERT_EQ(workspace.openRound(dir.file("model.bmp")), WorkspaceResult::Done);
  ASSERT_EQ(workspace.makePanorama(0, 0), WorkspaceResult::Done);
  ASSERT_EQ(workspace.panorama().width(), 1809);  // radius 480: trunc(0.6 x 480 x 2 pi)
  const std::string path = dir.file("sphere.jpg");
  ASSERT_EQ(saveSpherePhoto(workspace.panorama(), workspace.panoramaRows(), path, kDefaultSphereQuality), ImageError::None);
  DibImage photo;
  ASSERT_EQ(photo.loadFromFile(path), ImageError::None);

  // The whole sphere would be 1809 x 904; its top row here is the one holding the model's
  // highest elevation, that of radius 1.76 (+17.2 degrees).
  const int fullHeight = 1809 / 2;
  const double highest = elevationForRadius(1.76);
  const int top = static_cast<int>(std::ceil((90 - highest) * fullHeight / 180 - 0.5));
  DibImage made;
  SphereFrame frame;
  ASSERT_TRUE(makeSpherePhoto(workspace.panorama(), workspace.panoramaRows(), made, frame));
  EXPECT_EQ(frame.fullWidth, 1809);
  EXPECT_EQ(frame.fullHeight, fullHeight);
  EXPECT_EQ(frame.top, top);
  EXPECT_EQ(photo.width(), 1809);
  EXPECT_EQ(photo.height(), frame.height);
  EXPECT_NEAR(frame.elevationOfRow(frame.top + frame.height - 1), workspace.panoramaRows().bottom(), 180.0 / fullHeight);

  // Each band edge at 10, 0, -10, -20, -30 degrees on its row, within two rows, in columns
  // all round (the bands do not depend on the direction). A row y holds the elevation of
  // its middle, so the edge at elevation b lies between the rows round y = (90 - b) x
  // fullHeight / 180 - top (measured to the row's top edge).
  for (const int column : {0, 450, 904, 1700}) {
    const std::map<int, double> edges = bandEdges(photo, column);
    ASSERT_EQ(edges.size(), 5u) << column;
    for (const auto& [boundary, row] : edges) {
      const double expected = (90.0 - boundary) * fullHeight / 180 - top - 0.5;
      EXPECT_NEAR(row, expected, 2.0) << "column " << column << ", edge at " << boundary << " degrees";
    }
  }
}

TEST_F(SpherePhotoTest, ACropKeepsTheElevationsOfTheRowsItKeeps) {
  writeModelRound(dir.file("model.bmp"), 800, 600);
  ASSERT_EQ(workspace.openRound(dir.file("model.bmp")), WorkspaceResult::Done);
  ASSERT_EQ(workspace.makePanorama(0, 0), WorkspaceResult::Done);
  DibImage whole;
  SphereFrame wholeFrame;
  ASSERT_TRUE(makeSpherePhoto(workspace.panorama(), workspace.panoramaRows(), whole, wholeFrame));

  const RowElevations before = workspace.panoramaRows();
  // Keep rows 30 to 99 of the 144.
  workspace.setCropLines(30, 99);
  ASSERT_EQ(workspace.cropPanorama(), WorkspaceResult::Done);
  ASSERT_EQ(workspace.panoramaRows().size(), 70u);
  EXPECT_EQ(workspace.panoramaRows().top(), before.at(30));
  EXPECT_EQ(workspace.panoramaRows().bottom(), before.at(99));
  DibImage cropped;
  SphereFrame croppedFrame;
  ASSERT_TRUE(makeSpherePhoto(workspace.panorama(), workspace.panoramaRows(), cropped, croppedFrame));
  EXPECT_EQ(croppedFrame.fullWidth, wholeFrame.fullWidth);
  EXPECT_GT(croppedFrame.top, wholeFrame.top);
  EXPECT_LT(croppedFrame.top + croppedFrame.height, wholeFrame.top + wholeFrame.height);
  // The rows both photos share are the same picture.
  const int offset = croppedFrame.top - wholeFrame.top;
  for (int y = 2; y + 2 < croppedFrame.height; y += 7)
    for (int x = 0; x < 3 * cropped.width(); x += 97) {
      EXPECT_NEAR(cropped.pixels()[3 * std::size_t(y) * cropped.width() + x],
                  whole.pixels()[3 * std::size_t(y + offset) * whole.width() + x], 1)
          << y << ", " << x;
    }

  // Undo gives the whole range back.
  ASSERT_EQ(workspace.undo(), WorkspaceResult::Done);
  EXPECT_EQ(workspace.panoramaRows().size(), before.size());
  EXPECT_EQ(workspace.panoramaRows().top(), before.top());
}

TEST_F(SpherePhotoTest, ExiftoolReadsTheFramingAsAPhotoSphere) {
  writeModelRound(dir.file("model.bmp"), 800, 600);
  ASSERT_EQ(workspace.openRound(dir.file("model.bmp")), WorkspaceResult::Done);
  ASSERT_EQ(workspace.makePanorama(0, 0), WorkspaceResult::Done);
  const std::string path = dir.file("sphere.jpg");
  ASSERT_EQ(saveSpherePhoto(workspace.panorama(), workspace.panoramaRows(), path, 80), ImageError::None);
  DibImage photo;
  SphereFrame frame;
  ASSERT_TRUE(makeSpherePhoto(workspace.panorama(), workspace.panoramaRows(), photo, frame));

  std::FILE* pipe = popen(("exiftool -s -XMP-GPano:all '" + path + "' 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string said;
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) said += line;
  if (pclose(pipe) != 0 && said.find("not found") != std::string::npos) GTEST_SKIP() << "no exiftool";
  const auto field = [&](const std::string& name) {
    const auto at = said.find(name + " ");
    if (at == std::string::npos) return std::string("(missing)");
    const auto colon = said.find(": ", at);
    return said.substr(colon + 2, said.find('\n', colon) - colon - 2);
  };
  EXPECT_EQ(field("ProjectionType"), "equirectangular") << said;
  EXPECT_EQ(field("UsePanoramaViewer"), "True");
  EXPECT_EQ(field("FullPanoWidthPixels"), std::to_string(frame.fullWidth));
  EXPECT_EQ(field("FullPanoHeightPixels"), std::to_string(frame.fullWidth / 2));
  EXPECT_EQ(field("CroppedAreaImageWidthPixels"), std::to_string(frame.fullWidth));
  EXPECT_EQ(field("CroppedAreaImageHeightPixels"), std::to_string(frame.height));
  EXPECT_EQ(field("CroppedAreaLeftPixels"), "0");
  EXPECT_EQ(field("CroppedAreaTopPixels"), std::to_string(frame.top));
}

}  // namespace
}  // namespace kelmira

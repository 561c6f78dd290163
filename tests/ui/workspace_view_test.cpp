#include "ui/workspace_view.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cmath>

#include "support/test_files.h"
#include "unwarp/ring_simulator.h"
#include "support/workspace_fakes.h"

namespace kelmira {
namespace {

constexpr QRgb kGrey = 0xFF808080;

std::string writeGreyPicture(const std::string& path, int width, int height) {
  DibImage image;
  image.allocate(width, height);
  std::uint8_t* p = image.beginAccess();
  std::fill(p, p + 3 * width * height, 0x80);
  image.endAccess();
  image.saveToFile(path, FileTypeBmp);
  return path;
}

bool isGreen(QRgb pixel) { return qRed(pixel) < 40 && qGreen(pixel) > 200 && qBlue(pixel) < 40; }

// Whether any pixel within one of (x, y) is overlay green: pens of one and two pixels
// straddle the mathematical line.
bool greenNear(const QImage& image, int x, int y) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (isGreen(image.pixel(x + dx, y + dy))) return true;
  return false;
}

class WorkspaceViewTest : public testing::Test {
 protected:
  WorkspaceViewTest() : view(&prompts, nullptr) {}

  void show(int width, int height) {
    view.resize(width, height);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  QImage grab() { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  test::TempDir dir;
  test::FakePrompts prompts;
  WorkspaceView view;
};

TEST_F(WorkspaceViewTest, NothingOpenIsAllBlack) {
  show(300, 200);
  const QImage image = grab();
  for (int y = 0; y < image.height(); y += 7)
    for (int x = 0; x < image.width(); x += 7) ASSERT_EQ(image.pixel(x, y), 0xFF000000u) << x << "," << y;
}

TEST_F(WorkspaceViewTest, TheCropCircleIsDrawnWhereTheWorkspacePutsIt) {
  show(800, 700);
  ASSERT_EQ(view.workspace().openRound(writeGreyPicture(dir.file("round.bmp"), 1600, 1200)), WorkspaceResult::Done);
  view.refreshDisplay();
  const QImage image = grab();
  // Centre (400, 300), radii 24, 240, 278 and 319, cross arms 800 long.
  for (const int radius : {24, 240, 278, 319}) {
    const int offset = static_cast<int>(std::lround(radius / std::sqrt(2.0)));
    EXPECT_TRUE(greenNear(image, 400 + offset, 300 + offset)) << radius;
    EXPECT_TRUE(greenNear(image, 400 - offset, 300 - offset)) << radius;
  }
  EXPECT_TRUE(greenNear(image, 400, 20));
  EXPECT_TRUE(greenNear(image, 790, 300));
  EXPECT_EQ(image.pixel(400 + 130, 300 + 50), kGrey);  // between the rings
  EXPECT_EQ(image.pixel(400 + 100, 300 + 120), kGrey);
  EXPECT_EQ(image.pixel(300, 650), 0xFF000000u);  // below the 600 displayed rows
}

TEST_F(WorkspaceViewTest, DraggingWithTheMouseMovesTheCentre) {
  show(800, 600);
  ASSERT_EQ(view.workspace().openRound(writeGreyPicture(dir.file("round.bmp"), 1600, 1200)), WorkspaceResult::Done);
  view.refreshDisplay();
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
  EXPECT_EQ(view.display().dragMode(), DragMode::MovingCentre);
  EXPECT_EQ(QWidget::mouseGrabber(), &view);
  QTest::mouseMove(&view, QPoint(350, 260));
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(350, 260));
  EXPECT_EQ(view.workspace().circleCentreX(), 700);
  EXPECT_EQ(view.workspace().circleCentreY(), 520);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  const QImage image = grab();
  EXPECT_TRUE(greenNear(image, 350, 100));  // the cross now runs through the new centre
  EXPECT_TRUE(greenNear(image, 100, 260));
}

TEST_F(WorkspaceViewTest, CropLinesAreDottedAndWhatCropRemovesIsBlack) {
  show(900, 300);
  ASSERT_EQ(view.workspace().openPanorama(writeGreyPicture(dir.file("pano.bmp"), 1800, 150)), WorkspaceResult::Done);
  grab();  // the first paint fixes the vertical scale: 2 display rows a panorama row
  ASSERT_EQ(view.display().panoVerticalScale(), 2.0);
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(450, 10));
  QTest::mouseMove(&view, QPoint(450, 61));
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(450, 61));
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(450, 290));
  QTest::mouseMove(&view, QPoint(450, 241));
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(450, 241));
  ASSERT_EQ(view.workspace().cropTop(), 30);
  ASSERT_EQ(view.workspace().cropBottom(), 120);

  const QImage image = grab();
  // Top line on row 60, black above it up to row 58; bottom line on row 240, black from 241.
  for (int y : {0, 30, 58}) EXPECT_EQ(image.pixel(450, y), 0xFF000000u) << y;
  EXPECT_EQ(image.pixel(450, 59), kGrey);
  EXPECT_EQ(image.pixel(450, 150), kGrey);
  for (int y : {241, 299}) EXPECT_EQ(image.pixel(450, y), 0xFF000000u) << y;
  for (int row : {60, 240}) {
    int green = 0;
    int other = 0;
    for (int x = 0; x < 900; ++x) (isGreen(image.pixel(x, row)) ? green : other)++;
    EXPECT_GT(green, 200) << row;  // dotted: green and gaps alternate
    EXPECT_GT(other, 200) << row;
  }

  ASSERT_EQ(view.workspace().cropPanorama(), WorkspaceResult::Done);
  EXPECT_EQ(view.workspace().panorama().height(), 91);
}

TEST_F(WorkspaceViewTest, ARoundTripThroughTheMirrorWithTheCentrePlacedByTheMouse) {
  // A 640 x 480 photograph gets crop radius 192, so a 723 x 115 panorama.
  DibImage scene;
  ASSERT_EQ(scene.allocate(723, 115), ImageError::None);
  std::uint8_t* p = scene.beginAccess();
  for (int y = 0; y < 115; ++y)
    for (int x = 0; x < 723; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(x * 255 / 723);
      p[1] = static_cast<std::uint8_t>(y * 2);
      p[2] = (x / 50 + y / 25) % 2 ? 220 : 30;
    }
  scene.endAccess();
  DibImage round;
  ASSERT_EQ(round.allocate(640, 480), ImageError::None);
  const auto viewOf = [](DibImage& image) {
    return ImageView{image.beginAccess(), std::uint32_t(image.width()), std::uint32_t(image.height()), 3,
                     3u * image.width()};
  };
  ASSERT_TRUE(simulateRing(viewOf(scene), viewOf(round), 350, 250));
  ASSERT_EQ(round.saveToFile(dir.file("round.bmp"), FileTypeBmp), ImageError::None);

  show(640, 480);
  ASSERT_EQ(view.workspace().openRound(dir.file("round.bmp")), WorkspaceResult::Done);
  view.refreshDisplay();
  ASSERT_EQ(view.display().roundDisplayScale(), 1.0);
  QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(350, 250));
  ASSERT_EQ(view.workspace().makePanorama(0, 0), WorkspaceResult::Done);
  const DibImage& back = view.workspace().panorama();
  ASSERT_EQ(back.width(), 723);
  ASSERT_EQ(back.height(), 115);
  double sum = 0;
  for (int i = 3 * 723 * 2; i < 3 * 723 * 113; ++i) sum += std::abs(back.pixels()[i] - scene.pixels()[i]);
  EXPECT_LT(sum / (3 * 723 * 111), 6.0);
}

}  // namespace
}  // namespace kelmira

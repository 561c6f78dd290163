#include "ui/look_around_view.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <vector>

namespace kelmira {
namespace {

// A panorama a degree a column: red the column's tens of degrees (0, 10, ... 350 => red 0 to
// 245 in steps of 7), green the row, blue 60.
void paintPanorama(DibImage& panorama, int rows) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(3) * 360 * rows);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < 360; ++x) {
      std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * 360 + x) * 3];
      p[0] = static_cast<std::uint8_t>(x / 10 * 7);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = 60;
    }
  }
  ASSERT_EQ(panorama.copyFromPixels(pixels.data(), 360, rows), ImageError::None);
}

// A band of the sphere from +40 to -40 degrees, a degree a row.
RowElevations bandRows(int rows) {
  std::vector<double> degrees(rows);
  for (int r = 0; r < rows; ++r) degrees[r] = 40.0 - r;
  return RowElevations(degrees);
}

QRgb middle(const LookAroundView& view) { return view.frame().pixel(view.frame().width() / 2, view.frame().height() / 3); }

TEST(LookAroundView, TurnsZoomsAndClosesByHand) {
  DibImage panorama;
  paintPanorama(panorama, 81);
  LookAroundView view(panorama, bandRows(81));
  view.resize(400, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_EQ(view.windowTitle(), "Look Around");
  EXPECT_EQ(view.surface().kind(), LookSurfaceKind::Band);  // the true elevations
  view.setCamera(LookCamera{100.0, 0.0, 60.0});
  view.repaint();
  // The middle column looks at azimuth 100 (red 70); pixel row 66 lies 33.5 pixels above
  // the middle, the focal length 200 / tan 30 = 346.4: atan(33.5 / 346.4) = 5.52 degrees
  // up, row 34.48.
  EXPECT_NEAR(qRed(middle(view)), 70, 1);
  EXPECT_NEAR(qGreen(middle(view)), 34.48, 1);
  EXPECT_EQ(qBlue(middle(view)), 60);

  QTest::keyClick(&view, Qt::Key_Right);
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_DOUBLE_EQ(view.camera().pan, 110.0);
  view.repaint();
  EXPECT_NEAR(qRed(middle(view)), 77, 1);
  QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_DOUBLE_EQ(view.camera().tilt, 5.0);
  QTest::keyClick(&view, Qt::Key_Left);
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_DOUBLE_EQ(view.camera().pan, 105.0);
  EXPECT_DOUBLE_EQ(view.camera().tilt, 0.0);

  // Dragging right by a tenth of the view turns it left by a tenth of its field of view.
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
  QTest::mouseMove(&view, QPoint(240, 100));
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(240, 100));
  EXPECT_NEAR(view.camera().pan, 99.0, 1e-9);

  // + and the wheel narrow the view, - widens it; the limits hold it within the band's
  // 80 degrees: 400 x 200 is at most 2 atan(2 tan 40) = 118.4 wide.
  QTest::keyClick(&view, Qt::Key_Plus);
  EXPECT_NEAR(view.camera().fov, 60.0 / LookAroundView::kZoomStep, 1e-9);
  QWheelEvent wheel(QPointF(200, 100), view.mapToGlobal(QPointF(200, 100)), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&view, &wheel);
  EXPECT_NEAR(view.camera().fov, 60.0, 1e-9);
  for (int i = 0; i < 20; ++i) QTest::keyClick(&view, Qt::Key_Minus);
  EXPECT_NEAR(view.camera().fov, 2.0 * std::atan(2.0 * std::tan(40.0 * M_PI / 180.0)) * 180.0 / M_PI, 1e-9);
  EXPECT_NEAR(view.camera().tilt, 0.0, 1e-9);
  for (int i = 0; i < 20; ++i) QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_NEAR(view.camera().tilt, 0.0, 1e-9);  // as tall as the band: no room to tilt

  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_FALSE(view.isVisible());
}

TEST(LookAroundView, KeepsThePanoramaItWasGiven) {
  DibImage panorama;
  paintPanorama(panorama, 81);
  LookAroundView view(panorama, bandRows(81));
  view.resize(300, 150);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.setCamera(LookCamera{200.0, 0.0, 40.0});
  view.repaint();
  const QRgb before = middle(view);
  panorama.free();  // the window's picture replaced: the view still has what it showed
  view.repaint();
  EXPECT_EQ(middle(view), before);
  // Rows that do not fit the picture make the square cylinder of its width.
  DibImage other;
  paintPanorama(other, 81);
  EXPECT_EQ(LookAroundView(other, RowElevations()).surface().kind(), LookSurfaceKind::Cylinder);
}

}  // namespace
}  // namespace kelmira

#include "ui/advanced_image_tools_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>

#include "support/workspace_fakes.h"
#include "ui/workspace_view.h"

namespace kelmira {
namespace {

// Drags a slider's handle to the end of its groove (or back to where it was) with the
// mouse, the way the preview is triggered.
// Where the slider's handle is drawn now.
QPoint handleCentre(QSlider* slider) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  option.tickPosition = slider->tickPosition();
  return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

void dragHandle(QSlider* slider, int toX) {
  const QPoint handle = handleCentre(slider);
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handle);
  QTest::mouseMove(slider, QPoint(toX, handle.y()));
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(toX, handle.y()));
  QCoreApplication::processEvents();  // the preview runs after the slider settles
}

void clickWithoutMoving(QSlider* slider) { dragHandle(slider, -1000000); }

// A panorama of two flat halves, grey 60 on the left and 200 on the right: away from the
// seam sharpening leaves it as it is, so brightness alone decides the values.
class AdvancedImageToolsTest : public testing::Test {
 protected:
  AdvancedImageToolsTest() : view(&prompts, nullptr) {
    view.resize(640, 160);
    DibImage panorama;
    panorama.allocate(400, 100);
    std::uint8_t* p = panorama.beginAccess();
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 400; ++x, p += 3) p[0] = p[1] = p[2] = x < 200 ? 60 : 200;
    panorama.endAccess();
    panorama.saveToFile(dir.file("halves.bmp"), FileTypeBmp);
    EXPECT_EQ(view.workspace().openPanorama(dir.file("halves.bmp")), WorkspaceResult::Done);
    view.show();
    EXPECT_EQ(view.workspace().snapshotAdjustBase(), WorkspaceResult::Done);
  }
  std::uint8_t panoramaAt(int x, int y) const { return view.workspace().panorama().pixels()[3 * (y * 400 + x)]; }

  test::TempDir dir;
  test::FakePrompts prompts;
  WorkspaceView view;
};

TEST_F(AdvancedImageToolsTest, SlidersStartAtTheirPositionsWithTicksAndEndLabels) {
  AdvancedImageToolsDialog dialog(&view, &prompts);
  EXPECT_EQ(dialog.windowTitle(), "Advanced Image Tools");
  const struct {
    QSlider* slider;
    int minimum, maximum, value;
  } expected[] = {{dialog.brightnessSlider(), 0, 100, 50},
                  {dialog.contrastSlider(), 0, 100, 50},
                  {dialog.qualitySlider(), 1, 100, 1}};
  for (const auto& e : expected) {
    EXPECT_EQ(e.slider->minimum(), e.minimum);
    EXPECT_EQ(e.slider->maximum(), e.maximum);
    EXPECT_EQ(e.slider->value(), e.value);
    EXPECT_EQ(e.slider->tickPosition(), QSlider::TicksAbove);
    EXPECT_EQ(e.slider->tickInterval(), 1);
    EXPECT_EQ(e.slider->focusPolicy(), Qt::StrongFocus);
  }
  EXPECT_DOUBLE_EQ(dialog.brightness(), 0.0);
  EXPECT_DOUBLE_EQ(dialog.contrast(), 0.0);
  EXPECT_EQ(dialog.quality(), 1);
  dialog.brightnessSlider()->setValue(100);
  dialog.contrastSlider()->setValue(0);
  EXPECT_DOUBLE_EQ(dialog.brightness(), 0.5);
  EXPECT_DOUBLE_EQ(dialog.contrast(), -0.5);
  QStringList labels;
  for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
  labels.sort();
  EXPECT_EQ(labels, (QStringList{" 1", "-0.5", "-0.5", "0.5", "0.5", "100", "Brightness", "Contrast", "Photographic",
                                 "Quality"}));
  EXPECT_EQ(dialog.acceptButton()->text(), "Accept Changes");
  EXPECT_TRUE(dialog.acceptButton()->isDefault());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AdvancedImageToolsTest, EachMouseReleaseRecomputesFromTheBase) {
  AdvancedImageToolsDialog dialog(&view, &prompts);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const std::uint64_t before = view.workspace().panoramaRevision();

  // Brightness to the top: every value raised by 127.5, then clamped and truncated.
  dragHandle(dialog.brightnessSlider(), dialog.brightnessSlider()->width() + 50);
  EXPECT_EQ(dialog.brightnessSlider()->value(), 100);
  EXPECT_GT(view.workspace().panoramaRevision(), before);
  EXPECT_EQ(panoramaAt(50, 50), 187);
  EXPECT_EQ(panoramaAt(350, 50), 255);
  EXPECT_EQ(view.workspace().undoImage().pixels()[0], 60);  // the undo copy is the base

  // Back to the middle: the flat areas come back as they were (sharpening at quality 1
  // leaves flat areas alone), so nothing accumulated.
  dragHandle(dialog.brightnessSlider(), -50);
  dragHandle(dialog.brightnessSlider(), dialog.brightnessSlider()->width() / 2);
  EXPECT_EQ(dialog.brightnessSlider()->value(), 50);
  EXPECT_EQ(panoramaAt(50, 50), 60);
  EXPECT_EQ(panoramaAt(350, 50), 200);

  // A key moves the contrast slider but shows nothing until the next mouse release.
  dialog.contrastSlider()->setFocus();
  QTest::keyClick(dialog.contrastSlider(), Qt::Key_End);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.contrastSlider()->value(), 100);
  EXPECT_EQ(panoramaAt(50, 50), 60);
  clickWithoutMoving(dialog.qualitySlider());
  EXPECT_EQ(dialog.qualitySlider()->value(), 1);
  EXPECT_LT(panoramaAt(50, 50), 60);  // more contrast: the dark half darker
  EXPECT_GT(panoramaAt(350, 50), 200);
}

TEST_F(AdvancedImageToolsTest, ThePictureFollowsADragAndTheReleaseGivesTheSettledOne) {
  AdvancedImageToolsDialog dialog(&view, &prompts);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QSlider* slider = dialog.brightnessSlider();
  const QPoint handle = handleCentre(slider);

  // Dragging right: the panorama brightens before the mouse is let go.
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handle);
  for (int step = 1; step <= 8; ++step) {
    QTest::mouseMove(slider, handle + QPoint(step * 6, 0));
    QTest::qWait(20);
  }
  QTest::qWait(100);
  EXPECT_GT(panoramaAt(50, 50), 60);
  EXPECT_GE(dialog.previewCount(), 1);
  EXPECT_LE(dialog.previewCount(), 8);  // throttled: not one recomputation per mouse move

  // The release shows exactly the picture of the settled positions: brightness b raises 60
  // by 255 b before truncation, quality 1 leaves flat halves alone.
  QTest::mouseMove(slider, QPoint(slider->width() + 50, handle.y()));
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() + 50, handle.y()));
  QCoreApplication::processEvents();
  ASSERT_EQ(slider->value(), 100);
  EXPECT_EQ(panoramaAt(50, 50), 187);  // 60 + 127.5, truncated
  EXPECT_EQ(panoramaAt(350, 50), 255);
  QTest::qWait(100);  // no late drag preview replaces it
  EXPECT_EQ(panoramaAt(50, 50), 187);
}

TEST(AdvancedImageTools, WithoutAnOwnerItSaysSoAndDoesNothing) {
  test::FakePrompts prompts;
  AdvancedImageToolsDialog dialog(nullptr, &prompts);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Error creating advanced window."}));
  dialog.show();
  dragHandle(dialog.brightnessSlider(), 0);  // nothing to adjust, nothing breaks
}

TEST_F(AdvancedImageToolsTest, OpensRightOfAndBelowTheMainWindowsCentre) {
  QWidget mainWindow;
  mainWindow.setGeometry(0, 0, 750, 540);  // on the offscreen platform's 800 x 600 screen
  view.setParent(&mainWindow);
  AdvancedImageToolsDialog dialog(&view, &prompts, &mainWindow);
  const QPoint centre = mainWindow.geometry().center();
  EXPECT_GT(dialog.pos().x(), centre.x());
  EXPECT_GT(dialog.pos().y(), centre.y());
  view.setParent(nullptr);  // the fixture owns it
}

}  // namespace
}  // namespace kelmira

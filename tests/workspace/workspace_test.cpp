#include "workspace/workspace.h"
#include "workspace/workspace_display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "image/pixel_block.h"
#include "support/synthetic_ring.h"
#include "support/test_files.h"
#include "support/workspace_fakes.h"

namespace kelmira {
namespace {

bool samePixels(const DibImage& a, const DibImage& b) {
  return a.width() == b.width() && a.height() == b.height() && a.hasPixels() && b.hasPixels() &&
         std::memcmp(a.pixels(), b.pixels(), 3u * a.width() * a.height()) == 0;
}

class WorkspaceTest : public testing::Test {
 protected:
  WorkspaceTest() : workspace(&prompts, &progress, nullptr), display(workspace, &prompts, nullptr) {
    display.setClientSize(800, 600);
  }

  std::string picture(const std::string& name, int width, int height) {
    return test::writePicture(dir.file(name), width, height);
  }
  // A workspace showing a 376 x 60 panorama made from a round photograph with radius 100.
  void makeSmallPanorama() {
    ASSERT_EQ(workspace.openRound(picture("round.bmp", 250, 250)), WorkspaceResult::Done);
    ASSERT_EQ(workspace.circleRadius(), 100);
    ASSERT_EQ(workspace.makePanorama(0, 0), WorkspaceResult::Done);
  }

  test::TempDir dir;
  test::FakePrompts prompts;
  test::CountingProgress progress;
  Workspace workspace;
  WorkspaceDisplay display;
};

TEST_F(WorkspaceTest, EveryOperationMovesTheStateAsTheTableSays) {
  using enum WorkspaceResult;
  struct Step {
    const char* what;
    std::function<WorkspaceResult(Workspace&)> run;
    WorkspaceResult result;
    WorkspaceState stateAfter;
  };
  const std::string round = picture("round.bmp", 250, 250);
  const std::string pano = picture("pano.bmp", 400, 100);
  const std::string missing = dir.file("missing.bmp");
  const Step steps[] = {
      {"make pano with nothing open", [&](Workspace& w) { return w.makePanorama(0, 0); }, Failed, WorkspaceState::Empty},
      {"open round", [&](Workspace& w) { return w.openRound(round); }, Done, WorkspaceState::RoundShown},
      {"open round that fails", [&](Workspace& w) { return w.openRound(missing); }, Failed, WorkspaceState::RoundShown},
      {"make pano after it: the slot is empty", [&](Workspace& w) { return w.makePanorama(0, 0); }, Failed, WorkspaceState::RoundShown},
      {"open round once more", [&](Workspace& w) { return w.openRound(round); }, Done, WorkspaceState::RoundShown},
      {"make pano", [&](Workspace& w) { return w.makePanorama(0, 0); }, Done, WorkspaceState::PanoramaShown},
      {"back to round", [&](Workspace& w) { return w.backToRound(), Done; }, Done, WorkspaceState::RoundShown},
      {"undo in the round view", [&](Workspace& w) { return w.undo(); }, Failed, WorkspaceState::RoundShown},
      {"open pano", [&](Workspace& w) { return w.openPanorama(pano); }, Done, WorkspaceState::PanoramaShown},
      {"open pano that fails", [&](Workspace& w) { return w.openPanorama(missing); }, Failed, WorkspaceState::PanoramaShown},
      {"undo with nothing to undo", [&](Workspace& w) { return w.undo(); }, Failed, WorkspaceState::PanoramaShown},
      {"open round again", [&](Workspace& w) { return w.openRound(round); }, Done, WorkspaceState::RoundShown},
      {"make pano again", [&](Workspace& w) { return w.makePanorama(0, 0); }, Done, WorkspaceState::PanoramaShown},
      {"crop", [&](Workspace& w) { return w.cropPanorama(); }, Done, WorkspaceState::PanoramaShown},
      {"undo the crop", [&](Workspace& w) { return w.undo(); }, Done, WorkspaceState::PanoramaShown},
      {"snapshot", [&](Workspace& w) { return w.snapshotAdjustBase(); }, Done, WorkspaceState::PanoramaShown},
      {"adjust", [&](Workspace& w) { return w.applyAdjustments(40, 0.1, 0.1); }, Done, WorkspaceState::PanoramaShown},
      {"reset", [&](Workspace& w) { return w.reset(true), Done; }, Done, WorkspaceState::Empty},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(step.run(workspace), step.result) << step.what;
    EXPECT_EQ(workspace.state(), step.stateAfter) << step.what;
  }
  EXPECT_FALSE(workspace.roundImage().hasPixels());
  EXPECT_FALSE(workspace.panorama().hasPixels());
  EXPECT_FALSE(workspace.undoImage().hasPixels());
  // The two failed opens told the user why, in the image layer's words.
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"error on file open", "error on file open"}));
}

TEST_F(WorkspaceTest, OpeningAsksAboutTheWrongShapeOfPicture) {
  const std::string wide = picture("wide.bmp", 3000, 1000);
  prompts.answer = MessageAnswer::No;
  EXPECT_EQ(workspace.openRound(wide), WorkspaceResult::Declined);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0], wide + " appears to be a panorama.  Do you wish to continue?");
  EXPECT_EQ(prompts.icons[0], MessageIcon::Stop);
  EXPECT_FALSE(workspace.roundImage().hasPixels());
  EXPECT_EQ(workspace.state(), WorkspaceState::Empty);

  EXPECT_EQ(workspace.openRound(picture("double.bmp", 2000, 1000)), WorkspaceResult::Done);  // exactly twice as wide: no question
  EXPECT_EQ(workspace.openPanorama(picture("double.bmp", 2000, 1000)), WorkspaceResult::Done);
  EXPECT_EQ(prompts.messages.size(), 1u);

  const std::string almost = picture("almost.bmp", 1999, 1000);
  EXPECT_EQ(workspace.openPanorama(almost), WorkspaceResult::Declined);
  EXPECT_EQ(prompts.messages.back(), almost + " appears to be a round image.  Do you wish to continue?");
  EXPECT_FALSE(workspace.panorama().hasPixels());
  EXPECT_EQ(workspace.state(), WorkspaceState::PanoramaShown);  // a refused open leaves the state alone

  prompts.answer = MessageAnswer::Yes;
  EXPECT_EQ(workspace.openRound(wide), WorkspaceResult::Done);
  EXPECT_EQ(workspace.circleRadius(), 400);
}

TEST_F(WorkspaceTest, OpenRoundPlacesTheCircleAndFitsTheDisplay) {
  ASSERT_EQ(workspace.openRound(picture("landscape.bmp", 1600, 1200)), WorkspaceResult::Done);
  EXPECT_EQ(workspace.circleCentreX(), 800);
  EXPECT_EQ(workspace.circleCentreY(), 600);
  EXPECT_EQ(workspace.circleRadius(), 480);
  EXPECT_EQ(workspace.centreHandleSize(), 1600);
  workspace.refreshDisplay();
  EXPECT_EQ(display.roundDisplaySize().width, 800);
  EXPECT_EQ(display.roundDisplaySize().height, 600);
  EXPECT_EQ(display.roundDisplayScale(), 0.5);
  EXPECT_EQ(display.displayImage().width(), 800);
  EXPECT_GT(progress.reports, 0);

  // Both sides fit: the whole photograph stays inside the main window's round view.
  display.setClientSize(476, 344);
  workspace.refreshDisplay();
  EXPECT_EQ(display.roundDisplaySize().width, 458);
  EXPECT_EQ(display.roundDisplaySize().height, 344);

  display.setClientSize(800, 600);
  ASSERT_EQ(workspace.openRound(picture("portrait.bmp", 1200, 1600)), WorkspaceResult::Done);
  workspace.refreshDisplay();
  EXPECT_EQ(display.roundDisplaySize().width, 450);
  EXPECT_EQ(display.roundDisplaySize().height, 600);

  // Panoramas fill the client area whatever their shape.
  ASSERT_EQ(workspace.openPanorama(picture("pano.bmp", 1000, 120)), WorkspaceResult::Done);
  EXPECT_EQ(display.panoDisplaySize().width, 800);
  EXPECT_EQ(display.panoDisplaySize().height, 600);
}

TEST_F(WorkspaceTest, APanoramaReadElsewhereKeepsItsRowsThroughACrop) {
  DibImage movie;
  ASSERT_EQ(movie.allocate(400, 4), ImageError::None);
  EXPECT_EQ(workspace.showPanorama(movie, RowElevations({30.0, 10.0})), WorkspaceResult::Failed);  // rows miscounted
  EXPECT_TRUE(movie.hasPixels());
  ASSERT_EQ(workspace.showPanorama(movie, RowElevations({30.0, 10.0, -10.0, -30.0})), WorkspaceResult::Done);
  EXPECT_FALSE(movie.hasPixels());
  EXPECT_EQ(workspace.state(), WorkspaceState::PanoramaShown);
  EXPECT_EQ(workspace.panorama().width(), 400);
  EXPECT_EQ(workspace.cropBottom(), 3);
  workspace.setCropLines(1, 2);
  ASSERT_EQ(workspace.cropPanorama(), WorkspaceResult::Done);
  ASSERT_EQ(workspace.panoramaRows().size(), 2u);
  EXPECT_EQ(workspace.panoramaRows().top(), 10.0);
  EXPECT_EQ(workspace.panoramaRows().bottom(), -10.0);
}

TEST_F(WorkspaceTest, MakePanoramaSizesAndTheLensThread) {
  makeSmallPanorama();
  EXPECT_EQ(workspace.panorama().width(), 376);
  EXPECT_EQ(workspace.panorama().height(), 60);
  EXPECT_EQ(workspace.cropTop(), 0);
  EXPECT_EQ(workspace.cropBottom(), 59);
  EXPECT_EQ(progress.ends, 2);  // the load, then the unwarp

  DibImage standard;
  standard.copyFrom(workspace.panorama());
  workspace.backToRound();
  ASSERT_EQ(workspace.makePanorama(1, 0), WorkspaceResult::Done);
  DibImage mirrored;
  mirrored.copyFrom(workspace.panorama());
  ASSERT_NE(mirrored.mirrorHorizontally(), 0);
  EXPECT_TRUE(samePixels(standard, mirrored));
}

TEST_F(WorkspaceTest, CropLinesGrabWithinTwentyRowsAndAreRepairedOnRelease) {
  ASSERT_EQ(workspace.openPanorama(picture("pano.bmp", 900, 300)), WorkspaceResult::Done);
  display.setClientSize(900, 300);
  workspace.refreshDisplay();
  display.cropLinesOverlay();  // a paint fixes the vertical scale
  ASSERT_EQ(display.panoVerticalScale(), 1.0);

  auto drag = [&](int from, int to) {
    display.mousePress(10, from);
    const DragMode mode = display.dragMode();
    display.mouseMove(10, to);
    display.mouseRelease(10, to);
    return mode;
  };
  EXPECT_EQ(drag(19, 100), DragMode::DraggingTopLine);
  EXPECT_EQ(workspace.cropTop(), 100);
  EXPECT_EQ(drag(120, 130), DragMode::None);  // 20 rows away: out of reach
  EXPECT_EQ(workspace.cropTop(), 100);
  EXPECT_EQ(drag(100, -40), DragMode::DraggingTopLine);
  EXPECT_EQ(workspace.cropTop(), 0);

  EXPECT_EQ(drag(299, 100), DragMode::DraggingBottomLine);
  EXPECT_EQ(drag(0, 150), DragMode::DraggingTopLine);  // top released below the bottom line
  EXPECT_EQ(workspace.cropTop(), 50);
  EXPECT_EQ(drag(100, 30), DragMode::DraggingBottomLine);  // above the top line
  EXPECT_EQ(workspace.cropBottom(), 50 + 250 / 2);
  EXPECT_EQ(drag(175, 900), DragMode::DraggingBottomLine);
  EXPECT_EQ(workspace.cropBottom(), 299);

  // Both lines within reach: the top one is taken.
  EXPECT_EQ(drag(299, 60), DragMode::DraggingBottomLine);
  ASSERT_EQ(workspace.cropTop(), 50);
  ASSERT_EQ(workspace.cropBottom(), 60);
  EXPECT_EQ(drag(55, 40), DragMode::DraggingTopLine);
}

TEST_F(WorkspaceTest, CropUndoAndTheCropLinesOnScreen) {
  makeSmallPanorama();
  DibImage before;
  before.copyFrom(workspace.panorama());

  // Full-height crop: same picture, and the undo copy filled all the same.
  ASSERT_EQ(workspace.cropPanorama(), WorkspaceResult::Done);
  EXPECT_TRUE(samePixels(workspace.panorama(), before));
  EXPECT_TRUE(samePixels(workspace.undoImage(), before));
  ASSERT_EQ(workspace.undo(), WorkspaceResult::Done);
  EXPECT_TRUE(samePixels(workspace.panorama(), before));
  EXPECT_EQ(workspace.undo(), WorkspaceResult::Failed);

  display.setClientSize(376, 120);
  workspace.refreshDisplay();
  display.cropLinesOverlay();
  display.mousePress(0, 2 * 10);
  display.mouseMove(0, 2 * 20);
  display.mouseRelease(0, 2 * 20);
  ASSERT_EQ(workspace.cropTop(), 20);
  const CropLinesOverlay lines = display.cropLinesOverlay();
  EXPECT_EQ(lines.topLineRow, 40);
  EXPECT_EQ(lines.blackAboveEnd, 39);
  EXPECT_EQ(lines.bottomLineRow, 118);
  EXPECT_EQ(lines.blackBelowStart, 119);

  ASSERT_EQ(workspace.cropPanorama(), WorkspaceResult::Done);
  EXPECT_EQ(workspace.panorama().height(), 40);
  EXPECT_EQ(std::memcmp(workspace.panorama().pixels(), before.pixels() + 3 * 376 * 20, 3 * 376 * 40), 0);
  EXPECT_EQ(workspace.cropBottom(), 39);

  // Both lines on one row keep one row.
  display.cropLinesOverlay();
  display.mousePress(0, 0);
  display.mouseMove(0, 39 * 3);
  display.mouseRelease(0, 39 * 3);
  ASSERT_EQ(workspace.cropTop(), 39);
  ASSERT_EQ(workspace.cropPanorama(), WorkspaceResult::Done);
  EXPECT_EQ(workspace.panorama().height(), 1);
  ASSERT_EQ(workspace.undo(), WorkspaceResult::Done);
  EXPECT_EQ(workspace.panorama().height(), 40);
}

TEST_F(WorkspaceTest, AdjustmentsStartFromTheSnapshotEveryTime) {
  makeSmallPanorama();
  DibImage before;
  before.copyFrom(workspace.panorama());
  EXPECT_EQ(workspace.applyAdjustments(50, 0.2, 0.2), WorkspaceResult::Failed);  // no snapshot yet
  ASSERT_EQ(workspace.snapshotAdjustBase(), WorkspaceResult::Done);

  ASSERT_EQ(workspace.applyAdjustments(50, 0.2, 0.2), WorkspaceResult::Done);
  DibImage once;
  once.copyFrom(workspace.panorama());
  EXPECT_FALSE(samePixels(once, before));
  ASSERT_EQ(workspace.applyAdjustments(50, 0.2, 0.2), WorkspaceResult::Done);
  EXPECT_TRUE(samePixels(workspace.panorama(), once));  // not applied twice
  ASSERT_EQ(workspace.applyAdjustments(0, 0, 0), WorkspaceResult::Done);
  EXPECT_TRUE(samePixels(workspace.panorama(), before));

  ASSERT_EQ(workspace.applyAdjustments(80, -0.3, 0.4), WorkspaceResult::Done);
  ASSERT_EQ(workspace.undo(), WorkspaceResult::Done);  // back to the panorama before the tools opened
  EXPECT_TRUE(samePixels(workspace.panorama(), before));

  ASSERT_EQ(workspace.applyAdjustments(80, -0.3, 0.4), WorkspaceResult::Done);
  workspace.restoreAdjustBase();
  workspace.freeAdjustBase();
  EXPECT_TRUE(samePixels(workspace.panorama(), before));
  EXPECT_FALSE(workspace.adjustBase().hasPixels());
}

TEST_F(WorkspaceTest, RunningOutOfMemoryLosesNoPicture) {
  makeSmallPanorama();
  DibImage panorama;
  panorama.copyFrom(workspace.panorama());
  ASSERT_EQ(workspace.cropPanorama(), WorkspaceResult::Done);  // full height: the undo slot now holds a copy
  DibImage undo;
  undo.copyFrom(workspace.undoImage());
  const std::uint64_t frame = 3u * 376 * 60;
  const std::uint64_t revision = workspace.panoramaRevision();
  prompts.messages.clear();

  // Crop needs two new blocks; with room for one only, it refuses and changes nothing.
  {
    const PixelBlockBudget budget(frame + 1);
    EXPECT_EQ(workspace.cropPanorama(), WorkspaceResult::Failed);
  }
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Out of memory!"}));
  EXPECT_TRUE(samePixels(workspace.panorama(), panorama));
  EXPECT_TRUE(samePixels(workspace.undoImage(), undo));
  EXPECT_EQ(workspace.panoramaRevision(), revision);

  // The image tools keep the panorama too when their two copies cannot be made.
  ASSERT_EQ(workspace.snapshotAdjustBase(), WorkspaceResult::Done);
  {
    const PixelBlockBudget budget(frame + 1);
    EXPECT_EQ(workspace.applyAdjustments(50, 0.3, 0.1), WorkspaceResult::Failed);
    EXPECT_EQ(workspace.restoreAdjustBase(), WorkspaceResult::Failed);
  }
  EXPECT_TRUE(samePixels(workspace.panorama(), panorama));
  EXPECT_TRUE(samePixels(workspace.undoImage(), undo));

  // Make Pano that cannot allocate its panorama keeps the old one.
  workspace.backToRound();
  {
    const PixelBlockBudget budget(0);
    EXPECT_EQ(workspace.makePanorama(0, 0), WorkspaceResult::Failed);
  }
  EXPECT_TRUE(samePixels(workspace.panorama(), panorama));
}

TEST_F(WorkspaceTest, OpenRoundPutsTheCircleOnAFoundRingWhenAsked) {
  test::SyntheticRing truth;
  truth.width = 1200;
  truth.height = 900;
  truth.centreX = 560;
  truth.centreY = 470;
  truth.radius = 380;
  DibImage photo;
  test::makeSyntheticRingPhoto(truth, photo, dir.path().string());
  const std::string path = dir.file("ring.bmp");
  ASSERT_EQ(photo.saveToFile(path, FileTypeBmp), ImageError::None);

  // Not asked: the circle sits where it always has, and the scale comes from the height.
  ASSERT_EQ(workspace.openRound(path), WorkspaceResult::Done);
  EXPECT_EQ(workspace.circleCentreX(), 600);
  EXPECT_EQ(workspace.circleRadius(), 360);
  EXPECT_FALSE(workspace.ringRadius());
  EXPECT_FALSE(workspace.lastFoundRing());

  workspace.setFindRingOnOpen(true);
  ASSERT_EQ(workspace.openRound(path), WorkspaceResult::Done);
  ASSERT_TRUE(workspace.ringRadius());
  EXPECT_NEAR(*workspace.ringRadius(), 380, 3.8);
  EXPECT_NEAR(workspace.circleCentreX(), 560, 1);
  EXPECT_NEAR(workspace.circleCentreY(), 470, 1);
  EXPECT_EQ(workspace.circleRadius(), static_cast<int>(std::floor(*workspace.ringRadius()) - 0.2 * *workspace.ringRadius()));
  ASSERT_EQ(workspace.makePanorama(0, 0), WorkspaceResult::Done);
  EXPECT_EQ(workspace.panorama().height(), static_cast<int>(0.6 * workspace.circleRadius()));

  // A photograph with no ring: the finder is not sure, the circle stays as placed.
  const std::string flat = picture("flat.bmp", 800, 600);
  ASSERT_EQ(workspace.openRound(flat), WorkspaceResult::Done);
  EXPECT_EQ(workspace.circleCentreX(), 400);
  EXPECT_EQ(workspace.circleRadius(), 240);
  EXPECT_FALSE(workspace.ringRadius());
  EXPECT_FALSE(workspace.lastFoundRing() && workspace.lastFoundRing()->confidence >= kRingConfidenceThreshold);

  // Dragging the centre keeps the ring's scale; placing a circle by hand drops it.
  ASSERT_EQ(workspace.openRound(path), WorkspaceResult::Done);
  workspace.setCircleCentre(555, 475);
  EXPECT_TRUE(workspace.ringRadius());
  workspace.placeCircle(600, 450, 360);
  EXPECT_FALSE(workspace.ringRadius());
}

TEST_F(WorkspaceTest, TheMouseMovesTheCircleCentre) {
  ASSERT_EQ(workspace.openRound(picture("round.bmp", 1600, 1200)), WorkspaceResult::Done);
  workspace.refreshDisplay();
  ASSERT_EQ(display.roundDisplayScale(), 0.5);
  display.mousePress(301, 201);
  EXPECT_EQ(display.dragMode(), DragMode::MovingCentre);
  EXPECT_EQ(workspace.circleCentreX(), 602);
  EXPECT_EQ(workspace.circleCentreY(), 402);
  display.mouseMove(400, 301);
  display.mouseRelease(400, 301);
  EXPECT_EQ(workspace.circleCentreX(), 800);
  EXPECT_EQ(workspace.circleCentreY(), 602);
  EXPECT_EQ(display.dragMode(), DragMode::None);
  display.mouseMove(10, 10);  // moves without a drag change nothing
  EXPECT_EQ(workspace.circleCentreX(), 800);

  const CircleOverlay circle = display.circleOverlay();
  EXPECT_EQ(circle.centreX, 400);
  EXPECT_EQ(circle.centreY, 301);
  EXPECT_EQ(circle.radii[0], 24);   // trunc(480 x 0.5 x 0.1)
  EXPECT_EQ(circle.radii[1], 240);
  EXPECT_EQ(circle.radii[2], 278);  // trunc(278.4)
  EXPECT_EQ(circle.radii[3], 319);  // trunc(319.2)
  EXPECT_EQ(circle.crossHalfLength, 800);
}

}  // namespace
}  // namespace kelmira

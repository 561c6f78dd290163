#pragma once

#include <cstdint>
#include <string>

#include "image/dib_image.h"

namespace kelmira {

class Prompts;
class ProgressSink;
class WorkspaceHost;

struct DisplaySize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Where the crop circle is drawn over the displayed round image, in client pixels.
struct CircleOverlay {
  std::int32_t centreX = 0;
  std::int32_t centreY = 0;
  std::int32_t radii[4] = {};
  std::int32_t crossHalfLength = 0;
};

// Where the crop lines are drawn over the displayed panorama: the two line rows and the
// black bands above and below them ([top, bottom) rows, possibly empty).
struct CropLinesOverlay {
  std::int32_t topLineRow = 0;
  std::int32_t bottomLineRow = 0;
  std::int32_t blackAboveEnd = 0;
  std::int32_t blackBelowStart = 0;
};

// The job's images and workflow: the round photograph, the panorama made from it or
// opened, the undo copy, the base of the adjustments, the crop circle, the crop lines
// and the mouse logic that moves them, in client coordinates of the view.
class Workspace {
 public:
  enum State { Empty = 0, RoundShown = 1, PanoramaOpened = 2, PanoramaShown = 3 };
  enum DragMode { NoDrag = 0, MovingCentre = 1, DraggingTopLine = 3, DraggingBottomLine = 4 };

  // Any of the three may be null: nothing is shown, reported or asked (questions get Yes).
  Workspace(Prompts* prompts, ProgressSink* progress, WorkspaceHost* host);

  void reset(bool freeImages);
  int openRound(const std::string& path);
  int openPanorama(const std::string& path);
  int makePanorama(int attachmentFlag, int mirrorSetting);
  int cropPanorama();
  int resetCropLines();
  int undo();
  void backToRound();
  int snapshotAdjustBase();
  int restoreAdjustBase();
  void freeAdjustBase();
  int applyAdjustments(int quality, double brightness, double contrast);
  bool hasDisplayedImage() const;
  // Trims the panorama to a width that is a multiple of 96 and a height that is a
  // multiple of 4, as every saved panorama is.
  void fitPanoramaToMovieSize();

  // The view's client area; the display is built for this size.
  void setClientSize(std::int32_t width, std::int32_t height);
  int refreshDisplay();

  void mousePress(std::int32_t x, std::int32_t y);
  void mouseMove(std::int32_t x, std::int32_t y);
  void mouseRelease(std::int32_t x, std::int32_t y);

  CircleOverlay circleOverlay() const;
  // Also fixes the vertical scale that the mouse uses, from the displayed height.
  CropLinesOverlay cropLinesOverlay();

  // The display image of the current state, already resampled to its displayed size.
  const DibImage& displayImage() const { return displayImage_; }
  DisplaySize displayedSize() const { return state_ == RoundShown ? roundDisplaySize_ : panoDisplaySize_; }

  const DibImage& roundImage() const { return roundImage_; }
  const DibImage& panorama() const { return panorama_; }
  const DibImage& undoImage() const { return undoImage_; }
  const DibImage& adjustBase() const { return adjustBase_; }
  // Counts every change of the panorama, so a window can tell whether it was saved since.
  std::uint64_t panoramaRevision() const { return panoramaRevision_; }
  int state() const { return state_; }
  int dragMode() const { return dragMode_; }
  std::int32_t circleCentreX() const { return circleCentreX_; }
  std::int32_t circleCentreY() const { return circleCentreY_; }
  std::int32_t circleRadius() const { return circleRadius_; }
  std::int32_t centreHandleSize() const { return centreHandleSize_; }
  void setCircleCentre(std::int32_t x, std::int32_t y);
  std::int32_t cropTop() const { return cropTop_; }
  std::int32_t cropBottom() const { return cropBottom_; }
  DisplaySize roundDisplaySize() const { return roundDisplaySize_; }
  double roundDisplayScale() const { return roundDisplayScale_; }
  DisplaySize panoDisplaySize() const { return panoDisplaySize_; }
  double panoVerticalScale() const { return panoVerticalScale_; }

 private:
  enum class Fit { KeepAspect, Fill };

  bool ask(const std::string& text);
  void tell(const std::string& text, bool stopIcon);
  void waitCursor(bool waiting);
  void repaint();
  int refreshDisplay(ProgressSink* progress);
  int makeScaledDisplay(const DibImage& image, Fit fit, DisplaySize& displayed, ProgressSink* progress);

  Prompts* prompts_;
  ProgressSink* progress_;
  WorkspaceHost* host_;

  DibImage roundImage_;
  DibImage panorama_;
  DibImage undoImage_;
  DibImage adjustBase_;
  DibImage displayImage_;

  std::uint64_t panoramaRevision_ = 0;
  std::uint64_t adjustBaseRevision_ = 0;
  int state_ = Empty;
  int dragMode_ = NoDrag;
  std::int32_t circleCentreX_ = 0;
  std::int32_t circleCentreY_ = 0;
  std::int32_t circleRadius_ = 0;
  std::int32_t centreHandleSize_ = 20;
  std::int32_t cropTop_ = 0;
  std::int32_t cropBottom_ = 0;

  std::int32_t clientWidth_ = 0;
  std::int32_t clientHeight_ = 0;
  DisplaySize roundDisplaySize_;
  double roundDisplayScale_ = 0;
  DisplaySize panoDisplaySize_;
  double panoVerticalScale_ = 1.0;
};

}  // namespace kelmira

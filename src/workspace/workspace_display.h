#pragma once

#include <cstdint>

#include "image/dib_image.h"
#include "workspace/workspace.h"

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

enum class DragMode { None = 0, MovingCentre = 1, DraggingTopLine = 3, DraggingBottomLine = 4 };

// How a job is shown in a view of a given client size: the display picture of its current
// state resampled to its displayed size, the scales between the view and the pictures,
// and the mouse logic that moves the crop circle and the crop lines, all in client
// coordinates. The Qt widget paints what it says and feeds it the mouse.
class WorkspaceDisplay : public WorkspaceViewer {
 public:
  // Shows `workspace` from now on; prompts and host may be null.
  WorkspaceDisplay(Workspace& workspace, Prompts* prompts, WorkspaceHost* host);
  ~WorkspaceDisplay() override;
  WorkspaceDisplay(const WorkspaceDisplay&) = delete;
  WorkspaceDisplay& operator=(const WorkspaceDisplay&) = delete;

  // The view's client area; the display is built for this size.
  void setClientSize(std::int32_t width, std::int32_t height);
  void refreshDisplay(ProgressSink* progress) override;
  void releaseDisplayImage() override;
  void resetDisplay() override;

  void mousePress(std::int32_t x, std::int32_t y);
  void mouseMove(std::int32_t x, std::int32_t y);
  void mouseRelease(std::int32_t x, std::int32_t y);

  CircleOverlay circleOverlay() const;
  CropLinesOverlay cropLinesOverlay() const;

  // The display image of the current state, already resampled to its displayed size.
  const DibImage& displayImage() const { return displayImage_; }
  DisplaySize displayedSize() const;
  DisplaySize roundDisplaySize() const { return roundDisplaySize_; }
  double roundDisplayScale() const { return roundDisplayScale_; }
  DisplaySize panoDisplaySize() const { return panoDisplaySize_; }
  // Displayed panorama rows per panorama row (0.5 when the panorama has no rows).
  double panoVerticalScale() const;
  DragMode dragMode() const { return dragMode_; }

 private:
  enum class Fit { KeepAspect, Fill };

  int makeScaledDisplay(const DibImage& image, Fit fit, DisplaySize& displayed, ProgressSink* progress);
  void repaint();

  Workspace& workspace_;
  Prompts* prompts_;
  WorkspaceHost* host_;
  DibImage displayImage_;
  std::int32_t clientWidth_ = 0;
  std::int32_t clientHeight_ = 0;
  DisplaySize roundDisplaySize_;
  double roundDisplayScale_ = 0;
  DisplaySize panoDisplaySize_;
  DragMode dragMode_ = DragMode::None;
};

}  // namespace kelmira

#include "workspace/workspace_display.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "image/image_error.h"
#include "workspace/prompts.h"
#include "workspace/workspace_host.h"

namespace kelmira {

namespace {

constexpr std::int32_t kCropLineReach = 20;  // panorama rows, strictly less

// trunc toward zero, kept inside int so that a pointer far outside cannot overflow.
std::int32_t truncated(double value) {
  constexpr double lowest = std::numeric_limits<std::int32_t>::min();
  constexpr double highest = std::numeric_limits<std::int32_t>::max();
  if (!(value > lowest)) return std::numeric_limits<std::int32_t>::min();
  if (!(value < highest)) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

}  // namespace

WorkspaceDisplay::WorkspaceDisplay(Workspace& workspace, Prompts* prompts, WorkspaceHost* host)
    : workspace_(workspace), prompts_(prompts), host_(host) {
  workspace_.setViewer(this);
}

WorkspaceDisplay::~WorkspaceDisplay() { workspace_.setViewer(nullptr); }

void WorkspaceDisplay::setClientSize(std::int32_t width, std::int32_t height) {
  clientWidth_ = std::max(0, width);
  clientHeight_ = std::max(0, height);
}

void WorkspaceDisplay::resetDisplay() {
  dragMode_ = DragMode::None;
  roundDisplaySize_ = {};
  panoDisplaySize_ = {};
}

void WorkspaceDisplay::releaseDisplayImage() { displayImage_.free(); }

void WorkspaceDisplay::repaint() {
  if (host_ != nullptr) host_->requestRepaint();
}

DisplaySize WorkspaceDisplay::displayedSize() const {
  return workspace_.state() == WorkspaceState::RoundShown ? roundDisplaySize_ : panoDisplaySize_;
}

double WorkspaceDisplay::panoVerticalScale() const {
  const std::int32_t height = workspace_.panorama().height();
  return height != 0 ? static_cast<double>(panoDisplaySize_.height) / height : 0.5;
}

void WorkspaceDisplay::refreshDisplay(ProgressSink* progress) {
  if (host_ != nullptr) host_->setWaitCursor(true);
  displayImage_.free();
  const WorkspaceState state = workspace_.state();
  if (state == WorkspaceState::RoundShown) {
    const DibImage& round = workspace_.roundImage();
    makeScaledDisplay(round, Fit::KeepAspect, roundDisplaySize_, progress);
    if (round.width() != 0) roundDisplayScale_ = static_cast<double>(roundDisplaySize_.width) / round.width();
  } else if (state == WorkspaceState::PanoramaOpened || state == WorkspaceState::PanoramaShown) {
    makeScaledDisplay(workspace_.panorama(), Fit::Fill, panoDisplaySize_, progress);
  }
  if (host_ != nullptr) host_->setWaitCursor(false);
  repaint();
}

int WorkspaceDisplay::makeScaledDisplay(const DibImage& image, Fit fit, DisplaySize& displayed,
                                        ProgressSink* progress) {
  displayed = {};
  if (!image.hasPixels()) return -1;
  if (fit == Fit::Fill) {
    displayed = {clientWidth_, clientHeight_};
  } else {
    // Both sides fit, so every row of the photograph can be seen and clicked.
    const double scale = std::min(static_cast<double>(clientWidth_) / image.width(),
                                  static_cast<double>(clientHeight_) / image.height());
    displayed = {static_cast<std::int32_t>(image.width() * scale), static_cast<std::int32_t>(image.height() * scale)};
  }
  if (displayed.width <= 0 || displayed.height <= 0) return -1;
  const ImageErrorCode code = displayImage_.resampleFrom(image, displayed.width, displayed.height, progress);
  // Aborted: a newer display was made while this one pumped messages, and it stays.
  if (code != ImageError::None && code != ImageError::Aborted) {
    if (prompts_ != nullptr) prompts_->showMessage("Out of memory!", MessageIcon::Stop, MessageButtons::Ok);
    return -1;
  }
  return 0;
}

void WorkspaceDisplay::mousePress(std::int32_t x, std::int32_t y) {
  dragMode_ = DragMode::None;
  const WorkspaceState state = workspace_.state();
  if (state == WorkspaceState::RoundShown && roundDisplayScale_ > 0) {
    const std::int32_t column = truncated(x / roundDisplayScale_);
    const std::int32_t row = truncated(y / roundDisplayScale_);
    const double distance =
        std::hypot(double(workspace_.circleCentreX()) - column, double(workspace_.circleCentreY()) - row);
    if (truncated(distance) < workspace_.centreHandleSize()) {
      workspace_.setCircleCentre(column, row);
      if (host_ != nullptr) host_->setMouseCapture(true);
      dragMode_ = DragMode::MovingCentre;
      repaint();
    }
  } else if (state == WorkspaceState::PanoramaShown && panoVerticalScale() > 0) {
    const std::int32_t row = truncated(y / panoVerticalScale());
    if (std::abs(double(workspace_.cropTop()) - row) < kCropLineReach) {
      dragMode_ = DragMode::DraggingTopLine;
    } else if (std::abs(double(workspace_.cropBottom()) - row) < kCropLineReach) {
      dragMode_ = DragMode::DraggingBottomLine;
    }
    if (dragMode_ != DragMode::None && host_ != nullptr) host_->setMouseCapture(true);
  }
}

void WorkspaceDisplay::mouseMove(std::int32_t x, std::int32_t y) {
  const WorkspaceState state = workspace_.state();
  if (state == WorkspaceState::RoundShown && dragMode_ == DragMode::MovingCentre && roundDisplayScale_ > 0) {
    workspace_.setCircleCentre(truncated(x / roundDisplayScale_), truncated(y / roundDisplayScale_));
    repaint();
  } else if (state == WorkspaceState::PanoramaShown && panoVerticalScale() > 0) {
    const std::int32_t row = truncated(y / panoVerticalScale());
    if (dragMode_ == DragMode::DraggingTopLine) {
      workspace_.setCropLines(row, workspace_.cropBottom());
      repaint();
    } else if (dragMode_ == DragMode::DraggingBottomLine) {
      workspace_.setCropLines(workspace_.cropTop(), row);
      repaint();
    }
  }
}

void WorkspaceDisplay::mouseRelease(std::int32_t /*x*/, std::int32_t /*y*/) {
  if (host_ != nullptr) host_->setMouseCapture(false);
  const bool panoramaShown = workspace_.state() == WorkspaceState::PanoramaShown;
  std::int32_t top = workspace_.cropTop();
  std::int32_t bottom = workspace_.cropBottom();
  if (panoramaShown && dragMode_ == DragMode::DraggingTopLine) {
    if (top < 0) {
      top = 0;
    } else if (top > bottom) {
      top = bottom / 2;
    }
    workspace_.setCropLines(top, bottom);
    repaint();
  } else if (panoramaShown && dragMode_ == DragMode::DraggingBottomLine) {
    const std::int32_t height = workspace_.panorama().height();
    const std::int32_t lastRow = height - 1;
    if (bottom > lastRow) {
      bottom = lastRow;
    } else if (top > bottom) {
      bottom = std::min(top + (height - top) / 2, lastRow);
    }
    workspace_.setCropLines(top, bottom);
    repaint();
  }
  dragMode_ = DragMode::None;
}

CircleOverlay WorkspaceDisplay::circleOverlay() const {
  const double s = roundDisplayScale_;
  const double r = workspace_.circleRadius();
  CircleOverlay overlay;
  overlay.centreX = truncated(s * workspace_.circleCentreX());
  overlay.centreY = truncated(s * workspace_.circleCentreY());
  overlay.radii[0] = truncated(r * s * 0.1);
  overlay.radii[1] = truncated(r * s);
  overlay.radii[2] = truncated(r * s * 1.16);
  overlay.radii[3] = truncated(r * s * 1.33);
  overlay.crossHalfLength = truncated(workspace_.centreHandleSize() * s);
  return overlay;
}

CropLinesOverlay WorkspaceDisplay::cropLinesOverlay() const {
  const double v = panoVerticalScale();
  const std::int32_t top = workspace_.cropTop();
  const std::int32_t bottom = workspace_.cropBottom();
  CropLinesOverlay overlay;
  overlay.topLineRow = truncated(top * v);
  overlay.blackAboveEnd = truncated(top * v - 1);
  overlay.bottomLineRow = truncated(bottom * v);
  overlay.blackBelowStart = truncated(bottom * v + 1);
  return overlay;
}

}  // namespace kelmira

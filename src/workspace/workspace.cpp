#include "workspace/workspace.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "image/geometry_ops.h"
#include "image/image_error.h"
#include "image/neighbourhood_filter.h"
#include "image/progress_sink.h"
#include "image/tone_curve.h"
#include "unwarp/panorama_maker.h"
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

// `target` becomes a copy of `source` only once the copy is made, so running out of
// memory leaves it as it was.
bool replaceWithCopy(DibImage& target, const DibImage& source) {
  DibImage copy;
  if (copy.copyFrom(source) != ImageError::None) return false;
  target.swap(copy);
  return true;
}

std::string withPath(const std::string& pattern, const std::string& path) {
  std::string text = pattern;
  text.replace(text.find("%s"), 2, path);
  return text;
}

}  // namespace

Workspace::Workspace(Prompts* prompts, ProgressSink* progress, WorkspaceHost* host)
    : prompts_(prompts), progress_(progress), host_(host) {
  reset(true);
}

void Workspace::reset(bool freeImages) {
  state_ = Empty;
  dragMode_ = NoDrag;
  roundDisplaySize_ = {};
  panoDisplaySize_ = {};
  panoVerticalScale_ = 1.0;
  centreHandleSize_ = 20;
  if (freeImages) {
    roundImage_.free();
    panorama_.free();
    undoImage_.free();
  }
}

bool Workspace::ask(const std::string& text) {
  return prompts_ == nullptr || prompts_->showMessage(text, MessageIcon::Stop, MessageButtons::YesNo) ==
                                    MessageAnswer::Yes;
}

void Workspace::tell(const std::string& text, bool stopIcon) {
  if (prompts_ != nullptr) {
    prompts_->showMessage(text, stopIcon ? MessageIcon::Stop : MessageIcon::None, MessageButtons::Ok);
  }
}

void Workspace::waitCursor(bool waiting) {
  if (host_ != nullptr) host_->setWaitCursor(waiting);
}

void Workspace::repaint() {
  if (host_ != nullptr) host_->requestRepaint();
}

int Workspace::openRound(const std::string& path) {
  const ImageErrorCode code = roundImage_.loadFromFile(path, progress_);
  displayImage_.free();
  if (code != ImageError::None) {
    tell(errorText(static_cast<std::uint32_t>(code)), false);
    return 0;
  }
  const CropCircle circle = initialCropCircle(roundImage_.width(), roundImage_.height());
  circleCentreX_ = circle.centreX;
  circleCentreY_ = circle.centreY;
  if (looksLikePanorama(roundImage_.width(), roundImage_.height()) &&
      !ask(withPath("%s appears to be a panorama.  Do you wish to continue?", path))) {
    roundImage_.free();
    return 0;
  }
  circleRadius_ = circle.radius;
  centreHandleSize_ = circle.centreHandleSize;
  state_ = RoundShown;
  panorama_.free();
  return 1;
}

int Workspace::openPanorama(const std::string& path) {
  const ImageErrorCode code = panorama_.loadFromFile(path, progress_);
  displayImage_.free();
  if (code != ImageError::None) {
    tell(errorText(static_cast<std::uint32_t>(code)), false);
    return -1;
  }
  if (static_cast<double>(panorama_.width()) / panorama_.height() < 2 &&
      !ask(withPath("%s appears to be a round image.  Do you wish to continue?", path))) {
    panorama_.free();
    return -1;
  }
  circleCentreX_ = panorama_.width() / 2;
  circleCentreY_ = panorama_.height() / 2;
  ++panoramaRevision_;
  state_ = PanoramaOpened;
  resetCropLines();
  refreshDisplay();
  return 0;
}

int Workspace::makePanorama(int attachmentFlag, int /*mirrorSetting: no effect*/) {
  if (!roundImage_.hasPixels()) return -1;
  waitCursor(true);
  RowProgress report;
  if (progress_ != nullptr) {
    report = [this](std::uint32_t row, std::uint32_t rows) {
      progress_->reportProgress(static_cast<std::int32_t>(row), static_cast<std::int32_t>(rows));
    };
  }
  const int made = makePanoramaImage(roundImage_, circleCentreX_, circleCentreY_, circleRadius_, attachmentFlag == 1,
                                     panorama_, report);
  if (made != 0) {
    waitCursor(false);
    return -1;
  }
  if (progress_ != nullptr) progress_->endProgress();
  ++panoramaRevision_;
  state_ = PanoramaShown;
  waitCursor(false);
  resetCropLines();
  return 0;
}

int Workspace::resetCropLines() {
  if (!panorama_.hasPixels()) return -1;
  state_ = PanoramaShown;
  cropTop_ = 0;
  cropBottom_ = panorama_.height() - 1;
  return 0;
}

int Workspace::cropPanorama() {
  if (!panorama_.hasPixels() || state_ != PanoramaShown) return -1;
  const std::int32_t rows = cropBottom_ - cropTop_ + 1;
  // Lines outside the picture can only come from a drag not yet released.
  if (rows < 1 || cropTop_ < 0 || cropBottom_ >= panorama_.height()) {
    tell("Crop lines values are invalid.", true);
    return -1;
  }
  // Both new pictures are made before either slot changes: a refusal loses nothing.
  DibImage cropped;
  DibImage undo;
  if (cropped.allocate(panorama_.width(), rows) != ImageError::None || undo.copyFrom(panorama_) != ImageError::None) {
    tell("Out of memory!", true);
    return -1;
  }
  copyRect(panorama_.pixels(), cropped.beginAccess(), panorama_.width(), panorama_.height(), 3, 0, cropTop_,
           panorama_.width(), cropBottom_ + 1);
  cropped.endAccess();
  undoImage_.swap(undo);
  panorama_.swap(cropped);
  panorama_.buildPalette();
  ++panoramaRevision_;
  resetCropLines();
  refreshDisplay();
  return 0;
}

int Workspace::undo() {
  if ((state_ != PanoramaOpened && state_ != PanoramaShown) || undoImage_.width() <= 0 || undoImage_.height() <= 0) {
    return -1;
  }
  // The undo picture becomes the panorama and its slot is emptied: a copy would only be freed.
  panorama_.swap(undoImage_);
  undoImage_.free();
  panorama_.buildPalette();
  ++panoramaRevision_;
  refreshDisplay();
  resetCropLines();
  return 0;
}

void Workspace::backToRound() {
  state_ = RoundShown;
  refreshDisplay();
}

int Workspace::snapshotAdjustBase() {
  adjustBase_.copyFrom(panorama_);
  adjustBaseRevision_ = panoramaRevision_;
  return 0;
}

int Workspace::restoreAdjustBase() {
  if (!replaceWithCopy(panorama_, adjustBase_)) return -1;
  panorama_.buildPalette();
  panoramaRevision_ = adjustBaseRevision_;  // the same picture as before the tools opened
  refreshDisplay();
  return 0;
}

void Workspace::freeAdjustBase() { adjustBase_.free(); }

int Workspace::applyAdjustments(int quality, double brightness, double contrast) {
  if (!adjustBase_.hasPixels()) return -1;
  DibImage base;
  DibImage adjusted;
  if (base.copyFrom(adjustBase_) != ImageError::None || adjusted.copyFrom(adjustBase_) != ImageError::None) return -1;
  // Each call starts again from the base, so settings never accumulate.
  const std::int32_t width = adjusted.width();
  const std::int32_t height = adjusted.height();
  std::uint8_t* pixels = adjusted.beginAccess();
  sharpen(base.pixels(), pixels, width, height, quality, FilterKind::Sharpen);
  adjustBrightnessContrast(pixels, width, height, brightness, contrast);
  adjusted.endAccess();
  undoImage_.swap(base);
  panorama_.swap(adjusted);
  panorama_.buildPalette();
  ++panoramaRevision_;
  // A preview runs whole before the tools take more input, so it reports no progress.
  refreshDisplay(nullptr);
  return 0;
}

bool Workspace::hasDisplayedImage() const {
  switch (state_) {
    case RoundShown: return roundImage_.hasPixels();
    case PanoramaOpened:
    case PanoramaShown: return panorama_.hasPixels();
    default: return false;
  }
}

void Workspace::fitPanoramaToMovieSize() {
  if (!panorama_.hasPixels()) return;
  const std::int32_t width = panorama_.width();
  const std::int32_t height = panorama_.height();
  panorama_.fitToMovieSize(width, height, false, progress_);
  if (panorama_.width() == width && panorama_.height() == height) return;
  ++panoramaRevision_;
  // Lines left below the new last row would make the next Crop refuse.
  if (state_ == PanoramaShown) resetCropLines();
  refreshDisplay();
}

void Workspace::setCircleCentre(std::int32_t x, std::int32_t y) {
  circleCentreX_ = x;
  circleCentreY_ = y;
}

void Workspace::setClientSize(std::int32_t width, std::int32_t height) {
  clientWidth_ = std::max(0, width);
  clientHeight_ = std::max(0, height);
}

int Workspace::refreshDisplay() { return refreshDisplay(progress_); }

int Workspace::refreshDisplay(ProgressSink* progress) {
  waitCursor(true);
  displayImage_.free();
  if (state_ == RoundShown) {
    makeScaledDisplay(roundImage_, Fit::KeepAspect, roundDisplaySize_, progress);
    if (roundImage_.width() != 0) {
      roundDisplayScale_ = static_cast<double>(roundDisplaySize_.width) / roundImage_.width();
    }
  } else if (state_ == PanoramaOpened || state_ == PanoramaShown) {
    makeScaledDisplay(panorama_, Fit::Fill, panoDisplaySize_, progress);
  }
  waitCursor(false);
  repaint();
  return 0;
}

int Workspace::makeScaledDisplay(const DibImage& image, Fit fit, DisplaySize& displayed, ProgressSink* progress) {
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
    tell("Out of memory!", true);
    return -1;
  }
  return 0;
}

void Workspace::mousePress(std::int32_t x, std::int32_t y) {
  dragMode_ = NoDrag;
  if (state_ == RoundShown && roundDisplayScale_ > 0) {
    const std::int32_t column = truncated(x / roundDisplayScale_);
    const std::int32_t row = truncated(y / roundDisplayScale_);
    const double distance = std::hypot(double(circleCentreX_) - column, double(circleCentreY_) - row);
    if (truncated(distance) < centreHandleSize_) {
      setCircleCentre(column, row);
      if (host_ != nullptr) host_->setMouseCapture(true);
      dragMode_ = MovingCentre;
      repaint();
    }
  } else if (state_ == PanoramaShown && panoVerticalScale_ > 0) {
    const std::int32_t row = truncated(y / panoVerticalScale_);
    if (std::abs(double(cropTop_) - row) < kCropLineReach) {
      dragMode_ = DraggingTopLine;
    } else if (std::abs(double(cropBottom_) - row) < kCropLineReach) {
      dragMode_ = DraggingBottomLine;
    }
    if (dragMode_ != NoDrag && host_ != nullptr) host_->setMouseCapture(true);
  }
}

void Workspace::mouseMove(std::int32_t x, std::int32_t y) {
  if (state_ == RoundShown && dragMode_ == MovingCentre && roundDisplayScale_ > 0) {
    setCircleCentre(truncated(x / roundDisplayScale_), truncated(y / roundDisplayScale_));
    repaint();
  } else if (state_ == PanoramaShown && panoVerticalScale_ > 0 &&
             (dragMode_ == DraggingTopLine || dragMode_ == DraggingBottomLine)) {
    (dragMode_ == DraggingTopLine ? cropTop_ : cropBottom_) = truncated(y / panoVerticalScale_);
    repaint();
  }
}

void Workspace::mouseRelease(std::int32_t /*x*/, std::int32_t /*y*/) {
  if (host_ != nullptr) host_->setMouseCapture(false);
  if (state_ == PanoramaShown && dragMode_ == DraggingTopLine) {
    if (cropTop_ < 0) {
      cropTop_ = 0;
    } else if (cropTop_ > cropBottom_) {
      cropTop_ = cropBottom_ / 2;
    }
    repaint();
  } else if (state_ == PanoramaShown && dragMode_ == DraggingBottomLine) {
    const std::int32_t lastRow = panorama_.height() - 1;
    if (cropBottom_ > lastRow) {
      cropBottom_ = lastRow;
    } else if (cropTop_ > cropBottom_) {
      cropBottom_ = std::min(cropTop_ + (panorama_.height() - cropTop_) / 2, lastRow);
    }
    repaint();
  }
  dragMode_ = NoDrag;
}

CircleOverlay Workspace::circleOverlay() const {
  const double s = roundDisplayScale_;
  const double r = circleRadius_;
  CircleOverlay overlay;
  overlay.centreX = truncated(s * circleCentreX_);
  overlay.centreY = truncated(s * circleCentreY_);
  overlay.radii[0] = truncated(r * s * 0.1);
  overlay.radii[1] = truncated(r * s);
  overlay.radii[2] = truncated(r * s * 1.16);
  overlay.radii[3] = truncated(r * s * 1.33);
  overlay.crossHalfLength = truncated(centreHandleSize_ * s);
  return overlay;
}

CropLinesOverlay Workspace::cropLinesOverlay() {
  const std::int32_t height = panorama_.height();
  panoVerticalScale_ = height != 0 ? static_cast<double>(panoDisplaySize_.height) / height : 0.5;
  const double v = panoVerticalScale_;
  CropLinesOverlay overlay;
  overlay.topLineRow = truncated(cropTop_ * v);
  overlay.blackAboveEnd = truncated(cropTop_ * v - 1);
  overlay.bottomLineRow = truncated(cropBottom_ * v);
  overlay.blackBelowStart = truncated(cropBottom_ * v + 1);
  return overlay;
}

}  // namespace kelmira

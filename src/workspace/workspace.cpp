#include "workspace/workspace.h"

#include <algorithm>

#include "image/geometry_ops.h"
#include "image/image_error.h"
#include "image/neighbourhood_filter.h"
#include "image/progress_sink.h"
#include "image/tone_curve.h"
#include "movie/rules/movie_size.h"
#include "unwarp/panorama_maker.h"
#include "workspace/prompts.h"
#include "workspace/workspace_host.h"

namespace kelmira {

namespace {

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
  state_ = WorkspaceState::Empty;
  centreHandleSize_ = 20;
  if (viewer_ != nullptr) viewer_->resetDisplay();
  if (freeImages) {
    roundImage_.free();
    panorama_.free();
    undoImage_.free();
    panoramaRows_ = {};
    undoRows_ = {};
    ringRadius_.reset();
    lastFoundRing_.reset();
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

WorkspaceResult Workspace::refreshDisplay() { return refreshDisplay(progress_); }

WorkspaceResult Workspace::refreshDisplay(ProgressSink* progress) {
  if (viewer_ != nullptr) viewer_->refreshDisplay(progress);
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::openRound(const std::string& path) { return openRound(path, identifyFileType(path)); }

WorkspaceResult Workspace::openRound(const std::string& path, FileType type) {
  const ImageErrorCode code = roundImage_.loadFromFile(path, type, progress_);
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  if (code != ImageError::None) {
    tell(errorText(code), false);
    return WorkspaceResult::Failed;
  }
  const CropCircle circle = initialCropCircle(roundImage_.width(), roundImage_.height());
  circleCentreX_ = circle.centreX;
  circleCentreY_ = circle.centreY;
  if (looksLikePanorama(roundImage_.width(), roundImage_.height()) &&
      !ask(withPath("%s appears to be a panorama.  Do you wish to continue?", path))) {
    roundImage_.free();
    return WorkspaceResult::Declined;
  }
  circleRadius_ = circle.radius;
  centreHandleSize_ = circle.centreHandleSize;
  ringRadius_.reset();
  lastFoundRing_.reset();
  if (findRingOnOpen_) locateRing();
  state_ = WorkspaceState::RoundShown;
  panorama_.free();
  return WorkspaceResult::Done;
}

std::optional<FoundRing> Workspace::findRingInRound() const {
  if (!roundImage_.hasPixels()) return std::nullopt;
  const HeldPixels pixels = roundImage_.hold();
  return findRing(SourceView{pixels.pixels(), static_cast<std::uint32_t>(pixels.width),
                             static_cast<std::uint32_t>(pixels.height), 3, 3u * static_cast<std::size_t>(pixels.width)});
}

std::optional<FoundRing> Workspace::locateRing() {
  if (!roundImage_.hasPixels()) return std::nullopt;
  waitCursor(true);
  lastFoundRing_ = findRingInRound();
  waitCursor(false);
  if (lastFoundRing_ && lastFoundRing_->confidence >= kRingConfidenceThreshold) {
    placeCircleOnRing(lastFoundRing_->centreX, lastFoundRing_->centreY, lastFoundRing_->radius);
  }
  return lastFoundRing_;
}

void Workspace::placeCircleOnRing(double x, double y, double ringRadius) {
  const CropCircle circle = cropCircleOnRing(roundImage_.width(), roundImage_.height(), x, y, ringRadius);
  circleCentreX_ = circle.centreX;
  circleCentreY_ = circle.centreY;
  circleRadius_ = circle.radius;
  centreHandleSize_ = circle.centreHandleSize;
  ringRadius_ = ringRadius;
}

void Workspace::placeCircle(std::int32_t x, std::int32_t y, std::int32_t radius) {
  circleCentreX_ = x;
  circleCentreY_ = y;
  circleRadius_ = radius;
  ringRadius_.reset();
}

WorkspaceResult Workspace::openPanorama(const std::string& path) {
  const ImageErrorCode code = panorama_.loadFromFile(path, progress_);
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  if (code != ImageError::None) {
    tell(errorText(code), false);
    return WorkspaceResult::Failed;
  }
  if (static_cast<double>(panorama_.width()) / panorama_.height() < 2 &&
      !ask(withPath("%s appears to be a round image.  Do you wish to continue?", path))) {
    panorama_.free();
    return WorkspaceResult::Declined;
  }
  circleCentreX_ = panorama_.width() / 2;
  circleCentreY_ = panorama_.height() / 2;
  panoramaRows_ = RowElevations::ofUnwarp(static_cast<std::uint32_t>(panorama_.height()));
  ++panoramaRevision_;
  state_ = WorkspaceState::PanoramaOpened;
  resetCropLines();
  refreshDisplay();
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::showPanorama(DibImage& picture, RowElevations rows) {
  if (!picture.hasPixels() || rows.size() != static_cast<std::size_t>(picture.height())) return WorkspaceResult::Failed;
  panorama_.swap(picture);
  picture.free();
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  circleCentreX_ = panorama_.width() / 2;
  circleCentreY_ = panorama_.height() / 2;
  panoramaRows_ = std::move(rows);
  ++panoramaRevision_;
  state_ = WorkspaceState::PanoramaOpened;
  resetCropLines();
  refreshDisplay();
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::makePanorama(int attachmentFlag, int /*mirrorSetting: no effect*/,
                                       PanoramaRowListener* listener) {
  if (!roundImage_.hasPixels()) return WorkspaceResult::Failed;
  waitCursor(true);
  RowProgress report;
  if (progress_ != nullptr) {
    report = [this](std::uint32_t row, std::uint32_t rows) {
      progress_->reportProgress(static_cast<std::int32_t>(row), static_cast<std::int32_t>(rows));
    };
  }
  const int made = makePanoramaImage(roundImage_, circleCentreX_, circleCentreY_, circleRadius_, attachmentFlag == 1,
                                     panorama_, report, ringRadius_, listener);
  if (made != 0) {
    waitCursor(false);
    return WorkspaceResult::Failed;
  }
  if (progress_ != nullptr) progress_->endProgress();
  panoramaRows_ = RowElevations::ofUnwarp(static_cast<std::uint32_t>(panorama_.height()));
  ++panoramaRevision_;
  state_ = WorkspaceState::PanoramaShown;
  waitCursor(false);
  resetCropLines();
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::resetCropLines() {
  if (!panorama_.hasPixels()) return WorkspaceResult::Failed;
  state_ = WorkspaceState::PanoramaShown;
  cropTop_ = 0;
  cropBottom_ = panorama_.height() - 1;
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::cropPanorama() {
  if (!panorama_.hasPixels() || state_ != WorkspaceState::PanoramaShown) return WorkspaceResult::Failed;
  const std::int32_t rows = cropBottom_ - cropTop_ + 1;
  // Lines outside the picture can only come from a drag not yet released.
  if (rows < 1 || cropTop_ < 0 || cropBottom_ >= panorama_.height()) {
    tell("Crop lines values are invalid.", true);
    return WorkspaceResult::Failed;
  }
  // Both new pictures are made before either slot changes: a refusal loses nothing.
  DibImage cropped;
  DibImage undo;
  if (cropped.allocate(panorama_.width(), rows) != ImageError::None || undo.copyFrom(panorama_) != ImageError::None) {
    tell("Out of memory!", true);
    return WorkspaceResult::Failed;
  }
  copyRect(panorama_.pixels(), cropped.beginAccess(), panorama_.width(), panorama_.height(), 3, 0, cropTop_,
           panorama_.width(), cropBottom_ + 1);
  cropped.endAccess();
  undoImage_.swap(undo);
  panorama_.swap(cropped);
  undoRows_ = panoramaRows_;
  panoramaRows_ = panoramaRows_.cropped(static_cast<std::size_t>(cropTop_), static_cast<std::size_t>(cropBottom_));
  panorama_.buildPalette();
  ++panoramaRevision_;
  resetCropLines();
  refreshDisplay();
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::undo() {
  if ((state_ != WorkspaceState::PanoramaOpened && state_ != WorkspaceState::PanoramaShown) || undoImage_.width() <= 0 || undoImage_.height() <= 0) {
    return WorkspaceResult::Failed;
  }
  // The undo picture becomes the panorama and its slot is emptied: a copy would only be freed.
  panorama_.swap(undoImage_);
  undoImage_.free();
  std::swap(panoramaRows_, undoRows_);
  undoRows_ = {};
  panorama_.buildPalette();
  ++panoramaRevision_;
  refreshDisplay();
  resetCropLines();
  return WorkspaceResult::Done;
}

void Workspace::backToRound() {
  state_ = WorkspaceState::RoundShown;
  refreshDisplay();
}

WorkspaceResult Workspace::snapshotAdjustBase() {
  adjustBase_.copyFrom(panorama_);
  adjustBaseRevision_ = panoramaRevision_;
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::restoreAdjustBase() {
  if (!replaceWithCopy(panorama_, adjustBase_)) return WorkspaceResult::Failed;
  panorama_.buildPalette();
  panoramaRevision_ = adjustBaseRevision_;  // the same picture as before the tools opened
  refreshDisplay();
  return WorkspaceResult::Done;
}

void Workspace::freeAdjustBase() { adjustBase_.free(); }

WorkspaceResult Workspace::applyAdjustments(int quality, double brightness, double contrast) {
  if (!adjustBase_.hasPixels()) return WorkspaceResult::Failed;
  DibImage base;
  DibImage adjusted;
  if (base.copyFrom(adjustBase_) != ImageError::None || adjusted.copyFrom(adjustBase_) != ImageError::None) {
    return WorkspaceResult::Failed;
  }
  // Each call starts again from the base, so settings never accumulate.
  const std::int32_t width = adjusted.width();
  const std::int32_t height = adjusted.height();
  std::uint8_t* pixels = adjusted.beginAccess();
  sharpen(base.pixels(), pixels, width, height, quality, FilterKind::Sharpen);
  adjustBrightnessContrast(pixels, width, height, brightness, contrast);
  adjusted.endAccess();
  undoImage_.swap(base);
  panorama_.swap(adjusted);
  undoRows_ = panoramaRows_;  // the adjustments move no row
  panorama_.buildPalette();
  ++panoramaRevision_;
  // A preview runs whole before the tools take more input, so it reports no progress.
  refreshDisplay(nullptr);
  return WorkspaceResult::Done;
}

bool Workspace::hasDisplayedImage() const {
  switch (state_) {
    case WorkspaceState::RoundShown: return roundImage_.hasPixels();
    case WorkspaceState::PanoramaOpened:
    case WorkspaceState::PanoramaShown: return panorama_.hasPixels();
    default: return false;
  }
}

void Workspace::fitPanoramaToMovieSize() {
  if (!panorama_.hasPixels()) return;
  const std::int32_t width = panorama_.width();
  const std::int32_t height = panorama_.height();
  fitToMovieSize(panorama_, width, height, false, progress_);
  if (panorama_.width() == width && panorama_.height() == height) return;
  panoramaRows_ = panoramaRows_.resampled(panorama_.height());
  ++panoramaRevision_;
  // Lines left below the new last row would make the next Crop refuse.
  if (state_ == WorkspaceState::PanoramaShown) resetCropLines();
  refreshDisplay();
}

void Workspace::setCircleCentre(std::int32_t x, std::int32_t y) {
  circleCentreX_ = x;
  circleCentreY_ = y;
}

void Workspace::setCropLines(std::int32_t top, std::int32_t bottom) {
  cropTop_ = top;
  cropBottom_ = bottom;
}

}  // namespace kelmira

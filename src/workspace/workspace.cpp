#include "workspace/workspace.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/geometry_ops.h"
#include "image/image_error.h"
#include "image/neighbourhood_filter.h"
#include "image/progress_sink.h"
#include "image/tone_curve.h"
#include "metadata/upright_picture.h"
#include "mirror/calibrated_unwarp.h"
#include "movie/rules/movie_size.h"
#include "unwarp/panorama_maker.h"
#include "video/video_still_reader.h"
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

Workspace::~Workspace() = default;

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
    video_.reset();
    videoPath_.clear();
    videoFrameCount_ = 0;
    videoFrame_ = 0;
    brightness_ = contrast_ = 0;
    roundMetadata_ = {};
    panoramaMetadata_ = {};
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

std::optional<PhotoMetadata> Workspace::uprightWithMetadata(DibImage& picture, const std::string& path,
                                                           FileType type) {
  PhotoMetadata metadata;
  std::vector<std::string> warnings;
  const ImageErrorCode code = turnUprightAsItSays(picture, path, type, metadata, warnings);
  for (const std::string& warning : warnings) {
    if (prompts_ != nullptr) prompts_->showMessage(warning, MessageIcon::Information, MessageButtons::Ok);
  }
  if (code != ImageError::None) {
    tell(errorText(code), false);
    return std::nullopt;
  }
  return metadata;
}

WorkspaceResult Workspace::refreshDisplay(ProgressSink* progress) {
  if (viewer_ != nullptr) viewer_->refreshDisplay(progress);
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::openRound(const std::string& path) { return openRound(path, identifyFileType(path)); }

WorkspaceResult Workspace::openVideo(const std::string& path) {
  auto reader = std::make_unique<VideoStillReader>();
  std::string detail;
  waitCursor(true);
  const VideoStatus opened = reader->open(path, detail);
  DibImage frame;
  const bool read = opened == VideoStatus::Written && reader->read(0, frame);
  waitCursor(false);
  if (!read) {
    tell(withPath("Kelmira cannot read the video %s", path) + (detail.empty() ? "." : " (" + detail + ")."), false);
    return WorkspaceResult::Failed;
  }
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  roundImage_.swap(frame);
  videoFrameCount_ = std::max<std::int64_t>(reader->facts().frameCount, 1);
  videoFrame_ = 0;
  video_ = std::move(reader);
  videoPath_ = path;
  brightness_ = contrast_ = 0;
  const CropCircle circle = initialCropCircle(roundImage_.width(), roundImage_.height());
  circleCentreX_ = circle.centreX;
  circleCentreY_ = circle.centreY;
  circleRadius_ = circle.radius;
  centreHandleSize_ = circle.centreHandleSize;
  ringRadius_.reset();
  lastFoundRing_.reset();
  roundMetadata_ = {};
  // The mirror is fixed to the camera: the ring found on this frame holds for all of them.
  locateRing();
  centreOnCalibration();
  state_ = WorkspaceState::RoundShown;
  panorama_.free();
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::showVideoFrame(std::int64_t index) {
  if (!video_) return WorkspaceResult::Failed;
  index = std::clamp<std::int64_t>(index, 0, videoFrameCount_ - 1);
  DibImage frame;
  waitCursor(true);
  const bool read = video_->readFrame(index, frame);
  waitCursor(false);
  if (!read) return WorkspaceResult::Failed;
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  roundImage_.swap(frame);
  videoFrame_ = index;
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::openRound(const std::string& path, FileType type) {
  video_.reset();
  videoPath_.clear();
  videoFrameCount_ = videoFrame_ = 0;
  const ImageErrorCode code = roundImage_.loadFromFile(path, type, progress_);
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  if (code != ImageError::None) {
    tell(errorText(code), false);
    return WorkspaceResult::Failed;
  }
  std::optional<PhotoMetadata> metadata = uprightWithMetadata(roundImage_, path, type);
  if (!metadata) {
    roundImage_.free();
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
  roundMetadata_ = std::move(*metadata);
  if (findRingOnOpen_) locateRing();
  centreOnCalibration();
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

void Workspace::setMirror(std::optional<MirrorChoice> mirror) {
  mirror_ = std::move(mirror);
  centreOnCalibration();
}

void Workspace::centreOnCalibration() {
  if (!mirror_ || !roundImage_.hasPixels()) return;
  const std::optional<ImagePoint> centre = calibratedCentre(mirror_->path, {roundImage_.width(), roundImage_.height()});
  if (!centre) return;
  circleCentreX_ = static_cast<std::int32_t>(std::lround(centre->x));
  circleCentreY_ = static_cast<std::int32_t>(std::lround(centre->y));
}

std::optional<CalibratedPanorama> Workspace::planMirrorPanorama(std::string& why) const {
  if (!mirror_ || !roundImage_.hasPixels()) {
    why = mirror_ ? "no round photograph" : "no mirror chosen";
    return std::nullopt;
  }
  const RingKnown ring{ImagePoint{static_cast<double>(circleCentreX_), static_cast<double>(circleCentreY_)},
                       ringRadius_};
  return kelmira::planMirrorPanorama(*mirror_, {roundImage_.width(), roundImage_.height()}, ring, why);
}

WorkspaceResult Workspace::openPanorama(const std::string& path) {
  video_.reset();
  videoPath_.clear();
  videoFrameCount_ = videoFrame_ = 0;
  const FileType type = identifyFileType(path);
  const ImageErrorCode code = panorama_.loadFromFile(path, type, progress_);
  if (viewer_ != nullptr) viewer_->releaseDisplayImage();
  if (code != ImageError::None) {
    tell(errorText(code), false);
    return WorkspaceResult::Failed;
  }
  std::optional<PhotoMetadata> metadata = uprightWithMetadata(panorama_, path, type);
  if (!metadata) {
    panorama_.free();
    return WorkspaceResult::Failed;
  }
  if (static_cast<double>(panorama_.width()) / panorama_.height() < 2 &&
      !ask(withPath("%s appears to be a round image.  Do you wish to continue?", path))) {
    panorama_.free();
    return WorkspaceResult::Declined;
  }
  circleCentreX_ = panorama_.width() / 2;
  circleCentreY_ = panorama_.height() / 2;
  panoramaMetadata_ = std::move(*metadata);
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
  std::optional<CalibratedPanorama> plan;
  if (mirror_) {
    std::string why;
    plan = planMirrorPanorama(why);
    if (!plan) {
      waitCursor(false);
      tell(why, true);
      return WorkspaceResult::Failed;
    }
  }
  const int made = plan ? makeCalibratedPanorama(roundImage_, *plan, panorama_, report, listener)
                        : makePanoramaImage(roundImage_, circleCentreX_, circleCentreY_, circleRadius_,
                                            attachmentFlag == 1, panorama_, report, ringRadius_, listener);
  if (made != 0) {
    waitCursor(false);
    return WorkspaceResult::Failed;
  }
  if (progress_ != nullptr) progress_->endProgress();
  panoramaRows_ = plan ? plan->rows() : RowElevations::ofUnwarp(static_cast<std::uint32_t>(panorama_.height()));
  panoramaMetadata_ = roundMetadata_;
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
  baseBrightness_ = brightness_;
  baseContrast_ = contrast_;
  adjustBase_.copyFrom(panorama_);
  adjustBaseRevision_ = panoramaRevision_;
  return WorkspaceResult::Done;
}

WorkspaceResult Workspace::restoreAdjustBase() {
  if (!replaceWithCopy(panorama_, adjustBase_)) return WorkspaceResult::Failed;
  brightness_ = baseBrightness_;
  contrast_ = baseContrast_;
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
  brightness_ = brightness;
  contrast_ = contrast;
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

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "image/dib_image.h"
#include "metadata/photo_metadata.h"
#include "mirror/mirror_choice.h"
#include "unwarp/ring_finder.h"
#include "unwarp/row_elevations.h"
#include "workspace/workspace_result.h"

namespace kelmira {

class Prompts;
class ProgressSink;
class WorkspaceHost;
class PanoramaRowListener;
class VideoStillReader;

enum class WorkspaceState {
  Empty = 0,
  RoundShown = 1,
  PanoramaOpened = 2,  // becomes PanoramaShown at once, when the crop lines are set
  PanoramaShown = 3,
};

// Whatever shows the job: asked to build its display again at each moment the job's
// picture changes, to let go of it when a new picture is loaded, and to forget its
// layout when the job is reset.
class WorkspaceViewer {
 public:
  virtual ~WorkspaceViewer() = default;
  virtual void refreshDisplay(ProgressSink* progress) = 0;
  virtual void releaseDisplayImage() = 0;
  virtual void resetDisplay() = 0;
};

// The job: the round photograph, the panorama made from it or opened, the undo copy,
// the base of the adjustments, the workflow state, the crop circle and the crop lines,
// and every operation on them. How the job is shown and how the mouse moves the circle
// and the lines is WorkspaceDisplay's.
class Workspace {
 public:
  // Any of the three may be null: nothing is shown, reported or asked (questions get Yes).
  Workspace(Prompts* prompts, ProgressSink* progress, WorkspaceHost* host);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // The display that shows this job, or none.
  void setViewer(WorkspaceViewer* viewer) { viewer_ = viewer; }

  // Every command ends Done, Failed or, where it asked a question that was answered no,
  // Declined.
  void reset(bool freeImages);
  WorkspaceResult openRound(const std::string& path);
  // Opens a photograph already identified as `type`.
  WorkspaceResult openRound(const std::string& path, FileType type);
  WorkspaceResult openPanorama(const std::string& path);
  // Shows a panorama read elsewhere (a QuickTime VR movie's) whose rows look at `rows`;
  // `picture` is taken over.
  WorkspaceResult showPanorama(DibImage& picture, RowElevations rows);
  // Opens a mirror video as a round photograph: the round image is one of its frames at a
  // time, the first to begin with, and the ring is looked for on it. A save of the video
  // then unwarps every frame with the circle and ring placed on this one.
  WorkspaceResult openVideo(const std::string& path);
  // Shows frame `index` of the video as the round image, the circle left where it is.
  WorkspaceResult showVideoFrame(std::int64_t index);
  bool isVideo() const { return !videoPath_.empty(); }
  const std::string& videoPath() const { return videoPath_; }
  std::int64_t videoFrameCount() const { return videoFrameCount_; }
  std::int64_t videoFrame() const { return videoFrame_; }
  // The brightness and contrast the Advanced image tools last applied (a video's frames
  // all get them), 0 when none.
  double brightness() const { return brightness_; }
  double contrast() const { return contrast_; }
  // A listener sees the panorama's rows as they are made (a save can start on them). With a
  // mirror chosen, the panorama is its band of the sphere (planMirrorPanorama).
  WorkspaceResult makePanorama(int attachmentFlag, int mirrorSetting, PanoramaRowListener* listener = nullptr);
  WorkspaceResult cropPanorama();
  WorkspaceResult resetCropLines();
  WorkspaceResult undo();
  void backToRound();
  WorkspaceResult snapshotAdjustBase();
  WorkspaceResult restoreAdjustBase();
  void freeAdjustBase();
  WorkspaceResult applyAdjustments(int quality, double brightness, double contrast);
  bool hasDisplayedImage() const;
  // Trims the panorama to the size a movie takes (fitToMovieSize), as every saved
  // panorama is.
  void fitPanoramaToMovieSize();
  // Builds the display of the current state again (through the viewer) and repaints.
  WorkspaceResult refreshDisplay();

  // Whether Open Round looks for the mirror's ring and puts the circle on it when it is
  // sure of it. Off unless asked, so the circle sits where it always has.
  void setFindRingOnOpen(bool find) { findRingOnOpen_ = find; }
  bool findRingOnOpen() const { return findRingOnOpen_; }
  // The finder's answer for the round photograph, sure or not; none without a photograph
  // or a ring at all.
  std::optional<FoundRing> findRingInRound() const;
  // Looks for the ring in the round photograph; when the finder is sure of it, puts the
  // circle on it (centre, radius 0.8 R) and lets its radius set the unwarp's scale. The
  // finder's answer either way; none without a round photograph or a ring at all.
  std::optional<FoundRing> locateRing();
  // Puts the circle on a ring of outer radius R around (x, y), as a ring found or given.
  void placeCircleOnRing(double x, double y, double ringRadius);
  // Puts the circle at (x, y) with the given radius and no ring: the unwarp's scale comes
  // from the photograph's height.
  void placeCircle(std::int32_t x, std::int32_t y, std::int32_t radius);
  // The radius of the ring the circle sits on, which sets the unwarp's scale; none when
  // the circle was placed without one (the scale then comes from the photograph's height).
  std::optional<double> ringRadius() const { return ringRadius_; }
  // The last answer of the finder for this photograph, sure or not.
  const std::optional<FoundRing>& lastFoundRing() const { return lastFoundRing_; }

  // What the round photograph says of itself, and what the panorama carries into every
  // result: the metadata of the photograph it was made from, or of the panorama opened.
  const PhotoMetadata& roundMetadata() const { return roundMetadata_; }
  const PhotoMetadata& panoramaMetadata() const { return panoramaMetadata_; }

  // The mirror the job is unwarped with in place of the attachment's own; none: the
  // attachment's. A calibration's centre is where the crop circle then sits.
  void setMirror(std::optional<MirrorChoice> mirror);
  const std::optional<MirrorChoice>& mirror() const { return mirror_; }
  // The chosen mirror's panorama for the round photograph: a table centred on the circle,
  // the rim on the ring when one is known; none, with why, without a mirror, a photograph
  // or a panorama from them.
  std::optional<CalibratedPanorama> planMirrorPanorama(std::string& why) const;

  const DibImage& roundImage() const { return roundImage_; }
  const DibImage& panorama() const { return panorama_; }
  const DibImage& undoImage() const { return undoImage_; }
  const DibImage& adjustBase() const { return adjustBase_; }
  // The elevation each panorama row looks at: as unwarped, then as cropped and resized.
  // An opened panorama is taken as one Kelmira made and never cropped.
  const RowElevations& panoramaRows() const { return panoramaRows_; }
  // Counts every change of the panorama, so a window can tell whether it was saved since.
  std::uint64_t panoramaRevision() const { return panoramaRevision_; }
  WorkspaceState state() const { return state_; }
  std::int32_t circleCentreX() const { return circleCentreX_; }
  std::int32_t circleCentreY() const { return circleCentreY_; }
  std::int32_t circleRadius() const { return circleRadius_; }
  std::int32_t centreHandleSize() const { return centreHandleSize_; }
  void setCircleCentre(std::int32_t x, std::int32_t y);
  std::int32_t cropTop() const { return cropTop_; }
  std::int32_t cropBottom() const { return cropBottom_; }
  void setCropLines(std::int32_t top, std::int32_t bottom);

  ProgressSink* progress() const { return progress_; }

 private:
  bool ask(const std::string& text);
  void tell(const std::string& text, bool stopIcon);
  void waitCursor(bool waiting);
  WorkspaceResult refreshDisplay(ProgressSink* progress);
  // Reads the opened picture's metadata, telling of any block left out, and turns the
  // picture upright as its orientation says. None when there is no memory to turn it.
  std::optional<PhotoMetadata> uprightWithMetadata(DibImage& picture, const std::string& path, FileType type);
  void centreOnCalibration();

  Prompts* prompts_;
  ProgressSink* progress_;
  WorkspaceHost* host_;
  WorkspaceViewer* viewer_ = nullptr;

  DibImage roundImage_;
  DibImage panorama_;
  DibImage undoImage_;
  DibImage adjustBase_;
  PhotoMetadata roundMetadata_;
  PhotoMetadata panoramaMetadata_;

  RowElevations panoramaRows_;
  RowElevations undoRows_;
  std::uint64_t panoramaRevision_ = 0;
  std::uint64_t adjustBaseRevision_ = 0;
  WorkspaceState state_ = WorkspaceState::Empty;
  std::int32_t circleCentreX_ = 0;
  std::int32_t circleCentreY_ = 0;
  std::int32_t circleRadius_ = 0;
  std::int32_t centreHandleSize_ = 20;
  std::int32_t cropTop_ = 0;
  std::int32_t cropBottom_ = 0;
  bool findRingOnOpen_ = false;
  std::optional<double> ringRadius_;
  std::optional<FoundRing> lastFoundRing_;
  std::string videoPath_;
  std::unique_ptr<VideoStillReader> video_;
  std::int64_t videoFrameCount_ = 0;
  std::int64_t videoFrame_ = 0;
  double brightness_ = 0;
  double contrast_ = 0;
  double baseBrightness_ = 0;
  double baseContrast_ = 0;
  std::optional<MirrorChoice> mirror_;
};

}  // namespace kelmira

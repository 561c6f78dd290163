#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "export/output_kind.h"
#include "metadata/photo_metadata.h"
#include "movie/movie_settings.h"
#include "sphere/sphere_photo.h"
#include "video/video_settings.h"

namespace kelmira {

class CalibratedPanorama;
class DibImage;
class ProgressSink;
class RowElevations;

// A finished panorama, the elevation each of its rows looks at, and what is known of the
// photograph it was made from.
struct PanoramaSource {
  const DibImage& panorama;
  const RowElevations& rows;
  const PhotoMetadata& metadata = PhotoMetadata::none();
};

// Where the crop circle sits on a round photograph.
struct RingPlacement {
  std::int32_t centreX = 0;
  std::int32_t centreY = 0;
  std::int32_t cropRadius = 0;
  // The ring's outer radius, which sets the unwarp's scale; none: the photograph's height does.
  std::optional<double> ringRadius{};
};

// A round photograph, its file and where its ring is, unwarped as the job's mirror and
// attachment say.
struct RoundSource {
  const DibImage& photograph;
  const std::string& path;  // named by failures
  RingPlacement ring;
  bool lensThread = false;  // the attachment mirrors the panorama left to right
  // A mirror chosen for the job, planned for this photograph: the panorama is its band of
  // the sphere, the ring above unused. None: the attachment's own mirror.
  const CalibratedPanorama* mirror = nullptr;
  const PhotoMetadata& metadata = PhotoMetadata::none();
};

// A video, where the mirror's ring lies in its frames (as displayed) and how its frames are
// adjusted. What is not given of the ring is found on frames spread over the video.
struct VideoSource {
  const std::string& path;
  std::optional<double> centreX{};  // given with centreY, or neither
  std::optional<double> centreY{};
  std::optional<double> ringRadius{};
  bool lensThread = false;
  double brightness = 0;  // -1 to 1, as the window's Advanced image tools set them
  double contrast = 0;
};

// The steps of an export that a progress display names: a video's ring is found first,
// then its frames are unwarped and written together.
enum class ExportStage { Unwarping, Writing, FindingRing, Converting };

// What to make and where.
struct ExportRequest {
  OutputKind kind = OutputKind::None;
  std::string destination;
  // JPEG quality of a 360-degree photo, also inside a web page (a panorama picture's JPEG
  // is always quality 100).
  int quality = kDefaultSphereQuality;
  std::string title;  // a web page's; empty: the page's file name without its extension
  MovieSettings movie;
  VideoSettings video;
  std::string viewerFolder;  // the web viewer's files; empty: where they are installed
  ProgressSink* progress = nullptr;
  std::function<void(ExportStage)> stageBegins;
};

}  // namespace kelmira

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "export/output_kind.h"
#include "metadata/photo_metadata.h"
#include "movie/movie_settings.h"
#include "sphere/sphere_photo.h"

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
  std::optional<double> ringRadius;
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

// The steps of an export that a progress display names.
enum class ExportStage { Unwarping, Writing };

// What to make and where.
struct ExportRequest {
  OutputKind kind = OutputKind::None;
  std::string destination;
  // JPEG quality of a 360-degree photo, also inside a web page (a panorama picture's JPEG
  // is always quality 100).
  int quality = kDefaultSphereQuality;
  std::string title;  // a web page's; empty: the page's file name without its extension
  MovieSettings movie;
  std::string viewerFolder;  // the web viewer's files; empty: where they are installed
  ProgressSink* progress = nullptr;
  std::function<void(ExportStage)> stageBegins;
};

}  // namespace kelmira

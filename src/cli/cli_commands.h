#pragma once

#include <optional>
#include <string>

#include "export/export_request.h"
#include "export/output_kind.h"
#include "mirror/mirror_rig.h"
#include "video/video_settings.h"

namespace kelmira {

struct Point {
  double x = 0;
  double y = 0;
};

// Where the ring is: nothing given keeps the described placement and scale.
struct RingOptions {
  std::optional<Point> centre;
  bool findCentre = false;            // --centre auto
  std::optional<double> ringRadius;   // --ring-radius R
  bool findRingRadius = false;        // --ring-radius auto
  bool needsFinder() const { return findCentre || findRingRadius; }
};

// A mirror in place of the attachment's own: nothing given keeps the attachment's.
struct MirrorOptions {
  std::string path;                   // --mirror FILE
  std::optional<Rig> rig;             // --rig
  std::optional<double> innerRadius;  // --inner-radius R
};

struct UnwarpOptions {
  std::string roundPath;
  std::string outputPath;
  RingOptions ring;
  MirrorOptions mirror;
  bool lensThread = false;
  std::string moviePath;  // also write a QuickTime VR movie there when set
};

// sphere and web: a round photograph to a 360-degree photo, or to a web page that pans it.
struct SphereOptions {
  std::string roundPath;
  std::string outputPath;
  RingOptions ring;
  MirrorOptions mirror;
  bool lensThread = false;
  int quality = 92;
  std::string title;  // web only; the page's file name when empty
};

// video: a mirror video to a 360-degree video. The ring's centre and radius are found on
// the video's frames unless given; a calibrated mirror keeps its own centre.
struct VideoOptions {
  std::string inputPath;
  std::string outputPath;
  RingOptions ring;
  MirrorOptions mirror;
  bool lensThread = false;
  VideoSettings settings;
};

struct SimulateOptions {
  std::string panoramaPath;
  std::string roundPath;
  int width = 0;
  int height = 0;
  std::optional<Point> centre;
};

struct BatchOptions;
class StepProgress;
struct FileOutcome;

// Each returns the process exit status and reports on stdout and stderr.
int runUnwarp(const UnwarpOptions& options);
// The same options for every photograph of a batch (the paths in `options` unused).
int runUnwarpBatch(const UnwarpOptions& options, const BatchOptions& batch);
int runSphereBatch(const SphereOptions& options, const BatchOptions& batch);
// An image file's type and size, a mirror file's model, or both (the model for that picture).
int runInfo(const std::string& path, const MirrorOptions& mirror);
int runSimulate(const SimulateOptions& options);
int runFindRing(const std::string& path);
int runSphere(const SphereOptions& options);
int runWeb(const SphereOptions& options);
int runVideo(const VideoOptions& options);
int runVideoBatch(const VideoOptions& options, const BatchOptions& batch);

// One photograph's work, reported rather than printed. A picture that appears to be a
// panorama already is skipped unless `unwarpPanoramas`, when it is unwarped with a warning.
FileOutcome unwarpFile(const UnwarpOptions& options, const std::string& roundPath, const std::string& outputPath,
                       StepProgress& progress, bool unwarpPanoramas);
// The 360-degree photo (`kind` SpherePhoto) or web page (WebPage) of one photograph.
// The 360-degree video of one video.
FileOutcome videoFile(const VideoOptions& options, const std::string& inputPath, const std::string& outputPath,
                      StepProgress& progress);
FileOutcome sphereFile(const SphereOptions& options, OutputKind kind, const std::string& roundPath,
                       const std::string& outputPath, StepProgress& progress, bool unwarpPanoramas);

// The result `request` names made from the panorama of a QuickTime VR panorama movie.
FileOutcome moviePanoramaFile(const std::string& moviePath, ExportRequest request, StepProgress& progress);

}  // namespace kelmira

#include "export/video_export.h"

#include <algorithm>
#include <cmath>

#include "base/decimal_text.h"
#include "mirror/mirror_choice.h"
#include "unwarp/unwarp_ring.h"
#include "video/calibrated_frame_map.h"
#include "video/ring_frame_map.h"
#include "video/video_converter.h"
#include "video/video_facts.h"
#include "video/video_ring_finder.h"

namespace kelmira {

namespace {

ExportResult failed(const ExportRequest& request, std::string detail) {
  ExportResult result;
  result.status = ExportStatus::VideoFailed;
  result.destination = request.destination;
  result.detail = std::move(detail);
  return result;
}

// Why a video was not made, in one line that names the file it concerns.
std::string whyNot(const VideoSource& source, const ExportRequest& request, VideoStatus status,
                   const std::string& detail) {
  switch (status) {
    case VideoStatus::Unreadable:
      return "cannot read " + source.path + ": " + detail;
    case VideoStatus::NoVideo:
      return source.path + " has no video that Kelmira can decode (" + detail + "); nothing was written";
    case VideoStatus::NoMemory:
      return "out of memory";
    case VideoStatus::Stopped:
      return request.destination + ": stopped; nothing was written";
    case VideoStatus::EncoderMissing:
    case VideoStatus::WriteFailed:
    default:
      return "cannot write " + request.destination + ": " + detail;
  }
}

}  // namespace

ExportResult exportVideo(const VideoSource& source, const ExportRequest& request) {
  const OutputKindRow& row = outputKindRow(request.kind);
  if (row.writeVideo == nullptr) {
    ExportResult result;
    result.status = ExportStatus::NoWriter;
    result.destination = request.destination;
    return result;
  }
  return row.writeVideo(source, request);
}

ExportResult writeSphereVideo(const VideoSource& source, const ExportRequest& request) {
  VideoFacts facts;
  std::string detail;
  if (const VideoStatus read = readVideoFacts(source.path, facts, detail); read != VideoStatus::Written) {
    return failed(request, whyNot(source, request, read, detail));
  }
  std::optional<double> centreX = source.centreX;
  std::optional<double> centreY = source.centreY;
  std::optional<double> radius = source.ringRadius;
  const ImageSize frame{static_cast<std::int32_t>(facts.width), static_cast<std::int32_t>(facts.height)};
  const bool calibrated = source.mirror != nullptr && calibratedCentre(source.mirror->path, frame).has_value();
  // The attachment's mirror needs the whole ring; a table its centre (its rim found with
  // it); a calibration nothing, unless its rim is asked for.
  const bool find = source.mirror == nullptr ? !centreX || !centreY || !radius
                    : calibrated          ? source.findRingRadius && !radius
                                          : !centreX || !centreY || (!radius && source.findRingRadius);
  if (find) {
    if (request.stageBegins) request.stageBegins(ExportStage::FindingRing);
    const std::optional<FoundRing> found = findVideoRing(source.path);
    if (!found || found->confidence < kRingConfidenceThreshold) {
      return failed(request, source.path + ": the mirror's ring was not found for sure in the video (confidence " +
                                 fixedDecimal(found ? found->confidence : 0.0, 2) + "); give --centre X,Y and --ring-radius R instead of auto");
    }
    if (!centreX || !centreY) {
      centreX = found->centreX;
      centreY = found->centreY;
    }
    if (!radius) radius = found->radius;
  }
  VideoSettings settings = request.video;
  FrameMap map;
  if (source.mirror != nullptr) {
    RingKnown ring;
    if (centreX && centreY) ring.centre = ImagePoint{*centreX, *centreY};
    ring.rimRadius = radius;
    std::string why;
    std::optional<CalibratedPanorama> plan =
        planMirrorPanorama(*source.mirror, frame, ring, why, static_cast<std::int32_t>(settings.width));
    if (plan && settings.width == 0) {
      // The plan's own width, to the video's step; planned again at that width.
      const std::int32_t sixteens = std::clamp((plan->width() + 8) / 16, 16, 256);
      settings.width = static_cast<std::uint32_t>(sixteens) * 16;
      plan = planMirrorPanorama(*source.mirror, frame, ring, why, static_cast<std::int32_t>(settings.width));
    }
    if (!plan) return failed(request, why);
    map = calibratedFrameMap(*plan, facts.width, facts.height);
  } else {
    if (settings.width == 0) settings.width = defaultVideoWidth(*radius);
    const VideoRing ring{*centreX, *centreY, ringScaleForRadius(*radius), source.lensThread};
    map = ringFrameMap(ring, settings.width, facts.width, facts.height);
  }
  if (map.empty()) return failed(request, "out of memory");

  if (request.stageBegins) request.stageBegins(ExportStage::Converting);
  VideoConversion job;
  job.input = source.path;
  job.output = request.destination;
  job.map = &map;
  job.settings = settings;
  job.brightness = source.brightness;
  job.contrast = source.contrast;
  job.progress = request.progress;
  const VideoResult made = convertVideo(job);
  if (!made.written()) return failed(request, whyNot(source, request, made.status, made.detail));
  ExportResult result;
  result.destination = request.destination;
  result.width = static_cast<std::int32_t>(made.width);
  result.height = static_cast<std::int32_t>(made.height);
  result.frames = made.frames;
  result.warning = made.warning;
  if (made.status == VideoStatus::Damaged) {
    result.status = ExportStatus::VideoDamaged;
    result.detail = source.path + " is damaged (" + made.detail + "): " + request.destination + " holds its first " +
                    std::to_string(made.frames) + " frames, up to " + videoTimeText(made.stoppedAt);
  }
  return result;
}

}  // namespace kelmira

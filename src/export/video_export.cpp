#include "export/video_export.h"

#include <cmath>
#include <cstdio>

#include "unwarp/unwarp_ring.h"
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

std::string timeText(double seconds) {
  char text[32];
  const auto minutes = static_cast<long>(seconds / 60);
  std::snprintf(text, sizeof text, "%ld:%05.2f", minutes, seconds - 60.0 * minutes);
  return text;
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
  double centreX = source.centreX.value_or(0);
  double centreY = source.centreY.value_or(0);
  double radius = source.ringRadius.value_or(0);
  if (!source.centreX || !source.centreY || !source.ringRadius) {
    if (request.stageBegins) request.stageBegins(ExportStage::FindingRing);
    const std::optional<FoundRing> found = findVideoRing(source.path);
    if (!found || found->confidence < kRingConfidenceThreshold) {
      char confidence[32];
      std::snprintf(confidence, sizeof confidence, "%.2f", found ? found->confidence : 0.0);
      return failed(request, source.path + ": the mirror's ring was not found for sure in the video (confidence " +
                                 confidence + "); give --centre X,Y and --ring-radius R instead of auto");
    }
    if (!source.centreX || !source.centreY) {
      centreX = found->centreX;
      centreY = found->centreY;
    }
    if (!source.ringRadius) radius = found->radius;
  }
  VideoSettings settings = request.video;
  if (settings.width == 0) settings.width = defaultVideoWidth(radius);
  const VideoRing ring{centreX, centreY, ringScaleForRadius(radius), source.lensThread};
  const FrameMap map = ringFrameMap(ring, settings.width, facts.width, facts.height);
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
                    std::to_string(made.frames) + " frames, up to " + timeText(made.stoppedAt);
  }
  return result;
}

}  // namespace kelmira

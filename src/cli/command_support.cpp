#include "cli/command_support.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/interruption.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/file_job.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "export/export_result.h"
#include "base/decimal_text.h"
#include "image/dib_image.h"
#include "metadata/upright_picture.h"
#include "mirror/mirror_file_reader.h"
#include "unwarp/ring_finder.h"
#include "workspace/workspace.h"

namespace kelmira {

bool loadImage(DibImage& image, const std::string& path, TerminalProgress& progress) {
  progress.setLabel("Reading");
  const FileType type = identifyFileType(path);
  ImageErrorCode code = image.loadFromFile(path, type, &progress);
  if (code == ImageError::None && image.hasPixels()) {
    PhotoMetadata metadata;
    std::vector<std::string> warnings;
    code = turnUprightAsItSays(image, path, type, metadata, warnings);
    for (const std::string& warning : warnings) {
      std::fprintf(stderr, "kelmira-cli: warning: %s\n", printable(warning).c_str());
    }
    if (code == ImageError::None) return true;
  }
  if (Interruption::stopped()) return false;
  const bool recognised = code == ImageError::FileOpen || type != FileTypeNone;
  std::fprintf(stderr, "kelmira-cli: cannot read %s: %s\n", printable(path).c_str(),
               recognised ? errorText(code).c_str() : "not a picture in a format Kelmira reads");
  return false;
}

bool saveImage(const DibImage& image, const std::string& path, FileType type, TerminalProgress& progress) {
  progress.setLabel("Writing");
  return reportSaveResult(image.saveToFile(path, type, &progress), path);
}

bool reportSaveResult(ImageErrorCode code, const std::string& path) {
  if (code == ImageError::None) return true;
  if (Interruption::stopped()) return false;
  std::fprintf(stderr, "kelmira-cli: cannot write %s: %s\n", printable(path).c_str(), errorText(code).c_str());
  return false;
}

int reportMisnamed(const std::string& path, OutputKind kind, int status) {
  std::fprintf(stderr, "kelmira-cli: %s: %s\n", printable(path).c_str(), namingRule(kind).c_str());
  return status;
}

void reportExportFailure(const ExportResult& result) {
  if (!Interruption::stopped()) std::fprintf(stderr, "kelmira-cli: %s\n", printable(result.line()).c_str());
}

int reportOutcome(const FileOutcome& outcome) {
  std::fputs(outcome.warnings.c_str(), stderr);
  if (!outcome.ok()) {
    if (!Interruption::stopped()) std::fprintf(stderr, "kelmira-cli: %s\n", outcome.report.c_str());
    return 1;
  }
  std::printf("%s\n", outcome.report.c_str());
  return 0;
}

bool qualityInRange(int quality) {
  if (quality >= 1 && quality <= 100) return true;
  std::fprintf(stderr, "kelmira-cli: --quality takes 1 to 100\n");
  return false;
}

std::optional<FileOutcome> openPhotograph(Workspace& workspace, RecordingPrompts& prompts, const RingOptions& ring,
                                          const std::string& roundPath, StepProgress& progress) {
  const FileType type = identifyFileType(roundPath);
  std::error_code ignored;
  if (std::filesystem::is_regular_file(roundPath, ignored) && type == FileTypeNone) {
    return FileOutcome::failed("cannot read " + printable(roundPath) + ": not a picture in a format Kelmira reads");
  }
  progress.setLabel("Reading");
  if (const WorkspaceResult opened = workspace.openRound(roundPath, type); opened != WorkspaceResult::Done) {
    return openRoundFailure(opened, prompts, roundPath);
  }
  if (std::optional<std::string> refusal = placeRing(workspace, ring, roundPath)) return FileOutcome::failed(*refusal);
  return std::nullopt;
}

RoundSource roundSourceOf(const Workspace& workspace, const std::string& roundPath, bool lensThread,
                          const CalibratedPanorama* mirror) {
  return {.photograph = workspace.roundImage(),
          .path = roundPath,
          .ring = {workspace.circleCentreX(), workspace.circleCentreY(), workspace.circleRadius(), workspace.ringRadius()},
          .lensThread = lensThread,
          .mirror = mirror,
          .metadata = workspace.roundMetadata()};
}

int mirrorOptionsRefusal(const MirrorOptions& mirror, const RingOptions& ring, bool lensThread) {
  if (mirror.path.empty()) {
    return mirror.rig || mirror.innerRadius ? usageError("--rig and --inner-radius go with --mirror FILE") : 0;
  }
  if (lensThread) {
    return usageError("--lens-thread is the attachment's own mirror; --mirror FILE takes its place");
  }
  const MirrorFile file = readMirrorFile(mirror.path);
  if (!file) {
    std::fprintf(stderr, "kelmira-cli: %s\n", printable(file.error).c_str());
    return 1;
  }
  if (file.model->calibrated() && (ring.centre || ring.findCentre)) {
    std::fprintf(stderr, "kelmira-cli: %s: a calibration sees the camera at its own centre; --centre places a table\n",
                 printable(mirror.path).c_str());
    return 2;
  }
  return 0;
}

std::optional<MirrorChoice> mirrorChoiceOf(const MirrorOptions& mirror) {
  if (mirror.path.empty()) return std::nullopt;
  return MirrorChoice{mirror.path, mirror.rig.value_or(Rig::CameraBelow), mirror.innerRadius};
}

std::optional<FileOutcome> planChosenMirror(const Workspace& workspace, std::optional<CalibratedPanorama>& plan) {
  if (!workspace.mirror()) return std::nullopt;
  std::string why;
  plan = workspace.planMirrorPanorama(why);
  if (!plan) return FileOutcome::failed(printable(why));
  return std::nullopt;
}

std::string describeMirrorPanorama(const CalibratedPanorama& plan) {
  char line[512];
  std::snprintf(line, sizeof line, ": %d x %d panorama of the %s (%s) around (%s, %s), radii %s to %s, elevations %s to %s degrees",
                plan.width(), plan.height(), std::string(mirrorKindName(plan.model().kind())).c_str(),
                std::string(rigName(plan.rig())).c_str(), fixedDecimal(plan.centre().x, 1).c_str(),
                fixedDecimal(plan.centre().y, 1).c_str(), fixedDecimal(plan.innerRadius(), 1).c_str(),
                fixedDecimal(plan.rimRadius(), 1).c_str(), fixedDecimal(plan.rows().top(), 2).c_str(),
                fixedDecimal(plan.rows().bottom(), 2).c_str());
  return line;
}

ExportRequest exportRequest(OutputKind kind, const std::string& destination, StepProgress& progress) {
  ExportRequest request;
  request.kind = kind;
  request.destination = destination;
  request.progress = &progress;
  request.stageBegins = [&progress](ExportStage stage) {
    progress.setLabel(stage == ExportStage::Unwarping ? "Unwarping" : "Writing");
  };
  return request;
}

FileOutcome openRoundFailure(WorkspaceResult opened, const RecordingPrompts& prompts, const std::string& roundPath) {
  if (opened == WorkspaceResult::Declined) {
    return FileOutcome::skipped(printable(roundPath) +
                                " appears to be a panorama already: skipped (--force unwarps it)");
  }
  return FileOutcome::failed(prompts.reason("cannot read " + printable(roundPath)));
}

std::optional<std::string> placeRing(Workspace& workspace, const RingOptions& options, const std::string& roundPath) {
  std::optional<FoundRing> found;
  if (options.needsFinder()) {
    found = workspace.findRingInRound();
    if (!found || found->confidence < kRingConfidenceThreshold) {
      return printable(roundPath) + ": the mirror's ring was not found for sure (confidence " +
             fixedDecimal(found ? found->confidence : 0.0, 2) +
             "); give --centre X,Y and --ring-radius R instead of auto";
    }
  }
  double x = workspace.circleCentreX(), y = workspace.circleCentreY();
  if (options.findCentre) {
    x = found->centreX;
    y = found->centreY;
  } else if (options.centre) {
    x = options.centre->x;
    y = options.centre->y;
  }
  const std::optional<double> radius = options.findRingRadius ? std::optional<double>(found->radius) : options.ringRadius;
  if (radius) {
    workspace.placeCircleOnRing(x, y, *radius);
  } else {
    // The found radius stays out of it unless asked for: the described circle and scale.
    workspace.placeCircle(static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y)),
                          workspace.circleRadius());
  }
  return std::nullopt;
}

}  // namespace kelmira

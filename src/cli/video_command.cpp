#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/batch_run.h"
#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/command_support.h"
#include "cli/file_job.h"
#include "cli/printable_text.h"
#include "cli/video_progress.h"
#include "export/video_export.h"

namespace kelmira {

namespace {

std::string describeVideo(const std::string& path, const ExportResult& result) {
  char line[256];
  std::snprintf(line, sizeof line, ": %d x %d 360-degree video, %lld frames", result.width, result.height,
                static_cast<long long>(result.frames));
  return printable(path) + line;
}

VideoSource videoSourceOf(const VideoOptions& options, const std::string& inputPath) {
  VideoSource source{.path = inputPath};
  if (options.ring.centre && !options.ring.findCentre) {
    source.centreX = options.ring.centre->x;
    source.centreY = options.ring.centre->y;
  }
  if (options.ring.ringRadius && !options.ring.findRingRadius) source.ringRadius = options.ring.ringRadius;
  source.lensThread = options.lensThread;
  return source;
}

bool settingsUsable(const VideoSettings& settings) {
  if (settings.width != 0 && !isVideoWidth(settings.width)) {
    usageError("--width takes a multiple of 16 up to 4096");
    return false;
  }
  if (settings.crf < 0 || settings.crf > kMaxCrf) {
    usageError("--crf takes 0 to 51");
    return false;
  }
  if (!isX264Preset(settings.preset)) {
    usageError("--preset takes one of x264's: ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, "
               "veryslow, placebo");
    return false;
  }
  if (!(settings.start >= 0) || !(settings.duration >= 0) || settings.start > 1e9 || settings.duration > 1e9) {
    usageError("--start and --duration take seconds, 0 or more");
    return false;
  }
  return true;
}

}  // namespace

FileOutcome videoFile(const VideoOptions& options, const std::string& inputPath, const std::string& outputPath,
                      StepProgress& progress) {
  ExportRequest request;
  request.kind = OutputKind::Video;
  request.destination = outputPath;
  request.video = options.settings;
  request.progress = &progress;
  request.stageBegins = [&progress](ExportStage stage) {
    progress.setLabel(stage == ExportStage::FindingRing ? "Finding the ring" : "Converting");
  };
  const ExportResult result = exportVideo(videoSourceOf(options, inputPath), request);
  FileOutcome outcome;
  if (result.ok()) {
    outcome = FileOutcome::written(describeVideo(outputPath, result));
  } else {
    outcome = FileOutcome::failed(printable(result.line()));
  }
  if (!result.warning.empty()) outcome.warnings = "kelmira-cli: warning: " + printable(result.warning) + "\n";
  return outcome;
}

int runVideo(const VideoOptions& options) {
  if (outputKindFor(options.outputPath) != OutputKind::Video) return reportMisnamed(options.outputPath, OutputKind::Video, 2);
  if (!settingsUsable(options.settings)) return 2;
  VideoProgress progress(stderr);
  return reportOutcome(videoFile(options, options.inputPath, options.outputPath, progress));
}

int runVideoBatch(const VideoOptions& options, const BatchOptions& batch) {
  if (!settingsUsable(options.settings)) return 2;
  BatchOptions videos = batch;
  if (videos.jobs == 0) videos.jobs = 1;
  videos.one = "video";
  videos.many = "videos";
  return runBatch(videos, OutputKind::Video,
                  [&](const std::string& input, const std::string& output, StepProgress& progress) {
                    return videoFile(options, input, output, progress);
                  });
}

namespace {

class VideoCommand final : public CliCommand {
 public:
  explicit VideoCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("FILES", paths_, "IN OUT.mp4, or the videos of a batch with --out-dir")->required()->type_name("");
    addVideoBatchOptions(*command, batch_);
    addRingOptions(*command, options_.ring, true);
    command->add_flag("--lens-thread", options_.lensThread, "The lens-thread attachment: mirror left to right");
    VideoSettings& settings = options_.settings;
    command->add_option("--width", settings.width,
                        "Width of the equirectangular frames (height half of it), a multiple of 16 up to 4096 "
                        "(default: from the ring's size)")
        ->type_name("W");
    command->add_option("--crf", settings.crf, "x264's constant rate factor, 0 to 51, lower is better (default 20)")
        ->type_name("N");
    command->add_option("--preset", settings.preset, "x264's preset, ultrafast to placebo (default medium)")
        ->type_name("NAME");
    command->add_option("--start", settings.start, "Begin this many seconds into the video")->type_name("S");
    command->add_option("--duration", settings.duration, "Convert this many seconds (default: to the end)")
        ->type_name("S");
  }

  int run() override {
    if (!batch_.outputFolder.empty()) {
      batch_.inputs = paths_;
      return runVideoBatch(options_, batch_);
    }
    if (!singleRun(subcommand(), paths_, options_.inputPath, options_.outputPath)) return 2;
    return runVideo(options_);
  }

 private:
  VideoOptions options_;
  std::vector<std::string> paths_;
  BatchOptions batch_;
};

}  // namespace

std::unique_ptr<CliCommand> addVideoCommand(CLI::App& app) {
  return std::make_unique<VideoCommand>(app.add_subcommand(
      "video",
      "Make a 360-degree video (H.264 MP4 with spherical metadata) of a mirror video: IN OUT.mp4, or any number of "
      "videos with --out-dir DIR, each written there as NAME_360.mp4. The ring is found on frames spread over the "
      "video unless --centre and --ring-radius give it"));
}

}  // namespace kelmira

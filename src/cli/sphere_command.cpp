#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/batch_run.h"
#include "cli/cli_commands.h"
#include "cli/file_job.h"
#include "base/interruption.h"
#include "cli/command_support.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "image/file_type.h"
#include "sphere/sphere_photo.h"
#include "sphere/viewer_page.h"
#include "workspace/prompts.h"
#include "workspace/workspace.h"

namespace kelmira {

namespace {

// The web viewer's files beside the program: share/kelmira/web next to its bin folder.
std::string viewerFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "share/kelmira/web";
  return (program.parent_path() / ".." / "share" / "kelmira" / "web").lexically_normal().string();
}

bool hasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* wanted : extensions) {
    if (extension == wanted) return true;
  }
  return false;
}

// Opens the round photograph, places the ring and unwarps it; why not, when it fails or
// is skipped.
std::optional<FileOutcome> unwarpForSphere(const SphereOptions& options, const std::string& roundPath,
                                           Workspace& workspace, RecordingPrompts& prompts, StepProgress& progress) {
  progress.setLabel("Reading");
  if (workspace.openRound(roundPath) != 1) return openRoundFailure(prompts, roundPath);
  if (std::optional<std::string> refusal = placeRing(workspace, options.ring, roundPath)) {
    return FileOutcome::failed(*refusal);
  }
  progress.setLabel("Unwarping");
  if (workspace.makePanorama(options.lensThread ? 1 : 0, 0) != 0) {
    return FileOutcome::failed(printable(roundPath) + " gives no panorama (crop radius " +
                               std::to_string(workspace.circleRadius()) + " is too small or memory ran out)");
  }
  return std::nullopt;
}

std::string describeSphere(const std::string& path, const Workspace& workspace) {
  DibImage photo;
  SphereFrame frame;
  makeSpherePhoto(workspace.panorama(), workspace.panoramaRows(), photo, frame);
  char line[512];
  std::snprintf(line, sizeof line, ": %d x %d of a %d x %d sphere from row %d, elevations %.1f to %.1f degrees",
                frame.fullWidth, frame.height, frame.fullWidth, frame.fullHeight, frame.top,
                frame.elevationOfRow(frame.top), frame.elevationOfRow(frame.top + frame.height - 1));
  return printable(path) + line;
}

bool qualityInRange(const SphereOptions& options) {
  if (options.quality >= 1 && options.quality <= 100) return true;
  std::fprintf(stderr, "kelmira-cli: --quality takes 1 to 100\n");
  return false;
}

// Prints a single photograph's outcome; the exit status.
int finish(const FileOutcome& outcome) {
  std::fputs(outcome.warnings.c_str(), stderr);
  if (!outcome.ok()) {
    if (!Interruption::stopped()) std::fprintf(stderr, "kelmira-cli: %s\n", outcome.report.c_str());
    return 1;
  }
  std::printf("%s\n", outcome.report.c_str());
  return 0;
}

}  // namespace

FileOutcome sphereFile(const SphereOptions& options, const std::string& roundPath, const std::string& outputPath,
                       StepProgress& progress, bool unwarpPanoramas) {
  RecordingPrompts prompts(roundPath, !unwarpPanoramas);
  Workspace workspace(&prompts, &progress, nullptr);
  FileOutcome outcome;
  if (std::optional<FileOutcome> failure = unwarpForSphere(options, roundPath, workspace, prompts, progress)) {
    outcome = *failure;
  } else {
    progress.setLabel("Writing");
    const ImageErrorCode code =
        saveSpherePhoto(workspace.panorama(), workspace.panoramaRows(), outputPath, options.quality, &progress);
    outcome = code == ImageError::None
                  ? FileOutcome::written(describeSphere(outputPath, workspace))
                  : FileOutcome::failed("cannot write " + printable(outputPath) + ": " + errorText(code));
  }
  outcome.warnings = prompts.warnings();
  return outcome;
}

int runSphere(const SphereOptions& options) {
  if (!hasExtension(options.outputPath, {".jpg", ".jpeg"})) {
    std::fprintf(stderr, "kelmira-cli: %s: a 360-degree photo is a JPEG: name it .jpg or .jpeg\n",
                 printable(options.outputPath).c_str());
    return 2;
  }
  if (!qualityInRange(options)) return 2;
  TerminalProgress progress(stderr);
  return finish(sphereFile(options, options.roundPath, options.outputPath, progress, true));
}

int runSphereBatch(const SphereOptions& options, const BatchOptions& batch) {
  if (!qualityInRange(options)) return 2;
  return runBatch(batch, "_360.jpg", [&](const std::string& input, const std::string& output, StepProgress& progress) {
    return sphereFile(options, input, output, progress, batch.force);
  });
}

int runWeb(const SphereOptions& options) {
  if (!hasExtension(options.outputPath, {".html", ".htm"})) {
    std::fprintf(stderr, "kelmira-cli: %s: a web page is named .html or .htm\n", printable(options.outputPath).c_str());
    return 2;
  }
  if (!qualityInRange(options)) return 2;
  ViewerFiles viewer;
  const std::string folder = viewerFolder();
  if (!readViewerFiles(folder, viewer)) {
    std::fprintf(stderr, "kelmira-cli: the web viewer's files are not in %s (reinstall Kelmira)\n",
                 printable(folder).c_str());
    return 1;
  }
  TerminalProgress progress(stderr);
  RecordingPrompts prompts(options.roundPath);
  Workspace workspace(&prompts, &progress, nullptr);
  FileOutcome outcome;
  if (std::optional<FileOutcome> failure = unwarpForSphere(options, options.roundPath, workspace, prompts, progress)) {
    outcome = *failure;
  } else {
    const std::string title =
        options.title.empty() ? std::filesystem::path(options.outputPath).stem().string() : options.title;
    progress.setLabel("Writing");
    const ImageErrorCode code = saveViewerPage(workspace.panorama(), workspace.panoramaRows(), options.outputPath,
                                               title, options.quality, viewer, &progress);
    outcome = code == ImageError::None
                  ? FileOutcome::written(describeSphere(options.outputPath, workspace))
                  : FileOutcome::failed("cannot write " + printable(options.outputPath) + ": " + errorText(code));
  }
  outcome.warnings = prompts.warnings();
  return finish(outcome);
}

}  // namespace kelmira

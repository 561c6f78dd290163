#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/cli_commands.h"
#include "cli/command_support.h"
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

// Opens the round photograph, places the ring and unwarps it; false having said why.
bool unwarpForSphere(const SphereOptions& options, Workspace& workspace, TerminalProgress& progress) {
  if (options.quality < 1 || options.quality > 100) {
    std::fprintf(stderr, "kelmira-cli: --quality takes 1 to 100\n");
    return false;
  }
  progress.setLabel("Reading");
  if (workspace.openRound(options.roundPath) != 1) return false;
  if (!placeRing(workspace, options.ring, options.roundPath)) return false;
  progress.setLabel("Unwarping");
  if (workspace.makePanorama(options.lensThread ? 1 : 0, 0) != 0) {
    std::fprintf(stderr, "kelmira-cli: %s gives no panorama (crop radius %d is too small or memory ran out)\n",
                 options.roundPath.c_str(), workspace.circleRadius());
    return false;
  }
  return true;
}

void reportSphere(const std::string& path, const Workspace& workspace) {
  DibImage photo;
  SphereFrame frame;
  makeSpherePhoto(workspace.panorama(), workspace.panoramaRows(), photo, frame);
  std::printf("%s: %d x %d of a %d x %d sphere from row %d, elevations %.1f to %.1f degrees\n", path.c_str(),
              frame.fullWidth, frame.height, frame.fullWidth, frame.fullHeight, frame.top,
              frame.elevationOfRow(frame.top), frame.elevationOfRow(frame.top + frame.height - 1));
}

}  // namespace

int runSphere(const SphereOptions& options) {
  if (!hasExtension(options.outputPath, {".jpg", ".jpeg"})) {
    std::fprintf(stderr, "kelmira-cli: %s: a 360-degree photo is a JPEG: name it .jpg or .jpeg\n",
                 options.outputPath.c_str());
    return 2;
  }
  TerminalProgress progress(stderr);
  StderrPrompts prompts(options.roundPath);
  Workspace workspace(&prompts, &progress, nullptr);
  if (!unwarpForSphere(options, workspace, progress)) return 1;
  progress.setLabel("Writing");
  const ImageErrorCode code =
      saveSpherePhoto(workspace.panorama(), workspace.panoramaRows(), options.outputPath, options.quality, &progress);
  if (code != ImageError::None) {
    std::fprintf(stderr, "kelmira-cli: cannot write %s: %s\n", options.outputPath.c_str(), errorText(code).c_str());
    return 1;
  }
  reportSphere(options.outputPath, workspace);
  return 0;
}

int runWeb(const SphereOptions& options) {
  if (!hasExtension(options.outputPath, {".html", ".htm"})) {
    std::fprintf(stderr, "kelmira-cli: %s: a web page is named .html or .htm\n", options.outputPath.c_str());
    return 2;
  }
  ViewerFiles viewer;
  const std::string folder = viewerFolder();
  if (!readViewerFiles(folder, viewer)) {
    std::fprintf(stderr, "kelmira-cli: the web viewer's files are not in %s (reinstall Kelmira)\n", folder.c_str());
    return 1;
  }
  TerminalProgress progress(stderr);
  StderrPrompts prompts(options.roundPath);
  Workspace workspace(&prompts, &progress, nullptr);
  if (!unwarpForSphere(options, workspace, progress)) return 1;
  const std::string title =
      options.title.empty() ? std::filesystem::path(options.outputPath).stem().string() : options.title;
  progress.setLabel("Writing");
  const ImageErrorCode code = saveViewerPage(workspace.panorama(), workspace.panoramaRows(), options.outputPath, title,
                                             options.quality, viewer, &progress);
  if (code != ImageError::None) {
    std::fprintf(stderr, "kelmira-cli: cannot write %s: %s\n", options.outputPath.c_str(), errorText(code).c_str());
    return 1;
  }
  reportSphere(options.outputPath, workspace);
  return 0;
}

}  // namespace kelmira

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/printable_text.h"
#include "image/dib_image.h"
#include "image/file_type.h"
#include "mirror/mirror_file_reader.h"
#include "mirror/mirror_report.h"

namespace kelmira {

namespace {

int printMirror(const MirrorOptions& mirror, std::optional<ImageSize> photo) {
  const MirrorFile file = readMirrorFile(mirror.path, photo);
  if (!file) {
    std::printf("error: %s\n", printable(file.error).c_str());
    return 1;
  }
  std::printf("mirror: %s\n%s", printable(mirror.path).c_str(),
              describeMirror(*file.model, mirror.rig.value_or(Rig::CameraBelow)).c_str());
  return 0;
}

}  // namespace

int runInfo(const std::string& path, const MirrorOptions& mirror) {
  if (path.empty()) return printMirror(mirror, std::nullopt);
  const FileType type = identifyFileType(path);
  std::printf("file: %s\ntype: %d (%s)\n", printable(path).c_str(), static_cast<int>(type), fileTypeName(type));
  DibImage image;
  const ImageErrorCode code = image.loadFromFile(path, type);
  if (code != ImageError::None) {
    std::printf("error: %s\n", errorText(code).c_str());
    return 1;
  }
  std::printf("width: %d\nheight: %d\n", image.width(), image.height());
  if (mirror.path.empty()) return 0;
  // The mirror as it sees this picture: a calibration made at another size is scaled to it.
  return printMirror(mirror, ImageSize{image.width(), image.height()});
}

namespace {

class InfoCommand final : public CliCommand {
 public:
  explicit InfoCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("FILE", path_, "The image file");
    addMirrorOptions(*command, mirror_, false);
  }
  int run() override {
    if (path_.empty() && mirror_.path.empty()) return usageError("give an image FILE, --mirror FILE, or both");
    if (mirror_.path.empty() && mirror_.rig) return usageError("--rig goes with --mirror FILE");
    return runInfo(path_, mirror_);
  }

 private:
  std::string path_;
  MirrorOptions mirror_;
};

}  // namespace

std::unique_ptr<CliCommand> addInfoCommand(CLI::App& app) {
  return std::make_unique<InfoCommand>(app.add_subcommand(
      "info", "Show an image file's type and size, or with --mirror FILE a mirror's model: its kind, centre and "
              "elevations (for the image, when one is given too)"));
}

}  // namespace kelmira

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/command_support.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "export/output_kind.h"
#include "image/dib_image.h"
#include "unwarp/ring_simulator.h"

namespace kelmira {

int runSimulate(const SimulateOptions& options) {
  // The round picture is written as a panorama picture would be.
  const OutputKind outputKind = outputKindFor(options.roundPath);
  if (!isPanoramaPicture(outputKind)) return reportMisnamed(options.roundPath, OutputKind::Jpeg, 1);

  TerminalProgress progress(stderr);
  DibImage panorama;
  if (!loadImage(panorama, options.panoramaPath, progress)) return 1;
  DibImage round;
  if (round.allocate(options.width, options.height) != ImageError::None) {
    std::fprintf(stderr, "kelmira-cli: no memory for a %d x %d picture\n", options.width, options.height);
    return 1;
  }
  const Point centre = options.centre.value_or(Point{double(options.width / 2), double(options.height / 2)});
  const auto view = [](DibImage& image) {
    return ImageView{image.beginAccess(), static_cast<std::uint32_t>(image.width()),
                     static_cast<std::uint32_t>(image.height()), 3, 3u * static_cast<std::size_t>(image.width())};
  };
  simulateRing(view(panorama), view(round), centre.x, centre.y);
  panorama.endAccess();
  round.endAccess();

  if (!saveImage(round, options.roundPath, outputKindRow(outputKind).format, progress)) return 1;
  std::printf("%s: %d x %d round picture around (%g, %g)\n", printable(options.roundPath).c_str(), options.width,
              options.height, centre.x, centre.y);
  return 0;
}

namespace {

class SimulateCommand final : public CliCommand {
 public:
  explicit SimulateCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("PANORAMA", options_.panoramaPath, "The panorama")->required();
    command->add_option("ROUND", options_.roundPath, "The round picture to write")->required();
    command->add_option("--size", size_, "Size of the round picture")->required()->type_name("WxH");
    addCentreOption(*command, options_.centre, "Centre of the ring in pixels (default: the picture's centre)");
  }

  int run() override {
    if (!parseSize(size_, options_.width, options_.height)) {
      std::fprintf(stderr, "kelmira-cli: --size: expected WxH, for example 1600x1200\n");
      return 2;
    }
    return runSimulate(options_);
  }

 private:
  SimulateOptions options_;
  std::string size_;
};

}  // namespace

std::unique_ptr<CliCommand> addSimulateCommand(CLI::App& app) {
  return std::make_unique<SimulateCommand>(app.add_subcommand(
      "simulate", "Render the round photograph the mirror would make of a panorama (the inverse of unwarp)"));
}

}  // namespace kelmira

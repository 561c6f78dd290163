#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_support.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "image/dib_image.h"
#include "unwarp/ring_finder.h"

namespace kelmira {

int runFindRing(const std::string& path) {
  TerminalProgress progress(stderr);
  DibImage image;
  if (!loadImage(image, path, progress)) return 1;
  const HeldPixels pixels = image.hold();
  const std::optional<FoundRing> ring = findRing(
      SourceView{pixels.pixels(), static_cast<std::uint32_t>(pixels.width), static_cast<std::uint32_t>(pixels.height), 3,
                 3u * static_cast<std::size_t>(pixels.width)});
  if (!ring) {
    std::printf("%s: no mirror ring found\n", printable(path).c_str());
    return 1;
  }
  std::printf("centre %.1f %.1f\nring-radius %.1f\nconfidence %.2f\n", ring->centreX, ring->centreY, ring->radius,
              ring->confidence);
  return 0;
}

std::unique_ptr<CliCommand> addFindRingCommand(CLI::App& app) {
  return addOneFileCommand(app, "find-ring",
                           "Find the mirror's ring in a round photograph: its centre, outer radius and the confidence",
                           "ROUND", "The round photograph", runFindRing);
}

}  // namespace kelmira

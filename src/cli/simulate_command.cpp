#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/command_support.h"
#include "cli/output_format.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "image/dib_image.h"
#include "unwarp/ring_simulator.h"

namespace kelmira {

int runSimulate(const SimulateOptions& options) {
  const FileType outputType = outputTypeForPath(options.roundPath);
  if (outputType == FileTypeNone) return reportUnsupportedOutput(options.roundPath);

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

  if (!saveImage(round, options.roundPath, outputType, progress)) return 1;
  std::printf("%s: %d x %d round picture around (%g, %g)\n", printable(options.roundPath).c_str(), options.width,
              options.height, centre.x, centre.y);
  return 0;
}

}  // namespace kelmira

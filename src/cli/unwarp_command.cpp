#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/command_support.h"
#include "cli/output_format.h"
#include "cli/terminal_progress.h"
#include "image/dib_image.h"
#include "workspace/panorama_maker.h"

namespace kelmira {

int runUnwarp(const UnwarpOptions& options) {
  const FileType outputType = outputTypeForPath(options.outputPath);
  if (outputType == FileTypeNone) return reportUnsupportedOutput(options.outputPath);

  TerminalProgress progress(stderr);
  DibImage round;
  if (!loadImage(round, options.roundPath, progress)) return 1;
  if (looksLikePanorama(round.width(), round.height())) {
    std::fprintf(stderr, "kelmira-cli: warning: %s appears to be a panorama; unwarping it all the same\n",
                 options.roundPath.c_str());
  }

  const CropCircle circle = initialCropCircle(round.width(), round.height());
  const Point centre = options.centre.value_or(Point{double(circle.centreX), double(circle.centreY)});
  DibImage panorama;
  progress.setLabel("Unwarping");
  const int made = makePanoramaImage(round, centre.x, centre.y, circle.radius, options.lensThread, panorama,
                                     [&](std::uint32_t row, std::uint32_t rows) {
                                       progress.reportProgress(static_cast<std::int32_t>(row),
                                                               static_cast<std::int32_t>(rows));
                                     });
  progress.endProgress();
  if (made != 0) {
    std::fprintf(stderr, "kelmira-cli: %s gives no panorama (crop radius %d is too small or memory ran out)\n",
                 options.roundPath.c_str(), circle.radius);
    return 1;
  }

  if (!saveImage(panorama, options.outputPath, outputType, progress)) return 1;
  std::printf("%s: %d x %d panorama around (%g, %g), crop radius %d\n", options.outputPath.c_str(), panorama.width(),
              panorama.height(), centre.x, centre.y, circle.radius);
  return 0;
}

}  // namespace kelmira

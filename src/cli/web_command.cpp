#include <CLI/CLI.hpp>

#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/command_support.h"
#include "cli/file_job.h"
#include "cli/terminal_progress.h"
#include "export/panorama_export.h"

namespace kelmira {

int runWeb(const SphereOptions& options) {
  if (outputKindFor(options.outputPath) != OutputKind::WebPage) {
    return reportMisnamed(options.outputPath, OutputKind::WebPage, 2);
  }
  if (!qualityInRange(options.quality)) return 2;
  if (const int refusal = mirrorOptionsRefusal(options.mirror, options.ring, options.lensThread)) return refusal;
  // The viewer is looked for before the photograph is read.
  TerminalProgress progress(stderr);
  if (const ExportResult refusal = exportRefusal(exportRequest(OutputKind::WebPage, options.outputPath, progress));
      !refusal.ok()) {
    reportExportFailure(refusal);
    return 1;
  }
  return reportOutcome(sphereFile(options, OutputKind::WebPage, options.roundPath, options.outputPath, progress, true));
}

namespace {

class WebCommand final : public CliCommand {
 public:
  explicit WebCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("ROUND", options_.roundPath, "The round photograph, or a QuickTime VR panorama movie")->required();
    command->add_option("OUT", options_.outputPath, "The web page to write (.html)")->required();
    addRingOptions(*command, options_.ring);
    command->add_flag("--lens-thread", options_.lensThread, "The lens-thread attachment: mirror left to right");
    addMirrorOptions(*command, options_.mirror);
    command->add_option("--quality", options_.quality, "JPEG quality of the photo inside, 1 to 100 (default 92)")
        ->type_name("N");
    command->add_option("--title", options_.title, "The page's title (default: its file name)")->type_name("TEXT");
  }
  int run() override { return runWeb(options_); }

 private:
  SphereOptions options_;
};

}  // namespace

std::unique_ptr<CliCommand> addWebCommand(CLI::App& app) {
  return std::make_unique<WebCommand>(app.add_subcommand(
      "web", "Make one self-contained web page that pans and zooms the 360-degree photo of a round photograph"));
}

}  // namespace kelmira

// kelmira-cli: turns round mirror photographs into panoramas from the command line.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/interruption.h"
#include "base/simd_target.h"
#include "cli/batch_run.h"
#include "cli/cli_commands.h"
#include "cli/movdump_command.h"
#include "cli/movie_command.h"
#include "cli/output_format.h"
#include "cli/printable_text.h"
#include "settings/settings_version.h"

namespace {

using kelmira::Point;

// Adds "--centre X,Y|auto" and "--ring-radius auto|R", which fill `ring`.
void addRingOptions(CLI::App& command, kelmira::RingOptions& ring) {
  command
      .add_option_function<std::string>(
          "--centre",
          [&ring](const std::string& text) {
            if (text == "auto") {
              ring.findCentre = true;
              return;
            }
            Point point;
            if (!kelmira::parsePoint(text, point.x, point.y)) throw CLI::ValidationError("--centre", "expected X,Y or auto");
            ring.centre = point;
          },
          "Centre of the ring in pixels, or auto to find it (default: the picture's centre)")
      ->type_name("X,Y|auto");
  command
      .add_option_function<std::string>(
          "--ring-radius",
          [&ring](const std::string& text) {
            if (text == "auto") {
              ring.findRingRadius = true;
              return;
            }
            char* end = nullptr;
            const double radius = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(radius >= 8 && radius < 1e6)) {
              throw CLI::ValidationError("--ring-radius", "expected auto or a radius in pixels, 8 or more");
            }
            ring.ringRadius = radius;
          },
          "Outer radius of the mirror's ring in pixels, or auto to find it; it sets the crop circle (0.8 R) and the "
          "unwarp's scale (default: half the picture's height)")
      ->type_name("auto|R");
}

// Adds a "--centre X,Y" option that fills `centre`.
void addCentreOption(CLI::App& command, std::optional<Point>& centre, const char* description) {
  command
      .add_option_function<std::string>(
          "--centre",
          [&centre](const std::string& text) {
            Point point;
            if (!kelmira::parsePoint(text, point.x, point.y)) throw CLI::ValidationError("--centre", "expected X,Y");
            centre = point;
          },
          description)
      ->type_name("X,Y");
}

// "--out-dir DIR", "--jobs N" and, for panoramas, "--format jpg|tif|bmp", which fill `batch`.
void addBatchOptions(CLI::App& command, kelmira::BatchOptions& batch, bool withFormat) {
  command.add_option("--out-dir", batch.outputFolder, "Write each photograph's result into this folder (a batch)")
      ->type_name("DIR");
  if (withFormat) {
    command.add_option("--format", batch.format, "The panoramas' format in a batch: jpg (default), tif or bmp")
        ->check(CLI::Validator(
            [](std::string& value) {
              return value == "jpg" || value == "tif" || value == "bmp" ? std::string() : "expected jpg, tif or bmp";
            },
            ""))
        ->type_name("jpg|tif|bmp");
  }
  command.add_flag("--force", batch.force,
                   "Unwarp every photograph, also one that appears to be a panorama already (a batch skips it)");
  command.add_option("--jobs", batch.jobs, "Photographs worked on at a time in a batch (default: one per core)")
      ->check(CLI::Validator(
          [](std::string& value) {
            char* end = nullptr;
            const long jobs = std::strtol(value.c_str(), &end, 10);
            return end != value.c_str() && *end == '\0' && jobs >= 1 && jobs <= 256 ? std::string()
                                                                                     : "expected 1 to 256";
          },
          ""))
      ->type_name("N");
}

int usageError(const char* message) {
  std::fprintf(stderr, "kelmira-cli: %s\n", message);
  return 2;
}

// The form of one photograph: exactly ROUND OUT, and no batch options.
bool singleRun(const CLI::App& command, const std::vector<std::string>& paths, std::string& round, std::string& out) {
  const auto given = [&](const char* name) {
    const CLI::Option* option = command.get_option_no_throw(name);
    return option != nullptr && option->count() > 0;
  };
  if (given("--format") || given("--jobs")) {
    usageError("--format and --jobs belong to a batch: give --out-dir DIR");
    return false;
  }
  if (paths.size() != 2) {
    usageError("give ROUND OUT, or several photographs with --out-dir DIR");
    return false;
  }
  round = paths[0];
  out = paths[1];
  return true;
}

// The status of a command, or of the interruption that stopped it.
int ended(int status) {
  if (!kelmira::Interruption::stopped()) return status;
  std::fprintf(stderr, "kelmira-cli: stopped by %s: the results reported above are finished, no other was written\n",
               kelmira::Interruption::signalName(kelmira::Interruption::signal()).c_str());
  return kelmira::Interruption::exitStatus();
}

int runCommandLine(int argc, char** argv) {
  CLI::App app{"Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas.",
               "kelmira-cli"};
  app.set_version_flag("--version", "kelmira-cli " + kelmira::versionText() + "\n" + kelmira::simdDescription(),
                       "Print the version and the vector instructions in use, and exit");
  app.require_subcommand(1);

  kelmira::UnwarpOptions unwarp;
  std::vector<std::string> unwarpPaths;
  kelmira::BatchOptions unwarpBatch;
  CLI::App* unwarpCommand = app.add_subcommand(
      "unwarp",
      "Unwarp a round photograph into a panorama (.bmp, .jpg, .jpeg, .tif, .tiff): ROUND OUT, or any number of "
      "photographs with --out-dir DIR, each written there as NAME_pano.jpg (or the --format given)");
  unwarpCommand->add_option("FILES", unwarpPaths, "ROUND OUT, or the photographs of a batch with --out-dir")
      ->required()
      ->type_name("");
  addBatchOptions(*unwarpCommand, unwarpBatch, true);
  addRingOptions(*unwarpCommand, unwarp.ring);
  unwarpCommand->add_flag("--lens-thread", unwarp.lensThread,
                          "The lens-thread attachment: mirror the panorama left to right");
  unwarpCommand->add_option("--movie", unwarp.moviePath, "Also write the panorama as a QuickTime VR movie")
      ->type_name("OUT.mov");

  std::string infoPath;
  CLI::App* infoCommand = app.add_subcommand("info", "Show an image file's type and size");
  infoCommand->add_option("FILE", infoPath, "The image file")->required();

  kelmira::SimulateOptions simulate;
  std::string size;
  CLI::App* simulateCommand = app.add_subcommand(
      "simulate", "Render the round photograph the mirror would make of a panorama (the inverse of unwarp)");
  simulateCommand->add_option("PANORAMA", simulate.panoramaPath, "The panorama")->required();
  simulateCommand->add_option("ROUND", simulate.roundPath, "The round picture to write")->required();
  simulateCommand->add_option("--size", size, "Size of the round picture")->required()->type_name("WxH");
  addCentreOption(*simulateCommand, simulate.centre, "Centre of the ring in pixels (default: the picture's centre)");

  kelmira::MovieOptions movie;
  CLI::App* movieCommand = app.add_subcommand("movie", "Write a panorama as a QuickTime VR panorama movie");
  movieCommand->add_option("PANORAMA", movie.panoramaPath, "The panorama")->required();
  movieCommand->add_option("OUT", movie.outputPath, "The movie to write (.mov)")->required();
  movieCommand->add_option("--codec", movie.codec, "jpeg (default), cinepak or sorenson")
      ->type_name("jpeg|cinepak|sorenson");
  movieCommand->add_option("--quality", movie.quality, "minimum, low, normal (default), high, maximum or lossless")
      ->type_name("NAME");
  movieCommand->add_option("--view", movie.view, "Size of the VR view (default: the size stored by Movie Defaults, else 400x180)")->type_name("WxH");
  movieCommand->add_option("--correction", movie.correction, "none (default), partial or full")
      ->type_name("none|partial|full");

  kelmira::SphereOptions sphere;
  std::vector<std::string> spherePaths;
  kelmira::BatchOptions sphereBatch;
  CLI::App* sphereCommand = app.add_subcommand(
      "sphere",
      "Make a 360-degree photo (equirectangular JPEG with Photo Sphere metadata) of a round photograph: ROUND OUT.jpg, "
      "or any number of photographs with --out-dir DIR, each written there as NAME_360.jpg");
  sphereCommand->add_option("FILES", spherePaths, "ROUND OUT.jpg, or the photographs of a batch with --out-dir")
      ->required()
      ->type_name("");
  addBatchOptions(*sphereCommand, sphereBatch, false);
  addRingOptions(*sphereCommand, sphere.ring);
  sphereCommand->add_flag("--lens-thread", sphere.lensThread, "The lens-thread attachment: mirror left to right");
  sphereCommand->add_option("--quality", sphere.quality, "JPEG quality, 1 to 100 (default 92)")->type_name("N");

  kelmira::SphereOptions web;
  CLI::App* webCommand = app.add_subcommand(
      "web", "Make one self-contained web page that pans and zooms the 360-degree photo of a round photograph");
  webCommand->add_option("ROUND", web.roundPath, "The round photograph")->required();
  webCommand->add_option("OUT", web.outputPath, "The web page to write (.html)")->required();
  addRingOptions(*webCommand, web.ring);
  webCommand->add_flag("--lens-thread", web.lensThread, "The lens-thread attachment: mirror left to right");
  webCommand->add_option("--quality", web.quality, "JPEG quality of the photo inside, 1 to 100 (default 92)")
      ->type_name("N");
  webCommand->add_option("--title", web.title, "The page's title (default: its file name)")->type_name("TEXT");

  std::string findRingPath;
  CLI::App* findRingCommand = app.add_subcommand(
      "find-ring", "Find the mirror's ring in a round photograph: its centre, outer radius and the confidence");
  findRingCommand->add_option("ROUND", findRingPath, "The round photograph")->required();

  std::string movdumpPath;
  CLI::App* movdumpCommand =
      app.add_subcommand("movdump", "Show the atoms of a QuickTime movie, its VR atom containers field by field");
  movdumpCommand->add_option("FILE", movdumpPath, "The movie file")->required();

  // Positionals are named by themselves; "TEXT" after each says nothing.
  for (CLI::App* command : app.get_subcommands({})) {
    for (CLI::Option* option : command->get_options()) {
      if (option->get_positional()) option->type_name("");
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and the version are answers (0); anything else is a usage error (2).
    return app.exit(error) == 0 ? 0 : 2;
  }

  // A forced target that cannot be had would make a test or a bug report say the wrong thing.
  if (const std::string problem = kelmira::simdChoice().problem; !problem.empty()) return usageError(problem.c_str());

  // A failure is a message and a status, never an abort that leaves the shell a core dump.
  try {
    if (*unwarpCommand) {
      if (!unwarpBatch.outputFolder.empty()) {
        if (!unwarp.moviePath.empty()) return usageError("--movie writes one panorama's movie; it takes no --out-dir");
        unwarpBatch.inputs = unwarpPaths;
        return kelmira::runUnwarpBatch(unwarp, unwarpBatch);
      }
      if (!singleRun(*unwarpCommand, unwarpPaths, unwarp.roundPath, unwarp.outputPath)) return 2;
      return kelmira::runUnwarp(unwarp);
    }
    if (*infoCommand) return kelmira::runInfo(infoPath);
    if (*movdumpCommand) return kelmira::runMovdump(movdumpPath);
    if (*movieCommand) return kelmira::runMovie(movie);
    if (*findRingCommand) return kelmira::runFindRing(findRingPath);
    if (*sphereCommand) {
      if (!sphereBatch.outputFolder.empty()) {
        sphereBatch.inputs = spherePaths;
        return kelmira::runSphereBatch(sphere, sphereBatch);
      }
      if (!singleRun(*sphereCommand, spherePaths, sphere.roundPath, sphere.outputPath)) return 2;
      return kelmira::runSphere(sphere);
    }
    if (*webCommand) return kelmira::runWeb(web);
    if (!kelmira::parseSize(size, simulate.width, simulate.height)) {
      std::fprintf(stderr, "kelmira-cli: --size: expected WxH, for example 1600x1200\n");
      return 2;
    }
    return kelmira::runSimulate(simulate);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kelmira-cli: stopped by an unexpected problem: %s\n",
                 kelmira::printable(error.what()).c_str());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "kelmira-cli: stopped by an unexpected problem\n");
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C, SIGTERM and SIGHUP stop the work in order.
  kelmira::Interruption::watch("kelmira-cli");
  return ended(runCommandLine(argc, argv));
}

// kelmira-cli: turns round mirror photographs into panoramas from the command line.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_commands.h"
#include "cli/movdump_command.h"
#include "cli/movie_command.h"
#include "cli/output_format.h"

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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Kelmira: turns round photographs taken through a panoramic mirror into 360-degree panoramas."};
  app.require_subcommand(1);

  kelmira::UnwarpOptions unwarp;
  CLI::App* unwarpCommand =
      app.add_subcommand("unwarp", "Unwarp a round photograph into a panorama (.bmp, .jpg, .jpeg, .tif, .tiff)");
  unwarpCommand->add_option("ROUND", unwarp.roundPath, "The round photograph")->required();
  unwarpCommand->add_option("OUT", unwarp.outputPath, "The panorama to write")->required();
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
  movieCommand->add_option("--codec", movie.codec, "jpeg (default), cinepak or sorenson");
  movieCommand->add_option("--quality", movie.quality, "minimum, low, normal (default), high, maximum or lossless");
  movieCommand->add_option("--view", movie.view, "Size of the VR view (default: the size stored by Movie Defaults, else 400x180)")->type_name("WxH");
  movieCommand->add_option("--correction", movie.correction, "none (default), partial or full");

  kelmira::SphereOptions sphere;
  CLI::App* sphereCommand = app.add_subcommand(
      "sphere", "Make a 360-degree photo (equirectangular JPEG with Photo Sphere metadata) of a round photograph");
  sphereCommand->add_option("ROUND", sphere.roundPath, "The round photograph")->required();
  sphereCommand->add_option("OUT", sphere.outputPath, "The 360-degree photo to write (.jpg)")->required();
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

  CLI11_PARSE(app, argc, argv);

  // A failure is a message and a status, never an abort that leaves the shell a core dump.
  try {
    if (*unwarpCommand) return kelmira::runUnwarp(unwarp);
    if (*infoCommand) return kelmira::runInfo(infoPath);
    if (*movdumpCommand) return kelmira::runMovdump(movdumpPath);
    if (*movieCommand) return kelmira::runMovie(movie);
    if (*findRingCommand) return kelmira::runFindRing(findRingPath);
    if (*sphereCommand) return kelmira::runSphere(sphere);
    if (*webCommand) return kelmira::runWeb(web);
    if (!kelmira::parseSize(size, simulate.width, simulate.height)) {
      std::fprintf(stderr, "kelmira-cli: --size: expected WxH, for example 1600x1200\n");
      return 2;
    }
    return kelmira::runSimulate(simulate);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kelmira-cli: stopped by an unexpected problem: %s\n", error.what());
    return 1;
  }
}

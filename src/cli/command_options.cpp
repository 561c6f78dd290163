#include "cli/command_options.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/batch_run.h"
#include "export/output_kind.h"

namespace kelmira {

namespace {

bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size();
}

bool splitPair(const std::string& text, char separator, double& first, double& second) {
  const auto split = text.find(separator);
  return split != std::string::npos && parseNumber(text.substr(0, split), first) &&
         parseNumber(text.substr(split + 1), second);
}

// "a, b or c".
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace

bool parsePoint(const std::string& text, double& x, double& y) { return splitPair(text, ',', x, y); }

bool parseSize(const std::string& text, int& width, int& height) {
  double w = 0;
  double h = 0;
  if (!splitPair(text, 'x', w, h) || w < 1 || h < 1 || w > 100000 || h > 100000 || w != static_cast<int>(w) ||
      h != static_cast<int>(h)) {
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

void addRingOptions(CLI::App& command, RingOptions& ring, bool foundUnlessGiven) {
  command
      .add_option_function<std::string>(
          "--centre",
          [&ring](const std::string& text) {
            if (text == "auto") {
              ring.findCentre = true;
              return;
            }
            Point point;
            if (!parsePoint(text, point.x, point.y)) throw CLI::ValidationError("--centre", "expected X,Y or auto");
            ring.centre = point;
          },
          foundUnlessGiven ? "Centre of the ring in pixels, or auto to find it (default: found on the video's frames)"
                           : "Centre of the ring in pixels, or auto to find it (default: the picture's centre)")
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
          foundUnlessGiven ? "Outer radius of the mirror's ring in pixels, or auto to find it; it sets the unwarp's scale "
                             "(default: found on the video's frames)"
                           : "Outer radius of the mirror's ring in pixels, or auto to find it; it sets the crop circle (0.8 R) "
                             "and the unwarp's scale (default: half the picture's height)")
      ->type_name("auto|R");
}

void addMirrorOptions(CLI::App& command, MirrorOptions& mirror, bool inner) {
  command
      .add_option("--mirror", mirror.path,
                  "The mirror's calibration or table in place of the attachment's own mirror: OCamCalib's "
                  "calib_results.txt, an OpenCV omnidir YAML or XML file, a Kalibr camchain (FILE:camN for another "
                  "camera than the first) or a Kelmira mirror table")
      ->type_name("FILE");
  command
      .add_option_function<std::string>(
          "--rig",
          [&mirror](const std::string& text) {
            mirror.rig = rigFromName(text);
            if (!mirror.rig) throw CLI::ValidationError("--rig", "expected camera-below or camera-above");
          },
          "How the camera sits on the --mirror: camera-below, looking up (the default), or camera-above, looking "
          "down; a panorama upside down or mirrored asks for the other")
      ->type_name("camera-below|camera-above");
  if (!inner) return;
  command
      .add_option_function<std::string>(
          "--inner-radius",
          [&mirror](const std::string& text) {
            double radius = 0;
            if (!parseNumber(text, radius) || !(radius >= 0 && radius < 1e6)) {
              throw CLI::ValidationError("--inner-radius", "expected a radius in pixels, 0 or more");
            }
            mirror.innerRadius = radius;
          },
          "Where the --mirror's panorama starts, in pixels from the centre (default: a fifth of the rim's radius, "
          "where the camera's reflection usually ends)")
      ->type_name("R");
}

void addCentreOption(CLI::App& command, std::optional<Point>& centre, const char* description) {
  command
      .add_option_function<std::string>(
          "--centre",
          [&centre](const std::string& text) {
            Point point;
            if (!parsePoint(text, point.x, point.y)) throw CLI::ValidationError("--centre", "expected X,Y");
            centre = point;
          },
          description)
      ->type_name("X,Y");
}

void addBatchOptions(CLI::App& command, BatchOptions& batch, bool withFormat) {
  command.add_option("--out-dir", batch.outputFolder, "Write each photograph's result into this folder (a batch)")
      ->type_name("DIR");
  if (withFormat) {
    // Every panorama picture, the first the default.
    std::vector<std::string> formats;
    std::string typeName;
    for (const OutputKindRow& row : outputKinds()) {
      if (!isPanoramaPicture(row.kind)) continue;
      formats.push_back(shortExtensionOf(row.kind));
      if (!typeName.empty()) typeName += "|";
      typeName += formats.back();
    }
    batch.format = formats.front();
    const std::string others = listed(std::vector<std::string>(formats.begin() + 1, formats.end()));
    const std::string expected = "expected " + listed(formats);
    command
        .add_option("--format", batch.format,
                    "The panoramas' format in a batch: " + formats.front() + " (default), " + others)
        ->check(CLI::Validator(
            [expected](std::string& value) {
              return pictureKindNamed(value) != OutputKind::None ? std::string() : expected;
            },
            ""))
        ->type_name(typeName);
  }
  command.add_flag("--force", batch.force,
                   "Unwarp every photograph, also one that appears to be a panorama already (a batch skips it)");
  addJobsOption(command, batch, "Photographs worked on at a time in a batch (default: one per core)");
}

void addVideoBatchOptions(CLI::App& command, BatchOptions& batch) {
  command.add_option("--out-dir", batch.outputFolder, "Write each video's result into this folder (a batch)")
      ->type_name("DIR");
  addJobsOption(command, batch, "Videos worked on at a time in a batch (default 1: each uses every core)");
}

void addJobsOption(CLI::App& command, BatchOptions& batch, const std::string& description) {
  command.add_option("--jobs", batch.jobs, description)
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

}  // namespace kelmira

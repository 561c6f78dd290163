#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_commands.h"

namespace CLI {
class App;
}

namespace kelmira {

struct BatchOptions;

// "X,Y" and "WxH" arguments; false when the text is not of that form.
bool parsePoint(const std::string& text, double& x, double& y);
bool parseSize(const std::string& text, int& width, int& height);

// Adds "--centre X,Y|auto" and "--ring-radius auto|R", which fill `ring`; with
// `foundUnlessGiven` (a video's), the help says that what is not given is found.
void addRingOptions(CLI::App& command, RingOptions& ring, bool foundUnlessGiven = false);
// Adds "--mirror FILE", "--rig camera-below|camera-above" and "--inner-radius R", which
// fill `mirror`; with `inner`, --inner-radius too.
void addMirrorOptions(CLI::App& command, MirrorOptions& mirror, bool inner = true);
// Adds a "--centre X,Y" option that fills `centre`.
void addCentreOption(CLI::App& command, std::optional<Point>& centre, const char* description);
// "--out-dir DIR", "--jobs N", "--force" and, for panoramas, "--format" with every panorama
// picture's extension, which fill `batch`.
void addBatchOptions(CLI::App& command, BatchOptions& batch, bool withFormat);
// "--out-dir DIR" and "--jobs N" of a batch of videos.
void addVideoBatchOptions(CLI::App& command, BatchOptions& batch);
// "--jobs N", 1 to 256.
void addJobsOption(CLI::App& command, BatchOptions& batch, const std::string& description);

// Prints a usage error; status 2.
int usageError(const char* message);
// The form of one photograph: exactly ROUND OUT, and no batch options; false, with a usage
// error printed, otherwise.
bool singleRun(const CLI::App& command, const std::vector<std::string>& paths, std::string& round, std::string& out);

}  // namespace kelmira

#pragma once

#include <optional>
#include <string>

#include "image/file_type.h"
#include "image/image_error.h"
#include "workspace/prompts.h"

namespace kelmira {

class Workspace;
struct RingOptions;

class DibImage;
class TerminalProgress;
class RecordingPrompts;
struct FileOutcome;

// Loading and saving with a progress bar and a one-line error report on failure (none when
// the run was interrupted).
bool loadImage(DibImage& image, const std::string& path, TerminalProgress& progress);
bool saveImage(const DibImage& image, const std::string& path, FileType type, TerminalProgress& progress);
// The one-line report of a save's result; true when it succeeded.
bool reportSaveResult(ImageErrorCode code, const std::string& path);
int reportUnsupportedOutput(const std::string& path);

// Why Workspace::openRound refused a photograph: it could not be read, or it looks like a
// panorama and the question whether to go on was declined (a skip, not a failure).
FileOutcome openRoundFailure(const RecordingPrompts& prompts, const std::string& roundPath);

// Puts the crop circle of a round photograph open in `workspace` where the options say:
// a given or found centre, a given or found ring radius, else where it always sits. Why
// not, when the ring was to be found and the finder is not sure of it.
std::optional<std::string> placeRing(Workspace& workspace, const RingOptions& options, const std::string& roundPath);

}  // namespace kelmira

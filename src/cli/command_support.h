#pragma once

#include <optional>
#include <string>

#include "export/export_request.h"
#include "mirror/mirror_choice.h"
#include "image/file_type.h"
#include "image/image_error.h"
#include "workspace/prompts.h"
#include "workspace/workspace_result.h"

namespace kelmira {

class Workspace;
struct MirrorOptions;
struct RingOptions;

class DibImage;
class StepProgress;
class TerminalProgress;
class RecordingPrompts;
struct ExportResult;
struct FileOutcome;

// Loading (turned upright as the picture's orientation says, with a warning for each block
// of metadata left out) and saving with a progress bar and a one-line error report on
// failure (none when the run was interrupted).
bool loadImage(DibImage& image, const std::string& path, TerminalProgress& progress);
bool saveImage(const DibImage& image, const std::string& path, FileType type, TerminalProgress& progress);
// The one-line report of a save's result; true when it succeeded.
bool reportSaveResult(ImageErrorCode code, const std::string& path);
// Tells that `path` cannot name a result of `kind` and gives `status`.
int reportMisnamed(const std::string& path, OutputKind kind, int status);
// Tells why an export failed, unless the run was interrupted.
void reportExportFailure(const ExportResult& result);
// Prints one photograph's outcome: its warnings, then its report or why it failed; the
// exit status.
int reportOutcome(const FileOutcome& outcome);
// Whether --quality is 1 to 100; false, with a usage error printed, otherwise.
bool qualityInRange(int quality);

// Opens the round photograph in `workspace` (it is identified once, here) and puts the
// crop circle where the options say; why not, when it fails or is skipped.
std::optional<FileOutcome> openPhotograph(Workspace& workspace, RecordingPrompts& prompts, const RingOptions& ring,
                                          const std::string& roundPath, StepProgress& progress);
// The photograph open in `workspace` and its ring, as an export takes it, unwarped through
// `mirror` when given.
RoundSource roundSourceOf(const Workspace& workspace, const std::string& roundPath, bool lensThread,
                          const CalibratedPanorama* mirror = nullptr);

// Whether the mirror options go with the others: --rig and --inner-radius need --mirror,
// whose file must read as a mirror; a calibration has its own centre, and the lens thread
// belongs to the attachment's mirror. 0 when they do, else the exit status, the reason
// printed.
int mirrorOptionsRefusal(const MirrorOptions& mirror, const RingOptions& ring, bool lensThread);
// The --mirror as the workspace takes it; none without one.
std::optional<MirrorChoice> mirrorChoiceOf(const MirrorOptions& mirror);
// The panorama of the mirror chosen in `workspace` for its photograph, into `plan`; why
// not, when it gives none. Nothing to do without a mirror.
std::optional<FileOutcome> planChosenMirror(const Workspace& workspace, std::optional<CalibratedPanorama>& plan);
// ": W x H panorama of the KIND mirror (RIG) around (X, Y), radii A to B, elevations C to D degrees".
std::string describeMirrorPanorama(const CalibratedPanorama& plan);
// An export request that names its steps on `progress`.
ExportRequest exportRequest(OutputKind kind, const std::string& destination, StepProgress& progress);

// Why Workspace::openRound refused a photograph: it could not be read, or it looks like a
// panorama and the question whether to go on was declined (a skip, not a failure).
FileOutcome openRoundFailure(WorkspaceResult opened, const RecordingPrompts& prompts, const std::string& roundPath);

// Puts the crop circle of a round photograph open in `workspace` where the options say:
// a given or found centre, a given or found ring radius, else where it always sits. Why
// not, when the ring was to be found and the finder is not sure of it.
std::optional<std::string> placeRing(Workspace& workspace, const RingOptions& options, const std::string& roundPath);

}  // namespace kelmira

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/file_job.h"

namespace kelmira {

struct BatchOptions {
  std::vector<std::string> inputs;
  std::string outputFolder;
  std::string format = "jpg";  // of unwarp's panoramas: jpg, tif or bmp
  unsigned jobs = 0;           // photographs at a time; 0: one per processor core
};

// Where a batch writes an input's result: in `folder`, under the name Save Image proposes,
// the input's name without its last extension followed by `ending` ("_pano.jpg").
std::string batchOutputPath(const std::string& input, const std::string& folder, const std::string& ending);

using FileWork =
    std::function<FileOutcome(const std::string& input, const std::string& output, StepProgress& progress)>;

// Runs `work` on every input, `jobs` photographs at a time, each into the output folder
// (made when missing). An output that would replace an input, or the output of an earlier
// input, is refused for that photograph. A photograph that fails is reported with its
// reason and the others go on. Prints a line per photograph as it finishes and a summary;
// on a terminal, a progress line per photograph under way and one for the whole batch.
// Exit status: 0 when every photograph was written, 1 otherwise, 2 for an unusable folder.
int runBatch(const BatchOptions& options, const std::string& ending, const FileWork& work);

}  // namespace kelmira

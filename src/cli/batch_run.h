#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/file_job.h"
#include "export/output_kind.h"

namespace kelmira {

struct BatchOptions {
  std::vector<std::string> inputs;
  std::string outputFolder;
  std::string format;  // of unwarp's panoramas: a panorama picture's extension (addBatchOptions)
  unsigned jobs = 0;           // photographs at a time; 0: one per processor core
  bool force = false;          // unwarp pictures that appear to be panoramas already
  // What the inputs are called in the summary.
  const char* one = "photograph";
  const char* many = "photographs";
};

using FileWork =
    std::function<FileOutcome(const std::string& input, const std::string& output, StepProgress& progress)>;

// Runs `work` on every input, `jobs` photographs at a time, each into the output folder
// (made when missing) under the name of its result of `kind` (batchResultPath). Before any work starts, each result's name is made there, empty and
// exclusively, so the folder's own file system says which names are one file (as on vfat,
// where A.JPG and a.jpg are): a result that would replace an input, or the result of an
// earlier input, is refused for that photograph. A photograph given twice, under any
// spelling, is done once. A photograph that fails is reported with its reason and the
// others go on; an exception from `work` is that photograph's failure. Prints a line per
// photograph as it finishes and a summary; on a terminal, a progress line per photograph
// under way and one for the whole batch. When the run is interrupted (Interruption), no
// further photograph is begun and every name made for a result not written is removed.
// Exit status: 0 when every photograph was written or rightly left alone, 1 otherwise,
// 2 for an unusable folder, 128 + the signal when interrupted.
int runBatch(const BatchOptions& options, OutputKind kind, const FileWork& work);

}  // namespace kelmira

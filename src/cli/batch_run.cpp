#include "cli/batch_run.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "base/parallel_for.h"
#include "cli/batch_progress.h"

namespace kelmira {

namespace {

namespace fs = std::filesystem;

// The same file whatever the path's spelling; a path not there yet only matches itself.
std::string identity(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  return error ? fs::absolute(path).lexically_normal().string() : canonical.string();
}

// Why an input may not be written where it would be, if it may not.
std::vector<std::optional<std::string>> refusals(const std::vector<std::string>& inputs,
                                                 const std::vector<std::string>& outputs) {
  std::map<std::string, std::size_t> inputAt;
  for (std::size_t i = 0; i < inputs.size(); ++i) inputAt.emplace(identity(inputs[i]), i);
  std::map<std::string, std::size_t> firstWriter;
  std::vector<std::optional<std::string>> reasons(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::string target = identity(outputs[i]);
    if (const auto input = inputAt.find(target); input != inputAt.end()) {
      reasons[i] = inputs[i] + ": its result " + outputs[i] + " would replace the input " + inputs[input->second];
    } else if (const auto [earlier, first] = firstWriter.emplace(target, i); !first) {
      reasons[i] = inputs[i] + ": its result " + outputs[i] + " is also the result of " + inputs[earlier->second];
    }
  }
  return reasons;
}

}  // namespace

std::string batchOutputPath(const std::string& input, const std::string& folder, const std::string& ending) {
  const std::string name = fs::path(input).filename().string();
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  return (fs::path(folder) / (base + ending)).string();
}

int runBatch(const BatchOptions& options, const std::string& ending, const FileWork& work) {
  std::error_code error;
  fs::create_directories(options.outputFolder, error);
  if (!fs::is_directory(options.outputFolder, error)) {
    std::fprintf(stderr, "kelmira-cli: --out-dir %s is not a folder that can be made\n", options.outputFolder.c_str());
    return 2;
  }
  const std::size_t count = options.inputs.size();
  std::vector<std::string> outputs(count);
  for (std::size_t i = 0; i < count; ++i) outputs[i] = batchOutputPath(options.inputs[i], options.outputFolder, ending);
  const std::vector<std::optional<std::string>> refused = refusals(options.inputs, outputs);

  std::vector<char> written(count, 0);  // one element a thread: no packed bits
  {
    BatchProgress progress(stderr, count);
    parallelFor(count, options.jobs, [&](std::size_t i) {
      const std::string name = fs::path(options.inputs[i]).filename().string();
      std::unique_ptr<StepProgress> photograph = progress.start(i, name);
      FileOutcome outcome;
      if (refused[i]) {
        outcome.report = *refused[i];
      } else {
        try {
          outcome = work(options.inputs[i], outputs[i], *photograph);
        } catch (const std::exception& problem) {
          outcome = FileOutcome::failed(options.inputs[i] + ": stopped by an unexpected problem: " + problem.what());
        }
      }
      written[i] = outcome.ok;
      progress.finish(i, outcome);
    });
  }

  std::size_t failed = 0;
  for (std::size_t i = 0; i < count; ++i) failed += written[i] ? 0 : 1;
  std::printf("%zu photograph%s: %zu written to %s, %zu failed\n", count, count == 1 ? "" : "s", count - failed,
              options.outputFolder.c_str(), failed);
  for (std::size_t i = 0; i < count; ++i) {
    if (!written[i]) std::fprintf(stderr, "kelmira-cli: not written: %s\n", options.inputs[i].c_str());
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace kelmira

#include "cli/batch_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "base/interruption.h"
#include "base/parallel_for.h"
#include "base/temporary_files.h"
#include "cli/batch_progress.h"
#include "cli/printable_text.h"
#include "export/result_names.h"

namespace kelmira {

namespace {

namespace fs = std::filesystem;

// A file as its file system knows it, whatever the spelling of its path; a path with
// nothing there only matches its own absolute spelling.
struct FileKey {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string path;
  bool operator<(const FileKey& other) const {
    return std::tie(exists, device, inode, path) < std::tie(other.exists, other.device, other.inode, other.path);
  }
};

FileKey keyOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) return {true, status.st_dev, status.st_ino, {}};
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  return {false, 0, 0, error ? fs::absolute(path, error).lexically_normal().string() : canonical.string()};
}

// What is settled about a photograph before any work starts.
struct Plan {
  std::optional<std::size_t> sameAs;   // given twice: the earlier input
  std::optional<std::string> refusal;  // why its result may not be written
  std::string mark;                    // what its reserved result name holds until the result takes it
};

// The start of a file, up to `limit` bytes and one more; empty when it cannot be read.
std::string beginningOf(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::string content(limit + 1, '\0');
  std::size_t got = 0;
  for (ssize_t n; got < content.size() && (n = ::read(fd, content.data() + got, content.size() - got)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  content.resize(got);
  return content;
}

// Sorts out the inputs given twice, then reserves each result's name in the output
// folder, in the inputs' order, so that the folder's file system says which names are one
// file: a name already there is an earlier result (it holds that one's mark), an input,
// or an old file to be replaced.
void planBatch(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
               std::vector<Plan>& plans) {
  std::map<FileKey, std::size_t> inputAt;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (const auto [earlier, first] = inputAt.emplace(keyOf(inputs[i]), i); !first) plans[i].sameAs = earlier->second;
  }
  std::random_device random;
  char run[40];
  std::snprintf(run, sizeof run, "%08x%08x-%ld", static_cast<unsigned>(random()), static_cast<unsigned>(random()),
                static_cast<long>(::getpid()));
  std::map<std::string, std::size_t> markOf;
  std::map<FileKey, std::size_t> oldFileOf;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Plan& plan = plans[i];
    if (plan.sameAs) continue;
    const std::string mark = "kelmira-cli holds this name for a result (" + std::string(run) + " " +
                             std::to_string(i) + ")\n";
    if (TemporaryFiles::reserve(outputs[i], mark)) {
      plan.mark = mark;
      markOf.emplace(mark, i);
      continue;
    }
    const std::string shownResult = printable(outputs[i]);
    if (errno != EEXIST) {
      plan.refusal = "cannot write " + shownResult + ": " + std::strerror(errno);
      continue;
    }
    std::optional<std::size_t> earlier;
    if (const auto found = markOf.find(beginningOf(outputs[i], mark.size())); found != markOf.end()) {
      earlier = found->second;
    }
    const FileKey there = keyOf(outputs[i]);
    if (const auto input = there.exists ? inputAt.find(there) : inputAt.end(); !earlier && input != inputAt.end()) {
      plan.refusal = printable(inputs[i]) + ": its result " + shownResult + " would replace the input " +
                     printable(inputs[input->second]);
      continue;
    }
    // An old file reached under two spellings.
    if (!earlier && there.exists) {
      if (const auto [old, first] = oldFileOf.emplace(there, i); !first) earlier = old->second;
    }
    if (earlier) {
      plan.refusal = printable(inputs[i]) + ": its result " + shownResult + " is also the result of " +
                     printable(inputs[*earlier]);
    }
  }
}

// The names reserved for results: each one no result has taken is removed when the batch
// ends, however it ends.
class Reservations {
 public:
  Reservations(const std::vector<std::string>& outputs, const std::vector<Plan>& plans)
      : outputs_(outputs), plans_(plans) {}
  ~Reservations() {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
      if (!plans_[i].mark.empty()) TemporaryFiles::remove(outputs_[i]);
    }
  }
  Reservations(const Reservations&) = delete;
  Reservations& operator=(const Reservations&) = delete;

 private:
  const std::vector<std::string>& outputs_;
  const std::vector<Plan>& plans_;
};

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

int runBatch(const BatchOptions& options, OutputKind kind, const FileWork& work) {
  std::error_code error;
  fs::create_directories(options.outputFolder, error);
  if (!fs::is_directory(options.outputFolder, error)) {
    std::fprintf(stderr, "kelmira-cli: --out-dir %s is not a folder that can be made\n",
                 printable(options.outputFolder).c_str());
    return 2;
  }
  const std::vector<std::string>& inputs = options.inputs;
  const std::size_t count = inputs.size();
  std::vector<std::string> outputs(count);
  for (std::size_t i = 0; i < count; ++i) outputs[i] = batchResultPath(inputs[i], options.outputFolder, kind);
  std::vector<Plan> plans(count);
  const Reservations reservations(outputs, plans);
  planBatch(inputs, outputs, plans);

  std::vector<FileResult> results(count, FileResult::Stopped);
  {
    BatchProgress progress(stderr, count);
    parallelFor(count, options.jobs, [&](std::size_t i) {
      if (Interruption::stopped()) return;  // never begun
      const Plan& plan = plans[i];
      FileOutcome outcome;
      try {
        const std::string name = printable(fs::path(inputs[i]).filename().string());
        std::unique_ptr<StepProgress> photograph = progress.start(i, name);
        if (plan.sameAs) {
          outcome = FileOutcome::skipped(printable(inputs[i]) + ": given twice (also as " +
                                         printable(inputs[*plan.sameAs]) + "); done once");
        } else if (plan.refusal) {
          outcome = FileOutcome::failed(*plan.refusal);
        } else {
          outcome = work(inputs[i], outputs[i], *photograph);
        }
      } catch (const std::exception& problem) {
        outcome = FileOutcome::failed(printable(inputs[i]) + ": stopped by an unexpected problem: " +
                                      printable(problem.what()));
      } catch (...) {
        outcome = FileOutcome::failed(printable(inputs[i]) + ": stopped by an unexpected problem");
      }
      if (!outcome.ok() && Interruption::stopped()) outcome.result = FileResult::Stopped;
      results[i] = outcome.result;
      progress.finish(i, outcome);
    });
  }

  std::size_t tally[4] = {0, 0, 0, 0};
  std::size_t twice = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (plans[i].sameAs) {
      ++twice;
    } else {
      ++tally[static_cast<int>(results[i])];
    }
  }
  const std::size_t failed = tally[static_cast<int>(FileResult::Failed)];
  const std::size_t skipped = tally[static_cast<int>(FileResult::Skipped)];
  const std::size_t stopped = count - twice - failed - skipped - tally[static_cast<int>(FileResult::Written)];
  std::string summary = plural(count, options.one, options.many) + ": " +
                        std::to_string(tally[static_cast<int>(FileResult::Written)]) + " written to " +
                        printable(options.outputFolder) + ", " + std::to_string(failed) + " failed";
  if (twice > 0) summary += ", " + std::to_string(twice) + " given twice";
  if (skipped > 0) summary += ", " + std::to_string(skipped) + " skipped";
  if (stopped > 0) summary += ", " + std::to_string(stopped) + " not done";
  std::printf("%s\n", summary.c_str());
  std::fflush(stdout);
  for (std::size_t i = 0; i < count; ++i) {
    if (!plans[i].sameAs && (results[i] == FileResult::Failed || results[i] == FileResult::Stopped)) {
      std::fprintf(stderr, "kelmira-cli: not written: %s\n", printable(inputs[i]).c_str());
    }
  }
  if (Interruption::stopped()) return Interruption::exitStatus();
  return failed == 0 ? 0 : 1;
}

}  // namespace kelmira

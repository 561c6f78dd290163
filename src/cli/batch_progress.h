#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/file_job.h"

namespace kelmira {

// What a terminal shows of a batch: a line for each photograph under way (its step and how
// far it is) and one for the whole batch, redrawn in place below the lines of the
// photographs already done. Without a terminal only those lines are printed. Safe to use
// from the batch's threads.
class BatchProgress {
 public:
  BatchProgress(std::FILE* terminal, std::size_t photographs);
  ~BatchProgress();

  // Progress for the photograph `index`, shown as `name` (printable) while it is under way;
  // it asks the work to give up once the run is interrupted.
  std::unique_ptr<StepProgress> start(std::size_t index, std::string name);
  // The photograph is done: its report goes to standard output, or why it failed or was
  // skipped (and any warnings) to standard error; one stopped by an interruption says nothing.
  void finish(std::size_t index, const FileOutcome& outcome);

 private:
  class PhotographProgress;
  struct Running {
    std::size_t index;
    std::string name;
    std::string step;
    int percent = 0;
  };

  void update(std::size_t index, const std::string* step, int percent);
  // With the lock held.
  void clearLocked();
  void drawLocked();

  std::FILE* const terminal_;
  const bool live_;
  const std::size_t photographs_;
  std::mutex mutex_;
  std::vector<Running> running_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  int drawnLines_ = 0;
  std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace kelmira

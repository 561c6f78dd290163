#include "cli/batch_progress.h"

#include <unistd.h>

#include <algorithm>

namespace kelmira {

namespace {

// Redraws at most this often while photographs report rows.
constexpr std::chrono::milliseconds kRedrawInterval{100};

std::string bar(int percent, int width) {
  const int filled = std::clamp(percent, 0, 100) * width / 100;
  return std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(width - filled), '.');
}

}  // namespace

class BatchProgress::PhotographProgress : public StepProgress {
 public:
  PhotographProgress(BatchProgress& owner, std::size_t index) : owner_(owner), index_(index) {}
  void setLabel(std::string label) override { owner_.update(index_, &label, 0); }
  int reportProgress(std::int32_t position, std::int32_t total) override {
    if (total > 0) owner_.update(index_, nullptr, static_cast<int>(100LL * (position + 1) / total));
    return 1;
  }
  void endProgress() override {}

 private:
  BatchProgress& owner_;
  const std::size_t index_;
};

BatchProgress::BatchProgress(std::FILE* terminal, std::size_t photographs)
    : terminal_(terminal), live_(terminal != nullptr && isatty(fileno(terminal)) != 0), photographs_(photographs) {}

BatchProgress::~BatchProgress() {
  const std::lock_guard<std::mutex> lock(mutex_);
  clearLocked();
}

std::unique_ptr<StepProgress> BatchProgress::start(std::size_t index, std::string name) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    running_.push_back({index, std::move(name), "Starting", 0});
    clearLocked();
    drawLocked();
  }
  return std::make_unique<PhotographProgress>(*this, index);
}

void BatchProgress::finish(std::size_t index, const FileOutcome& outcome) {
  const std::lock_guard<std::mutex> lock(mutex_);
  running_.erase(std::remove_if(running_.begin(), running_.end(), [&](const Running& r) { return r.index == index; }),
                 running_.end());
  ++done_;
  if (!outcome.ok) ++failed_;
  clearLocked();
  std::fputs(outcome.warnings.c_str(), stderr);
  if (outcome.ok) {
    std::printf("%s\n", outcome.report.c_str());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "kelmira-cli: %s\n", outcome.report.c_str());
  }
  drawLocked();
}

void BatchProgress::update(std::size_t index, const std::string* step, int percent) {
  if (!live_) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  for (Running& r : running_) {
    if (r.index != index) continue;
    if (step != nullptr) r.step = *step;
    r.percent = percent;
  }
  const auto now = std::chrono::steady_clock::now();
  if (step == nullptr && now - lastDrawn_ < kRedrawInterval) return;
  clearLocked();
  drawLocked();
}

void BatchProgress::clearLocked() {
  if (!live_ || drawnLines_ == 0) return;
  // Up to the first drawn line, then clear it and everything below.
  std::fprintf(terminal_, "\r\x1b[%dA\x1b[J", drawnLines_);
  std::fflush(terminal_);
  drawnLines_ = 0;
}

void BatchProgress::drawLocked() {
  if (!live_) return;
  for (const Running& r : running_) {
    std::fprintf(terminal_, "  %-32.32s %-10s [%s] %3d%%\n", r.name.c_str(), r.step.c_str(), bar(r.percent, 20).c_str(),
                 r.percent);
  }
  const int overall = photographs_ == 0 ? 100 : static_cast<int>(100 * done_ / photographs_);
  const std::string failures = failed_ > 0 ? ", " + std::to_string(failed_) + " failed" : "";
  std::fprintf(terminal_, "%zu of %zu done%s [%s] %3d%%\n", done_, photographs_, failures.c_str(),
               bar(overall, 30).c_str(), overall);
  std::fflush(terminal_);
  drawnLines_ = static_cast<int>(running_.size()) + 1;
  lastDrawn_ = std::chrono::steady_clock::now();
}

}  // namespace kelmira

#include "cli/batch_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "base/interruption.h"
#include "cli/printable_text.h"

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
    return Interruption::stopped() ? 0 : 1;
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
  if (outcome.result == FileResult::Failed) ++failed_;
  clearLocked();
  std::fputs(outcome.warnings.c_str(), stderr);
  if (outcome.ok()) {
    std::printf("%s\n", outcome.report.c_str());
    std::fflush(stdout);
  } else if (outcome.result != FileResult::Stopped) {
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
  // A line wider than the terminal would take two, and the redraw would lose count.
  winsize size{};
  const std::size_t columns =
      ioctl(fileno(terminal_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1u : 1000u;
  const auto drawLine = [&](const std::string& line) {
    const std::string fitted = line.size() > columns ? fitToColumns(line, columns) : line;
    std::fprintf(terminal_, "%s\n", fitted.c_str());
  };
  for (const Running& r : running_) {
    char tail[64];
    std::snprintf(tail, sizeof tail, " %-10.10s [%s] %3d%%", r.step.c_str(), bar(r.percent, 20).c_str(), r.percent);
    drawLine("  " + fitToColumns(r.name, 32) + tail);
  }
  const int overall = photographs_ == 0 ? 100 : static_cast<int>(100 * done_ / photographs_);
  const std::string failures = failed_ > 0 ? ", " + std::to_string(failed_) + " failed" : "";
  char line[160];
  std::snprintf(line, sizeof line, "%zu of %zu done%s [%s] %3d%%", done_, photographs_, failures.c_str(),
                bar(overall, 30).c_str(), overall);
  drawLine(line);
  std::fflush(terminal_);
  drawnLines_ = static_cast<int>(running_.size()) + 1;
  lastDrawn_ = std::chrono::steady_clock::now();
}

}  // namespace kelmira

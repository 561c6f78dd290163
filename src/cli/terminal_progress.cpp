#include "cli/terminal_progress.h"

#include <unistd.h>

#include <utility>

#include "base/interruption.h"

namespace kelmira {

TerminalProgress::TerminalProgress(std::FILE* stream)
    : stream_(stream), enabled_(stream != nullptr && isatty(fileno(stream)) != 0) {}

void TerminalProgress::setLabel(std::string label) {
  label_ = std::move(label);
  shownPercent_ = -1;
}

int TerminalProgress::reportProgress(std::int32_t position, std::int32_t total) {
  // An interrupted run's work gives up here.
  if (Interruption::stopped()) return 0;
  if (!enabled_ || total <= 0) return 1;
  const int percent = static_cast<int>(100LL * (position + 1) / total);
  if (percent == shownPercent_) return 1;
  shownPercent_ = percent;
  constexpr int kBarWidth = 30;
  char bar[kBarWidth + 1];
  const int filled = percent * kBarWidth / 100;
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kBarWidth] = '\0';
  std::fprintf(stream_, "\r%-10s [%s] %3d%%", label_.c_str(), bar, percent);
  std::fflush(stream_);
  return 1;
}

void TerminalProgress::endProgress() {
  if (enabled_ && shownPercent_ >= 0) {
    std::fputc('\n', stream_);
    std::fflush(stream_);
  }
  shownPercent_ = -1;
}

}  // namespace kelmira

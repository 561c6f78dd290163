#include "base/interruption.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "base/temporary_files.h"

namespace kelmira {

namespace {

std::atomic<int> stoppedBy{0};

sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

void say(const std::string& line) {
  for (std::size_t written = 0; written < line.size();) {
    const ssize_t n = ::write(STDERR_FILENO, line.data() + written, line.size() - written);
    if (n <= 0 && errno != EINTR) return;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
}

// The program's last act when its work did not end in time: nothing is renamed or made
// through TemporaryFiles after this, so no result appears behind its back.
[[noreturn]] void endNow(const std::string& programName, int signal) {
  TemporaryFiles::removeAll(true);
  say(programName + ": stopped by " + Interruption::signalName(signal) +
      "; the unfinished results were not written and their temporary files are removed\n");
  ::_exit(128 + signal);
}

void watchLoop(sigset_t set, std::string programName, std::function<void(int)> onSignal,
               std::chrono::milliseconds grace) {
  int first = 0;
  while (first == 0) {
    const int got = ::sigwaitinfo(&set, nullptr);
    if (got > 0) first = got;
  }
  stoppedBy.store(first);
  if (onSignal) onSignal(first);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(grace);
  timespec wait{static_cast<time_t>(seconds.count()),
                static_cast<long>(std::chrono::nanoseconds(grace - seconds).count())};
  // A second signal, or the grace period over: whichever comes first.
  while (::sigtimedwait(&set, nullptr, &wait) < 0 && errno == EINTR) {
  }
  endNow(programName, first);
}

}  // namespace

void Interruption::watch(const std::string& programName, std::function<void(int)> onSignal,
                         std::chrono::milliseconds grace) {
  const sigset_t set = watchedSignals();
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  try {
    std::thread(watchLoop, set, programName, std::move(onSignal), grace).detach();
  } catch (const std::system_error&) {
    // No thread to watch with: the signals end the program as they always did.
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

bool Interruption::stopped() { return stoppedBy.load(std::memory_order_relaxed) != 0; }

int Interruption::signal() { return stoppedBy.load(); }

int Interruption::exitStatus() {
  const int by = stoppedBy.load();
  return by == 0 ? 0 : 128 + by;
}

void Interruption::stopForTest(int signal) { stoppedBy.store(signal); }

void Interruption::clearForTest() { stoppedBy.store(0); }

std::string Interruption::signalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
  }
}

}  // namespace kelmira

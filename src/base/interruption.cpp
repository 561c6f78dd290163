#include "base/interruption.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "base/temporary_files.h"

namespace kelmira {

namespace {

std::atomic<int> stoppedBy{0};
// The handler's only act is to write the signal's number here; the watching thread reads it.
int signalPipe[2] = {-1, -1};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void noteSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
  errno = saved;
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

// The next signal's number; 0 when `waitMs` (-1: no limit) passed first.
int nextSignal(int waitMs) {
  for (;;) {
    pollfd ready{signalPipe[0], POLLIN, 0};
    const int got = ::poll(&ready, 1, waitMs);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return 0;
    unsigned char number = 0;
    if (::read(signalPipe[0], &number, 1) == 1) return number;
  }
}

void watchLoop(std::string programName, std::function<void(int)> onSignal, std::chrono::milliseconds grace) {
  const int first = nextSignal(-1);
  stoppedBy.store(first);
  if (onSignal) onSignal(first);
  // A second signal, or the grace period over: whichever comes first.
  nextSignal(static_cast<int>(grace.count()));
  endNow(programName, first);
}

}  // namespace

void Interruption::watch(const std::string& programName, std::function<void(int)> onSignal,
                         std::chrono::milliseconds grace) {
  if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // The reading end waits in poll; only the handler's end must never block.
  ::fcntl(signalPipe[0], F_SETFL, 0);
  try {
    std::thread(watchLoop, programName, std::move(onSignal), grace).detach();
  } catch (const std::system_error&) {
    return;  // no thread to watch with: the signals end the program as they always did
  }
  // Caught, not blocked: a program started from here gets the signals' usual actions back.
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
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

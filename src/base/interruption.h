#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace kelmira {

// Ctrl-C (SIGINT), SIGTERM and SIGHUP end a run in order rather than kill it halfway
// through a file. The signals' handler only passes them to a thread of their own, so what
// happens next is ordinary code: the run is marked stopped, its work gives up at the
// next progress report, no temporary is renamed over its target any more
// (ReplacementFile), and the program ends with 128 + the signal once its temporaries are
// gone. Work that has not ended after a grace period, or a second signal, ends the
// program there and then, with the temporaries this run made removed first
// (TemporaryFiles).
class Interruption {
 public:
  // Call once, early in main. `onSignal` runs on the watching thread after the run is
  // marked stopped (a window closes itself through it).
  static void watch(const std::string& programName, std::function<void(int signal)> onSignal = {},
                    std::chrono::milliseconds grace = std::chrono::seconds(3));

  static bool stopped();
  // The signal that stopped the run; 0 when none did.
  static int signal();
  // 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP; 0 when not stopped.
  static int exitStatus();
  static std::string signalName(int signal);

  // For tests that cannot take a real signal: the run marked stopped as `signal` would
  // mark it, and unmarked again.
  static void stopForTest(int signal);
  static void clearForTest();
};

}  // namespace kelmira

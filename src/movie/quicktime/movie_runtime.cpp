#include "movie/quicktime/movie_runtime.h"

#include <mutex>

namespace kelmira {

namespace {

// The runtime is process-wide, as QuickTime's was, so its use count is the one piece of
// shared state the program guards with a lock.
struct Runtime {
  std::mutex mutex;
  int useCount = 0;
  OSErr pendingFailure = noErr;
};

Runtime& runtime() {
  static Runtime instance;
  return instance;
}

// Our toolbox is linked in, so loading only fails when a test asks it to.
OSErr loadRuntime(Runtime& state) {
  const OSErr result = state.pendingFailure;
  state.pendingFailure = noErr;
  return result;
}

}  // namespace

OSErr initializeQtml() {
  Runtime& state = runtime();
  const std::lock_guard lock(state.mutex);
  if (state.useCount > 0) {
    ++state.useCount;
    return noErr;
  }
  const OSErr result = loadRuntime(state);
  if (result == noErr) state.useCount = 1;
  return result;
}

void terminateQtml() {
  Runtime& state = runtime();
  const std::lock_guard lock(state.mutex);
  if (state.useCount > 0) --state.useCount;
}

bool movieToolboxReady() {
  Runtime& state = runtime();
  const std::lock_guard lock(state.mutex);
  return state.useCount > 0;
}

OSErr enterMovies() { return movieToolboxReady() ? noErr : qtmlUninitialized; }

void exitMovies() {}

std::int32_t quickTimeVrVersion() { return movieToolboxReady() ? qtvrVersion21 : 0; }

void failNextQtmlInitialize(OSErr code) {
  Runtime& state = runtime();
  const std::lock_guard lock(state.mutex);
  state.pendingFailure = code;
}

}  // namespace kelmira

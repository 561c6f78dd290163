#include "image/exiv2_session.h"

#include <mutex>

#include <exiv2/exiv2.hpp>

namespace kelmira {

namespace {

thread_local int* errorCounter = nullptr;

void countErrors(int level, const char*) {
  if (level >= Exiv2::LogMsg::error && errorCounter != nullptr) ++*errorCounter;
}

void lockXmpToolkit(void* lock, bool locking) {
  auto* mutex = static_cast<std::recursive_mutex*>(lock);
  if (locking) {
    mutex->lock();
  } else {
    mutex->unlock();
  }
}

}  // namespace

void prepareExiv2() {
  static std::once_flag prepared;
  std::call_once(prepared, [] {
    static std::recursive_mutex xmpLock;
    Exiv2::XmpParser::initialize(lockXmpToolkit, &xmpLock);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::error);
    Exiv2::LogMsg::setHandler(countErrors);
  });
}

Exiv2ErrorCount::Exiv2ErrorCount() : outer_(errorCounter) { errorCounter = &errors_; }

Exiv2ErrorCount::~Exiv2ErrorCount() { errorCounter = outer_; }

}  // namespace kelmira

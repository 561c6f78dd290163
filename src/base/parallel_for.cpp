#include "base/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kelmira {

unsigned workerThreads() {
  if (const char* setting = std::getenv("KELMIRA_THREADS")) {
    char* end = nullptr;
    const unsigned long threads = std::strtoul(setting, &end, 10);
    if (end != setting && *end == '\0' && threads >= 1 && threads <= 1024) return static_cast<unsigned>(threads);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

void parallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work,
                 const std::function<void(std::size_t)>& taken) {
  if (threads == 0) threads = workerThreads();
  std::atomic<std::size_t> next{0};
  // The first exception thrown on any thread ends the handing out and reaches the caller
  // once every helper has stopped; one escaping a helper would end the program.
  std::mutex problemLock;
  std::exception_ptr problem;
  std::atomic<bool> failed{false};
  const auto attempt = [&](std::size_t i) {
    try {
      work(i);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(problemLock);
      if (!problem) problem = std::current_exception();
      failed.store(true);
      next.store(count);
    }
  };
  const auto helperLoop = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) attempt(i);
  };
  std::vector<std::thread> helpers;
  const std::size_t helperCount = std::min<std::size_t>(threads - 1, count > 0 ? count - 1 : 0);
  for (std::size_t h = 0; h < helperCount; ++h) {
    try {
      helpers.emplace_back(helperLoop);
    } catch (const std::system_error&) {
      break;  // fewer helpers, same work
    }
  }
  std::size_t told = 0;
  try {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) {
      if (taken) taken(told = i + 1);
      attempt(i);
    }
    // The helpers may have taken the last items.
    if (taken && told < count && !failed.load()) taken(count);
  } catch (...) {
    // `taken` threw: the helpers finish their items and take no more.
    next.store(count);
    const std::lock_guard<std::mutex> lock(problemLock);
    if (!problem) problem = std::current_exception();
  }
  for (std::thread& helper : helpers) helper.join();
  if (problem) std::rethrow_exception(problem);
}

}  // namespace kelmira

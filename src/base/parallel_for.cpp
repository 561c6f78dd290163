#include "base/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
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
  const auto helperLoop = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
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
  for (std::size_t i; (i = next.fetch_add(1)) < count;) {
    if (taken) taken(told = i + 1);
    work(i);
  }
  // The helpers may have taken the last items.
  if (taken && told < count) taken(count);
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace kelmira

#include "base/parallel_for.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace kelmira {
namespace {

TEST(ParallelFor, DoesEveryItemOnceAndReportsOnlyFromTheCallingThread) {
  for (const unsigned threads : {1u, 2u, 7u}) {
    SCOPED_TRACE(threads);
    std::vector<std::atomic<int>> done(100);
    std::mutex threadsSeen;
    std::set<std::thread::id> workers;
    std::vector<std::size_t> reports;
    const std::thread::id caller = std::this_thread::get_id();
    parallelFor(
        done.size(), threads,
        [&](std::size_t i) {
          ++done[i];
          const std::lock_guard<std::mutex> lock(threadsSeen);
          workers.insert(std::this_thread::get_id());
        },
        [&](std::size_t handedOut) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          reports.push_back(handedOut);
        });
    for (const auto& count : done) EXPECT_EQ(count.load(), 1);
    EXPECT_LE(workers.size(), threads);
    ASSERT_FALSE(reports.empty());
    for (std::size_t r = 1; r < reports.size(); ++r) EXPECT_LT(reports[r - 1], reports[r]);
    EXPECT_EQ(reports.back(), done.size());
  }
  parallelFor(0, 3, [](std::size_t) { FAIL() << "no items, no work"; });
}

TEST(ParallelFor, TheEnvironmentCanLimitTheThreads) {
  setenv("KELMIRA_THREADS", "3", 1);
  EXPECT_EQ(workerThreads(), 3u);
  for (const char* unusable : {"0", "-2", "two", "", "4x", "100000"}) {
    setenv("KELMIRA_THREADS", unusable, 1);
    EXPECT_EQ(workerThreads(), std::max(1u, std::thread::hardware_concurrency())) << unusable;
  }
  unsetenv("KELMIRA_THREADS");
}

}  // namespace
}  // namespace kelmira

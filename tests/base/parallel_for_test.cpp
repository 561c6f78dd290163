#include "base/parallel_for.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
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

// An exception on any thread, in the work or in the progress report, reaches the caller
// once every item under way has finished, and no item is begun after it.
TEST(ParallelFor, AnExceptionOnAnyThreadReachesTheCaller) {
  const std::thread::id caller = std::this_thread::get_id();
  for (const bool onHelper : {true, false}) {
    for (const unsigned threads : {1u, 2u, 5u}) {
      SCOPED_TRACE(std::to_string(threads) + (onHelper ? " helper" : " caller"));
      std::atomic<int> begun{0}, ended{0};
      std::atomic<bool> thrown{false};
      const auto work = [&](std::size_t) {
        ++begun;
        // The first item on the chosen kind of thread throws (on one thread, every thread is the caller).
        const bool here = (std::this_thread::get_id() != caller) == onHelper || threads == 1;
        if (here && !thrown.exchange(true)) throw std::runtime_error("bad picture");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++ended;
      };
      try {
        parallelFor(200, threads, work);
        ADD_FAILURE() << "no exception";
      } catch (const std::runtime_error& problem) {
        EXPECT_STREQ(problem.what(), "bad picture");
      }
      EXPECT_EQ(ended.load(), begun.load() - 1);  // all but the one that threw finished
      EXPECT_LT(begun.load(), 200);
    }
  }
  // The helpers may take every item before the caller does, so the report of the end is
  // the only one that is sure to come.
  EXPECT_THROW(parallelFor(
                   50, 3, [](std::size_t) {}, [&](std::size_t) { throw 42; }),
               int);
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

#include "movie/quicktime/movie_runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace kelmira {
namespace {

// The runtime is process-wide: each test starts it from stopped, with no failure pending.
class MovieRuntimeTest : public testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    failNextQtmlInitialize(noErr);
    while (movieToolboxReady()) terminateQtml();
  }
  static void expectStopped() {
    EXPECT_FALSE(movieToolboxReady());
    EXPECT_EQ(enterMovies(), -2095);
    EXPECT_EQ(quickTimeVrVersion(), 0);
  }
};

TEST_F(MovieRuntimeTest, EachInitialiseNeedsItsOwnTerminate) {
  expectStopped();
  ASSERT_EQ(initializeQtml(), 0);
  ASSERT_EQ(initializeQtml(), 0);
  EXPECT_EQ(enterMovies(), 0);
  EXPECT_EQ(quickTimeVrVersion(), qtvrVersion21);
  terminateQtml();
  EXPECT_TRUE(movieToolboxReady());
  terminateQtml();
  expectStopped();

  // Terminates beyond the count must not leave a debt that swallows the next initialise.
  terminateQtml();
  terminateQtml();
  ASSERT_EQ(initializeQtml(), 0);
  EXPECT_TRUE(movieToolboxReady());
  terminateQtml();
  expectStopped();
}

TEST_F(MovieRuntimeTest, FailedInitialiseLeavesToolboxUnusableUntilALaterOneSucceeds) {
  for (const OSErr code : {OSErr{-2093}, OSErr{-2094}}) {
    SCOPED_TRACE(code);
    failNextQtmlInitialize(code);
    EXPECT_EQ(initializeQtml(), code);
    expectStopped();
    ASSERT_EQ(initializeQtml(), 0);  // the failure is used up
    EXPECT_EQ(enterMovies(), 0);
    EXPECT_EQ(quickTimeVrVersion(), qtvrVersion21);
    exitMovies();
    terminateQtml();
  }

  // While someone holds the runtime nothing is loaded, so an injected failure waits.
  ASSERT_EQ(initializeQtml(), 0);
  failNextQtmlInitialize(qtmlLoadErr);
  EXPECT_EQ(initializeQtml(), 0);
  terminateQtml();
  terminateQtml();
  EXPECT_EQ(initializeQtml(), qtmlLoadErr);
}

TEST_F(MovieRuntimeTest, ConcurrentStartsAndStopsKeepTheCountExact) {
  // A lost update shows as the runtime stopping under a thread that holds it, or as it
  // outliving the last terminate. With the main thread holding it the count never
  // reaches 0; without, the runtime starts and stops over and over under contention.
  for (const bool mainHolds : {true, false}) {
    SCOPED_TRACE(mainHolds ? "main thread holds the runtime" : "threads only");
    if (mainHolds) {
      ASSERT_EQ(initializeQtml(), 0);
    }
    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&faults, depth = 1 + t % 3] {
        for (int round = 0; round < 20000; ++round) {
          for (int i = 0; i < depth; ++i) faults += initializeQtml() != 0;
          faults += !movieToolboxReady() || enterMovies() != 0 || quickTimeVrVersion() != qtvrVersion21;
          for (int i = 0; i < depth; ++i) terminateQtml();
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(movieToolboxReady(), mainHolds);
    if (mainHolds) terminateQtml();
    expectStopped();
  }
}

}  // namespace
}  // namespace kelmira

// How messages give a time in a video, worked out by hand, in a German session too.
#include <gtest/gtest.h>

#include "support/session_locale.h"
#include "video/video_facts.h"

namespace kelmira {
namespace {

TEST(VideoTimeText, GivesMinutesAndSecondsWithAPointInEveryLocale) {
  const test::GermanSession german;
  if (!german.active()) GTEST_SKIP() << german.whyNot();
  EXPECT_EQ(videoTimeText(0), "0:00.00");
  EXPECT_EQ(videoTimeText(65.3), "1:05.30");
  EXPECT_EQ(videoTimeText(9.996), "0:10.00");  // rounds up to two digits before the point
  EXPECT_EQ(videoTimeText(600), "10:00.00");
}

}  // namespace
}  // namespace kelmira

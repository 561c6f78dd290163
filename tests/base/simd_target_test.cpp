#include "base/simd_target.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelmira {
namespace {

TEST(SimdTarget, KelmiraSimdIsFollowedOnlyWhenTheBuildAndTheProcessorHaveTheTarget) {
  const std::vector<std::string> built{"avx3", "avx2", "sse4", "ssse3", "scalar"};
  const std::vector<std::string> runnable{"avx2", "sse4", "ssse3", "scalar"};
  EXPECT_EQ(readSimdRequest("", built, runnable).target, "");
  EXPECT_EQ(readSimdRequest("", built, runnable).problem, "");
  EXPECT_EQ(readSimdRequest("sse4", built, runnable).target, "sse4");
  EXPECT_EQ(readSimdRequest("SCALAR", built, runnable).target, "scalar");
  EXPECT_EQ(readSimdRequest("sse4", built, runnable).problem, "");

  const SimdRequest missing = readSimdRequest("avx3", built, runnable);
  EXPECT_EQ(missing.target, "");
  EXPECT_EQ(missing.problem, "KELMIRA_SIMD=avx3: this processor cannot run avx3 (it runs avx2, sse4, ssse3, scalar)");
  const SimdRequest unknown = readSimdRequest("avx9", built, runnable);
  EXPECT_EQ(unknown.target, "");
  EXPECT_EQ(unknown.problem, "KELMIRA_SIMD=avx9 names no SIMD target of this build (avx3, avx2, sse4, ssse3, scalar)");
}

// The target in use is asked of the dispatch itself, so this checks that forcing reaches it.
TEST(SimdTarget, EachTargetThisProcessorRunsCanBeForcedAndIsThenInUse) {
  const std::vector<std::string> here = simdTargetsHere();
  ASSERT_FALSE(here.empty());
  EXPECT_EQ(here.back(), simdTargetsBuilt().back());  // the scalar fallback runs everywhere
  EXPECT_EQ(simdChoice().widest, here.front());
  for (const std::string& target : here) {
    ASSERT_TRUE(forceSimdTarget(target));
    EXPECT_EQ(simdChoice().inUse, target);
    if (target != here.front()) {
      EXPECT_NE(simdDescription().find("SIMD: " + target), std::string::npos);
      EXPECT_NE(simdDescription().find(", forced (this processor has " + here.front()), std::string::npos);
    }
  }
  EXPECT_FALSE(forceSimdTarget("avx9"));
  EXPECT_EQ(simdChoice().inUse, here.back());  // a refusal changes nothing
  ASSERT_TRUE(forceSimdTarget(""));
  EXPECT_EQ(simdChoice().inUse, here.front());
  EXPECT_NE(simdDescription().find(", the widest this processor has"), std::string::npos);
}

}  // namespace
}  // namespace kelmira

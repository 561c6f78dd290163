#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/simd_target.h"

namespace kelmira::test {

// Runs a test once on every vector target this build has, each forced in turn; a target
// this processor cannot run is skipped by name.
class OnEachSimdTarget : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!forceSimdTarget(GetParam())) GTEST_SKIP() << "this processor cannot run the " << GetParam() << " target";
    ASSERT_EQ(simdChoice().inUse, GetParam());
  }
  void TearDown() override { forceSimdTarget(""); }
};

inline std::string simdTargetName(const testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace kelmira::test

// Instantiates the TEST_Ps of FIXTURE (derived from OnEachSimdTarget) for every target.
#define KELMIRA_ON_EACH_SIMD_TARGET(FIXTURE) \
  INSTANTIATE_TEST_SUITE_P(Simd, FIXTURE, testing::ValuesIn(simdTargetsBuilt()), ::kelmira::test::simdTargetName)

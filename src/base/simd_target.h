#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelmira {

// The vector instructions the pixel kernels run with. Each kernel is compiled once per
// target and the widest one the processor has is chosen at run time, unless KELMIRA_SIMD
// names another (avx3, avx2, sse4, ssse3, scalar on x86-64), for tests and bug reports.
struct SimdChoice {
  std::string inUse;    // lower-case target name, as KELMIRA_SIMD spells it
  std::string widest;   // the widest this processor has
  std::string problem;  // why KELMIRA_SIMD could not be followed; empty when it was, or is unset
};

// Reads KELMIRA_SIMD the first time and follows it if it can; every kernel calls this
// before it dispatches.
void applySimdSetting();

// The target the kernels dispatch to now (one forced since by forceSimdTarget too).
SimdChoice simdChoice();

// The targets this build has and this processor runs, widest first.
std::vector<std::string> simdTargetsHere();
// Every target this build has, widest first, runnable here or not.
std::vector<std::string> simdTargetsBuilt();

// Makes the kernels use `name` (empty: the widest again). False, changing nothing, when
// this build has no such target or the processor cannot run it. Not while a kernel runs.
bool forceSimdTarget(std::string_view name);

// What KELMIRA_SIMD=`asked` comes to on a processor that runs `runnable` of the `built`
// targets: the target to force (empty: none) or, when it cannot be followed, why.
struct SimdRequest {
  std::string target;
  std::string problem;
};
SimdRequest readSimdRequest(std::string_view asked, const std::vector<std::string>& built,
                            const std::vector<std::string>& runnable);

// What --version and the About box say, e.g. "SIMD: avx3 (AVX-512), the widest this processor has".
std::string simdDescription();

}  // namespace kelmira

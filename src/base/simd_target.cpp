#include "base/simd_target.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "base/simd_target.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/highway.h>
#include <hwy/targets.h>

HWY_BEFORE_NAMESPACE();
namespace kelmira::HWY_NAMESPACE {
// Which target a dispatch lands on, asked the way every kernel is called.
std::int64_t DispatchedTarget() { return HWY_TARGET; }
}  // namespace kelmira::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira {

HWY_EXPORT(DispatchedTarget);

namespace {

// Target bits from the widest (lowest bit) down.
std::vector<std::int64_t> bitsOf(std::int64_t targets) {
  std::vector<std::int64_t> bits;
  for (; targets != 0; targets &= targets - 1) bits.push_back(targets & -targets);
  return bits;
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string nameOf(std::int64_t target) { return lowerCase(hwy::TargetName(target)); }

std::string listOf(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return list;
}

std::vector<std::string> namesOf(std::int64_t targets) {
  std::vector<std::string> names;
  for (const std::int64_t bit : bitsOf(targets)) names.push_back(nameOf(bit));
  return names;
}

std::int64_t targetNamed(std::string_view name) {
  for (const std::int64_t bit : bitsOf(HWY_TARGETS)) {
    if (nameOf(bit) == name) return bit;
  }
  return 0;
}

struct Start {
  std::int64_t processor = 0;  // what this processor runs of what was built
  std::string problem;
};

std::mutex forcing;

// Highway's SupportedTargets() sets the dispatch back to the widest target, whatever was
// disabled: it is asked once, before anything is.
Start start() {
  Start s;
  s.processor = hwy::SupportedTargets() & HWY_TARGETS;
  const char* asked = std::getenv("KELMIRA_SIMD");
  const SimdRequest request =
      readSimdRequest(asked != nullptr ? asked : "", namesOf(HWY_TARGETS), namesOf(s.processor));
  s.problem = request.problem;
  if (!request.target.empty()) hwy::DisableTargets(~targetNamed(request.target));
  return s;
}

const Start& started() {
  static const Start s = start();
  return s;
}

}  // namespace

void applySimdSetting() { started(); }

SimdChoice simdChoice() {
  const Start& s = started();
  return SimdChoice{nameOf(HWY_DYNAMIC_DISPATCH(DispatchedTarget)()), nameOf(s.processor & -s.processor), s.problem};
}

std::vector<std::string> simdTargetsHere() { return namesOf(started().processor); }

std::vector<std::string> simdTargetsBuilt() { return namesOf(HWY_TARGETS); }

SimdRequest readSimdRequest(std::string_view asked, const std::vector<std::string>& built,
                            const std::vector<std::string>& runnable) {
  SimdRequest request;
  if (asked.empty()) return request;
  const std::string name = lowerCase(asked);
  const auto has = [&name](const std::vector<std::string>& names) {
    for (const std::string& n : names) {
      if (n == name) return true;
    }
    return false;
  };
  if (!has(built)) {
    request.problem =
        "KELMIRA_SIMD=" + std::string(asked) + " names no SIMD target of this build (" + listOf(built) + ")";
  } else if (!has(runnable)) {
    request.problem = "KELMIRA_SIMD=" + std::string(asked) + ": this processor cannot run " + name + " (it runs " +
                      listOf(runnable) + ")";
  } else {
    request.target = name;
  }
  return request;
}

bool forceSimdTarget(std::string_view name) {
  const Start& s = started();
  const std::lock_guard<std::mutex> lock(forcing);
  if (name.empty()) {
    hwy::DisableTargets(0);
    return true;
  }
  const std::int64_t bit = targetNamed(lowerCase(name));
  if (bit == 0 || (s.processor & bit) == 0) return false;
  hwy::DisableTargets(~bit);
  return true;
}

std::string simdDescription() {
  const SimdChoice choice = simdChoice();
  const auto shown = [](const std::string& name) {
    if (name == "avx3") return name + " (AVX-512)";
    if (name == "scalar") return name + " (no vector instructions)";
    return name;
  };
  std::string text = "SIMD: " + shown(choice.inUse);
  if (choice.inUse == choice.widest) {
    text += ", the widest this processor has";
  } else {
    text += ", forced (this processor has " + shown(choice.widest) + ")";
  }
  if (!choice.problem.empty()) text += "; " + choice.problem;
  return text;
}

}  // namespace kelmira
#endif  // HWY_ONCE

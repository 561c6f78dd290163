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

std::string nameOf(std::int64_t target) {
  std::string name = hwy::TargetName(target);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::int64_t targetNamed(std::string_view name) {
  for (const std::int64_t bit : bitsOf(HWY_TARGETS)) {
    const std::string known = nameOf(bit);
    if (known.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
      same = same && std::tolower(static_cast<unsigned char>(name[i])) == known[i];
    }
    if (same) return bit;
  }
  return 0;
}

std::string listOf(std::int64_t targets) {
  std::string list;
  for (const std::int64_t bit : bitsOf(targets)) list += (list.empty() ? "" : ", ") + nameOf(bit);
  return list;
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
  if (asked == nullptr || *asked == '\0') return s;
  const std::int64_t bit = targetNamed(asked);
  if (bit == 0) {
    s.problem = std::string("KELMIRA_SIMD=") + asked + " names no SIMD target of this build (" + listOf(HWY_TARGETS) + ")";
  } else if ((s.processor & bit) == 0) {
    s.problem = std::string("KELMIRA_SIMD=") + asked + ": this processor cannot run " + nameOf(bit) + " (it runs " +
                listOf(s.processor) + ")";
  } else {
    hwy::DisableTargets(~bit);
  }
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

std::vector<std::string> simdTargetsHere() {
  std::vector<std::string> names;
  for (const std::int64_t bit : bitsOf(started().processor)) names.push_back(nameOf(bit));
  return names;
}

std::vector<std::string> simdTargetsBuilt() {
  std::vector<std::string> names;
  for (const std::int64_t bit : bitsOf(HWY_TARGETS)) names.push_back(nameOf(bit));
  return names;
}

bool forceSimdTarget(std::string_view name) {
  const Start& s = started();
  const std::lock_guard<std::mutex> lock(forcing);
  if (name.empty()) {
    hwy::DisableTargets(0);
    return true;
  }
  const std::int64_t bit = targetNamed(name);
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

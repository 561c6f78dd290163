#include "movie/quicktime/sample_table.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <utility>
#include <vector>

#include "movie/quicktime/big_endian.h"

namespace kelmira {
namespace {

constexpr std::uint32_t kAnyDescription = std::numeric_limits<std::uint32_t>::max();

// Sample tables written field by field; each payload starts with version and flags.
struct Tables {
  ByteBuffer stsc, stsz, offsets;
  bool wide = false;

  Tables(std::vector<std::array<std::uint32_t, 3>> runs, std::uint32_t uniformSize, std::vector<std::uint32_t> sizes,
         std::uint32_t sizeCount, std::vector<std::uint64_t> chunks, bool wideOffsets = false)
      : wide(wideOffsets) {
    ByteWriter r(stsc);
    r.u32(0);
    r.u32(static_cast<std::uint32_t>(runs.size()));
    for (const auto& run : runs)
      for (std::uint32_t v : run) r.u32(v);
    ByteWriter z(stsz);
    z.u32(0);
    z.u32(uniformSize);
    z.u32(sizeCount);
    for (std::uint32_t size : sizes) z.u32(size);
    ByteWriter o(offsets);
    o.u32(0);
    o.u32(static_cast<std::uint32_t>(chunks.size()));
    for (std::uint64_t at : chunks) wide ? o.u64(at) : o.u32(static_cast<std::uint32_t>(at));
  }
  SampleTablePayloads payloads() const {
    return {stsc.data(), stsc.size(), stsz.data(), stsz.size(), offsets.data(), offsets.size(), wide};
  }
};

using Placed = std::vector<std::pair<std::uint64_t, std::uint32_t>>;

Placed where(const std::vector<SamplePlacement>& placements) {
  Placed out;
  for (const SamplePlacement& p : placements) out.emplace_back(p.offset, p.size);
  return out;
}

// Runs (first chunk, samples a chunk, description): chunk 1 holds samples 1 and 2,
// chunk 2 sample 3 (description 2), chunk 3 samples 4 to 6.
const std::vector<std::array<std::uint32_t, 3>> kRuns = {{1, 2, 1}, {2, 1, 2}, {3, 3, 1}};
const std::vector<std::uint32_t> kSizes = {10, 20, 30, 40, 50, 60};
const Placed kPlaced = {{0x1000, 10}, {0x100A, 20}, {0x2000, 30}, {0x3000, 40}, {0x3028, 50}, {0x305A, 60}};

TEST(SampleTable, ChunksHoldTheirRunsSamplesBackToBack) {
  std::vector<SamplePlacement> placements;
  const Tables tables(kRuns, 0, kSizes, 6, {0x1000, 0x2000, 0x3000});
  ASSERT_EQ(expandSampleTable(tables.payloads(), 2, kAnyDescription, placements), noErr);
  EXPECT_EQ(where(placements), kPlaced);
  std::vector<std::uint32_t> descriptions;
  for (const SamplePlacement& p : placements) descriptions.push_back(p.descriptionIndex);
  EXPECT_EQ(descriptions, (std::vector<std::uint32_t>{1, 1, 2, 1, 1, 1}));
  EXPECT_EQ(sampleSizes(tables.payloads())->count, 6u);

  // 64-bit chunk offsets beyond 4 GiB.
  const Tables wide(kRuns, 0, kSizes, 6, {0x100001000ull, 0x100002000ull, 0x100003000ull}, true);
  ASSERT_EQ(expandSampleTable(wide.payloads(), 2, kAnyDescription, placements), noErr);
  EXPECT_EQ(placements[5].offset, 0x10000305Aull);

  // One size for all: four samples of 7 bytes in one chunk at 100.
  const Tables uniform({{1, 4, 1}}, 7, {}, 4, {100});
  ASSERT_EQ(expandSampleTable(uniform.payloads(), 1, kAnyDescription, placements), noErr);
  EXPECT_EQ(where(placements), (Placed{{100, 7}, {107, 7}, {114, 7}, {121, 7}}));
  EXPECT_EQ(sampleSizes(uniform.payloads())->uniformSize, 7u);

  // A limit below the count places that many and asks no more of the tables.
  const Tables leftOver(kRuns, 0, kSizes, 6, {0x1000, 0x2000, 0x3000, 0x4000});
  ASSERT_EQ(expandSampleTable(leftOver.payloads(), 2, 4, placements), noErr);
  EXPECT_EQ(where(placements), Placed(kPlaced.begin(), kPlaced.begin() + 4));

  // No samples, no chunks, no runs.
  const Tables empty({}, 0, {}, 0, {});
  EXPECT_EQ(expandSampleTable(empty.payloads(), 0, kAnyDescription, placements), noErr);
  EXPECT_TRUE(placements.empty());
}

TEST(SampleTable, TablesThatDoNotAgreeAreRefusedKeepingWhatWasPlaced) {
  struct Case {
    const char* what;
    Tables tables;
    std::uint32_t descriptions;
    std::size_t placed;
  };
  const Case cases[] = {
      {"a chunk left over", Tables(kRuns, 0, kSizes, 6, {0x1000, 0x2000, 0x3000, 0x4000}), 2, 6},
      {"a chunk too few", Tables(kRuns, 0, kSizes, 6, {0x1000, 0x2000}), 2, 3},
      {"more samples in a chunk than remain", Tables(kRuns, 0, kSizes, 5, {0x1000, 0x2000, 0x3000}), 2, 3},
      {"an unknown description", Tables(kRuns, 0, kSizes, 6, {0x1000, 0x2000, 0x3000}), 1, 0},
      {"runs from chunk 2", Tables({{2, 2, 1}}, 0, {1, 2}, 2, {0x1000, 0x2000}), 1, 0},
      {"runs that do not climb", Tables({{1, 1, 1}, {3, 1, 1}, {3, 1, 1}}, 0, {1, 2, 3}, 3, {1, 2, 3}), 1, 0},
      {"no samples a chunk", Tables({{1, 0, 1}}, 0, {}, 0, {0x1000}), 1, 0},
      {"chunks but no runs", Tables({}, 0, {}, 0, {0x1000}), 1, 0},
      {"samples but no runs", Tables({}, 0, {5}, 1, {}), 1, 0},
      {"sizes counted but not listed", Tables({{1, 2, 1}}, 0, {5}, 2, {0x1000}), 1, 0},
  };
  for (const Case& c : cases) {
    std::vector<SamplePlacement> placements;
    EXPECT_EQ(expandSampleTable(c.tables.payloads(), c.descriptions, kAnyDescription, placements),
              invalidSampleTable)
        << c.what;
    EXPECT_EQ(placements.size(), c.placed) << c.what;
  }

  // Counts that claim more entries than their payloads hold.
  Tables cut(kRuns, 0, kSizes, 6, {0x1000, 0x2000, 0x3000});
  cut.stsc.resize(cut.stsc.size() - 1);
  std::vector<SamplePlacement> placements;
  EXPECT_EQ(expandSampleTable(cut.payloads(), 2, kAnyDescription, placements), invalidSampleTable);
  Tables cutOffsets(kRuns, 0, kSizes, 6, {0x1000, 0x2000, 0x3000});
  cutOffsets.offsets.resize(cutOffsets.offsets.size() - 1);
  EXPECT_EQ(expandSampleTable(cutOffsets.payloads(), 2, kAnyDescription, placements), invalidSampleTable);
  EXPECT_FALSE(sampleSizes(Tables({}, 0, {5}, 2, {}).payloads()));
  EXPECT_FALSE(sampleSizes(SampleTablePayloads{}));
}

}  // namespace
}  // namespace kelmira

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "movie/quicktime/qt_types.h"

namespace kelmira {

// The one expansion of a track's sample tables into where each sample lies: the movie
// reader takes every sample from it, the movie dump the first few.

// The payloads of a track's sample size (stsz), sample-to-chunk (stsc) and chunk offset
// (stco or co64) tables, each taken whole, version and flags included; null when absent.
struct SampleTablePayloads {
  const std::uint8_t* stsc = nullptr;
  std::size_t stscSize = 0;
  const std::uint8_t* stsz = nullptr;
  std::size_t stszSize = 0;
  const std::uint8_t* chunkOffsets = nullptr;  // stco or co64
  std::size_t chunkOffsetsSize = 0;
  bool chunkOffsets64 = false;
};

// One sample: its bytes in the file and the 1-based index of its sample description.
struct SamplePlacement {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
  std::uint32_t descriptionIndex = 0;
};

// What the size table declares: how many samples, and the size of each when it gives one
// for all (0 when it lists them). Nothing when the table is missing, cut short or lists
// fewer sizes than it counts.
struct SampleSizes {
  std::uint32_t count = 0;
  std::uint32_t uniformSize = 0;
};
std::optional<SampleSizes> sampleSizes(const SampleTablePayloads& tables);

// Places the samples chunk by chunk: a chunk holds its run's number of samples back to
// back from its offset. The runs must start at chunk 1, climb, hold at least one sample a
// chunk and name descriptions 1 to `descriptionCount`. noErr when the chunks hold every
// sample the size table counts, none left over; otherwise invalidSampleTable, with
// `placements` holding the samples placed before the fault. At most `limit` samples are
// placed (the caller bounds what it allocates): with a limit below the count, placing
// stops there with noErr.
OSErr expandSampleTable(const SampleTablePayloads& tables, std::uint32_t descriptionCount, std::uint32_t limit,
                        std::vector<SamplePlacement>& placements);

}  // namespace kelmira

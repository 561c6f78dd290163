#include "movie/quicktime/sample_table.h"

#include <algorithm>

#include "movie/quicktime/atom_walker.h"
#include "movie/quicktime/big_endian.h"

namespace kelmira {

namespace {

constexpr std::size_t kFullAtomHeader = 4;  // version and flags

// From firstChunk on, until the next run, each chunk holds samplesPerChunk samples.
struct ChunkRun {
  std::uint32_t firstChunk, samplesPerChunk, descriptionIndex;
};

// The sample-to-chunk runs, every one checked; nothing when one breaks the rules.
std::optional<std::vector<ChunkRun>> readRuns(const SampleTablePayloads& tables, std::uint32_t descriptionCount) {
  if (!tables.stsc) return std::nullopt;
  ByteReader reader(tables.stsc, tables.stscSize);
  const std::optional<std::uint32_t> count = readTableEntryCount(reader, 12);
  if (!count) return std::nullopt;
  std::vector<ChunkRun> runs(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    ChunkRun& run = runs[i];
    run = {reader.u32(), reader.u32(), reader.u32()};
    const bool climbs = i == 0 ? run.firstChunk == 1 : run.firstChunk > runs[i - 1].firstChunk;
    if (!climbs || run.samplesPerChunk == 0 || run.descriptionIndex == 0 || run.descriptionIndex > descriptionCount) {
      return std::nullopt;
    }
  }
  return runs;
}

}  // namespace

std::optional<SampleSizes> sampleSizes(const SampleTablePayloads& tables) {
  if (!tables.stsz) return std::nullopt;
  ByteReader reader(tables.stsz, tables.stszSize);
  reader.skip(kFullAtomHeader);
  SampleSizes sizes;
  sizes.uniformSize = reader.u32();
  sizes.count = reader.u32();
  if (reader.failed() || (sizes.uniformSize == 0 && sizes.count > reader.remaining() / 4)) return std::nullopt;
  return sizes;
}

OSErr expandSampleTable(const SampleTablePayloads& tables, std::uint32_t descriptionCount, std::uint32_t limit,
                        std::vector<SamplePlacement>& placements) {
  placements.clear();
  const std::optional<SampleSizes> sizes = sampleSizes(tables);
  if (!sizes || !tables.chunkOffsets) return invalidSampleTable;
  ByteReader sizeEntries(tables.stsz, tables.stszSize);
  sizeEntries.skip(kFullAtomHeader + 8);
  ByteReader offsets(tables.chunkOffsets, tables.chunkOffsetsSize);
  const std::optional<std::uint32_t> chunkCount = readTableEntryCount(offsets, tables.chunkOffsets64 ? 8 : 4);
  const std::optional<std::vector<ChunkRun>> runs = readRuns(tables, descriptionCount);
  if (!chunkCount || !runs) return invalidSampleTable;
  // Samples or chunks, but no run to say which chunk holds which.
  if (runs->empty() && (sizes->count != 0 || *chunkCount != 0)) return invalidSampleTable;

  placements.reserve(std::min(sizes->count, limit));
  std::size_t run = 0;
  for (std::uint32_t chunk = 1; chunk <= *chunkCount; ++chunk) {
    while (run + 1 < runs->size() && (*runs)[run + 1].firstChunk <= chunk) ++run;
    const ChunkRun& current = (*runs)[run];
    if (current.samplesPerChunk > sizes->count - placements.size()) return invalidSampleTable;
    std::uint64_t offset = tables.chunkOffsets64 ? offsets.u64() : offsets.u32();
    for (std::uint32_t k = 0; k < current.samplesPerChunk; ++k) {
      if (placements.size() == limit) return noErr;
      const std::uint32_t size = sizes->uniformSize != 0 ? sizes->uniformSize : sizeEntries.u32();
      placements.push_back({offset, size, current.descriptionIndex});
      offset += size;
    }
  }
  return placements.size() == sizes->count ? noErr : invalidSampleTable;
}

}  // namespace kelmira

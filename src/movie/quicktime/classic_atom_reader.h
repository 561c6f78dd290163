#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "movie/quicktime/qt_types.h"

namespace kelmira {

// One classic atom (size, type, payload) found inside a byte block. Offsets are from
// the start of the block.
struct ClassicAtom {
  OSType type = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;        // header included
  std::uint32_t headerSize = 8;  // 16 when a 64-bit size follows the type
  std::uint64_t payloadOffset() const { return offset + headerSize; }
  std::uint64_t payloadSize() const { return size - headerSize; }
  std::uint64_t end() const { return offset + size; }
};

// The atoms lying back to back in [begin, end) of a block of `blockSize` bytes. A size of
// 0 (to the end) is accepted only when `topLevel`. Reading stops at the first atom
// whose header or size does not fit; `error` then says why and the atoms before it are
// kept. A trailing 32-bit zero (QuickTime's end-of-list marker) is not an error.
struct ClassicAtomList {
  std::vector<ClassicAtom> atoms;
  std::string error;
};
ClassicAtomList readClassicAtoms(const std::uint8_t* block, std::size_t blockSize, std::uint64_t begin,
                                 std::uint64_t end, bool topLevel);

// The first child of `parent` with this type, or nothing.
std::optional<ClassicAtom> findClassicChild(const std::uint8_t* block, std::size_t blockSize, const ClassicAtom& parent,
                                            OSType type);

// Where one sample of a track lies, from the payloads of its sample-to-chunk, sample size
// and chunk offset tables (each payload taken whole, version and flags included).
struct SampleTablePayloads {
  const std::uint8_t* stsc = nullptr;
  std::size_t stscSize = 0;
  const std::uint8_t* stsz = nullptr;
  std::size_t stszSize = 0;
  const std::uint8_t* chunkOffsets = nullptr;  // stco or co64
  std::size_t chunkOffsetsSize = 0;
  bool chunkOffsets64 = false;
};
struct SampleLocation {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
};
// `sampleIndex` counts from 0. Nothing when the tables are malformed or too short.
std::optional<SampleLocation> locateSample(const SampleTablePayloads& tables, std::uint32_t sampleIndex);
// The sample count of the sample size table, or nothing when it is malformed.
std::optional<std::uint32_t> sampleCount(const SampleTablePayloads& tables);

// "'moov'" for printable codes, "0x0000ABCD" otherwise.
std::string fourCCText(OSType type);

}  // namespace kelmira

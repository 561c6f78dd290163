#include "movie/quicktime/classic_atom_reader.h"

#include <cstdio>

#include "movie/quicktime/big_endian.h"

namespace kelmira {

ClassicAtomList readClassicAtoms(const std::uint8_t* block, std::size_t blockSize, std::uint64_t begin,
                                 std::uint64_t end, bool topLevel) {
  ClassicAtomList list;
  if (begin > end || end > blockSize) {
    list.error = "range outside the file";
    return list;
  }
  std::uint64_t at = begin;
  while (at < end) {
    const std::uint64_t room = end - at;
    ByteReader reader(block + at, static_cast<std::size_t>(room));
    if (room < 8) {
      if (room == 4 && reader.u32() == 0) break;
      list.error = "stray bytes at offset " + std::to_string(at);
      break;
    }
    ClassicAtom atom;
    atom.offset = at;
    atom.size = reader.u32();
    atom.type = reader.u32();
    if (atom.size == 1) {
      atom.headerSize = 16;
      atom.size = reader.u64();
      if (reader.failed()) {
        list.error = "64-bit size cut off at offset " + std::to_string(at);
        break;
      }
    } else if (atom.size == 0) {
      if (!topLevel) {
        list.error = "size 0 below the top level at offset " + std::to_string(at);
        break;
      }
      atom.size = room;
    }
    if (atom.size < atom.headerSize || atom.size > room) {
      list.error = "atom " + fourCCText(atom.type) + " at offset " + std::to_string(at) + " has size " +
                   std::to_string(atom.size) + " but " + std::to_string(room) + " bytes remain";
      break;
    }
    list.atoms.push_back(atom);
    at += atom.size;
  }
  return list;
}

std::optional<ClassicAtom> findClassicChild(const std::uint8_t* block, std::size_t blockSize, const ClassicAtom& parent,
                                            OSType type) {
  const ClassicAtomList children = readClassicAtoms(block, blockSize, parent.payloadOffset(), parent.end(), false);
  for (const ClassicAtom& child : children.atoms)
    if (child.type == type) return child;
  return std::nullopt;
}

namespace {

constexpr std::size_t kFullAtomHeader = 4;  // version and flags

struct SizeTable {
  std::uint32_t uniformSize = 0;
  std::uint32_t count = 0;
  const std::uint8_t* entries = nullptr;
  std::uint32_t sizeOf(std::uint32_t index) const {
    if (uniformSize != 0) return uniformSize;
    ByteReader reader(entries + std::size_t(index) * 4, 4);
    return reader.u32();
  }
};

std::optional<SizeTable> readSizeTable(const SampleTablePayloads& tables) {
  if (!tables.stsz) return std::nullopt;
  ByteReader reader(tables.stsz, tables.stszSize);
  reader.skip(kFullAtomHeader);
  SizeTable table;
  table.uniformSize = reader.u32();
  table.count = reader.u32();
  if (reader.failed()) return std::nullopt;
  if (table.uniformSize == 0) {
    if (table.count > reader.remaining() / 4) return std::nullopt;
    table.entries = tables.stsz + reader.position();
  }
  return table;
}

std::optional<std::uint64_t> chunkOffset(const SampleTablePayloads& tables, std::uint64_t chunkNumber) {
  if (!tables.chunkOffsets || chunkNumber == 0) return std::nullopt;
  ByteReader reader(tables.chunkOffsets, tables.chunkOffsetsSize);
  reader.skip(kFullAtomHeader);
  const std::uint32_t count = reader.u32();
  const std::size_t entrySize = tables.chunkOffsets64 ? 8 : 4;
  if (reader.failed() || chunkNumber > count || count > reader.remaining() / entrySize) return std::nullopt;
  reader.skip(static_cast<std::size_t>(chunkNumber - 1) * entrySize);
  return tables.chunkOffsets64 ? reader.u64() : reader.u32();
}

std::optional<std::uint32_t> chunkCount(const SampleTablePayloads& tables) {
  if (!tables.chunkOffsets) return std::nullopt;
  ByteReader reader(tables.chunkOffsets, tables.chunkOffsetsSize);
  reader.skip(kFullAtomHeader);
  const std::uint32_t count = reader.u32();
  if (reader.failed()) return std::nullopt;
  return count;
}

}  // namespace

std::optional<std::uint32_t> sampleCount(const SampleTablePayloads& tables) {
  const auto sizes = readSizeTable(tables);
  if (!sizes) return std::nullopt;
  return sizes->count;
}

std::optional<SampleLocation> locateSample(const SampleTablePayloads& tables, std::uint32_t sampleIndex) {
  const auto sizes = readSizeTable(tables);
  const auto chunks = chunkCount(tables);
  if (!sizes || !chunks || sampleIndex >= sizes->count || !tables.stsc) return std::nullopt;

  ByteReader reader(tables.stsc, tables.stscSize);
  reader.skip(kFullAtomHeader);
  const std::uint32_t runs = reader.u32();
  if (reader.failed() || runs > reader.remaining() / 12) return std::nullopt;

  // Each run covers the chunks from its first chunk up to the next run's first chunk.
  std::uint64_t firstSampleOfRun = 0;
  std::uint32_t firstChunk = reader.u32();
  std::uint32_t samplesPerChunk = reader.u32();
  reader.skip(4);
  for (std::uint32_t run = 0; run < runs; ++run) {
    std::uint64_t nextFirstChunk = std::uint64_t(*chunks) + 1;
    std::uint32_t nextSamplesPerChunk = 0;
    if (run + 1 < runs) {
      nextFirstChunk = reader.u32();
      nextSamplesPerChunk = reader.u32();
      reader.skip(4);
    }
    if (firstChunk == 0 || nextFirstChunk <= firstChunk) return std::nullopt;
    const std::uint64_t samplesInRun = (nextFirstChunk - firstChunk) * samplesPerChunk;
    if (sampleIndex < firstSampleOfRun + samplesInRun) {
      const std::uint64_t intoRun = sampleIndex - firstSampleOfRun;
      const std::uint64_t chunk = firstChunk + intoRun / samplesPerChunk;
      const std::uint64_t intoChunk = intoRun % samplesPerChunk;
      auto offset = chunkOffset(tables, chunk);
      if (!offset) return std::nullopt;
      if (sizes->uniformSize != 0) {
        *offset += intoChunk * sizes->uniformSize;
      } else {
        for (std::uint64_t i = sampleIndex - intoChunk; i < sampleIndex; ++i)
          *offset += sizes->sizeOf(static_cast<std::uint32_t>(i));
      }
      return SampleLocation{*offset, sizes->sizeOf(sampleIndex)};
    }
    firstSampleOfRun += samplesInRun;
    firstChunk = static_cast<std::uint32_t>(nextFirstChunk);
    samplesPerChunk = nextSamplesPerChunk;
  }
  return std::nullopt;
}

std::string fourCCText(OSType type) {
  char text[16];
  bool printable = true;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const unsigned c = (type >> shift) & 0xFF;
    if (c < 0x20 || c > 0x7E) printable = false;
  }
  if (printable) {
    std::snprintf(text, sizeof text, "'%c%c%c%c'", char(type >> 24), char(type >> 16), char(type >> 8), char(type));
  } else {
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(type));
  }
  return text;
}

}  // namespace kelmira

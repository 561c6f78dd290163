#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// The one reader of classic atom headers (size, type, payload). The movie reader, the
// search for the movie atom in a file and the movie dump all walk atoms through it.

// One classic atom found inside a byte block. Offsets are from the start of the block.
struct ClassicAtom {
  OSType type = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;        // header included
  std::uint32_t headerSize = 8;  // 16 when a 64-bit size follows the type
  std::uint64_t payloadOffset() const { return offset + headerSize; }
  std::uint64_t payloadSize() const { return size - headerSize; }
  std::uint64_t end() const { return offset + size; }
};

// The atom whose header is the first `available` bytes of `header` (8 are needed, 16
// when the size is 64-bit), found at `offset` with `room` bytes left in its parent. A size
// of 0 (to the end) is taken only at the top level. Nothing, with `why` set, when the
// header is cut short or the atom does not fit.
std::optional<ClassicAtom> readAtomHeader(const std::uint8_t* header, std::size_t available, std::uint64_t offset,
                                          std::uint64_t room, bool topLevel, std::string& why);

// The atoms lying back to back in [begin, end) of a block of `blockSize` bytes. Reading
// stops at the first atom whose header or size does not fit; `error` then says why and
// the atoms before it are kept. Fewer bytes than a header after the last atom are
// `strayTail`, an error too, unless they are QuickTime's end-of-list marker: a 32-bit zero.
struct ClassicAtomList {
  std::vector<ClassicAtom> atoms;
  std::string error;
  bool strayTail = false;  // the only fault is the bytes after the last atom
};
ClassicAtomList readClassicAtoms(const std::uint8_t* block, std::size_t blockSize, std::uint64_t begin,
                                 std::uint64_t end, bool topLevel);

// The first child of `parent` with this type, or nothing.
std::optional<ClassicAtom> findClassicChild(const std::uint8_t* block, std::size_t blockSize, const ClassicAtom& parent,
                                            OSType type);

// The head of a full atom's table read from its payload: version and flags, then an entry
// count that the bytes after it must hold at `entrySize` bytes an entry. Nothing when they
// do not; the reader is left at the first entry.
std::optional<std::uint32_t> readTableEntryCount(ByteReader& payload, std::size_t entrySize);

// "'moov'" for printable codes, "0x0000ABCD" otherwise.
std::string fourCCText(OSType type);

}  // namespace kelmira

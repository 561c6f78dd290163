#include "movie/quicktime/atom_walker.h"

#include <algorithm>
#include <cstdio>

#include "movie/quicktime/big_endian.h"

namespace kelmira {

std::optional<ClassicAtom> readAtomHeader(const std::uint8_t* header, std::size_t available, std::uint64_t offset,
                                          std::uint64_t room, bool topLevel, std::string& why) {
  ByteReader reader(header, static_cast<std::size_t>(std::min<std::uint64_t>(available, room)));
  if (reader.remaining() < 8) {
    why = "stray bytes at offset " + std::to_string(offset);
    return std::nullopt;
  }
  ClassicAtom atom;
  atom.offset = offset;
  atom.size = reader.u32();
  atom.type = reader.u32();
  if (atom.size == 1) {
    atom.headerSize = 16;
    atom.size = reader.u64();
    if (reader.failed()) {
      why = "64-bit size cut off at offset " + std::to_string(offset);
      return std::nullopt;
    }
  } else if (atom.size == 0) {
    if (!topLevel) {
      why = "size 0 below the top level at offset " + std::to_string(offset);
      return std::nullopt;
    }
    atom.size = room;
  }
  if (atom.size < atom.headerSize || atom.size > room) {
    why = "atom " + fourCCText(atom.type) + " at offset " + std::to_string(offset) + " has size " +
          std::to_string(atom.size) + " but " + std::to_string(room) + " bytes remain";
    return std::nullopt;
  }
  return atom;
}

ClassicAtomList readClassicAtoms(const std::uint8_t* block, std::size_t blockSize, std::uint64_t begin,
                                 std::uint64_t end, bool topLevel) {
  ClassicAtomList list;
  if (begin > end || end > blockSize) {
    list.error = "range outside the file";
    return list;
  }
  for (std::uint64_t at = begin; at < end;) {
    const std::uint64_t room = end - at;
    if (room < 8) {
      if (room == 4 && ByteReader(block + at, 4).u32() == 0) break;
      list.strayTail = true;
    }
    const std::optional<ClassicAtom> atom =
        readAtomHeader(block + at, static_cast<std::size_t>(room), at, room, topLevel, list.error);
    if (!atom) break;
    list.atoms.push_back(*atom);
    at = atom->end();
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

std::optional<std::uint32_t> readTableEntryCount(ByteReader& payload, std::size_t entrySize) {
  payload.skip(4);  // version, flags
  const std::uint32_t count = payload.u32();
  if (payload.failed() || count > payload.remaining() / entrySize) return std::nullopt;
  return count;
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

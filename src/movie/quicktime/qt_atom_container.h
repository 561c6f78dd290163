#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// A QT atom is named by a handle into its container; 0 is the container's root.
using QTAtom = std::int32_t;
using QTAtomType = OSType;
using QTAtomID = std::int32_t;

inline constexpr QTAtom kParentAtomIsContainer = 0;
inline constexpr QTAtomType kRootAtomType = fourCC("sean");
inline constexpr std::size_t kAtomContainerHeaderSize = 12;
inline constexpr std::size_t kAtomHeaderSize = 20;

// A tree of typed, numbered atoms; each atom holds either data or children, never both.
// Handles stay valid for the container's life because atoms are never removed.
class AtomContainer {
 public:
  AtomContainer();

  bool isValid(QTAtom atom) const { return atom >= 0 && static_cast<std::size_t>(atom) < nodes_.size(); }
  QTAtomType type(QTAtom atom) const { return nodes_[atom].type; }
  QTAtomID id(QTAtom atom) const { return nodes_[atom].id; }
  QTAtom parent(QTAtom atom) const { return nodes_[atom].parent; }
  const ByteBuffer& data(QTAtom atom) const { return nodes_[atom].data; }
  // All children in file order, whatever their type.
  const std::vector<QTAtom>& children(QTAtom atom) const { return nodes_[atom].children; }

  OSErr insertChild(QTAtom parent, QTAtomType type, QTAtomID id, int index, std::int64_t dataSize, const void* data,
                    QTAtom* newAtom);

  // The 12-byte container header, then the root and its descendants depth first.
  ByteBuffer bytes() const;

 private:
  friend OSErr parseAtomContainer(const std::uint8_t*, std::size_t, std::unique_ptr<AtomContainer>&);
  struct Node {
    QTAtomType type = 0;
    QTAtomID id = 0;
    QTAtom parent = 0;
    std::vector<QTAtom> children;
    ByteBuffer data;
  };
  QTAtom addNode(QTAtom parent, QTAtomType type, QTAtomID id);
  bool hasUniqueIds() const;
  std::vector<Node> nodes_;
  std::uint64_t totalSize_ = kAtomContainerHeaderSize + kAtomHeaderSize;
};

using QTAtomContainer = std::unique_ptr<AtomContainer>;

// The toolbox's container calls. A null container is paramErr; an unknown atom handle
// invalidAtomErr.
OSErr qtNewAtomContainer(QTAtomContainer& container);
void qtDisposeAtomContainer(QTAtomContainer& container);
// id 0 picks the lowest positive id unused by the parent's children of that type; index
// k (1-based) places the atom before the k-th child of that type, index 0 or one past the
// last of that type appends it at the end of the parent's children.
OSErr qtInsertChild(AtomContainer* container, QTAtom parentAtom, QTAtomType type, QTAtomID id, int index,
                    std::int64_t dataSize, const void* data, QTAtom* newAtom);
OSErr qtGetAtomTypeAndID(const AtomContainer* container, QTAtom atom, QTAtomType* type, QTAtomID* id);
// 0 when there is no such child.
QTAtom qtFindChildByIndex(const AtomContainer* container, QTAtom parentAtom, QTAtomType type, int index, QTAtomID* id);
QTAtom qtFindChildByID(const AtomContainer* container, QTAtom parentAtom, QTAtomType type, QTAtomID id, int* index);

// Reads container bytes back into a tree. Malformed bytes give invalidAtomContainerErr
// and leave `container` empty. Nesting deeper than kMaxAtomDepth below the root is refused.
inline constexpr int kMaxAtomDepth = 32;
OSErr parseAtomContainer(const std::uint8_t* bytes, std::size_t size, QTAtomContainer& container);
inline OSErr parseAtomContainer(const ByteBuffer& bytes, QTAtomContainer& container) {
  return parseAtomContainer(bytes.data(), bytes.size(), container);
}

}  // namespace kelmira

#include "movie/quicktime/qt_atom_container.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

namespace kelmira {

namespace {

// Sizes and child counts must fit their 32- and 16-bit header fields.
constexpr std::uint64_t kMaxContainerSize = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kMaxChildren = std::numeric_limits<std::uint16_t>::max();

}  // namespace

AtomContainer::AtomContainer() { addNode(-1, kRootAtomType, 1); }

QTAtom AtomContainer::addNode(QTAtom parent, QTAtomType type, QTAtomID id) {
  Node node;
  node.type = type;
  node.id = id;
  node.parent = parent;
  nodes_.push_back(std::move(node));
  return static_cast<QTAtom>(nodes_.size() - 1);
}

OSErr AtomContainer::insertChild(QTAtom parentAtom, QTAtomType type, QTAtomID id, int index, std::int64_t dataSize,
                                 const void *data, QTAtom *newAtom) {
  if (!isValid(parentAtom)) return invalidAtomErr;
  if (index < 0 || dataSize < 0) return paramErr;
  const Node &parentNode = nodes_[parentAtom];
  if (!parentNode.data.empty()) return invalidAtomErr;  // a leaf with data cannot take children
  if (parentNode.children.size() >= kMaxChildren) return paramErr;
  if (totalSize_ + kAtomHeaderSize + static_cast<std::uint64_t>(dataSize) > kMaxContainerSize) return memFullErr;

  try {
    std::vector<QTAtomID> usedIds;
    std::vector<std::size_t> positionsOfType;
    for (std::size_t i = 0; i < parentNode.children.size(); ++i) {
      const Node &sibling = nodes_[parentNode.children[i]];
      if (sibling.type != type) continue;
      usedIds.push_back(sibling.id);
      positionsOfType.push_back(i);
    }
    if (id == 0) {
      std::sort(usedIds.begin(), usedIds.end());
      id = 1;
      for (QTAtomID used : usedIds) {
        if (used == id)
          ++id;
        else if (used > id)
          break;
      }
    } else if (std::find(usedIds.begin(), usedIds.end(), id) != usedIds.end()) {
      return duplicateAtomTypeAndIDErr;
    }
    if (static_cast<std::size_t>(index) > positionsOfType.size() + 1) return paramErr;

    std::size_t position = parentNode.children.size();
    if (index != 0 && static_cast<std::size_t>(index) <= positionsOfType.size()) position = positionsOfType[index - 1];

    ByteBuffer bytes;
    if (data) {
      const auto *p = static_cast<const std::uint8_t *>(data);
      bytes.assign(p, p + dataSize);
    } else {
      bytes.assign(static_cast<std::size_t>(dataSize), 0);
    }
    const QTAtom atom = addNode(parentAtom, type, id);
    nodes_[atom].data = std::move(bytes);
    auto &siblings = nodes_[parentAtom].children;
    try {
      siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(position), atom);
    } catch (const std::bad_alloc &) {
      nodes_.pop_back();
      throw;
    }
    totalSize_ += kAtomHeaderSize + static_cast<std::uint64_t>(dataSize);
    if (newAtom) *newAtom = atom;
  } catch (const std::bad_alloc &) {
    return memFullErr;
  }
  return noErr;
}

ByteBuffer AtomContainer::bytes() const {
  std::vector<std::uint64_t> sizes(nodes_.size(), 0);
  for (std::size_t i = nodes_.size(); i-- > 0;) {
    std::uint64_t size = kAtomHeaderSize + nodes_[i].data.size();
    for (QTAtom child : nodes_[i].children) size += sizes[child];
    sizes[i] = size;
  }
  ByteBuffer out(kAtomContainerHeaderSize,
                 0);  // reserved bytes and a lock count of 0
  out.reserve(kAtomContainerHeaderSize + sizes[0]);
  ByteWriter writer(out);
  std::vector<QTAtom> pending{kParentAtomIsContainer};
  while (!pending.empty()) {
    const QTAtom atom = pending.back();
    pending.pop_back();
    const Node &node = nodes_[atom];
    writer.u32(static_cast<std::uint32_t>(sizes[atom]));
    writer.u32(node.type);
    writer.s32(node.id);
    writer.u16(0);
    writer.u16(static_cast<std::uint32_t>(node.children.size()));
    writer.u32(0);
    writer.bytes(node.data.data(), node.data.size());
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) pending.push_back(*child);
  }
  return out;
}

bool AtomContainer::hasUniqueIds() const {
  std::vector<std::pair<QTAtomType, QTAtomID>> keys;
  for (const Node &node : nodes_) {
    keys.clear();
    for (QTAtom child : node.children) keys.emplace_back(nodes_[child].type, nodes_[child].id);
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.begin(), keys.end()) != keys.end()) return false;
  }
  return true;
}

OSErr qtNewAtomContainer(QTAtomContainer &container) {
  try {
    container = std::make_unique<AtomContainer>();
  } catch (const std::bad_alloc &) {
    container.reset();
    return memFullErr;
  }
  return noErr;
}

void qtDisposeAtomContainer(QTAtomContainer &container) { container.reset(); }

OSErr qtInsertChild(AtomContainer *container, QTAtom parentAtom, QTAtomType type, QTAtomID id, int index,
                    std::int64_t dataSize, const void *data, QTAtom *newAtom) {
  if (!container) return paramErr;
  return container->insertChild(parentAtom, type, id, index, dataSize, data, newAtom);
}

OSErr qtGetAtomTypeAndID(const AtomContainer *container, QTAtom atom, QTAtomType *type, QTAtomID *id) {
  if (!container) return paramErr;
  if (!container->isValid(atom)) return invalidAtomErr;
  if (type) *type = container->type(atom);
  if (id) *id = container->id(atom);
  return noErr;
}

QTAtom qtFindChildByIndex(const AtomContainer *container, QTAtom parentAtom, QTAtomType type, int index, QTAtomID *id) {
  if (!container || !container->isValid(parentAtom) || index < 1) return 0;
  int seen = 0;
  for (QTAtom child : container->children(parentAtom)) {
    if (container->type(child) != type || ++seen != index) continue;
    if (id) *id = container->id(child);
    return child;
  }
  return 0;
}

QTAtom qtFindChildByID(const AtomContainer *container, QTAtom parentAtom, QTAtomType type, QTAtomID id, int *index) {
  if (!container || !container->isValid(parentAtom)) return 0;
  int seen = 0;
  for (QTAtom child : container->children(parentAtom)) {
    if (container->type(child) != type) continue;
    ++seen;
    if (container->id(child) != id) continue;
    if (index) *index = seen;
    return child;
  }
  return 0;
}

namespace {

struct OpenParent {
  QTAtom atom;
  std::size_t end;  // offset just past this atom's last child
  int depth;
  std::uint16_t childrenLeft;
};

}  // namespace

OSErr parseAtomContainer(const std::uint8_t *bytes, std::size_t size, QTAtomContainer &container) {
  container.reset();
  if (!bytes || size < kAtomContainerHeaderSize + kAtomHeaderSize) return invalidAtomContainerErr;
  QTAtomContainer result;
  if (const OSErr err = qtNewAtomContainer(result)) return err;
  ByteReader reader(bytes, size);
  reader.skip(kAtomContainerHeaderSize);

  struct Header {
    std::uint32_t size;
    QTAtomType type;
    QTAtomID id;
    std::uint16_t childCount;
  };
  const auto readHeader = [&reader]() {
    Header header;
    header.size = reader.u32();
    header.type = reader.u32();
    header.id = static_cast<QTAtomID>(reader.u32());
    reader.skip(2);
    header.childCount = static_cast<std::uint16_t>(reader.u16());
    reader.skip(4);
    return header;
  };

  const std::size_t rootStart = reader.position();
  const Header root = readHeader();
  if (root.type != kRootAtomType || root.size < kAtomHeaderSize || root.size != size - rootStart)
    return invalidAtomContainerErr;
  AtomContainer &tree = *result;
  tree.nodes_[0].id = root.id;

  // The root holds no data of its own: an empty container is its bare header.
  if (root.childCount == 0 && root.size != kAtomHeaderSize) return invalidAtomContainerErr;

  // Each entry is an atom whose children are still being read; children are
  // checked against the room their parent's size leaves, so no size can point
  // outside the bytes.
  std::vector<OpenParent> open{{kParentAtomIsContainer, size, 0, static_cast<std::uint16_t>(root.childCount)}};
  try {
    while (!open.empty()) {
      OpenParent &parent = open.back();
      if (parent.childrenLeft == 0) {
        if (reader.position() != parent.end) return invalidAtomContainerErr;
        open.pop_back();
        continue;
      }
      --parent.childrenLeft;
      const std::size_t start = reader.position();
      if (parent.end - start < kAtomHeaderSize) return invalidAtomContainerErr;
      const Header header = readHeader();
      if (reader.failed() || header.size < kAtomHeaderSize || header.size > parent.end - start)
        return invalidAtomContainerErr;
      const QTAtom parentAtom = parent.atom;
      const int depth = parent.depth + 1;
      if (depth > kMaxAtomDepth) return invalidAtomContainerErr;
      const QTAtom atom = tree.addNode(parentAtom, header.type, header.id);
      tree.nodes_[parentAtom].children.push_back(atom);
      const std::size_t end = start + header.size;
      tree.totalSize_ += kAtomHeaderSize;
      if (header.childCount == 0) {
        const std::size_t dataSize = end - reader.position();
        tree.nodes_[atom].data.assign(bytes + reader.position(), bytes + end);
        tree.totalSize_ += dataSize;
        reader.skip(dataSize);
      } else {
        open.push_back({atom, end, depth, header.childCount});
      }
    }
    if (reader.position() != size || !tree.hasUniqueIds()) return invalidAtomContainerErr;
  } catch (const std::bad_alloc &) {
    return memFullErr;
  }
  container = std::move(result);
  return noErr;
}

}  // namespace kelmira

#include "image/octree_palette.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "image/layer_state.h"
#include "image/scratch_buffer.h"

namespace kelmira {

namespace {

// The tree is complete and stored level by level: the node at depth d with path p (three
// bits per level, red bit highest) sits at kLevelStart[d] + p. Leaves are at depth 5.
constexpr int kLeafDepth = 5;
constexpr std::uint32_t kLevelStart[kLeafDepth + 2] = {0, 1, 9, 73, 585, 4681, 37449};
constexpr std::uint32_t kNodeCount = kLevelStart[kLeafDepth + 1];
constexpr std::uint32_t kLeafCount = kNodeCount - kLevelStart[kLeafDepth];

struct OctreeNode {
  std::uint64_t red = 0;
  std::uint64_t green = 0;
  std::uint64_t blue = 0;
  std::uint64_t count = 0;    // pixels held by the node itself
  std::uint64_t subtree = 0;  // pixels sorted into the node's subtree; the heap key
  std::uint8_t children = 0;  // bit c set while child c is populated
};

// Spreads the five bits of v three places apart, so that the top five bits of the three
// channels interleave into a leaf path.
constexpr std::array<std::uint32_t, 32> kSpread = [] {
  std::array<std::uint32_t, 32> spread{};
  for (std::uint32_t v = 0; v < 32; ++v) {
    for (int bit = 0; bit < 5; ++bit) spread[v] |= ((v >> bit) & 1u) << (3 * bit);
  }
  return spread;
}();

int depthOf(std::uint32_t node) {
  int depth = 0;
  while (node >= kLevelStart[depth + 1]) ++depth;
  return depth;
}

class NodeHeap {
 public:
  NodeHeap(std::uint32_t* slots, const OctreeNode* nodes) : slots_(slots), nodes_(nodes) {}

  std::uint32_t size() const { return size_; }
  std::uint32_t top() const { return slots_[0]; }

  void push(std::uint32_t node) {
    std::uint32_t at = size_++;
    while (at > 0) {
      const std::uint32_t parent = (at - 1) / 2;
      if (!less(node, slots_[parent])) break;
      slots_[at] = slots_[parent];
      at = parent;
    }
    slots_[at] = node;
  }

  void replaceTop(std::uint32_t node) {
    slots_[0] = node;
    siftDown();
  }

  void popTop() {
    slots_[0] = slots_[--size_];
    siftDown();
  }

 private:
  bool less(std::uint32_t a, std::uint32_t b) const { return nodes_[a].subtree < nodes_[b].subtree; }

  void siftDown() {
    if (size_ == 0) return;
    const std::uint32_t node = slots_[0];
    std::uint32_t at = 0;
    for (;;) {
      std::uint32_t child = 2 * at + 1;
      if (child >= size_) break;
      if (child + 1 < size_ && less(slots_[child + 1], slots_[child])) ++child;
      if (!less(slots_[child], node)) break;
      slots_[at] = slots_[child];
      at = child;
    }
    slots_[at] = node;
  }

  std::uint32_t* slots_;
  const OctreeNode* nodes_;
  std::uint32_t size_ = 0;
};

// Children 7 down to 0 first, then the node itself.
void collectColours(const OctreeNode* nodes, int depth, std::uint32_t path, std::array<std::uint8_t, 1024>& table,
                    std::uint32_t& used) {
  const OctreeNode& node = nodes[kLevelStart[depth] + path];
  if (depth < kLeafDepth) {
    for (int child = 7; child >= 0; --child) {
      if ((node.children >> child) & 1u) collectColours(nodes, depth + 1, (path << 3) | child, table, used);
    }
  }
  if (node.count == 0 || used >= 256) return;
  const std::uint64_t half = node.count / 2;
  std::uint8_t* entry = table.data() + 4 * used++;
  entry[0] = static_cast<std::uint8_t>((node.blue + half) / node.count);
  entry[1] = static_cast<std::uint8_t>((node.green + half) / node.count);
  entry[2] = static_cast<std::uint8_t>((node.red + half) / node.count);
  entry[3] = 0;
}

}  // namespace

bool reducePalette(const std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t colourCount,
                   std::array<std::uint8_t, 1024>& table) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  const auto wanted = static_cast<std::uint32_t>(std::max(1, std::min(256, colourCount)));
  auto nodes = detail::tryAllocate<OctreeNode>(kNodeCount);
  auto heapSlots = detail::tryAllocate<std::uint32_t>(kLeafCount);
  if (!nodes || !heapSlots) {
    call.fail(ImageError::OutOfMemory);
    return false;
  }
  OctreeNode* const leaves = nodes.get() + kLevelStart[kLeafDepth];

  if (!call.progress(0, 4)) return false;
  const std::size_t bytes = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (const std::uint8_t* p = pixels; p != pixels + bytes; p += 3) {
    OctreeNode& leaf = leaves[kSpread[p[0] >> 3] << 2 | kSpread[p[1] >> 3] << 1 | kSpread[p[2] >> 3]];
    leaf.red += p[0];
    leaf.green += p[1];
    leaf.blue += p[2];
    ++leaf.count;
  }
  // Ancestors learn their subtree counts and populated children once per leaf rather
  // than once per pixel.
  for (std::uint32_t path = 0; path < kLeafCount; ++path) {
    const std::uint64_t count = leaves[path].count;
    if (count == 0) continue;
    leaves[path].subtree = count;
    std::uint32_t below = path;
    for (int depth = kLeafDepth - 1; depth >= 0; --depth) {
      OctreeNode& ancestor = nodes[kLevelStart[depth] + (below >> 3)];
      ancestor.subtree += count;
      ancestor.children |= static_cast<std::uint8_t>(1u << (below & 7));
      below >>= 3;
    }
  }

  if (!call.progress(1, 4)) return false;
  NodeHeap heap(heapSlots.get(), nodes.get());
  for (std::uint32_t path = 0; path < kLeafCount; ++path) {
    if (leaves[path].count != 0) heap.push(kLevelStart[kLeafDepth] + path);
  }
  while (heap.size() > wanted) {
    const std::uint32_t smallest = heap.top();
    const int depth = depthOf(smallest);
    if (depth == 0) break;  // the root has no parent to fold into
    const std::uint32_t path = smallest - kLevelStart[depth];
    const std::uint32_t parentIndex = kLevelStart[depth - 1] + (path >> 3);
    OctreeNode& node = nodes[smallest];
    OctreeNode& parent = nodes[parentIndex];
    const bool parentHeldPixels = parent.count != 0;
    parent.red += std::exchange(node.red, 0);
    parent.green += std::exchange(node.green, 0);
    parent.blue += std::exchange(node.blue, 0);
    parent.count += std::exchange(node.count, 0);
    parent.children &= static_cast<std::uint8_t>(~(1u << (path & 7)));
    if (parentHeldPixels) {
      heap.popTop();
    } else {
      heap.replaceTop(parentIndex);
    }
  }

  if (!call.progress(2, 4)) return false;
  std::array<std::uint8_t, 1024> colours{};
  std::uint32_t used = 0;
  collectColours(nodes.get(), 0, 0, colours, used);

  if (!call.progress(3, 4)) return false;
  table = colours;
  return true;
}

}  // namespace kelmira

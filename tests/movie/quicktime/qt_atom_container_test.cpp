#include "movie/quicktime/qt_atom_container.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/hex_bytes.h"

namespace kelmira {
namespace {

using test::hexBytes;

// The children of an atom as (type, id) in file order.
std::vector<std::pair<std::string, QTAtomID>> childList(const AtomContainer& c, QTAtom parent) {
  std::vector<std::pair<std::string, QTAtomID>> list;
  for (QTAtom child : c.children(parent)) {
    const OSType t = c.type(child);
    list.emplace_back(std::string{char(t >> 24), char(t >> 16), char(t >> 8), char(t)}, c.id(child));
  }
  return list;
}

QTAtomID insertedId(AtomContainer* c, QTAtom parent, const char (&type)[5], QTAtomID id, int index = 0) {
  QTAtom atom = 0;
  EXPECT_EQ(qtInsertChild(c, parent, fourCC(type), id, index, 0, nullptr, &atom), noErr);
  QTAtomID got = -1;
  EXPECT_EQ(qtGetAtomTypeAndID(c, atom, nullptr, &got), noErr);
  return got;
}

TEST(QtAtomContainer, EmptyAndSmallContainersHaveTheirExactBytes) {
  QTAtomContainer c;
  ASSERT_EQ(qtNewAtomContainer(c), noErr);
  EXPECT_EQ(c->bytes(), hexBytes("00000000 00000000 0000 0000"
                                 "00000014 'sean' 00000001 0000 0000 00000000"));

  const std::uint8_t three[] = {1, 2, 3};
  QTAtom parent = 0;
  QTAtom leaf = 0;
  ASSERT_EQ(qtInsertChild(c.get(), kParentAtomIsContainer, fourCC("abcd"), 7, 0, 3, three, nullptr), noErr);
  ASSERT_EQ(qtInsertChild(c.get(), kParentAtomIsContainer, fourCC("pare"), 1, 0, 0, nullptr, &parent), noErr);
  ASSERT_EQ(qtInsertChild(c.get(), parent, fourCC("leaf"), 2, 0, 0, nullptr, &leaf), noErr);
  ASSERT_EQ(qtInsertChild(c.get(), leaf, fourCC("deep"), 1, 0, 2, nullptr, nullptr), noErr);
  EXPECT_EQ(c->bytes(), hexBytes("00000000 00000000 0000 0000"
                                 "00000069 'sean' 00000001 0000 0002 00000000"
                                 "00000017 'abcd' 00000007 0000 0000 00000000 010203"
                                 "0000003E 'pare' 00000001 0000 0001 00000000"
                                 "0000002A 'leaf' 00000002 0000 0001 00000000"
                                 "00000016 'deep' 00000001 0000 0000 00000000 0000"));
}

TEST(QtAtomContainer, IdZeroTakesTheLowestFreeIdAmongSiblingsOfThatType) {
  QTAtomContainer c;
  ASSERT_EQ(qtNewAtomContainer(c), noErr);
  QTAtom imaging = 0;
  ASSERT_EQ(qtInsertChild(c.get(), 0, fourCC("imgp"), 1, 1, 0, nullptr, &imaging), noErr);
  EXPECT_EQ(insertedId(c.get(), imaging, "impn", 0), 1);
  EXPECT_EQ(insertedId(c.get(), imaging, "impn", 0), 2);
  EXPECT_EQ(insertedId(c.get(), imaging, "impn", 5), 5);
  EXPECT_EQ(insertedId(c.get(), imaging, "impn", 0), 3);
  EXPECT_EQ(insertedId(c.get(), imaging, "impn", 4), 4);
  EXPECT_EQ(insertedId(c.get(), imaging, "impn", 0), 6);
  // Other types and other parents keep their own numbering.
  EXPECT_EQ(insertedId(c.get(), imaging, "vrsg", 0), 1);
  EXPECT_EQ(insertedId(c.get(), 0, "impn", 0), 1);

  EXPECT_EQ(qtInsertChild(c.get(), imaging, fourCC("impn"), 5, 0, 0, nullptr, nullptr), duplicateAtomTypeAndIDErr);
  EXPECT_EQ(qtInsertChild(c.get(), imaging, fourCC("vrsg"), 1, 0, 0, nullptr, nullptr), duplicateAtomTypeAndIDErr);
  EXPECT_NE(qtFindChildByIndex(c.get(), imaging, fourCC("impn"), 6, nullptr), 0);  // six of them
  EXPECT_EQ(qtFindChildByIndex(c.get(), imaging, fourCC("impn"), 7, nullptr), 0);
}

TEST(QtAtomContainer, IndexPlacesTheAtomAmongSiblingsOfItsType) {
  QTAtomContainer c;
  ASSERT_EQ(qtNewAtomContainer(c), noErr);
  AtomContainer* p = c.get();
  insertedId(p, 0, "aaaa", 1, 0);
  insertedId(p, 0, "bbbb", 1, 0);
  insertedId(p, 0, "aaaa", 2, 1);  // before the first 'aaaa'
  insertedId(p, 0, "aaaa", 3, 0);  // at the end of all children
  insertedId(p, 0, "aaaa", 4, 3);  // before the third 'aaaa', which is id 3
  insertedId(p, 0, "aaaa", 5, 5);  // one past the last 'aaaa' appends
  insertedId(p, 0, "cccc", 1, 1);  // first of a new type appends
  using L = std::vector<std::pair<std::string, QTAtomID>>;
  EXPECT_EQ(childList(*c, 0),
            (L{{"aaaa", 2}, {"aaaa", 1}, {"bbbb", 1}, {"aaaa", 4}, {"aaaa", 3}, {"aaaa", 5}, {"cccc", 1}}));

  EXPECT_EQ(qtInsertChild(p, 0, fourCC("aaaa"), 9, 7, 0, nullptr, nullptr), paramErr);
  EXPECT_EQ(qtInsertChild(p, 0, fourCC("dddd"), 1, 2, 0, nullptr, nullptr), paramErr);
  EXPECT_EQ(qtInsertChild(p, 0, fourCC("dddd"), 1, -1, 0, nullptr, nullptr), paramErr);

  QTAtomID id = 0;
  const QTAtom third = qtFindChildByIndex(p, 0, fourCC("aaaa"), 3, &id);
  EXPECT_EQ(id, 4);
  int index = 0;
  EXPECT_EQ(qtFindChildByID(p, 0, fourCC("aaaa"), 4, &index), third);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(qtFindChildByIndex(p, 0, fourCC("aaaa"), 6, nullptr), 0);
  EXPECT_EQ(qtFindChildByID(p, 0, fourCC("bbbb"), 2, nullptr), 0);
}

TEST(QtAtomContainer, RefusesBadParentsAndArguments) {
  QTAtomContainer c;
  ASSERT_EQ(qtNewAtomContainer(c), noErr);
  const std::uint8_t one = 1;
  QTAtom withData = 0;
  QTAtom empty = 0;
  ASSERT_EQ(qtInsertChild(c.get(), 0, fourCC("data"), 1, 0, 1, &one, &withData), noErr);
  ASSERT_EQ(qtInsertChild(c.get(), 0, fourCC("empt"), 1, 0, 0, nullptr, &empty), noErr);

  EXPECT_EQ(qtInsertChild(c.get(), withData, fourCC("kid "), 1, 0, 0, nullptr, nullptr), invalidAtomErr);
  EXPECT_EQ(qtInsertChild(c.get(), empty, fourCC("kid "), 1, 0, 0, nullptr, nullptr), noErr);
  EXPECT_EQ(qtInsertChild(c.get(), 99, fourCC("kid "), 1, 0, 0, nullptr, nullptr), invalidAtomErr);
  EXPECT_EQ(qtInsertChild(c.get(), -1, fourCC("kid "), 1, 0, 0, nullptr, nullptr), invalidAtomErr);
  EXPECT_EQ(qtInsertChild(c.get(), 0, fourCC("kid "), 1, 0, -4, nullptr, nullptr), paramErr);
  EXPECT_EQ(qtInsertChild(nullptr, 0, fourCC("kid "), 1, 0, 0, nullptr, nullptr), paramErr);

  QTAtomType type = 0;
  QTAtomID id = 0;
  EXPECT_EQ(qtGetAtomTypeAndID(c.get(), 0, &type, &id), noErr);
  EXPECT_EQ(type, fourCC("sean"));
  EXPECT_EQ(id, 1);
  EXPECT_EQ(qtGetAtomTypeAndID(c.get(), 42, &type, &id), invalidAtomErr);
  EXPECT_EQ(qtGetAtomTypeAndID(nullptr, 0, &type, &id), paramErr);

  qtDisposeAtomContainer(c);
  EXPECT_EQ(c, nullptr);
}

// A container with leaves, empty atoms, a parent in a parent and a negative id.
QTAtomContainer sampleTree() {
  QTAtomContainer c;
  qtNewAtomContainer(c);
  const std::uint8_t bytes[] = {9, 8, 7, 6, 5};
  QTAtom a = 0;
  QTAtom b = 0;
  qtInsertChild(c.get(), 0, fourCC("vrsc"), 1, 1, 5, bytes, nullptr);
  qtInsertChild(c.get(), 0, fourCC("imgp"), 1, 1, 0, nullptr, &a);
  qtInsertChild(c.get(), a, fourCC("impn"), 0, 0, 2, bytes, nullptr);
  qtInsertChild(c.get(), a, fourCC("impn"), -3, 0, 0, nullptr, &b);
  qtInsertChild(c.get(), b, fourCC("leaf"), 1, 0, 1, bytes, nullptr);
  qtInsertChild(c.get(), 0, fourCC("vrnp"), 1, 0, 0, nullptr, nullptr);
  return c;
}

TEST(QtAtomContainer, BytesSurviveARoundTripThroughTheParser) {
  const QTAtomContainer original = sampleTree();
  const ByteBuffer bytes = original->bytes();
  QTAtomContainer parsed;
  ASSERT_EQ(parseAtomContainer(bytes, parsed), noErr);
  ASSERT_NE(parsed, nullptr);
  EXPECT_EQ(parsed->bytes(), bytes);
  using L = std::vector<std::pair<std::string, QTAtomID>>;
  EXPECT_EQ(childList(*parsed, 0), (L{{"vrsc", 1}, {"imgp", 1}, {"vrnp", 1}}));
  const QTAtom imaging = qtFindChildByID(parsed.get(), 0, fourCC("imgp"), 1, nullptr);
  EXPECT_EQ(childList(*parsed, imaging), (L{{"impn", 1}, {"impn", -3}}));
  const QTAtom leaf = qtFindChildByIndex(
      parsed.get(), qtFindChildByID(parsed.get(), imaging, fourCC("impn"), -3, nullptr), fourCC("leaf"), 1, nullptr);
  EXPECT_EQ(parsed->data(leaf), ByteBuffer{9});

  // The parsed tree takes further children like a built one.
  EXPECT_EQ(insertedId(parsed.get(), imaging, "impn", 0), 2);

  QTAtomContainer empty;
  qtNewAtomContainer(empty);
  ASSERT_EQ(parseAtomContainer(empty->bytes(), parsed), noErr);
  EXPECT_TRUE(parsed->children(0).empty());
}

TEST(QtAtomContainer, HostileBytesAreRefused) {
  const ByteBuffer good = sampleTree()->bytes();
  QTAtomContainer parsed;
  const auto refused = [&parsed](const ByteBuffer& bytes) {
    const OSErr err = parseAtomContainer(bytes, parsed);
    return err == invalidAtomContainerErr && parsed == nullptr;
  };

  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_TRUE(refused(ByteBuffer(good.begin(), good.begin() + n))) << "cut to " << n;
  ByteBuffer longer = good;
  longer.push_back(0);
  EXPECT_TRUE(refused(longer));

  const auto patched = [&good](std::size_t at, std::vector<std::uint8_t> bytes) {
    ByteBuffer b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + at);
    return b;
  };
  // Offsets: root at 12, 'vrsc' at 32 (25 bytes), 'imgp' at 57.
  EXPECT_TRUE(refused(patched(16, {'x', 'x', 'x', 'x'})));  // root not 'sean'
  EXPECT_TRUE(refused(patched(12, {0xFF, 0xFF, 0xFF, 0xFF})));
  EXPECT_TRUE(refused(patched(32, {0x00, 0x00, 0x00, 0x13})));  // smaller than a header
  EXPECT_TRUE(refused(patched(32, {0x7F, 0xFF, 0xFF, 0xFF})));  // past the end
  EXPECT_TRUE(refused(patched(32, {0x00, 0x00, 0x00, 0x1A})));  // eats a byte of its sibling
  EXPECT_TRUE(refused(patched(26, {0x00, 0x04})));              // root claims a child too many
  EXPECT_TRUE(refused(patched(26, {0x00, 0x02})));              // and one too few
  EXPECT_TRUE(refused(patched(57 + 14, {0xFF, 0xFF})));
  EXPECT_TRUE(refused(patched(57 + 4, {'v', 'r', 's', 'c'})));  // 'imgp' renamed: two 'vrsc' with id 1

  // Flipping any byte must give an error or a tree, never a read outside the buffer.
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (std::uint8_t value : {std::uint8_t(0x00), std::uint8_t(0x01), std::uint8_t(0xFF)}) {
      ByteBuffer b = good;
      b[i] = value;
      const OSErr err = parseAtomContainer(b, parsed);
      if (err == noErr) {
        EXPECT_EQ(parsed->bytes().size(), b.size()) << "byte " << i;
      }
    }
  }
}

TEST(QtAtomContainer, NestingIsLimitedWhenParsing) {
  const auto chain = [](int depth) {
    QTAtomContainer c;
    qtNewAtomContainer(c);
    QTAtom at = 0;
    for (int i = 0; i < depth; ++i) qtInsertChild(c.get(), at, fourCC("nest"), 1, 0, 0, nullptr, &at);
    return c->bytes();
  };
  QTAtomContainer parsed;
  EXPECT_EQ(parseAtomContainer(chain(kMaxAtomDepth), parsed), noErr);
  EXPECT_EQ(parseAtomContainer(chain(kMaxAtomDepth + 1), parsed), invalidAtomContainerErr);
  // Building has no such limit and writes without recursion.
  EXPECT_EQ(chain(100000).size(), 12 + 20 * 100001);
}

}  // namespace
}  // namespace kelmira

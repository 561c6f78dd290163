#include "movie/quicktime/atom_walker.h"

#include <gtest/gtest.h>

#include "support/movie_test_support.h"

namespace kelmira {
namespace {

using movie_test::Bytes;
using movie_test::hex;

ClassicAtomList walk(const Bytes& bytes, bool topLevel = false) {
  return readClassicAtoms(bytes.data(), bytes.size(), 0, bytes.size(), topLevel);
}

TEST(AtomWalker, ReadsAtomsBackToBackWithBothSizeForms) {
  // 'free' of 12 bytes, a 64-bit sized 'wide' of 20, an empty 'skip', QuickTime's end marker.
  const Bytes bytes = hex("0000000C 'free' AABBCCDD  00000001 'wide' 0000000000000014 11223344  00000008 'skip'"
                          "00000000");
  const ClassicAtomList list = walk(bytes);
  EXPECT_EQ(list.error, "");
  EXPECT_FALSE(list.strayTail);
  ASSERT_EQ(list.atoms.size(), 3u);
  EXPECT_EQ(list.atoms[0].type, fourCC("free"));
  EXPECT_EQ(list.atoms[0].payloadOffset(), 8u);
  EXPECT_EQ(list.atoms[0].payloadSize(), 4u);
  EXPECT_EQ(list.atoms[1].offset, 12u);
  EXPECT_EQ(list.atoms[1].headerSize, 16u);
  EXPECT_EQ(list.atoms[1].payloadOffset(), 28u);
  EXPECT_EQ(list.atoms[1].end(), 32u);
  EXPECT_EQ(list.atoms[2].offset, 32u);
  EXPECT_EQ(list.atoms[2].payloadSize(), 0u);

  // Inside a parent: the range is the parent's payload, offsets stay the block's.
  const ClassicAtomList inner = readClassicAtoms(bytes.data(), bytes.size(), 12, 32, false);
  ASSERT_EQ(inner.atoms.size(), 1u);
  EXPECT_EQ(inner.atoms[0].offset, 12u);
  const auto found = findClassicChild(bytes.data(), bytes.size(), ClassicAtom{0, 0, 40, 0}, fourCC("skip"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, 32u);
  EXPECT_FALSE(findClassicChild(bytes.data(), bytes.size(), ClassicAtom{0, 0, 40, 0}, fourCC("moov")));
}

TEST(AtomWalker, StopsAtTheFirstAtomThatDoesNotFitAndSaysWhy) {
  struct Case {
    const char* bytes;
    bool topLevel;
    std::size_t kept;
    const char* error;
    bool strayTail;
  };
  for (const Case c : {
           Case{"00000008 'free' 00000010 'moov' 0000", false, 1,
                "atom 'moov' at offset 8 has size 16 but 10 bytes remain", false},
           Case{"00000008 'free' 00000004 'moov'", false, 1, "atom 'moov' at offset 8 has size 4 but 8 bytes remain",
                false},
           Case{"00000001 'moov' 000000", false, 0, "64-bit size cut off at offset 0", false},
           Case{"00000008 'free' 00000000 'mdat' 1122", false, 1, "size 0 below the top level at offset 8", false},
           Case{"00000008 'free' 01 02 03", false, 1, "stray bytes at offset 8", true},
           Case{"00000008 'free' 00000001", false, 1, "stray bytes at offset 8", true},
           Case{"00000008 'free' 00000000 'mdat' 1122", true, 2, "", false},
       }) {
    const Bytes bytes = hex(c.bytes);
    const ClassicAtomList list = walk(bytes, c.topLevel);
    EXPECT_EQ(list.atoms.size(), c.kept) << c.bytes;
    EXPECT_EQ(list.error, c.error) << c.bytes;
    EXPECT_EQ(list.strayTail, c.strayTail) << c.bytes;
  }
  // Size 0 at the top level runs to the end of the block.
  const Bytes rest = hex("00000008 'free' 00000000 'mdat' 1122");
  EXPECT_EQ(walk(rest, true).atoms[1].size, 10u);
  // A range outside the block reads nothing.
  EXPECT_EQ(readClassicAtoms(rest.data(), rest.size(), 0, rest.size() + 1, true).error, "range outside the file");
  EXPECT_EQ(readClassicAtoms(rest.data(), rest.size(), 9, 8, true).error, "range outside the file");
}

// A file is searched through the first bytes of each atom, not the whole of it.
TEST(AtomWalker, AHeaderAloneTellsTheAtom) {
  std::string why;
  const Bytes wide = hex("00000001 'mdat' 0000000100000000");
  const auto big = readAtomHeader(wide.data(), wide.size(), 40, 0x200000000ull, true, why);
  ASSERT_TRUE(big);
  EXPECT_EQ(big->size, 0x100000000ull);
  EXPECT_EQ(big->payloadOffset(), 56u);
  EXPECT_FALSE(readAtomHeader(wide.data(), 8, 40, 0x200000000ull, true, why));
  EXPECT_EQ(why, "64-bit size cut off at offset 40");
  EXPECT_FALSE(readAtomHeader(wide.data(), wide.size(), 40, 0xFFFFFFFFull, true, why));
  EXPECT_EQ(why, "atom 'mdat' at offset 40 has size 4294967296 but 4294967295 bytes remain");
  EXPECT_EQ(fourCCText(fourCC("url ")), "'url '");
  EXPECT_EQ(fourCCText(0x0000ABCD), "0x0000ABCD");
}

}  // namespace
}  // namespace kelmira

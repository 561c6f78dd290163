#include "movie/vr_atom_containers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/hex_bytes.h"

namespace kelmira {
namespace {

using test::hexBytes;

// The data of the atom found by following (type, id) steps from the root.
struct Step {
  const char* type;
  QTAtomID id;
};
QTAtom find(const AtomContainer& c, std::initializer_list<Step> path) {
  QTAtom at = kParentAtomIsContainer;
  for (const Step& step : path) {
    const auto* t = reinterpret_cast<const unsigned char*>(step.type);
    const OSType type = (OSType(t[0]) << 24) | (OSType(t[1]) << 16) | (OSType(t[2]) << 8) | t[3];
    at = qtFindChildByID(&c, at, type, step.id, nullptr);
    if (at == 0) {
      ADD_FAILURE() << "no " << step.type << " " << step.id;
      return 0;
    }
  }
  return at;
}
ByteBuffer dataAt(const AtomContainer& c, std::initializer_list<Step> path) { return c.data(find(c, path)); }

float floatAt(const ByteBuffer& data, std::size_t offset) {
  const std::uint32_t bits = (std::uint32_t(data[offset]) << 24) | (std::uint32_t(data[offset + 1]) << 16) |
                             (std::uint32_t(data[offset + 2]) << 8) | data[offset + 3];
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

class VrContainers : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(buildVrContainers(fourCC("pano"), 1, world, node), noErr); }
  QTAtomContainer world;
  QTAtomContainer node;
};

TEST_F(VrContainers, WorldContainerHoldsItsAtomsByteForByte) {
  // 12 + sean 20 + vrsc 44 + imgp (20 + 2 x 76) + vrnp (20 + vrni (20 + nloc 44)).
  EXPECT_EQ(world->bytes().size(), 332u);
  EXPECT_EQ(world->children(0).size(), 3u);
  EXPECT_EQ(world->type(world->children(0)[0]), fourCC("vrsc"));
  EXPECT_EQ(world->type(world->children(0)[1]), fourCC("imgp"));
  EXPECT_EQ(world->type(world->children(0)[2]), fourCC("vrnp"));

  EXPECT_EQ(dataAt(*world, {{"vrsc", 1}}), hexBytes("0002 0000 00000000 00000001 000000000000000000000000"));
  EXPECT_TRUE(dataAt(*world, {{"imgp", 1}}).empty());
  EXPECT_EQ(dataAt(*world, {{"imgp", 1}, {"impn", 1}}),
            hexBytes("0002 0000 00000002 00000007 00000001 00000100 00000001"
                     "000000000000000000000000 000000000000000000000000 0000000000000000"));
  EXPECT_EQ(dataAt(*world, {{"imgp", 1}, {"impn", 2}}),
            hexBytes("0002 0000 00000001 00000007 00000001 00000300 00000000"
                     "000000000000000000000000 000000000000000000000000 0000000000000000"));
  EXPECT_EQ(world->children(find(*world, {{"imgp", 1}})).size(), 2u);
  EXPECT_TRUE(dataAt(*world, {{"vrnp", 1}, {"vrni", 1}}).empty());
  EXPECT_EQ(dataAt(*world, {{"vrnp", 1}, {"vrni", 1}, {"nloc", 1}}),
            hexBytes("0002 0000 'pano' 00000000 00000000 00000000 00000000"));

  // The same correction goes into both imaging atoms.
  QTAtomContainer world2;
  QTAtomContainer node2;
  ASSERT_EQ(buildVrContainers(fourCC("pano"), 2, world2, node2), noErr);
  EXPECT_EQ(dataAt(*world2, {{"imgp", 1}, {"impn", 1}})[15], 2);
  EXPECT_EQ(dataAt(*world2, {{"imgp", 1}, {"impn", 2}})[15], 2);
}

TEST_F(VrContainers, NodeContainerHasHeaderAndFourUrlHotSpots) {
  // 776 + 4 x the address length.
  EXPECT_EQ(node->bytes().size(), 776u + 4 * std::strlen(kHotSpotAddress));
  EXPECT_EQ(dataAt(*node, {{"ndhd", 1}}), hexBytes("0002 0000 'pano' 00000001 00000000 00000000 00000000 00000000"));
  const QTAtom hotSpots = find(*node, {{"hspa", 1}});
  ASSERT_EQ(node->children(hotSpots).size(), 4u);
  for (QTAtomID n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    const QTAtom hots = node->children(hotSpots)[n - 1];
    EXPECT_EQ(node->type(hots), fourCC("hots"));
    EXPECT_EQ(node->id(hots), n);
    const auto& parts = node->children(hots);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(node->type(parts[0]), fourCC("vrsg"));
    EXPECT_EQ(node->type(parts[1]), fourCC("hsin"));
    EXPECT_EQ(node->type(parts[2]), fourCC("url "));
    const std::string name = "'Hot Spot Index " + std::to_string(n) + "'";
    EXPECT_EQ(node->data(parts[0]), hexBytes("0001 0010" + name + "00"));
    EXPECT_EQ(node->data(parts[0]).size(), 21u);
    const QTAtomID nameId = node->id(parts[0]);
    EXPECT_EQ(nameId, 1);
    EXPECT_EQ(node->id(parts[1]), 1);
    EXPECT_EQ(node->data(parts[1]), hexBytes("0002 0000 'url ' 00000001 00000000 000000000000000000000000"
                                             "00000000 00000000 00000000 00000000 00000000"
                                             "0000000000000000 00000000 0000000000000000"));
    EXPECT_EQ(node->id(parts[2]), 1);
    EXPECT_EQ(node->data(parts[2]), hexBytes("'https://kelmira.invalid/'"));
  }
}

TEST_F(VrContainers, SampleDescriptionIsABigEndianHeaderBeforeTheWorldBytes) {
  const ByteBuffer description = buildVrSampleDescription(world.get());
  const ByteBuffer container = world->bytes();
  ASSERT_EQ(description.size(), 348u);
  // As the file holds it, on any machine: size 348, 'qtvr', reserved, data reference index 0.
  EXPECT_EQ(ByteBuffer(description.begin(), description.begin() + 16), hexBytes("0000015C 'qtvr' 00000000 0000 0000"));
  EXPECT_EQ(ByteBuffer(description.begin() + 16, description.end()), container);
  EXPECT_TRUE(buildVrSampleDescription(nullptr).empty());
}

TEST(PanoramaSample, PdatForTilesOf400By84) {
  const QTAtomContainer sample = buildPanoramaSample(1, 400, 84);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->bytes(), hexBytes("00000000 00000000 0000 0000"
                                      "0000007C 'sean' 00000001 0000 0001 00000000"
                                      "00000068 'pdat' 00000001 0000 0000 00000000"
                                      "0002 0000 00000001 00000000"
                                      "00000000 43B40000 C1FF7E2C 41FF7E2C 00000000 427F7E2C"
                                      "00000000 00000000 427F7E2C"
                                      "00000190 000007E0 0001 0018 00000190 000007E0 0001 0018"
                                      "00000000 00000000 00000000"));
  const ByteBuffer pdat = dataAt(*sample, {{"pdat", 1}});
  EXPECT_NEAR(floatAt(pdat, 24), 31.93661f, 5e-6);
  EXPECT_NEAR(floatAt(pdat, 20), -31.93661f, 5e-6);
  EXPECT_NEAR(floatAt(pdat, 32), 63.87321f, 5e-6);
  EXPECT_EQ(floatAt(pdat, 16), 360.0f);
}

TEST(PanoramaSample, PdatForTilesOf392By84) {
  const QTAtomContainer sample = buildPanoramaSample(1, 392, 84);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(dataAt(*sample, {{"pdat", 1}}), hexBytes("0002 0000 00000001 00000000"
                                                     "00000000 43B40000 C1FB5AC1 41FB5AC1 00000000 427B5AC1"
                                                     "00000000 00000000 427B5AC1"
                                                     "00000188 000007E0 0001 0018 00000188 000007E0 0001 0018"
                                                     "00000000 00000000 00000000"));
  EXPECT_NEAR(panoramaHalfFieldOfView(392, 84), 31.41931f, 5e-6);
  // The caller's reference index goes in unchanged.
  EXPECT_EQ(dataAt(*buildPanoramaSample(3, 392, 84), {{"pdat", 1}})[7], 3);
}

TEST(StringAtoms, NamesAndTheirAbsence) {
  QTAtomContainer c;
  ASSERT_EQ(qtNewAtomContainer(c), noErr);
  QTAtom parent = 0;
  ASSERT_EQ(qtInsertChild(c.get(), 0, fourCC("hots"), 1, 0, 0, nullptr, &parent), noErr);

  QTAtomID id = 99;
  EXPECT_EQ(addStringAtom(nullptr, parent, "x", &id), paramErr);
  EXPECT_EQ(id, 0);
  id = 99;
  EXPECT_EQ(addStringAtom(c.get(), 0, "x", &id), paramErr);
  EXPECT_EQ(id, 0);
  id = 99;
  EXPECT_EQ(addStringAtom(c.get(), parent, "", &id), noErr);
  EXPECT_EQ(id, 0);
  EXPECT_TRUE(c->children(parent).empty());

  EXPECT_EQ(addStringAtom(c.get(), parent, "ab", &id), noErr);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(addStringAtom(c.get(), parent, "c", &id), noErr);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(dataAt(*c, {{"hots", 1}, {"vrsg", 1}}), hexBytes("0001 0002 'ab' 00"));
  EXPECT_EQ(dataAt(*c, {{"hots", 1}, {"vrsg", 2}}), hexBytes("0001 0001 'c' 00"));

  // A hot spot without a name points at no string.
  QTAtom hotSpots = 0;
  ASSERT_EQ(qtInsertChild(c.get(), 0, fourCC("hspa"), 1, 1, 0, nullptr, &hotSpots), noErr);
  ASSERT_EQ(addUrlHotSpot(c.get(), hotSpots, "u", "", 7), noErr);
  const QTAtom hots = find(*c, {{"hspa", 1}, {"hots", 7}});
  ASSERT_EQ(c->children(hots).size(), 2u);
  EXPECT_EQ(dataAt(*c, {{"hspa", 1}, {"hots", 7}, {"hsin", 1}}).at(11), 0);
  EXPECT_EQ(dataAt(*c, {{"hspa", 1}, {"hots", 7}, {"url ", 1}}), hexBytes("'u'"));
  // The same hot spot id twice is the container's error.
  EXPECT_EQ(addUrlHotSpot(c.get(), hotSpots, "u", "n", 7), duplicateAtomTypeAndIDErr);
}

}  // namespace
}  // namespace kelmira

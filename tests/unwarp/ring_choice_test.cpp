// The choice between the circles the ring finder followed, on circles made by hand.
#include "unwarp/ring_choice.h"

#include <gtest/gtest.h>

namespace kelmira {
namespace {

JudgedCircle circle(double radius, double confidence, double edge, double texture, bool rim = false,
                    double centreX = 500) {
  return {{centreX, 400, radius, 700, 0.5}, confidence, edge, texture, rim};
}

TEST(RingChoice, TheSceneInsideAndAPlainHousingOutsideOutweighAClearerEdgeBeyond) {
  // A lens hood's ring outside the scene's end is as sure an edge, but busy on both sides.
  const FoundRing ring = chooseRing({circle(420, 0.65, 0.66, 0.6), circle(494, 0.66, 0.83, 0.14)});
  EXPECT_EQ(ring.radius, 420);
  EXPECT_DOUBLE_EQ(ring.confidence, 0.65);
}

TEST(RingChoice, APolishedRimIsTheRingsEdgeTheInnermostOfThem) {
  // The camera's reflection is clearest; the rim and a tube's wall beyond it are sure rims.
  const FoundRing ring = chooseRing({circle(140, 0.55, 0.92, 0.1), circle(508, 0.52, 0.95, -0.3, true),
                                     circle(596, 0.61, 0.94, -0.1, true), circle(634, 0.6, 0.94, -0.14)});
  EXPECT_EQ(ring.radius, 508);
  // A rim round another centre does not count.
  EXPECT_EQ(chooseRing({circle(140, 0.7, 0.92, 0.3), circle(508, 0.6, 0.95, -0.3, true, 560)}).radius, 140);
}

TEST(RingChoice, OnABareMirrorTheStrongEdgeWellOutsideTheSmallOneIsTheRingAndAsSure) {
  // The mirror's hole (clearest, sure) and the ring, whose busy background costs it its texture.
  const FoundRing ring = chooseRing({circle(125, 0.66, 0.89, 0.09), circle(496, 0.36, 0.63, -0.26)});
  EXPECT_EQ(ring.radius, 496);
  EXPECT_DOUBLE_EQ(ring.confidence, 0.63);  // the weaker of the two edges
  // Not when the band inside the outer edge is plain (a housing's far edge), when the inner
  // circle is not a clear edge, or when the two are not far enough apart.
  EXPECT_EQ(chooseRing({circle(125, 0.66, 0.89, 0.09), circle(496, 0.3, 0.9, -0.8)}).radius, 125);
  EXPECT_EQ(chooseRing({circle(125, 0.4, 0.5, 0.09), circle(496, 0.36, 0.63, -0.26)}).radius, 125);
  EXPECT_EQ(chooseRing({circle(350, 0.66, 0.89, 0.09), circle(496, 0.36, 0.63, -0.26)}).radius, 350);
}

}  // namespace
}  // namespace kelmira

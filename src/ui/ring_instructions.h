#pragma once

class QPainter;

namespace kelmira {

// What the crop circle panel of the round-photograph screen tells the user.
enum class RingInstructions {
  PlaceByHand,   // the finder is off: click or drag the cross onto the ring's centre
  RingFound,     // the circle sits on the ring the finder found
  RingNotFound,  // the finder looked and is not sure: place it by hand
};

// Writes the panel's instructions where the round screen's background leaves room for them,
// in the skin's type.
void paintRingInstructions(QPainter& painter, RingInstructions which);

}  // namespace kelmira

#pragma once

#include <cmath>

namespace kelmira {

// The arctangent in radians to about 1e-5, without branches so that a loop of it becomes
// vector instructions: a polynomial on [0, 1], and pi/2 less the arctangent of the
// reciprocal beyond.
inline float fastArctangent(float t) {
  const float a = std::fabs(t);
  const float inverse = 1.0f / a;  // infinite at 0, and then not taken
  const bool beyond = a > 1.0f;
  const float x = beyond ? inverse : a;
  const float x2 = x * x;
  float p = -0.01172120f;
  p = p * x2 + 0.05265332f;
  p = p * x2 - 0.11643287f;
  p = p * x2 + 0.19354346f;
  p = p * x2 - 0.33262347f;
  p = p * x2 + 0.99997726f;
  p = p * x;
  const float rest = 1.57079633f - p;
  p = beyond ? rest : p;
  return std::copysign(p, t);
}

}  // namespace kelmira

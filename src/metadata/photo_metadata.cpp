#include "metadata/photo_metadata.h"

#include <cmath>

#include "base/decimal_text.h"

namespace kelmira {

namespace {

std::string degrees(double value, const char* positive, const char* negative) {
  return fixedDecimal(std::fabs(value), 5) + "\u00B0 " + (value < 0 ? negative : positive);
}

}  // namespace

std::string placeText(const PhotoMetadata& metadata) {
  std::string text = metadata.placeName;
  if (metadata.position) {
    if (!text.empty()) text += ", ";
    text += degrees(metadata.position->latitude, "N", "S") + ", " + degrees(metadata.position->longitude, "E", "W");
  }
  return text;
}

}  // namespace kelmira

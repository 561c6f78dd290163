#include "image/upright.h"

#include "image/file_format.h"

namespace kelmira {

namespace {

// DibImage's quarter turns.
constexpr int kClockwise = 0;
constexpr int kHalfTurn = 1;
constexpr int kCounterClockwise = 2;

bool valid(int orientation) { return orientation >= 1 && orientation <= 8; }

}  // namespace

int orientationAfterDecoding(FileType type, int orientation) {
  if (!valid(orientation)) return kUprightOrientation;
  const FileFormat* format = fileFormatOf(type);
  if (format == nullptr || !format->decoderFlipsToOrientation) return orientation;
  // Flipped as 1 to 4 say, what is left of 5 to 8 is a mirror across one of the diagonals.
  constexpr int kLeft[] = {0, 1, 1, 1, 1, 5, 7, 5, 7};
  return kLeft[orientation];
}

ImageErrorCode turnUpright(DibImage& picture, int orientation) {
  if (!valid(orientation) || orientation == kUprightOrientation) return ImageError::None;
  if (!picture.hasPixels()) return ImageError::BadParameter;
  // The turn first: it alone can fail, and then leaves the pixels as they were. Each
  // mirrored orientation is its turn followed by a mirror left to right.
  constexpr int kTurn[] = {-1, -1, -1, kHalfTurn, kHalfTurn, kClockwise, kClockwise, kCounterClockwise,
                           kCounterClockwise};
  const bool mirrored = orientation == 2 || orientation == 4 || orientation == 5 || orientation == 7;
  if (kTurn[orientation] >= 0 && picture.rotateImage(kTurn[orientation]) == 0) return ImageError::OutOfMemory;
  if (mirrored) picture.mirrorHorizontally();
  picture.buildPalette();
  return ImageError::None;
}

}  // namespace kelmira

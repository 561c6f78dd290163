#pragma once

#include "image/dib_image.h"
#include "image/file_type.h"
#include "image/image_error.h"

namespace kelmira {

// EXIF's orientation: how the stored picture is turned. 1 is upright; 2 mirrored left to
// right; 3 half a turn; 4 upside down; 5 mirrored across the diagonal from the top left; 6
// shown after a quarter turn clockwise; 7 mirrored across the other diagonal; 8 shown after
// a quarter turn counter-clockwise.
inline constexpr int kUprightOrientation = 1;

// The orientation still to undo once a file of `type` is decoded: its decoder may have undone
// part of it (file_format.h). Values outside 1 to 8 count as upright.
int orientationAfterDecoding(FileType type, int orientation);

// Turns the picture upright from `orientation`; its width and height trade places for 5 to
// 8. ImageError::OutOfMemory leaves it as it was.
ImageErrorCode turnUpright(DibImage& picture, int orientation);

}  // namespace kelmira

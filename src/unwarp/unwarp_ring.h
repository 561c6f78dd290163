#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kelmira {

// A plain pixel buffer: `stride` bytes from one row to the next.
struct ImageView {
  std::uint8_t* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bytesPerPixel = 3;
  std::size_t stride = 0;
};

// Called with (row, rowCount) once per panorama row, in row order, on the caller's thread.
using RowProgress = std::function<void(std::uint32_t row, std::uint32_t rowCount)>;

// Unwarps the mirror's ring around (centreX, centreY) of `source` into `target`, whose
// rows are written packed (its stride is not used). Column 0 looks right of the centre
// and the columns turn clockwise on screen; row 0 is the ring's inner edge. Sample
// points outside the source are black; the last row and column repeat at the edge.
// Returns false, writing nothing, when the buffers are unusable or their pixel sizes differ.
bool unwarpRing(const ImageView& source, const ImageView& target, double centreX, double centreY,
                const RowProgress& progress = {});

}  // namespace kelmira

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace kelmira {

// A plain pixel buffer: `stride` bytes from one row to the next. The pixels are written
// through an ImageView and only read through a SourceView.
template <typename Byte>
struct BasicImageView {
  Byte* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bytesPerPixel = 3;
  std::size_t stride = 0;

  BasicImageView() = default;
  BasicImageView(Byte* pixels, std::uint32_t width, std::uint32_t height, std::uint16_t bytesPerPixel,
                 std::size_t stride)
      : pixels(pixels), width(width), height(height), bytesPerPixel(bytesPerPixel), stride(stride) {}
  // A writable view reads as well.
  template <typename Other>
  BasicImageView(const BasicImageView<Other>& other)  // NOLINT(google-explicit-constructor)
      : BasicImageView(other.pixels, other.width, other.height, other.bytesPerPixel, other.stride) {}
};
using ImageView = BasicImageView<std::uint8_t>;
using SourceView = BasicImageView<const std::uint8_t>;

// Called with (row, rowCount) once per panorama row, in row order, on the caller's thread.
using RowProgress = std::function<void(std::uint32_t row, std::uint32_t rowCount)>;
// Called with the number of rows from the top that are finished, each time it grows, from
// whichever thread finished them but never two calls at once. Until it returns, no other
// thread writes those rows.
using RowsFinished = std::function<void(std::uint32_t finishedRows)>;

// Source pixels per unit of the mirror model's image radius. The ring's outer edge lies
// 4.27 units from the centre, so a ring of outer radius R has the scale R / 4.27.
double ringScaleForRadius(double ringRadius);
// The scale when nothing says where the ring ends: its outer edge half the picture's height
// from the centre (height x 0.117096).
double defaultRingScale(std::uint32_t sourceHeight);

// Unwarps the mirror's ring around (centreX, centreY) of `source` into `target`, whose
// rows are written packed (its stride is not used). Column 0 looks right of the centre
// and the columns turn clockwise on screen; row 0 is the ring's inner edge. Sample
// points outside the source are black; the last row and column repeat at the edge.
// `scale` is ringScaleForRadius of the ring's radius, or defaultRingScale when none is given.
// Returns false, writing nothing, when the buffers are unusable or their pixels are not
// 3 bytes.
bool unwarpRing(const SourceView& source, const ImageView& target, double centreX, double centreY,
                const RowProgress& progress = {}, std::optional<double> scale = {},
                const RowsFinished& finished = {});

}  // namespace kelmira

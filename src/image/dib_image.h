#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "image/embedded_metadata.h"
#include "image/file_type.h"
#include "image/image_error.h"
#include "image/pixel_block.h"

namespace kelmira {

class ImageStream;
class ProgressSink;
class RowGate;

struct PaletteEntry {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t flags = 0;
};
using DisplayPalette = std::array<PaletteEntry, 256>;

// An image's pixel block kept alive for the length of one piece of work, whatever
// happens to the image meanwhile.
struct HeldPixels {
  std::shared_ptr<const std::uint8_t[]> block;
  std::int32_t width = 0;
  std::int32_t height = 0;
  const std::uint8_t* pixels() const { return block.get(); }
};

// The program's one in-memory image: 24-bit pixels (red, green, blue, top row first,
// rows packed) and the 256-colour display palette made from them. Copies are deep and
// explicit (copyFrom). Results are image layer codes.
class DibImage {
 public:
  DibImage() = default;
  virtual ~DibImage();
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  bool hasPixels() const { return pixels_ != nullptr; }
  std::int32_t accessCount() const { return accessCount_; }
  // Read-only view for painting and tests; null when empty.
  const std::uint8_t* pixels() const { return pixels_.get(); }

  ImageErrorCode free();
  ImageErrorCode allocate(std::int32_t width, std::int32_t height);
  std::uint8_t* beginAccess();
  ImageErrorCode endAccess();
  ImageErrorCode copyFrom(const DibImage& source);
  ImageErrorCode copyFromPixels(const std::uint8_t* pixels, std::int32_t width, std::int32_t height);
  // Takes ownership of a block made by the image layer.
  void adopt(PixelBlock block, std::int32_t width, std::int32_t height);
  // Exchanges pictures with `other`; nothing is allocated, so it cannot fail.
  void swap(DibImage& other) noexcept;
  // Keeps the current block alive for work that may outlast it in this image: work that
  // reports progress lets the window run commands, and one of them may replace the picture.
  HeldPixels hold() const { return {pixels_, width_, height_}; }

  // Fills 256 entries of (blue, green, red, 0) with the colours that best represent the pixels.
  ImageErrorCode computeOptimalPalette(std::array<std::uint8_t, 1024>& table) const;
  // Marks the display palette for rebuilding from the current pixels. The octree pass
  // over every pixel runs only when the palette is first asked for, since true-colour
  // displays never ask.
  void buildPalette();
  // The display palette, built now if needed; none when the image never had one built.
  const DisplayPalette* palette();

  // Non-zero when done; 0 when empty.
  int mirrorHorizontally();
  int rotateImage(int mode);
  ImageErrorCode resizeTo(std::int32_t width, std::int32_t height, ProgressSink* progress = nullptr);
  // Becomes `source` resampled to the given size; unchanged on failure. When another
  // picture is put into this image while the resample reports progress, that picture
  // stays and the result is dropped with ImageError::Aborted.
  ImageErrorCode resampleFrom(const DibImage& source, std::int32_t width, std::int32_t height,
                              ProgressSink* progress = nullptr);

  // Identifies the file, then reads it.
  ImageErrorCode loadFromFile(const std::string& path, ProgressSink* progress = nullptr);
  // Reads a file already identified as `type`.
  ImageErrorCode loadFromFile(const std::string& path, FileType type, ProgressSink* progress = nullptr);
  // JPEG (quality 100, progressive), BMP or TIFF, with what the format holds of the
  // metadata; the target is replaced only by a complete file.
  ImageErrorCode saveToFile(const std::string& path, FileType type, ProgressSink* progress = nullptr,
                            const EmbeddedMetadata& metadata = EmbeddedMetadata::none()) const;
  // A baseline JPEG of the given quality with the metadata, replaced only when complete
  // like every save.
  ImageErrorCode saveAsJpeg(const std::string& path, int quality, const EmbeddedMetadata& metadata,
                            ProgressSink* progress = nullptr) const;
  // The same with an XMP packet alone (none when empty).
  ImageErrorCode saveAsJpeg(const std::string& path, int quality, const std::string& xmpPacket,
                            ProgressSink* progress = nullptr) const;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  // Shared only with holds (see hold()); copies between images are always deep.
  std::shared_ptr<std::uint8_t[]> pixels_;
  std::uint64_t generation_ = 0;
  std::int32_t accessCount_ = 0;
  std::optional<DisplayPalette> palette_;
  bool paletteStale_ = false;
};

// Saves a picture whose rows another thread is still making: JPEG rows are encoded as the
// gate opens them, other types once all are open. As with every save the target is
// replaced only by a complete file, so a gate closed short of the picture leaves it as it
// was (ImageError::Aborted).
ImageErrorCode savePictureAsRowsArrive(const HeldPixels& picture, const std::string& path, FileType type,
                                       const RowGate& rowsReady,
                                       const EmbeddedMetadata& metadata = EmbeddedMetadata::none());

}  // namespace kelmira

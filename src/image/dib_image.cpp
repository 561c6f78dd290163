#include "image/dib_image.h"

#include <cstring>
#include <functional>
#include <utility>

#include "image/codec_dispatch.h"
#include "image/file_format.h"
#include "image/geometry_ops.h"
#include "image/jpeg_codec.h"
#include "image/image_stream.h"
#include "image/layer_state.h"
#include "image/octree_palette.h"
#include "image/progress_scope.h"
#include "image/progress_sink.h"
#include "base/replacement_file.h"
#include "image/resample.h"

namespace kelmira {

namespace {

void endProgress(ProgressSink* sink) {
  if (sink != nullptr) sink->endProgress();
}

using Encoder = std::function<void(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width,
                                   std::int32_t height)>;

// Encodes into a file beside the target, which replaces it only when complete; what the
// encoder could not place of the metadata goes in by the finishing step first.
ImageErrorCode saveHeldPixels(const HeldPixels& picture, const std::string& path, const Encoder& encode,
                              ProgressSink* progress, MetadataFinisher finish = nullptr,
                              const EmbeddedMetadata& metadata = EmbeddedMetadata::none()) {
  ReplacementFile replacement(path);
  if (!replacement.created()) return ImageError::FileOpen;
  std::unique_ptr<ImageStream> stream = openForWriting(replacement.temporaryPath());
  if (!stream) return lastError();
  encode(*stream, picture.pixels(), picture.width, picture.height);
  ImageErrorCode code = lastError();
  {
    ProgressScope scope(progress);
    if (!closeStream(std::move(stream)) && code == ImageError::None) code = lastError();
  }
  endProgress(progress);
  if (code == ImageError::None && finish != nullptr && !metadata.empty()) {
    code = finish(replacement.temporaryPath(), metadata);
  }
  if (code == ImageError::None && !replacement.commit()) code = ImageError::FileWrite;
  return code;
}

MetadataFinisher finisherOf(FileType type) {
  const FileFormat* format = fileFormatOf(type);
  return format != nullptr ? format->finishMetadata : nullptr;
}

}  // namespace

DibImage::~DibImage() = default;

ImageErrorCode DibImage::free() {
  if (pixels_) {
    accessCount_ = 0;
    pixels_.reset();
    width_ = 0;
    height_ = 0;
    ++generation_;
  }
  palette_.reset();
  paletteStale_ = false;
  return ImageError::None;
}

ImageErrorCode DibImage::allocate(std::int32_t width, std::int32_t height) {
  free();
  PixelBlock block = allocatePixelBlock(width, height);
  if (!block) return ImageError::OutOfMemory;
  adopt(std::move(block), width, height);
  return ImageError::None;
}

void DibImage::adopt(PixelBlock block, std::int32_t width, std::int32_t height) {
  free();
  if (!block) return;
  pixels_ = std::shared_ptr<std::uint8_t[]>(std::move(block));
  width_ = width;
  height_ = height;
  ++generation_;
}

void DibImage::swap(DibImage& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(pixels_, other.pixels_);
  std::swap(accessCount_, other.accessCount_);
  std::swap(palette_, other.palette_);
  std::swap(paletteStale_, other.paletteStale_);
  ++generation_;
  ++other.generation_;
}

std::uint8_t* DibImage::beginAccess() {
  if (pixels_) ++accessCount_;
  return pixels_.get();
}

ImageErrorCode DibImage::endAccess() {
  --accessCount_;
  return ImageError::None;
}

ImageErrorCode DibImage::copyFrom(const DibImage& source) {
  if (&source == this) return ImageError::None;
  free();
  if (!source.hasPixels()) return ImageError::OutOfMemory;
  if (const ImageErrorCode code = allocate(source.width_, source.height_); code != ImageError::None) return code;
  std::memcpy(pixels_.get(), source.pixels_.get(), pixelBlockBytes(width_, height_));
  return ImageError::None;
}

ImageErrorCode DibImage::copyFromPixels(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  if (const ImageErrorCode code = allocate(width, height); code != ImageError::None) return code;
  if (pixels != nullptr) std::memcpy(pixels_.get(), pixels, pixelBlockBytes(width_, height_));
  return ImageError::None;
}

ImageErrorCode DibImage::computeOptimalPalette(std::array<std::uint8_t, 1024>& table) const {
  if (!pixels_) return ImageError::BadParameter;
  reducePalette(pixels_.get(), width_, height_, 256, table);
  return lastError();
}

void DibImage::buildPalette() {
  if (pixels_) paletteStale_ = true;
}

const DisplayPalette* DibImage::palette() {
  if (paletteStale_) {
    paletteStale_ = false;
    std::array<std::uint8_t, 1024> table{};
    if (computeOptimalPalette(table) == ImageError::None) {
      DisplayPalette entries{};
      for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = {table[4 * i + 2], table[4 * i + 1], table[4 * i], 0};
      }
      palette_ = entries;
    }
  }
  return palette_ ? &*palette_ : nullptr;
}

int DibImage::mirrorHorizontally() {
  if (!pixels_) return 0;
  return mirrorRows(pixels_.get(), width_, height_) ? 1 : 0;
}

int DibImage::rotateImage(int mode) {
  if (!pixels_ || mode < 0 || mode > 2) return 0;
  if (!rotate(pixels_.get(), width_, height_, mode)) return 0;
  if (mode != 1) std::swap(width_, height_);
  return 1;
}

ImageErrorCode DibImage::resizeTo(std::int32_t width, std::int32_t height, ProgressSink* progress) {
  return resampleFrom(*this, width, height, progress);
}

ImageErrorCode DibImage::resampleFrom(const DibImage& source, std::int32_t width, std::int32_t height,
                                      ProgressSink* progress) {
  if (!source.pixels_) return ImageError::BadParameter;
  const HeldPixels from = source.hold();
  const std::uint64_t generationBefore = generation_;
  PixelBlock resized = allocatePixelBlock(width, height);
  if (!resized) return ImageError::OutOfMemory;
  {
    ProgressScope scope(progress);
    resample(from.pixels(), from.width, from.height, resized.get(), width, height);
  }
  endProgress(progress);
  const ImageErrorCode code = lastError();
  if (code != ImageError::None) return code;
  if (generation_ != generationBefore) return ImageError::Aborted;
  adopt(std::move(resized), width, height);
  return ImageError::None;
}

ImageErrorCode DibImage::loadFromFile(const std::string& path, ProgressSink* progress) {
  return loadFromFile(path, identifyFileType(path), progress);
}

ImageErrorCode DibImage::loadFromFile(const std::string& path, FileType type, ProgressSink* progress) {
  free();
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelBlock block;
  ImageErrorCode code = ImageError::None;
  if (const FileFormat* format = fileFormatOf(type); format != nullptr && format->decodePath != nullptr) {
    block = format->decodePath(path, width, height);
    code = lastError();
  } else {
    std::unique_ptr<ImageStream> stream = openForReading(path);
    if (!stream) return lastError();
    {
      ProgressScope scope(progress);
      block = decodeStream(*stream, type, width, height);
    }
    endProgress(progress);
    code = lastError();
    closeStream(std::move(stream));
  }
  // Nothing decodes an unrecognised file, and silence must not pass for success.
  if (!block && code == ImageError::None) code = ImageError::BadParameter;
  if (block) {
    adopt(std::move(block), width, height);
    buildPalette();
  }
  return code;
}

ImageErrorCode DibImage::saveToFile(const std::string& path, FileType type, ProgressSink* progress,
                                    const EmbeddedMetadata& metadata) const {
  if (!pixels_) return ImageError::BadParameter;
  if (!isWritable(type)) return ImageError::BadParameter;  // no encoder: never replace the target with an empty file
  return saveHeldPixels(
      hold(), path,
      [&](ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
        encodeStream(stream, type, pixels, width, height, nullptr, metadata);
      },
      progress, finisherOf(type), metadata);
}

ImageErrorCode DibImage::saveAsJpeg(const std::string& path, int quality, const EmbeddedMetadata& metadata,
                                    ProgressSink* progress) const {
  if (!pixels_ || quality < 0 || quality > 100) return ImageError::BadParameter;
  return saveHeldPixels(
      hold(), path,
      [&](ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
        writeJpeg(stream, pixels, width, height, quality, false, metadata);
      },
      progress);
}

ImageErrorCode DibImage::saveAsJpeg(const std::string& path, int quality, const std::string& xmpPacket,
                                    ProgressSink* progress) const {
  EmbeddedMetadata metadata;
  metadata.xmp = xmpPacket;
  return saveAsJpeg(path, quality, metadata, progress);
}

ImageErrorCode savePictureAsRowsArrive(const HeldPixels& picture, const std::string& path, FileType type,
                                       const RowGate& rowsReady, const EmbeddedMetadata& metadata) {
  if (!picture.block) return ImageError::BadParameter;
  if (!isWritable(type)) return ImageError::BadParameter;
  return saveHeldPixels(
      picture, path,
      [&](ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
        encodeStream(stream, type, pixels, width, height, &rowsReady, metadata);
      },
      nullptr, finisherOf(type), metadata);
}

}  // namespace kelmira

#include "movie/quicktime/graphics_importer.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <new>

#include "image/file_type.h"
#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

namespace {

OSErr fromImageError(ImageErrorCode code) {
  switch (code) {
    case ImageError::None:
      return noErr;
    case ImageError::OutOfMemory:
      return memFullErr;
    case ImageError::FileOpen:
      return fnfErr;
    case ImageError::BadBmp:
    case ImageError::UnsupportedRle:
    case ImageError::WrongBitDepth:
    case ImageError::EndOfImage:
      return codecBadDataErr;
    default:
      return ioErr;
  }
}

bool emptyRect(const Rect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

}  // namespace

OSErr GraphicsImporter::draw() const {
  if (world_ == nullptr) return paramErr;
  const PixMap& target = world_->pixMap();
  const std::uint8_t* source = picture_.pixels();
  if (target.baseAddr == nullptr || source == nullptr) return paramErr;

  const std::int64_t pictureWidth = picture_.width();
  const std::int64_t pictureHeight = picture_.height();
  const std::int64_t destWidth = std::int64_t(boundsRect_.right) - boundsRect_.left;
  const std::int64_t destHeight = std::int64_t(boundsRect_.bottom) - boundsRect_.top;
  const int top = std::max(boundsRect_.top, target.bounds.top);
  const int bottom = std::min(boundsRect_.bottom, target.bounds.bottom);
  const int left = std::max(boundsRect_.left, target.bounds.left);
  const int right = std::min(boundsRect_.right, target.bounds.right);
  // Nearest pixel, so that at natural size every pixel is copied exactly.
  for (int y = top; y < bottom; ++y) {
    const std::int64_t sourceRow = (y - boundsRect_.top) * pictureHeight / destHeight;
    const std::uint8_t* sourceLine = source + sourceRow * pictureWidth * 3;
    std::uint8_t* out = target.baseAddr + std::int64_t(y - target.bounds.top) * target.rowBytes +
                        std::int64_t(left - target.bounds.left) * 4;
    for (int x = left; x < right; ++x) {
      const std::uint8_t* pixel = sourceLine + (x - boundsRect_.left) * pictureWidth / destWidth * 3;
      out[0] = 0xFF;
      out[1] = pixel[0];
      out[2] = pixel[1];
      out[3] = pixel[2];
      out += 4;
    }
  }
  return noErr;
}

OSErr getGraphicsImporterForFile(const std::string& path, GraphicsImportComponent* importer) {
  if (importer == nullptr) return paramErr;
  *importer = nullptr;
  if (!movieToolboxReady()) return qtmlUninitialized;
  if (path.empty()) return paramErr;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return fnfErr;
  if (fileTypeFromContent(path) != FileTypeBmp) return cantFindHandler;

  GraphicsImporter* made = new (std::nothrow) GraphicsImporter;
  if (made == nullptr) return memFullErr;
  const OSErr result = fromImageError(made->picture_.loadFromFile(path));
  constexpr int kLargest = std::numeric_limits<std::int16_t>::max();
  if (result == noErr && (made->picture_.width() > kLargest || made->picture_.height() > kLargest)) {
    delete made;
    return codecSizeErr;
  }
  if (result != noErr || !made->picture_.hasPixels()) {
    delete made;
    return result != noErr ? result : codecBadDataErr;
  }
  made->naturalBounds_ = Rect{0, 0, static_cast<std::int16_t>(made->picture_.height()),
                              static_cast<std::int16_t>(made->picture_.width())};
  made->boundsRect_ = made->naturalBounds_;
  *importer = made;
  return noErr;
}

OSErr graphicsImportGetNaturalBounds(GraphicsImportComponent importer, Rect* naturalBounds) {
  if (importer == nullptr || naturalBounds == nullptr) return paramErr;
  *naturalBounds = importer->naturalBounds();
  return noErr;
}

OSErr graphicsImportGetBoundsRect(GraphicsImportComponent importer, Rect* bounds) {
  if (importer == nullptr || bounds == nullptr) return paramErr;
  *bounds = importer->boundsRect();
  return noErr;
}

OSErr graphicsImportSetBoundsRect(GraphicsImportComponent importer, const Rect* bounds) {
  if (importer == nullptr || bounds == nullptr || emptyRect(*bounds)) return paramErr;
  importer->setBoundsRect(*bounds);
  return noErr;
}

OSErr graphicsImportSetGWorld(GraphicsImportComponent importer, GWorldPtr port, const void* gdh) {
  if (importer == nullptr || gdh != nullptr) return paramErr;
  importer->setGWorld(port);
  return noErr;
}

OSErr graphicsImportDraw(GraphicsImportComponent importer) {
  if (importer == nullptr) return paramErr;
  return importer->draw();
}

OSErr closeComponent(GraphicsImportComponent importer) {
  delete importer;
  return noErr;
}

}  // namespace kelmira

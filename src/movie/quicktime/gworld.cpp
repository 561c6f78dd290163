#include "movie/quicktime/gworld.h"

#include <cstring>
#include <new>

#include "movie/quicktime/movie_runtime.h"

namespace kelmira {

OSErr newGWorld(GWorldPtr* offscreenGWorld, std::int16_t pixelDepth, const Rect& boundsRect, const void* cTable,
                const void* aGDevice, std::uint32_t flags) {
  if (offscreenGWorld == nullptr) return paramErr;
  *offscreenGWorld = nullptr;
  if (!movieToolboxReady()) return qtmlUninitialized;
  if ((pixelDepth != 0 && pixelDepth != 32) || cTable != nullptr || aGDevice != nullptr || flags != 0) return paramErr;
  const std::int32_t width = std::int32_t(boundsRect.right) - boundsRect.left;
  const std::int32_t height = std::int32_t(boundsRect.bottom) - boundsRect.top;
  if (width <= 0 || height <= 0) return paramErr;

  // Rows are padded to 16 bytes, as QuickTime aligns its offscreen rows.
  const std::int32_t rowBytes = (width * 4 + 15) & ~15;
  const std::size_t bytes = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height);
  GWorld* world = new (std::nothrow) GWorld;
  if (world == nullptr) return memFullErr;
  world->pixels_.reset(new (std::nothrow) std::uint8_t[bytes]);
  if (!world->pixels_) {
    delete world;
    return memFullErr;
  }
  std::memset(world->pixels_.get(), 0xFF, bytes);
  world->pixMap_.baseAddr = world->pixels_.get();
  world->pixMap_.rowBytes = rowBytes;
  world->pixMap_.bounds = boundsRect;
  *offscreenGWorld = world;
  return noErr;
}

PixMapHandle getGWorldPixMap(GWorldPtr world) { return world == nullptr ? nullptr : &world->pixMap(); }

bool lockPixels(PixMapHandle pixMap) {
  if (pixMap == nullptr || pixMap->baseAddr == nullptr) return false;
  ++pixMap->lockCount;
  return true;
}

void unlockPixels(PixMapHandle pixMap) {
  if (pixMap != nullptr && pixMap->lockCount > 0) --pixMap->lockCount;
}

void disposeGWorld(GWorldPtr world) { delete world; }

void offsetRect(Rect& rect, int dh, int dv) {
  rect.left = static_cast<std::int16_t>(rect.left + dh);
  rect.right = static_cast<std::int16_t>(rect.right + dh);
  rect.top = static_cast<std::int16_t>(rect.top + dv);
  rect.bottom = static_cast<std::int16_t>(rect.bottom + dv);
}

}  // namespace kelmira

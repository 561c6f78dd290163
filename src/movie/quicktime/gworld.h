#pragma once

#include <cstdint>
#include <memory>

#include "movie/quicktime/qt_types.h"

namespace kelmira {

// QuickTime's 32-bit pixel format: per pixel the bytes alpha, red, green, blue.
inline constexpr OSType k32ARGBPixelFormat = 0x00000020;

// Pixels of an offscreen world: row r, column c (counted from bounds.top and
// bounds.left) starts at baseAddr + r * rowBytes + 4 * c.
struct PixMap {
  std::uint8_t* baseAddr = nullptr;
  std::int32_t rowBytes = 0;
  Rect bounds;
  std::int16_t pixelSize = 32;
  OSType pixelFormat = k32ARGBPixelFormat;
  std::int32_t lockCount = 0;
};
using PixMapHandle = PixMap*;

// An offscreen graphics world: a 32-bit pixel buffer covering its bounds rectangle.
class GWorld {
 public:
  GWorld(const GWorld&) = delete;
  GWorld& operator=(const GWorld&) = delete;

  PixMap& pixMap() { return pixMap_; }

 private:
  friend OSErr newGWorld(GWorld**, std::int16_t, const Rect&, const void*, const void*, std::uint32_t);
  GWorld() = default;
  std::unique_ptr<std::uint8_t[]> pixels_;
  PixMap pixMap_;
};
using GWorldPtr = GWorld*;

// Depth 0 (QuickTime chooses) and 32 make a 32-bit world; no other depth is offered.
// Colour tables, devices and flags are not supported and must be null / 0. A new
// world is white, as an erased QuickDraw port is. Needs the runtime started.
OSErr newGWorld(GWorldPtr* offscreenGWorld, std::int16_t pixelDepth, const Rect& boundsRect,
                const void* cTable = nullptr, const void* aGDevice = nullptr, std::uint32_t flags = 0);
PixMapHandle getGWorldPixMap(GWorldPtr world);
// The pixels never move or purge here, so locking only counts; false for no pixmap.
bool lockPixels(PixMapHandle pixMap);
void unlockPixels(PixMapHandle pixMap);
void disposeGWorld(GWorldPtr world);

void offsetRect(Rect& rect, int dh, int dv);

}  // namespace kelmira

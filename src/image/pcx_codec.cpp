#include "image/pcx_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "image/layer_state.h"
#include "image/little_endian.h"
#include "image/stream_reader.h"

namespace kelmira {

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kTailPaletteBytes = 769;
constexpr std::uint8_t kTailPaletteMarker = 0x0C;

struct Header {
  std::uint32_t version;
  std::uint32_t bits;
  std::int32_t width;
  std::int32_t height;
  std::uint32_t planes;
  std::uint32_t bytesPerLine;
  const std::uint8_t* palette;  // 16 entries of red, green, blue
};

bool knownVersion(std::uint32_t version) { return version == 0 || version == 2 || version == 3 || version == 5; }

// The layouts this decoder turns into pixels; anything else is ImageError::BadPcx.
bool supportedLayout(const Header& h) {
  if (h.width <= 0 || h.height <= 0) return false;
  if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8) return false;
  if (h.planes < 1 || h.planes > 4) return false;
  if (h.planes * h.bits > 8 && !(h.planes == 3 && h.bits == 8)) return false;
  return std::uint64_t{h.bytesPerLine} * 8 >= std::uint64_t{h.bits} * static_cast<std::uint64_t>(h.width);
}

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Always 256 entries, so every index a line can hold stays inside; entries the file
// does not supply are black.
using ColourTable = std::array<Rgb, 256>;

ColourTable greyRamp() {
  ColourTable table;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    table[i] = Rgb{v, v, v};
  }
  return table;
}

// The 256-colour table that version 5 files append after the pixel data.
ColourTable tailPalette(ImageStream& stream) {
  const std::int64_t length = stream.length();
  std::array<std::uint8_t, kTailPaletteBytes> raw{};
  if (length < static_cast<std::int64_t>(kTailPaletteBytes) ||
      !stream.seek(length - static_cast<std::int64_t>(kTailPaletteBytes), ImageStream::Origin::Start) ||
      !stream.readExact(raw.data(), raw.size()) || raw[0] != kTailPaletteMarker) {
    return greyRamp();
  }
  ColourTable table;
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = Rgb{raw[1 + 3 * i], raw[2 + 3 * i], raw[3 + 3 * i]};
  return table;
}

ColourTable colourTable(ImageStream& stream, const Header& h) {
  const std::uint32_t pixelBits = h.planes * h.bits;
  if (pixelBits == 8) {
    return h.version == 5 ? tailPalette(stream) : greyRamp();
  }
  ColourTable table{};
  if (pixelBits == 1) {
    table[1] = Rgb{255, 255, 255};
  } else if (pixelBits < 8) {
    // The header has room for 16 colours; 6-bit files index past them into black.
    const std::size_t entries = std::min<std::size_t>(std::size_t{1} << pixelBits, 16);
    for (std::size_t i = 0; i < entries; ++i) {
      table[i] = Rgb{h.palette[3 * i], h.palette[3 * i + 1], h.palette[3 * i + 2]};
    }
  }
  return table;
}

// One line's worth of run-length data; a run that reaches past the line is cut there.
bool decodeLine(StreamReader& reader, std::uint8_t* line, std::size_t lineBytes) {
  std::size_t filled = 0;
  while (filled < lineBytes) {
    std::uint8_t value = 0;
    if (!reader.readByte(value)) return false;
    std::size_t count = 1;
    if ((value & 0xC0) == 0xC0) {
      count = value & 0x3F;
      if (!reader.readByte(value)) return false;
    }
    count = std::min(count, lineBytes - filled);
    std::memset(line + filled, value, count);
    filled += count;
  }
  return true;
}

std::uint32_t sampleAt(const std::uint8_t* plane, std::size_t x, std::uint32_t bits) {
  switch (bits) {
    case 1: return (plane[x >> 3] >> (7 - (x & 7))) & 1;
    case 2: return (plane[x >> 2] >> (6 - 2 * (x & 3))) & 3;
    case 4: return (plane[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default: return plane[x];
  }
}

void convertLine(const std::uint8_t* line, std::uint8_t* out, const Header& h, const ColourTable& table) {
  const auto width = static_cast<std::size_t>(h.width);
  if (h.planes == 3 && h.bits == 8) {
    for (std::size_t x = 0; x < width; ++x, out += 3) {
      for (std::size_t k = 0; k < 3; ++k) out[k] = line[k * h.bytesPerLine + x];
    }
    return;
  }
  // Plane 0 holds the lowest bits of the index.
  for (std::size_t x = 0; x < width; ++x, out += 3) {
    std::uint32_t index = 0;
    for (std::uint32_t p = 0; p < h.planes; ++p) index |= sampleAt(line + p * h.bytesPerLine, x, h.bits) << (p * h.bits);
    const Rgb& colour = table[index & 0xFF];
    out[0] = colour.red;
    out[1] = colour.green;
    out[2] = colour.blue;
  }
}

}  // namespace

PixelBlock readPcx(ImageStream& stream, std::int32_t& width, std::int32_t& height) {
  LayerCall call;
  std::array<std::uint8_t, kHeaderBytes> raw{};
  if (!readFixedHeader(stream, call, ImageError::BadPcx, raw, width, height)) return nullptr;
  if (raw[0] != 0x0A || !knownVersion(raw[1])) {
    call.fail(ImageError::BadPcx);
    return nullptr;
  }
  const Header h{raw[1],
                 raw[3],
                 static_cast<std::int32_t>(readLe16(&raw[8])) - static_cast<std::int32_t>(readLe16(&raw[4])) + 1,
                 static_cast<std::int32_t>(readLe16(&raw[10])) - static_cast<std::int32_t>(readLe16(&raw[6])) + 1,
                 raw[65],
                 readLe16(&raw[66]),
                 &raw[16]};
  if (!supportedLayout(h)) {
    call.fail(ImageError::BadPcx);
    return nullptr;
  }
  const ColourTable table = colourTable(stream, h);
  if (!stream.seek(kHeaderBytes, ImageStream::Origin::Start)) {
    call.fail(ImageError::FileRead);
    return nullptr;
  }

  PixelBlock pixels = allocatePixelBlock(h.width, h.height);
  const std::size_t lineBytes = std::size_t{h.planes} * h.bytesPerLine;
  std::unique_ptr<std::uint8_t[]> line(pixels ? new (std::nothrow) std::uint8_t[lineBytes] : nullptr);
  if (!line) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }
  StreamReader reader(stream);
  const std::size_t stride = 3 * static_cast<std::size_t>(h.width);
  for (std::int32_t y = 0; y < h.height; ++y) {
    if (!decodeLine(reader, line.get(), lineBytes)) {
      call.fail(ImageError::FileRead);
      break;
    }
    convertLine(line.get(), pixels.get() + static_cast<std::size_t>(y) * stride, h, table);
    if (!call.progress(y, h.height)) break;
  }
  width = h.width;
  height = h.height;
  return pixels;
}

}  // namespace kelmira

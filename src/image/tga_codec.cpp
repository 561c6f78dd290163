#include "image/tga_codec.h"

#include <array>
#include <memory>
#include <new>

#include "image/layer_state.h"
#include "image/little_endian.h"
#include "image/stream_reader.h"

namespace kelmira {

namespace {

constexpr std::size_t kHeaderBytes = 18;
constexpr std::uint32_t kTopRowFirst = 0x20;

bool knownType(std::uint32_t type) { return (type >= 1 && type <= 3) || (type >= 9 && type <= 11); }

bool runLength(std::uint32_t type) { return type >= 9; }

// Bytes of one pixel or colour-map entry of the given depth; 0 for depths the format
// does not define.
std::size_t bytesOfDepth(std::uint32_t depth) {
  switch (depth) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
  }
}

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Always 256 entries; an index the colour map does not reach reads black.
using ColourTable = std::array<Rgb, 256>;

Rgb directColour(const std::uint8_t* p, std::size_t bytes) {
  switch (bytes) {
    case 1: return Rgb{p[0], p[0], p[0]};
    case 2: {
      const std::uint32_t v = readLe16(p);
      return Rgb{static_cast<std::uint8_t>(((v >> 10) & 31) * 8), static_cast<std::uint8_t>(((v >> 5) & 31) * 8),
                 static_cast<std::uint8_t>((v & 31) * 8)};
    }
    default: return Rgb{p[2], p[1], p[0]};
  }
}

// How the pixel values of one file become colours.
struct PixelFormat {
  std::size_t bytes;
  bool indexed;
  const ColourTable* table;

  void put(const std::uint8_t* value, std::uint8_t* out) const {
    Rgb colour;
    if (indexed) {
      std::uint32_t index = 0;
      for (std::size_t i = bytes; i-- > 0;) index = index << 8 | value[i];
      if (index < table->size()) colour = (*table)[index];
    } else {
      colour = directColour(value, bytes);
    }
    out[0] = colour.red;
    out[1] = colour.green;
    out[2] = colour.blue;
  }
};

// Run-length packets continue across row ends, so the packet state outlives a row.
class PacketDecoder {
 public:
  PacketDecoder(StreamReader& reader, const PixelFormat& format) : reader_(reader), format_(format) {}

  bool decodeRow(std::uint8_t* out, std::size_t width) {
    for (std::size_t x = 0; x < width; ++x, out += 3) {
      if (left_ == 0) {
        std::uint8_t header = 0;
        if (!reader_.readByte(header)) return false;
        left_ = (header & 127u) + 1;
        repeat_ = (header & 128u) != 0;
        if (repeat_ && !reader_.read(value_.data(), format_.bytes)) return false;
      }
      if (!repeat_ && !reader_.read(value_.data(), format_.bytes)) return false;
      --left_;
      format_.put(value_.data(), out);
    }
    return true;
  }

 private:
  StreamReader& reader_;
  const PixelFormat& format_;
  std::uint32_t left_ = 0;
  bool repeat_ = false;
  std::array<std::uint8_t, 4> value_{};
};

}  // namespace

PixelBlock readTga(ImageStream& stream, std::int32_t& width, std::int32_t& height) {
  LayerCall call;
  std::array<std::uint8_t, kHeaderBytes> header{};
  if (!readFixedHeader(stream, call, ImageError::FileRead, header, width, height)) return nullptr;
  const std::uint32_t idLength = header[0];
  const bool hasColourMap = header[1] == 1;
  const std::uint32_t type = header[2];
  const std::uint32_t mapFirst = readLe16(&header[3]);
  const std::uint32_t mapLength = readLe16(&header[5]);
  const std::uint32_t mapDepth = header[7];
  const auto fileWidth = static_cast<std::int32_t>(readLe16(&header[12]));
  const auto fileHeight = static_cast<std::int32_t>(readLe16(&header[14]));
  const std::uint32_t depth = header[16];
  const bool topRowFirst = (header[17] & kTopRowFirst) != 0;
  const std::size_t pixelBytes = bytesOfDepth(depth);
  const std::size_t mapBytes = bytesOfDepth(mapDepth);
  if (!knownType(type) || pixelBytes == 0 || (hasColourMap && mapLength != 0 && mapBytes == 0) || fileWidth == 0 ||
      fileHeight == 0) {
    call.fail(ImageError::BadTga);
    return nullptr;
  }

  StreamReader reader(stream);
  std::array<std::uint8_t, 255> skipped{};
  if (!reader.read(skipped.data(), idLength)) {
    call.fail(ImageError::FileRead);
    return nullptr;
  }
  ColourTable table{};
  if (hasColourMap) {
    // Entries past the table's end are read and dropped.
    std::array<std::uint8_t, 4> entry{};
    for (std::uint32_t i = 0; i < mapLength; ++i) {
      if (!reader.read(entry.data(), mapBytes)) {
        call.fail(ImageError::FileRead);
        return nullptr;
      }
      if (mapFirst + i < table.size()) table[mapFirst + i] = directColour(entry.data(), mapBytes);
    }
  }
  const bool indexed = hasColourMap && type != 2 && type != 3 && type != 10;
  const PixelFormat format{pixelBytes, indexed, &table};

  PixelBlock pixels = allocatePixelBlock(fileWidth, fileHeight);
  const auto rowPixels = static_cast<std::size_t>(fileWidth);
  std::unique_ptr<std::uint8_t[]> fileRow(pixels ? new (std::nothrow) std::uint8_t[rowPixels * pixelBytes] : nullptr);
  if (!fileRow) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }
  PacketDecoder packets(reader, format);
  const std::size_t stride = 3 * rowPixels;
  for (std::int32_t r = 0; r < fileHeight; ++r) {
    std::uint8_t* out = pixels.get() + static_cast<std::size_t>(topRowFirst ? r : fileHeight - 1 - r) * stride;
    bool complete = true;
    if (runLength(type)) {
      complete = packets.decodeRow(out, rowPixels);
    } else if ((complete = reader.read(fileRow.get(), rowPixels * pixelBytes))) {
      for (std::size_t x = 0; x < rowPixels; ++x) format.put(fileRow.get() + x * pixelBytes, out + 3 * x);
    }
    if (!complete) {
      call.fail(ImageError::FileRead);
      return nullptr;
    }
    if (!call.progress(r, fileHeight)) return nullptr;
  }
  width = fileWidth;
  height = fileHeight;
  return pixels;
}

}  // namespace kelmira

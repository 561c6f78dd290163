#include "image/bmp_codec.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

#include "image/layer_state.h"
#include "image/little_endian.h"
#include "image/stream_reader.h"

namespace kelmira {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::size_t kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Always the full 256 entries, so any index a file holds stays inside; entries the
// file does not supply are black.
using ColourTable = std::array<Rgb, 256>;

// Reads up to 256 of the announced entries; returns the bytes consumed.
std::size_t readColourTable(ImageStream& stream, std::uint64_t announced, ColourTable& table) {
  const std::size_t entries = static_cast<std::size_t>(std::min<std::uint64_t>(announced, table.size()));
  std::array<std::uint8_t, 4 * 256> raw{};
  const std::size_t got = stream.readSome(raw.data(), 4 * entries);
  for (std::size_t i = 0; i < got / 4; ++i) {
    table[i] = Rgb{raw[4 * i + 2], raw[4 * i + 1], raw[4 * i]};
  }
  return got;
}

void putIndexed(std::uint8_t* out, const ColourTable& table, std::uint32_t index) {
  const Rgb& colour = table[index & 0xFF];
  out[0] = colour.red;
  out[1] = colour.green;
  out[2] = colour.blue;
}

void convertRow(const std::uint8_t* in, std::uint8_t* out, std::int64_t width, std::uint32_t bits,
                const ColourTable& table) {
  for (std::int64_t x = 0; x < width; ++x, out += 3) {
    switch (bits) {
      case 1:
        putIndexed(out, table, (in[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      case 4:
        putIndexed(out, table, (x & 1) ? in[x >> 1] & 0x0F : in[x >> 1] >> 4);
        break;
      case 8:
        putIndexed(out, table, in[x]);
        break;
      case 16: {
        const std::uint32_t value = readLe16(in + 2 * x);
        out[0] = static_cast<std::uint8_t>(((value >> 10) & 0x1F) * 8 + 7);
        out[1] = static_cast<std::uint8_t>(((value >> 5) & 0x1F) * 8 + 7);
        out[2] = static_cast<std::uint8_t>((value & 0x1F) * 8 + 7);
        break;
      }
      case 24:
        out[0] = in[3 * x + 2];
        out[1] = in[3 * x + 1];
        out[2] = in[3 * x];
        break;
      default:  // 32
        out[0] = in[4 * x + 2];
        out[1] = in[4 * x + 1];
        out[2] = in[4 * x];
        break;
    }
  }
}

// RLE4/RLE8 pixel data into a bottom-up block; failures are left in call.
class RleDecoder {
 public:
  RleDecoder(LayerCall& call, std::uint8_t* pixels, std::int64_t width, std::int64_t rows,
             std::uint32_t bits, const ColourTable& table)
      : call_(call), pixels_(pixels), width_(width), rows_(rows), bits_(bits), table_(table) {}

  void run(ImageStream& stream) {
    if (!reportRows()) return;
    std::array<std::uint8_t, 256> literal{};
    for (;;) {
      std::uint8_t pair[2];
      if (!stream.readExact(pair, 2)) {
        call_.fail(ImageError::FileRead);
        return;
      }
      if (pair[0] != 0) {
        for (std::uint32_t i = 0; i < pair[0]; ++i) {
          paint(bits_ == 8 ? pair[1] : (i & 1) ? pair[1] & 0x0F : pair[1] >> 4);
        }
        continue;
      }
      switch (pair[1]) {
        case 0:  // end of row
          x_ = 0;
          ++row_;
          if (!reportRows()) return;
          break;
        case 1:  // end of bitmap
          return;
        case 2: {  // delta
          std::uint8_t move[2];
          if (!stream.readExact(move, 2)) {
            call_.fail(ImageError::FileRead);
            return;
          }
          x_ += move[0];
          row_ += move[1];
          if (!reportRows()) return;
          break;
        }
        default: {  // literal run, padded to a whole number of 16-bit words
          const std::uint32_t count = pair[1];
          std::size_t bytes = bits_ == 8 ? count : (count + 1) / 2;
          bytes += bytes & 1;
          if (!stream.readExact(literal.data(), bytes)) {
            call_.fail(ImageError::FileRead);
            return;
          }
          for (std::uint32_t i = 0; i < count; ++i) {
            paint(bits_ == 8 ? literal[i] : (i & 1) ? literal[i / 2] & 0x0F : literal[i / 2] >> 4);
          }
          break;
        }
      }
    }
  }

 private:
  void paint(std::uint32_t index) {
    if (x_ < width_ && row_ < rows_) {
      putIndexed(pixels_ + static_cast<std::size_t>((rows_ - 1 - row_) * width_ + x_) * 3, table_, index);
    }
    ++x_;
  }

  // Reports every row the decoder has entered since the last report, once each.
  bool reportRows() {
    while (reported_ < row_ && reported_ + 1 < rows_) {
      ++reported_;
      if (!call_.progress(static_cast<std::int32_t>(reported_), static_cast<std::int32_t>(rows_))) return false;
    }
    return true;
  }

  LayerCall& call_;
  std::uint8_t* pixels_;
  std::int64_t width_;
  std::int64_t rows_;
  std::uint32_t bits_;
  const ColourTable& table_;
  std::int64_t x_ = 0;
  std::int64_t row_ = 0;
  std::int64_t reported_ = -1;
};

}  // namespace

PixelBlock readBmp(ImageStream& stream, std::int32_t& width, std::int32_t& height) {
  LayerCall call;
  std::array<std::uint8_t, kHeaderBytes> header{};
  if (!readFixedHeader(stream, call, ImageError::FileRead, header, width, height)) return nullptr;
  if (header[0] != 'B' || header[1] != 'M') {
    call.fail(ImageError::BadBmp);
    return nullptr;
  }
  const std::uint32_t pixelOffset = readLe32(&header[10]);
  const auto fileWidth = static_cast<std::int32_t>(readLe32(&header[18]));
  const auto fileHeight = static_cast<std::int32_t>(readLe32(&header[22]));
  const std::uint32_t bits = readLe16(&header[28]);
  const std::uint32_t compression = readLe32(&header[30]);
  const std::uint32_t coloursUsed = readLe32(&header[46]);
  if (fileWidth <= 0) return nullptr;

  const bool rle = (compression == kCompressionRle8 && bits == 8) || (compression == kCompressionRle4 && bits == 4);
  if (!rle && compression != kCompressionNone) {
    call.fail(ImageError::BadBmp);
    return nullptr;
  }
  ColourTable table{};
  std::int64_t consumed = kHeaderBytes;
  // Version 4 and 5 headers are longer than 40 bytes and the colour table follows them.
  const std::uint32_t infoSize = readLe32(&header[14]);
  if (infoSize > 40 && std::uint64_t{14} + infoSize <= pixelOffset) {
    if (!stream.seek(infoSize - 40, ImageStream::Origin::Current)) {
      call.fail(ImageError::FileRead);
      return nullptr;
    }
    consumed += infoSize - 40;
  }
  if (bits == 1 || bits == 4 || bits == 8 || bits == 16) {
    const std::uint64_t announced = coloursUsed != 0 ? coloursUsed : std::uint64_t{1} << bits;
    consumed += static_cast<std::int64_t>(readColourTable(stream, announced, table));
  } else if (bits != 24 && bits != 32) {
    call.fail(ImageError::BadBmp);
    return nullptr;
  }
  if (!stream.seek(static_cast<std::int64_t>(pixelOffset) - consumed, ImageStream::Origin::Current)) {
    call.fail(ImageError::FileRead);
    return nullptr;
  }

  const std::int64_t rows = fileHeight < 0 ? -static_cast<std::int64_t>(fileHeight) : fileHeight;
  PixelBlock pixels = allocatePixelBlock(fileWidth, rows);
  if (!pixels) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }

  if (rle) {
    RleDecoder(call, pixels.get(), fileWidth, rows, bits, table).run(stream);
  } else {
    const std::uint64_t stride = (static_cast<std::uint64_t>(bits) * static_cast<std::uint64_t>(fileWidth) + 31) / 32 * 4;
    std::unique_ptr<std::uint8_t[]> fileRow(new (std::nothrow) std::uint8_t[stride]);
    if (!fileRow) {
      call.fail(ImageError::OutOfMemory);
      return nullptr;
    }
    const std::size_t outStride = 3 * static_cast<std::size_t>(fileWidth);
    for (std::int64_t i = 0; i < rows; ++i) {
      if (!call.progress(static_cast<std::int32_t>(i), static_cast<std::int32_t>(rows))) break;
      if (!stream.readExact(fileRow.get(), stride)) {
        call.fail(ImageError::FileRead);
        break;
      }
      const std::int64_t outRow = fileHeight < 0 ? i : rows - 1 - i;
      convertRow(fileRow.get(), pixels.get() + static_cast<std::size_t>(outRow) * outStride, fileWidth, bits, table);
    }
  }
  width = fileWidth;
  height = static_cast<std::int32_t>(rows);
  return pixels;
}

std::int64_t writeBmp(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0) {
    call.fail(ImageError::BadParameter);
    return 0;
  }
  const std::uint64_t stride = (24 * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(height);
  if (imageBytes > std::numeric_limits<std::uint32_t>::max() - kHeaderBytes) {
    call.fail(ImageError::BadParameter);
    return 0;
  }

  std::array<std::uint8_t, kHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  storeLe32(&header[2], static_cast<std::uint32_t>(kHeaderBytes + imageBytes));
  storeLe32(&header[10], kHeaderBytes);
  storeLe32(&header[14], kInfoHeaderBytes);
  storeLe32(&header[18], static_cast<std::uint32_t>(width));
  storeLe32(&header[22], static_cast<std::uint32_t>(height));
  storeLe16(&header[26], 1);
  storeLe16(&header[28], 24);
  storeLe32(&header[34], static_cast<std::uint32_t>(imageBytes));
  if (!stream.write(header.data(), header.size())) {
    call.fail(ImageError::FileWrite);
    return 0;
  }

  // Zero-filled once, so the padding at the end of every row stays zero.
  std::unique_ptr<std::uint8_t[]> fileRow(new (std::nothrow) std::uint8_t[stride]());
  if (!fileRow) {
    call.fail(ImageError::OutOfMemory);
    return 0;
  }
  const std::size_t inStride = 3 * static_cast<std::size_t>(width);
  for (std::int32_t i = 0; i < height; ++i) {
    if (!call.progress(i, height)) return 0;
    const std::uint8_t* in = pixels + static_cast<std::size_t>(height - 1 - i) * inStride;
    std::uint8_t* out = fileRow.get();
    for (std::int32_t x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
    if (!stream.write(fileRow.get(), stride)) {
      call.fail(ImageError::FileWrite);
      return 0;
    }
  }
  return encodedLength(stream, call);
}

}  // namespace kelmira

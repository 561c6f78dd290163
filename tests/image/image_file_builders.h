#pragma once

// Builders of PNG, PCX, TGA and bitmap files for the decoder tests and the fuzzers' seeds.
// PNG files come from libpng's writer or are put together chunk by chunk; PCX and TGA
// files are laid out field by field.

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include <png.h>
#include <zlib.h>

namespace kelmira::test {

using FileBytes = std::vector<std::uint8_t>;

inline void appendBigEndian32(FileBytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void appendLittleEndian16(FileBytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// ---- PNG ----

struct PngPicture {
  std::uint32_t width = 1;
  std::uint32_t height = 1;
  int colourType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  // Row after row, pixel after pixel, one value per channel (an index for palettes).
  std::vector<std::uint32_t> samples;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> paletteAlpha;       // tRNS of a palette file
  std::optional<png_color_16> transparent;  // tRNS of a grey or RGB file
  std::optional<png_color_16> background;   // bKGD
  std::optional<double> gamma;              // gAMA
  bool srgb = false;                        // sRGB
};

inline PngPicture pngPicture(std::uint32_t width, std::uint32_t height, int colourType, int bitDepth,
                             std::vector<std::uint32_t> samples) {
  PngPicture picture;
  picture.width = width;
  picture.height = height;
  picture.colourType = colourType;
  picture.bitDepth = bitDepth;
  picture.samples = std::move(samples);
  return picture;
}

inline int pngChannels(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

// One row in the file's packing: sub-byte samples most significant first, 16-bit
// samples big-endian.
inline FileBytes packPngRow(const PngPicture& picture, std::uint32_t y) {
  const std::size_t perRow = static_cast<std::size_t>(picture.width) * pngChannels(picture.colourType);
  FileBytes row((perRow * picture.bitDepth + 7) / 8, 0);
  for (std::size_t i = 0; i < perRow; ++i) {
    const std::uint32_t v = picture.samples[y * perRow + i];
    if (picture.bitDepth == 16) {
      row[2 * i] = static_cast<std::uint8_t>(v >> 8);
      row[2 * i + 1] = static_cast<std::uint8_t>(v);
    } else if (picture.bitDepth == 8) {
      row[i] = static_cast<std::uint8_t>(v);
    } else {
      const std::size_t bit = i * picture.bitDepth;
      row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - picture.bitDepth - bit % 8));
    }
  }
  return row;
}

inline void appendToBytes(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<FileBytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

inline void noFlush(png_structp) {}

// The picture written by libpng; empty when libpng refuses it.
inline FileBytes encodePng(const PngPicture& picture) {
  FileBytes out;
  std::vector<FileBytes> rows;
  for (std::uint32_t y = 0; y < picture.height; ++y) rows.push_back(packPngRow(picture, y));
  std::vector<png_bytep> rowPointers;
  for (FileBytes& row : rows) rowPointers.push_back(row.data());

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, appendToBytes, noFlush);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colourType,
               picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty()) {
    png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
  }
  if (!picture.paletteAlpha.empty()) {
    png_set_tRNS(png, info, picture.paletteAlpha.data(), static_cast<int>(picture.paletteAlpha.size()), nullptr);
  }
  if (picture.transparent) png_set_tRNS(png, info, nullptr, 0, &*picture.transparent);
  if (picture.background) png_set_bKGD(png, info, &*picture.background);
  if (picture.gamma) png_set_gAMA(png, info, *picture.gamma);
  if (picture.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(png, info);
  png_write_image(png, rowPointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

inline FileBytes pngSignature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

// Length, type, data and the CRC of type and data.
inline FileBytes pngChunk(const char* type, const FileBytes& data) {
  FileBytes out;
  appendBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  FileBytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  appendBigEndian32(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
  return out;
}

inline FileBytes pngHeaderChunk(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth,
                                std::uint8_t colourType, std::uint8_t interlace = 0) {
  FileBytes data;
  appendBigEndian32(data, width);
  appendBigEndian32(data, height);
  data.insert(data.end(), {bitDepth, colourType, 0, 0, interlace});
  return pngChunk("IHDR", data);
}

// Rows that already carry their filter byte, deflated into one IDAT chunk.
inline FileBytes pngDataChunk(const FileBytes& filteredRows) {
  uLongf size = compressBound(static_cast<uLong>(filteredRows.size()));
  FileBytes packed(size);
  compress(packed.data(), &size, filteredRows.data(), static_cast<uLong>(filteredRows.size()));
  packed.resize(size);
  return pngChunk("IDAT", packed);
}

inline FileBytes joinBytes(std::initializer_list<FileBytes> parts) {
  FileBytes out;
  for (const FileBytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// ---- PCX ----

struct PcxHeader {
  std::uint8_t version = 5;
  std::uint8_t bits = 8;
  std::uint16_t xmin = 0;
  std::uint16_t ymin = 0;
  std::uint16_t xmax = 0;
  std::uint16_t ymax = 0;
  std::uint8_t planes = 1;
  std::uint16_t bytesPerLine = 0;
  FileBytes palette;  // up to 16 entries of red, green, blue
};

// The 128-byte header, then the bytes given.
inline FileBytes pcxFile(const PcxHeader& h, const FileBytes& data) {
  FileBytes out{0x0A, h.version, 1, h.bits};
  for (std::uint32_t field : {h.xmin, h.ymin, h.xmax, h.ymax, std::uint16_t{72}, std::uint16_t{72}}) {
    appendLittleEndian16(out, field);
  }
  FileBytes palette = h.palette;
  palette.resize(48, 0);
  out.insert(out.end(), palette.begin(), palette.end());
  out.push_back(0);
  out.push_back(h.planes);
  appendLittleEndian16(out, h.bytesPerLine);
  appendLittleEndian16(out, 1);
  out.resize(128, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// Run-length codes of one line: runs of up to 63, and single bytes below 0xC0 as they are.
inline FileBytes pcxRunLength(const FileBytes& line) {
  FileBytes out;
  for (std::size_t i = 0; i < line.size();) {
    std::size_t run = 1;
    while (i + run < line.size() && line[i + run] == line[i] && run < 63) ++run;
    if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
    out.push_back(line[i]);
    i += run;
  }
  return out;
}

// ---- TGA ----

struct TgaHeader {
  std::uint8_t idLength = 0;
  std::uint8_t mapType = 0;
  std::uint8_t type = 2;
  std::uint16_t mapFirst = 0;
  std::uint16_t mapLength = 0;
  std::uint8_t mapDepth = 0;
  std::uint16_t width = 1;
  std::uint16_t height = 1;
  std::uint8_t depth = 24;
  std::uint8_t descriptor = 0;
};

// The 18-byte header, then the bytes given (identification, colour map, pixels).
inline FileBytes tgaFile(const TgaHeader& h, const FileBytes& body) {
  FileBytes out{h.idLength, h.mapType, h.type};
  appendLittleEndian16(out, h.mapFirst);
  appendLittleEndian16(out, h.mapLength);
  out.push_back(h.mapDepth);
  appendLittleEndian16(out, 0);
  appendLittleEndian16(out, 0);
  appendLittleEndian16(out, h.width);
  appendLittleEndian16(out, h.height);
  out.push_back(h.depth);
  out.push_back(h.descriptor);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// ---- Windows bitmap ----

inline void appendLittleEndian32(FileBytes& out, std::uint32_t value) {
  appendLittleEndian16(out, value & 0xFFFF);
  appendLittleEndian16(out, value >> 16);
}

// File and information headers, the colour table (blue, green, red, 0 an entry) and
// the pixel data as given; a negative height stores the top row first.
inline FileBytes bmpFile(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression,
                         const FileBytes& colourTable, const FileBytes& pixelData) {
  const auto offset = static_cast<std::uint32_t>(54 + colourTable.size());
  FileBytes out{'B', 'M'};
  appendLittleEndian32(out, offset + static_cast<std::uint32_t>(pixelData.size()));
  appendLittleEndian32(out, 0);
  appendLittleEndian32(out, offset);
  appendLittleEndian32(out, 40);
  appendLittleEndian32(out, static_cast<std::uint32_t>(width));
  appendLittleEndian32(out, static_cast<std::uint32_t>(height));
  appendLittleEndian16(out, 1);
  appendLittleEndian16(out, bits);
  appendLittleEndian32(out, compression);
  appendLittleEndian32(out, static_cast<std::uint32_t>(pixelData.size()));
  appendLittleEndian32(out, 0);
  appendLittleEndian32(out, 0);
  appendLittleEndian32(out, static_cast<std::uint32_t>(colourTable.size() / 4));
  appendLittleEndian32(out, 0);
  out.insert(out.end(), colourTable.begin(), colourTable.end());
  out.insert(out.end(), pixelData.begin(), pixelData.end());
  return out;
}

}  // namespace kelmira::test

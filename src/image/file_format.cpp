#include "image/file_format.h"

#include <cctype>

#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"
#include "image/metafile_reader.h"
#include "image/pcx_codec.h"
#include "image/png_codec.h"
#include "image/tga_codec.h"
#include "image/tiff_codec.h"
#include "image/tiff_metadata.h"

namespace kelmira {

namespace {

using namespace std::string_view_literals;

// Metafiles without a frame of their own are drawn this size (0.01 mm) on grey.
constexpr std::int32_t kMetafileDefaultSize = 100;
constexpr RgbColour kMetafileBackground{128, 128, 128};

PixelBlock drawMetafile(const std::string& path, std::int32_t& width, std::int32_t& height) {
  return readMetafile(path, kMetafileDefaultSize, kMetafileDefaultSize, kMetafileBackground, width, height);
}

// Saved panoramas are JPEGs of quality 100, progressive.
std::int64_t encodeJpeg(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                        const EmbeddedMetadata& metadata, const RowGate* rowsReady) {
  return writeJpeg(stream, pixels, width, height, 100, true, metadata, rowsReady);
}

// BMP files are stored bottom row first, and TIFF is quick: both wait for the whole picture.
// A bitmap has no place for metadata.
std::int64_t encodeBmp(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                       const EmbeddedMetadata&, const RowGate*) {
  return writeBmp(stream, pixels, width, height);
}

std::int64_t encodeTiff(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                        const EmbeddedMetadata& metadata, const RowGate*) {
  return writeTiff(stream, pixels, width, height, metadata);
}

// The signatures are tested row by row in this order and the first match wins, so the
// longer JPEG form goes first and the one signature that is not at the start (EMF) last.
// GIF is recognised, but no type stands for it.
constexpr FileFormat kFormats[] = {
    {.type = FileTypeBmp,
     .name = "Windows bitmap",
     .extensions = {".BMP"sv},
     .signatures = {{{0, "BM"sv}}},
     .decode = readBmp,
     .encode = encodeBmp,
     .dialogLabel = "Windows BMP Files (*.BMP)"},
    {.type = FileTypeNone, .name = "GIF", .signatures = {{{0, "GIF89a"sv}, {0, "GIF87a"sv}}}},
    {.type = FileTypeJpeg,
     .name = "JPEG",
     .extensions = {".JPG"sv, ".JPEG"sv},
     .signatures = {{{0, "\xFF\xD8\xFF\xE0"sv}, {0, "\xFF\xD8\xFF"sv}}},
     .decode = readJpeg,
     .encode = encodeJpeg,
     .encodesRowsAsTheyArrive = true,
     .readColourProfile = readJpegColourProfile,
     .dialogLabel = "JPEG Files (*.JPG)"},
    {.type = FileTypePcx,
     .name = "PCX",
     .extensions = {".PCX"sv},
     .signatures = {{{0, "\x0A\x00"sv}, {0, "\x0A\x02"sv}, {0, "\x0A\x03"sv}, {0, "\x0A\x05"sv}}},
     .decode = readPcx},
    {.type = FileTypeTiff,
     .name = "TIFF",
     .extensions = {".TIF"sv, ".TIFF"sv},
     .signatures = {{{0, "MM"sv}, {0, "II"sv}}},
     .decode = readTiff,
     .encode = encodeTiff,
     .decoderFlipsToOrientation = true,
     .readColourProfile = readTiffColourProfile,
     .finishMetadata = embedTiffMetadata,
     .dialogLabel = "TIFF Files (*.TIF)"},
    {.type = FileTypePng,
     .name = "PNG",
     .extensions = {".PNG"sv},
     .signatures = {{{0, "\x89PNG\x0D\x0A\x1A\x0A"sv}}},
     .decode = readPng,
     .readColourProfile = readPngColourProfile},
    {.type = FileTypeWmf,
     .name = "Windows metafile",
     .extensions = {".WMF"sv},
     .signatures = {{{0, "\x01\x00\x09\x00\x00"sv}, {0, "\xD7\xCD\xC6\x9A"sv}}},
     .decodePath = drawMetafile},
    {.type = FileTypeEmf,
     .name = "enhanced Windows metafile",
     .extensions = {".EMF"sv},
     .signatures = {{{40, " EMF"sv}}},
     .decodePath = drawMetafile},
    {.type = FileTypeMovie, .name = "movie", .extensions = {".MOV"sv}, .dialogLabel = "MOVIE Files (*.MOV)"},
    {.type = FileTypeTga, .name = "TGA", .extensions = {".TGA"sv}, .decode = readTga},
};

}  // namespace

std::span<const FileFormat> fileFormats() { return kFormats; }

const FileFormat* fileFormatOf(FileType type) {
  if (type == FileTypeNone) return nullptr;
  for (const FileFormat& format : kFormats) {
    if (format.type == type) return &format;
  }
  return nullptr;
}

bool isWritable(FileType type) {
  const FileFormat* format = fileFormatOf(type);
  return format != nullptr && format->encode != nullptr;
}

bool hasExtension(const std::string& path, std::string_view extension) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.size() - dot != extension.size() || extension.empty()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(path[dot + i])) !=
        std::toupper(static_cast<unsigned char>(extension[i]))) {
      return false;
    }
  }
  return true;
}

std::string shortExtension(const FileFormat& format) {
  std::string extension(format.extensions[0].empty() ? "" : format.extensions[0].substr(1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace kelmira

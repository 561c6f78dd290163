// Writes the fuzzers' seed files: small valid pictures of every kind each decoder
// reads, made with our own encoders, the libraries' encoders and the test builders.
//   kelmira-make-fuzz-seeds FOLDER   (writes FOLDER/bmp, FOLDER/jpeg, ...)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

#include "image/bmp_codec.h"
#include "image/image_stream.h"
#include "image/jpeg_codec.h"
#include "image/tiff_codec.h"
#include "image/image_file_builders.h"

namespace {

using kelmira::test::FileBytes;
namespace fs = std::filesystem;

constexpr int kWidth = 7;
constexpr int kHeight = 5;

FileBytes picture(int width = kWidth, int height = kHeight) {
  FileBytes pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.insert(pixels.end(), {static_cast<std::uint8_t>(37 * x), static_cast<std::uint8_t>(51 * y),
                                   static_cast<std::uint8_t>(200 - 13 * (x + y))});
  return pixels;
}

void save(const fs::path& path, const FileBytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(file);
}

template <typename Encode>
void encodeTo(const fs::path& path, Encode&& encode) {
  std::unique_ptr<kelmira::ImageStream> stream = kelmira::openForWriting(path.string());
  if (!stream || encode(*stream) == 0) {
    std::fprintf(stderr, "cannot encode %s\n", path.c_str());
    std::exit(1);
  }
  kelmira::closeStream(std::move(stream));
}

void bmpSeeds(const fs::path& folder) {
  const FileBytes rgb = picture();
  encodeTo(folder / "rgb24.bmp", [&](kelmira::ImageStream& s) { return kelmira::writeBmp(s, rgb.data(), kWidth, kHeight); });
  const FileBytes table{0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0};
  save(folder / "indexed8.bmp", kelmira::test::bmpFile(5, -2, 8, 0, table, {0, 1, 2, 3, 1, 0, 0, 0, 3, 3, 2, 2, 1, 0, 0, 0}));
  save(folder / "mono1.bmp", kelmira::test::bmpFile(10, 2, 1, 0, FileBytes(table.begin(), table.begin() + 8),
                                                    {0xB5, 0x40, 0, 0, 0x0F, 0xC0, 0, 0}));
  save(folder / "rle8.bmp", kelmira::test::bmpFile(6, 3, 8, 1, table, {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 2, 1, 1, 0, 3, 2,
                                                                       0, 0, 0, 2, 1, 0, 6, 3, 0, 1}));
  save(folder / "rle4.bmp", kelmira::test::bmpFile(5, 2, 4, 2, table, {5, 0x12, 0, 0, 0, 5, 0x30, 0x12, 0x30, 0, 0, 1}));
  FileBytes sixteen;
  for (int i = 0; i < 8; ++i) kelmira::test::appendLittleEndian16(sixteen, 0x1111u * i);
  save(folder / "rgb16.bmp", kelmira::test::bmpFile(4, 2, 16, 0, {}, sixteen));
}

void writeLibjpeg(const fs::path& path, int components, J_COLOR_SPACE space, bool progressive) {
  const FileBytes rgb = picture(16, 12);
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&info, file);
  info.image_width = 16;
  info.image_height = 12;
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 75, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  info.restart_interval = 1;
  jpeg_start_compress(&info, TRUE);
  const char comment[] = "seed";
  jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(comment), sizeof comment - 1);
  std::vector<JSAMPLE> row(16 * components);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16 * components; ++x) row[x] = rgb[(y * 16 + x / components) * 3 + x % components];
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
}

void jpegSeeds(const fs::path& folder) {
  const FileBytes rgb = picture();
  encodeTo(folder / "progressive.jpg",
           [&](kelmira::ImageStream& s) { return kelmira::writeJpeg(s, rgb.data(), kWidth, kHeight, 90, true); });
  writeLibjpeg(folder / "baseline.jpg", 3, JCS_RGB, false);
  writeLibjpeg(folder / "grey.jpg", 1, JCS_GRAYSCALE, false);
  writeLibjpeg(folder / "grey-progressive.jpg", 1, JCS_GRAYSCALE, true);
}

void writeLibtiff(const fs::path& path, int samples, int bits, int photometric, int compression) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
  std::vector<std::uint16_t> map(std::size_t{1} << bits);
  if (photometric == PHOTOMETRIC_PALETTE) {
    for (std::size_t i = 0; i < map.size(); ++i) map[i] = static_cast<std::uint16_t>(i * 0x1111);
    TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
  }
  std::vector<std::uint8_t> row((8 * samples * bits + 7) / 8);
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(29 * i + 61 * y);
    TIFFWriteScanline(tif, row.data(), y, 0);
  }
  TIFFClose(tif);
}

void tiffSeeds(const fs::path& folder) {
  const FileBytes rgb = picture();
  encodeTo(folder / "rgb.tif", [&](kelmira::ImageStream& s) { return kelmira::writeTiff(s, rgb.data(), kWidth, kHeight); });
  writeLibtiff(folder / "lzw.tif", 3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW);
  writeLibtiff(folder / "deflate-grey.tif", 1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE);
  writeLibtiff(folder / "packbits-bilevel.tif", 1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_PACKBITS);
  writeLibtiff(folder / "palette.tif", 1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_NONE);
}

void pngSeeds(const fs::path& folder) {
  using kelmira::test::pngPicture;
  const FileBytes rgb = picture();
  save(folder / "rgb.png", kelmira::test::encodePng(pngPicture(kWidth, kHeight, PNG_COLOR_TYPE_RGB, 8, {rgb.begin(), rgb.end()})));

  auto indexed = pngPicture(6, 3, PNG_COLOR_TYPE_PALETTE, 4, {0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0, 1, 1, 2, 2, 3, 3});
  indexed.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 99, 199}, {255, 255, 255}};
  indexed.paletteAlpha = {0, 128, 255};
  indexed.background = png_color_16{1, 0, 0, 0, 0};
  save(folder / "palette-trns-bkgd.png", kelmira::test::encodePng(indexed));

  auto mono = pngPicture(9, 2, PNG_COLOR_TYPE_GRAY, 1, {1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0, 1, 1, 1, 0, 1, 1});
  mono.transparent = png_color_16{0, 0, 0, 0, 1};
  save(folder / "grey1-trns.png", kelmira::test::encodePng(mono));

  std::vector<std::uint32_t> greyAlpha;
  for (std::uint32_t i = 0; i < 2 * 9 * 9; ++i) greyAlpha.push_back(i * 2477 % 65536);
  auto interlaced = pngPicture(9, 9, PNG_COLOR_TYPE_GRAY_ALPHA, 16, greyAlpha);
  interlaced.interlaced = true;
  save(folder / "grey-alpha16-interlaced.png", kelmira::test::encodePng(interlaced));

  std::vector<std::uint32_t> rgba;
  for (std::uint32_t i = 0; i < 4 * 5 * 4; ++i) rgba.push_back(i * 37 % 256);
  auto withBackground = pngPicture(5, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba);
  withBackground.background = png_color_16{0, 10, 20, 30, 0};
  withBackground.gamma = 1.0;
  save(folder / "rgba-bkgd-gamma.png", kelmira::test::encodePng(withBackground));
}

void pcxSeeds(const fs::path& folder) {
  using kelmira::test::pcxFile;
  using kelmira::test::pcxRunLength;
  kelmira::test::PcxHeader rgb;
  rgb.xmax = kWidth - 1;
  rgb.ymax = kHeight - 1;
  rgb.planes = 3;
  rgb.bytesPerLine = 8;
  const FileBytes pixels = picture();
  FileBytes data;
  for (int y = 0; y < kHeight; ++y) {
    FileBytes line(3 * 8, 0);
    for (int k = 0; k < 3; ++k)
      for (int x = 0; x < kWidth; ++x) line[k * 8 + x] = pixels[(y * kWidth + x) * 3 + k];
    const FileBytes packed = pcxRunLength(line);
    data.insert(data.end(), packed.begin(), packed.end());
  }
  save(folder / "rgb24.pcx", pcxFile(rgb, data));

  kelmira::test::PcxHeader indexed;
  indexed.xmax = 5;
  indexed.ymax = 1;
  indexed.bytesPerLine = 6;
  FileBytes withTable = kelmira::test::joinBytes({pcxRunLength({0, 0, 0, 7, 200, 255}), pcxRunLength({1, 2, 3, 3, 3, 3})});
  withTable.push_back(0x0C);
  for (int i = 0; i < 256; ++i) withTable.insert(withTable.end(), {static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i)});
  save(folder / "indexed8.pcx", pcxFile(indexed, withTable));

  FileBytes palette;
  for (int i = 0; i < 48; ++i) palette.push_back(static_cast<std::uint8_t>(i * 5));
  kelmira::test::PcxHeader ega;
  ega.version = 2;
  ega.bits = 1;
  ega.xmax = 9;
  ega.ymax = 1;
  ega.planes = 4;
  ega.bytesPerLine = 2;
  ega.palette = palette;
  save(folder / "ega4planes.pcx", pcxFile(ega, {0xA5, 0x40, 0x3C, 0x80, 0x0F, 0x00, 0xC1, 0xFF, 0x01,  //
                                                0x55, 0x00, 0x33, 0x40, 0x11, 0x80, 0x77, 0x00}));
  kelmira::test::PcxHeader mono = ega;
  mono.planes = 1;
  mono.version = 0;
  save(folder / "mono.pcx", pcxFile(mono, {0xB5, 0x40, 0x0F, 0x00}));
  kelmira::test::PcxHeader six = ega;
  six.version = 3;
  six.bits = 2;
  six.xmax = 3;
  six.planes = 3;
  six.bytesPerLine = 1;
  save(folder / "two-bit-planes.pcx", pcxFile(six, {0x1B, 0x2D, 0x36, 0x27, 0x39, 0x0E}));
}

void tgaSeeds(const fs::path& folder) {
  using kelmira::test::tgaFile;
  const FileBytes pixels = picture();
  FileBytes bgr;
  for (std::size_t i = 0; i < pixels.size(); i += 3) bgr.insert(bgr.end(), {pixels[i + 2], pixels[i + 1], pixels[i]});
  kelmira::test::TgaHeader plain;
  plain.width = kWidth;
  plain.height = kHeight;
  save(folder / "rgb24.tga", tgaFile(plain, bgr));

  kelmira::test::TgaHeader top = plain;
  top.depth = 32;
  top.descriptor = 0x28;
  top.idLength = 3;
  FileBytes bgra{'i', 'd', '!'};
  for (std::size_t i = 0; i < bgr.size(); i += 3) bgra.insert(bgra.end(), {bgr[i], bgr[i + 1], bgr[i + 2], 255});
  save(folder / "rgba32-top.tga", tgaFile(top, bgra));

  kelmira::test::TgaHeader sixteen;
  sixteen.width = 4;
  sixteen.height = 2;
  sixteen.depth = 16;
  save(folder / "rgb16.tga", tgaFile(sixteen, {0xFF, 0x7F, 0, 0, 0, 0x7C, 0xE0, 0x83, 0x1F, 0, 0x10, 0x42, 1, 2, 3, 4}));

  kelmira::test::TgaHeader mapped;
  mapped.mapType = 1;
  mapped.type = 1;
  mapped.mapFirst = 1;
  mapped.mapLength = 3;
  mapped.mapDepth = 24;
  mapped.width = 4;
  mapped.height = 2;
  mapped.depth = 8;
  save(folder / "mapped8.tga", tgaFile(mapped, {3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 1, 2, 3, 3, 2, 1, 0}));

  kelmira::test::TgaHeader rle = plain;
  rle.type = 10;
  rle.width = 3;
  rle.height = 2;
  save(folder / "rle24.tga", tgaFile(rle, {0x83, 0, 0, 200, 0x01, 1, 2, 3, 4, 5, 6}));
  kelmira::test::TgaHeader rleGrey = rle;
  rleGrey.type = 11;
  rleGrey.depth = 8;
  rleGrey.descriptor = 0x20;
  save(folder / "rle-grey.tga", tgaFile(rleGrey, {0x82, 77, 0x02, 1, 2, 3}));
  kelmira::test::TgaHeader rleMapped = mapped;
  rleMapped.type = 9;
  rleMapped.mapDepth = 16;
  save(folder / "rle-mapped.tga", tgaFile(rleMapped, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x83, 1, 0x03, 2, 3, 0, 1}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const std::pair<const char*, void (*)(const fs::path&)> kinds[] = {
      {"bmp", bmpSeeds}, {"jpeg", jpegSeeds}, {"tiff", tiffSeeds}, {"png", pngSeeds}, {"pcx", pcxSeeds}, {"tga", tgaSeeds}};
  for (const auto& [name, make] : kinds) {
    fs::create_directories(root / name);
    make(root / name);
  }
  return 0;
}

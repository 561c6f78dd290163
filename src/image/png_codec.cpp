#include "image/png_codec.h"

#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstring>

#include <png.h>

#include "image/layer_state.h"

namespace kelmira {

namespace {

// Files that say they are encoded for a 2.2 display (gAMA 1/2.2, sRGB) or say
// nothing come out as stored; only other gammas are corrected.
constexpr double kScreenGamma = 2.2;
// Gammas whose product with the screen's is this close to 1 need no correction.
constexpr double kGammaThreshold = 0.05;

// libpng reports a failure through the error function, which must not return; ours
// jumps back to the libpng call in progress. Nothing with a destructor may live
// inside `step`, because the jump skips it.
template <typename Step>
bool guarded(png_structp png, Step&& step) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  step();
  return true;
}

// The code we report says all there is to say, so libpng prints nothing.
void errorExit(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void ignoreWarning(png_structp, png_const_charp) {}

// A colour profile read notes whether libpng dropped its chunk.
void noteProfileWarning(png_structp png, png_const_charp message) {
  if (std::strncmp(message, "iCCP", 4) == 0) *static_cast<bool*>(png_get_error_ptr(png)) = true;
}

void readFromStream(png_structp png, png_bytep data, std::size_t length) {
  auto* stream = static_cast<ImageStream*>(png_get_io_ptr(png));
  if (!stream->readExact(data, length)) png_error(png, "file cut short");
}

struct ReadStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadStructs() {
    if (png != nullptr) png_destroy_read_struct(&png, &info, nullptr);
  }
};

// The transformations that turn every kind of PNG into 8-bit RGB; reads the header.
void prepareTransformations(png_structp png, png_infop info) {
  png_read_info(png, info);
  const int colourType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (colourType == PNG_COLOR_TYPE_PALETTE || (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)) {
    png_set_expand(png);
  }
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (bitDepth == 16) png_set_strip_16(png);

  png_color_16p fileBackground = nullptr;
  if (png_get_bKGD(png, info, &fileBackground) != 0) {
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
      // libpng expands the pixels of low-depth grey but not the grey of their bKGD,
      // so it is handed the 8-bit level ready made.
      const unsigned top = (1u << bitDepth) - 1;
      png_color_16 level = *fileBackground;
      level.gray = static_cast<png_uint_16>((level.gray & top) * 255 / top);
      level.red = level.green = level.blue = level.gray;
      png_set_background(png, &level, PNG_BACKGROUND_GAMMA_FILE, 0, 1.0);
    } else {
      png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    }
  } else {
    png_color_16 black{};
    png_set_background(png, &black, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
  }
  // libpng takes the file gamma given here over the file's own, so it is looked up
  // first. It also blends alpha in linear light whenever either gamma differs from 1,
  // even when the two cancel; a file meant for our screen is therefore described as
  // linear on both sides, which keeps its values, and its blending, as stored.
  double fileGamma = 0;
  if (png_get_gAMA(png, info, &fileGamma) == 0 || std::abs(fileGamma * kScreenGamma - 1) < kGammaThreshold) {
    png_set_gamma(png, 1.0, 1.0);
  } else {
    png_set_gamma(png, kScreenGamma, fileGamma);
  }
}

}  // namespace

PixelBlock readPng(ImageStream& stream, std::int32_t& width, std::int32_t& height) {
  LayerCall call;
  width = 0;
  height = 0;

  ReadStructs structs;
  structs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorExit, ignoreWarning);
  if (structs.png != nullptr) structs.info = png_create_info_struct(structs.png);
  if (structs.png == nullptr || structs.info == nullptr) {
    call.fail(ImageError::PngInternal);
    return nullptr;
  }
  png_structp png = structs.png;
  png_infop info = structs.info;
  png_set_read_fn(png, &stream, readFromStream);

  png_uint_32 imageWidth = 0;
  png_uint_32 imageHeight = 0;
  int passes = 1;
  std::size_t rowBytes = 0;
  const bool prepared = guarded(png, [&] {
    prepareTransformations(png, info);
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    imageWidth = png_get_image_width(png, info);
    imageHeight = png_get_image_height(png, info);
    rowBytes = png_get_rowbytes(png, info);
  });
  if (!prepared) {
    call.fail(ImageError::BadPng);
    return nullptr;
  }
  if (rowBytes != 3 * static_cast<std::size_t>(imageWidth)) {
    call.fail(ImageError::Unexpected);
    return nullptr;
  }
  PixelBlock pixels = allocatePixelBlock(imageWidth, imageHeight);
  if (!pixels) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }

  // Every pass visits every row; progress counts picture rows, so an interlaced file
  // reports each row once over all its passes.
  const auto rows = static_cast<std::int64_t>(imageHeight);
  std::int64_t reported = -1;
  for (std::int64_t pass = 0; pass < passes; ++pass) {
    for (std::int64_t y = 0; y < rows; ++y) {
      const std::int64_t row = (pass * rows + y) / passes;
      if (row != reported) {
        reported = row;
        if (!call.progress(static_cast<std::int32_t>(row), static_cast<std::int32_t>(rows))) return nullptr;
      }
      png_bytep out = pixels.get() + static_cast<std::size_t>(y) * rowBytes;
      if (!guarded(png, [&] { png_read_row(png, out, nullptr); })) {
        call.fail(ImageError::BadPng);
        return nullptr;
      }
    }
  }
  if (!guarded(png, [&] { png_read_end(png, nullptr); })) {
    call.fail(ImageError::BadPng);
    return nullptr;
  }
  width = static_cast<std::int32_t>(imageWidth);
  height = static_cast<std::int32_t>(imageHeight);
  return pixels;
}

std::string readPngColourProfile(ImageStream& stream, bool& damaged) {
  damaged = false;
  ReadStructs structs;
  structs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &damaged, errorExit, noteProfileWarning);
  if (structs.png != nullptr) structs.info = png_create_info_struct(structs.png);
  if (structs.png == nullptr || structs.info == nullptr) return {};
  png_structp png = structs.png;
  png_infop info = structs.info;
  png_set_read_fn(png, &stream, readFromStream);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  bool found = false;
  if (!guarded(png, [&] {
        png_read_info(png, info);
        found = png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0;
      })) {
    return {};
  }
  if (!found || profile == nullptr || length == 0) return {};
  return {reinterpret_cast<const char*>(profile), length};
}

}  // namespace kelmira

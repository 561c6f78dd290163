#include "image/tiff_codec.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>

#include <tiffio.h>

#include "image/layer_state.h"

namespace kelmira {

namespace {

// The version text files of this program have always carried, whatever libtiff
// is linked today.
constexpr char kSoftware[] = "Quorvane, using 3.4beta037";

ImageStream& streamOf(thandle_t handle) { return *static_cast<ImageStream*>(handle); }

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size) {
  if (size <= 0) return 0;
  return static_cast<tmsize_t>(streamOf(handle).readSome(buffer, static_cast<std::size_t>(size)));
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t size) {
  if (size < 0) return -1;
  return streamOf(handle).write(buffer, static_cast<std::size_t>(size)) ? size : -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
  ImageStream& stream = streamOf(handle);
  const ImageStream::Origin origin = whence == SEEK_SET   ? ImageStream::Origin::Start
                                     : whence == SEEK_CUR ? ImageStream::Origin::Current
                                                          : ImageStream::Origin::End;
  // Relative moves arrive as unsigned offsets; the cast gives back backward steps.
  if (!stream.seek(static_cast<std::int64_t>(offset), origin)) return static_cast<toff_t>(-1);
  return static_cast<toff_t>(stream.tell());
}

// The caller owns the stream and closes it.
int closeProc(thandle_t) { return 0; }

toff_t sizeProc(thandle_t handle) {
  const std::int64_t length = streamOf(handle).length();
  return length < 0 ? 0 : static_cast<toff_t>(length);
}

int mapProc(thandle_t, void**, toff_t*) { return 0; }

void unmapProc(thandle_t, void*, toff_t) {}

int silentHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle openTiff(ImageStream& stream, const char* mode) {
  // Messages without a file behind them still reach the process-wide handlers.
  static const bool globalHandlersSilenced = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  static_cast<void>(globalHandlersSilenced);

  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, silentHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, silentHandler, nullptr);
  // A strip never needs more than a whole RGBA raster of the largest picture we take.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxPixelBlockBytes / 3 * 4));
  TIFF* tif = TIFFClientOpenExt("ImageStream", mode, &stream, readProc, writeProc, seekProc, closeProc, sizeProc,
                                mapProc, unmapProc, options);
  TIFFOpenOptionsFree(options);
  return TiffHandle(tif);
}

}  // namespace

PixelBlock readTiff(ImageStream& stream, std::int32_t& width, std::int32_t& height) {
  LayerCall call;
  width = 0;
  height = 0;

  TiffHandle tif = openTiff(stream, "r");
  if (!tif) {
    call.fail(ImageError::BadTiff);
    return nullptr;
  }
  char message[1024] = {};
  std::uint32_t imageWidth = 0;
  std::uint32_t imageLength = 0;
  if (!TIFFRGBAImageOK(tif.get(), message) || !TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &imageWidth) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &imageLength) || imageWidth == 0 || imageLength == 0) {
    call.fail(ImageError::BadTiff);
    return nullptr;
  }
  // The raster is a third larger than the block, so the block's limit bounds both.
  if (pixelBlockBytes(imageWidth, imageLength) == 0) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }
  const std::size_t pixelCount = static_cast<std::size_t>(imageWidth) * imageLength;
  std::unique_ptr<std::uint32_t[]> raster(new (std::nothrow) std::uint32_t[pixelCount]);
  if (!raster) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }
  if (!TIFFReadRGBAImage(tif.get(), imageWidth, imageLength, raster.get(), 1)) {
    call.fail(ImageError::BadTiff);
    return nullptr;
  }
  PixelBlock pixels = allocatePixelBlock(imageWidth, imageLength);
  if (!pixels) {
    call.fail(ImageError::OutOfMemory);
    return nullptr;
  }

  // The raster's first row is the bottom row; writing it to the last output row
  // turns the picture the right way up in the same pass.
  const auto rows = static_cast<std::int32_t>(imageLength);
  for (std::int32_t r = 0; r < rows; ++r) {
    if (!call.progress(r, rows)) return nullptr;
    const std::uint32_t* in = raster.get() + static_cast<std::size_t>(r) * imageWidth;
    std::uint8_t* out = pixels.get() + static_cast<std::size_t>(rows - 1 - r) * imageWidth * 3;
    for (std::uint32_t x = 0; x < imageWidth; ++x, out += 3) {
      out[0] = static_cast<std::uint8_t>(TIFFGetR(in[x]));
      out[1] = static_cast<std::uint8_t>(TIFFGetG(in[x]));
      out[2] = static_cast<std::uint8_t>(TIFFGetB(in[x]));
    }
  }
  width = static_cast<std::int32_t>(imageWidth);
  height = rows;
  return pixels;
}

std::string readTiffColourProfile(ImageStream& stream, bool& damaged) {
  damaged = false;
  TiffHandle tif = openTiff(stream, "r");
  if (!tif) return {};
  std::uint32_t length = 0;
  void* profile = nullptr;
  if (!TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &length, &profile) || profile == nullptr || length == 0) return {};
  return {static_cast<const char*>(profile), length};
}

std::int64_t writeTiff(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                       const EmbeddedMetadata& metadata) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0) {
    call.fail(ImageError::BadParameter);
    return 0;
  }
  TiffHandle tif = openTiff(stream, "w");
  if (!tif) {
    call.fail(ImageError::BadTiff);
    return 0;
  }

  TIFF* t = tif.get();
  bool tagged = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width)) &&
                TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height)) &&
                TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
                TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE) &&
                TIFFSetField(t, TIFFTAG_XRESOLUTION, 1.0) && TIFFSetField(t, TIFFTAG_YRESOLUTION, 1.0) &&
                TIFFSetField(t, TIFFTAG_SOFTWARE, kSoftware);
  // The strip height is asked for before the sample layout is set, which gives the
  // strips this program has always written.
  tagged = tagged && TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0)) &&
           TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3) && TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8) &&
           TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
           TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  if (tagged && !metadata.iccProfile.empty()) {
    tagged = TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(metadata.iccProfile.size()),
                          metadata.iccProfile.data());
  }
  if (!tagged) {
    call.fail(ImageError::TiffInternal);
    return 0;
  }

  // libtiff may work on the row it is given in place, so it gets a copy.
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[stride]);
  if (!row) {
    call.fail(ImageError::OutOfMemory);
    return 0;
  }
  for (std::int32_t r = 0; r < height; ++r) {
    if (!call.progress(r, height)) return 0;
    std::copy_n(pixels + static_cast<std::size_t>(r) * stride, stride, row.get());
    if (TIFFWriteScanline(t, row.get(), static_cast<std::uint32_t>(r), 0) < 0) {
      call.fail(ImageError::FileWrite);
      return 0;
    }
  }
  if (!TIFFFlush(t)) {
    call.fail(ImageError::FileWrite);
    return 0;
  }
  tif.reset();
  return encodedLength(stream, call);
}

}  // namespace kelmira

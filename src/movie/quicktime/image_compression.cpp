#include "movie/quicktime/image_compression.h"

#include <cstring>
#include <new>
#include <vector>


#include "image/jpeg_glue.h"
#include "movie/quicktime/ffmpeg_encoder.h"
#include "movie/quicktime/movie_runtime.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace kelmira {

// How the quality asked for becomes each codec's own setting. Values between the
// named ones take the setting of the named value below them (JPEG: the formula).
//
//   CodecQ                 jpeg (libjpeg quality, chroma)  cvid (qscale)  SVQ1 (qscale)
//   0x000 min              1, 4:2:0                        31             31
//   0x100 low              26, 4:2:0                       20             16
//   0x200 normal           51, 4:2:0                        8              8
//   0x300 high             75, 4:2:0                        4              4
//   0x3FF max              100, 4:2:0                       2              2
//   0x400 lossless         100, 4:4:4                       1              1
//
// jpeg: quality = 1 + round(CodecQ x 99 / 1023), at most 100. None of the three codecs is
// lossless; "lossless" is their best setting. cvid and SVQ1 take qscale as FFmpeg's
// rate-distortion weight (lambda = qscale x FF_QP2LAMBDA): larger is coarser. FFmpeg's
// Cinepak answers in coarse steps (qscale 3 to 20 mostly give the same frame), so its
// low and normal often coincide.

namespace {

struct CodecSetting {
  CodecQ atLeast;
  int qscaleCinepak;
  int qscaleSorenson;
};

constexpr CodecSetting kFfmpegSettings[] = {
    {codecLosslessQuality, 1, 1}, {codecMaxQuality, 2, 2},   {codecHighQuality, 4, 4},
    {codecNormalQuality, 8, 8},   {codecLowQuality, 20, 16}, {codecMinQuality, 31, 31},
};

int ffmpegQscale(CodecType cType, CodecQ quality) {
  for (const CodecSetting& setting : kFfmpegSettings) {
    if (quality >= setting.atLeast) return cType == kCinepakCodecType ? setting.qscaleCinepak : setting.qscaleSorenson;
  }
  return 31;
}

int jpegQuality(CodecQ quality) {
  if (quality >= codecMaxQuality) return 100;
  return 1 + static_cast<int>((quality * 99 + 511) / 1023);
}

bool knownCodec(CodecType cType) {
  return cType == kJPEGCodecType || cType == kCinepakCodecType || cType == kSorensonCodecType;
}

// Checks everything both calls share; on success gives the frame size.
OSErr checkArguments(PixMapHandle src, const Rect& srcRect, std::int16_t colorDepth, CodecQ quality, CodecType cType,
                     CompressorComponent codec, std::int32_t& width, std::int32_t& height) {
  if (!movieToolboxReady()) return qtmlUninitialized;
  if (src == nullptr || src->baseAddr == nullptr || src->pixelSize != 32 || codec != anyCodec) return paramErr;
  if (colorDepth != 0 && colorDepth != 24 && colorDepth != 32) return paramErr;
  if (quality > codecLosslessQuality) return paramErr;
  width = std::int32_t(srcRect.right) - srcRect.left;
  height = std::int32_t(srcRect.bottom) - srcRect.top;
  if (width <= 0 || height <= 0) return paramErr;
  if (srcRect.left < src->bounds.left || srcRect.top < src->bounds.top || srcRect.right > src->bounds.right ||
      srcRect.bottom > src->bounds.bottom)
    return paramErr;
  if (!knownCodec(cType)) return noCodecErr;
  // Cinepak codes 4 x 4 blocks and FFmpeg's encoder refuses other sizes rather than
  // padding them; the panorama tiles are always multiples of 4, so other sizes are refused.
  if (cType == kCinepakCodecType && (width % 4 != 0 || height % 4 != 0)) return codecSizeErr;
  // SVQ1 stores the size in 12 bits; it pads odd sizes to its 16 x 16 blocks itself.
  if (cType == kSorensonCodecType && (width > 4095 || height > 4095)) return codecSizeErr;
  return noErr;
}

std::int64_t maxCompressedBytes(std::int32_t width, std::int32_t height) {
  // Six bytes a pixel over whole 16 x 16 blocks is above the worst case of JPEG at
  // 4:4:4 and of both vector quantisers; the constant covers headers and codebooks.
  const std::int64_t paddedWidth = (std::int64_t(width) + 15) / 16 * 16;
  const std::int64_t paddedHeight = (std::int64_t(height) + 15) / 16 * 16;
  return paddedWidth * paddedHeight * 6 + 131072;
}

const std::uint8_t* pixelAt(const PixMap& src, int row, int column) {
  return src.baseAddr + std::int64_t(row - src.bounds.top) * src.rowBytes + std::int64_t(column - src.bounds.left) * 4;
}

void copyRowRgb(const PixMap& src, const Rect& srcRect, int row, std::uint8_t* out) {
  const std::uint8_t* pixel = pixelAt(src, row, srcRect.left);
  for (int x = srcRect.left; x < srcRect.right; ++x) {
    out[0] = pixel[1];
    out[1] = pixel[2];
    out[2] = pixel[3];
    out += 3;
    pixel += 4;
  }
}

// Compressed bytes collect in memory; running out of it is told apart from a codec error.
class BufferWriter : public JpegByteWriter {
 public:
  explicit BufferWriter(ByteBuffer& out) : out_(out) {}
  bool write(const std::uint8_t* bytes, std::size_t count) override {
    try {
      out_.insert(out_.end(), bytes, bytes + count);
      return true;
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
      return false;
    }
  }
  bool outOfMemory = false;

 private:
  ByteBuffer& out_;
};

struct CompressorGuard {
  jpeg_compress_struct* info;
  ~CompressorGuard() { jpeg_destroy_compress(info); }
};

// A baseline JFIF stream with the standard Huffman tables, as Photo-JPEG readers expect.
OSErr compressJpeg(const PixMap& src, const Rect& srcRect, CodecQ quality, ByteBuffer& out) {
  const std::int32_t width = std::int32_t(srcRect.right) - srcRect.left;
  std::vector<std::uint8_t> row;
  try {
    row.resize(static_cast<std::size_t>(width) * 3);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  BufferWriter writer(out);
  JpegChunkDestination destination;

  jpeg_compress_struct info;
  JpegErrorManager errors;
  info.err = installJpegErrorManager(errors);
  if (!guardedJpegStep(errors, [&] { jpeg_create_compress(&info); })) return memFullErr;
  CompressorGuard guard{&info};
  auto failure = [&] { return writer.outOfMemory ? memFullErr : codecErr; };

  const int libjpegQuality = jpegQuality(quality);
  const bool fullChroma = quality >= codecLosslessQuality;
  const bool started = guardedJpegStep(errors, [&] {
    attachJpegDestination(info, destination, writer);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(std::int32_t(srcRect.bottom) - srcRect.top);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, libjpegQuality, TRUE);
    if (fullChroma) {
      info.comp_info[0].h_samp_factor = 1;
      info.comp_info[0].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
  });
  if (!started) return failure();

  for (int y = srcRect.top; y < srcRect.bottom; ++y) {
    copyRowRgb(src, srcRect, y, row.data());
    JSAMPROW rowPointer = row.data();
    if (!guardedJpegStep(errors, [&] { jpeg_write_scanlines(&info, &rowPointer, 1); })) return failure();
  }
  if (!guardedJpegStep(errors, [&] { jpeg_finish_compress(&info); })) return failure();
  return noErr;
}

OSErr compressWithFfmpeg(const PixMap& src, const Rect& srcRect, CodecQ quality, CodecType cType, ByteBuffer& out) {
  const std::int32_t width = std::int32_t(srcRect.right) - srcRect.left;
  const std::int32_t height = std::int32_t(srcRect.bottom) - srcRect.top;
  std::vector<std::uint8_t> rgb;
  try {
    rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  for (int y = srcRect.top; y < srcRect.bottom; ++y)
    copyRowRgb(src, srcRect, y, rgb.data() + static_cast<std::size_t>(y - srcRect.top) * width * 3);
  const char* encoder = cType == kCinepakCodecType ? "cinepak" : "svq1";
  return encodeFrameWithFfmpeg(encoder, rgb.data(), width, height, ffmpegQscale(cType, quality) * FF_QP2LAMBDA, out);
}

}  // namespace

const char* codecName(CodecType cType) {
  if (cType == kJPEGCodecType) return "Photo - JPEG";
  if (cType == kCinepakCodecType) return "Cinepak";
  if (cType == kSorensonCodecType) return "Sorenson Video";
  return nullptr;
}

OSErr getMaxCompressionSize(PixMapHandle src, const Rect& srcRect, std::int16_t colorDepth, CodecQ quality,
                            CodecType cType, CompressorComponent codec, std::int32_t* size) {
  if (size == nullptr) return paramErr;
  *size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (OSErr result = checkArguments(src, srcRect, colorDepth, quality, cType, codec, width, height); result != noErr)
    return result;
  const std::int64_t bound = maxCompressedBytes(width, height);
  if (bound > INT32_MAX) return codecSizeErr;
  *size = static_cast<std::int32_t>(bound);
  return noErr;
}

OSErr fCompressImage(PixMapHandle src, const Rect& srcRect, std::int16_t colorDepth, CodecQ quality, CodecType cType,
                     CompressorComponent codec, const void* ctable, std::int32_t flags, std::int32_t bufferSize,
                     const void* progressProc, const void* dataProc, ImageDescription& desc, std::uint8_t* data) {
  if (data == nullptr || ctable != nullptr || flags != 0 || bufferSize < 0 || progressProc != nullptr ||
      dataProc != nullptr)
    return paramErr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (OSErr result = checkArguments(src, srcRect, colorDepth, quality, cType, codec, width, height); result != noErr)
    return result;
  const std::int64_t bound = maxCompressedBytes(width, height);
  if (bound > INT32_MAX) return codecSizeErr;

  ByteBuffer compressed;
  const OSErr result = cType == kJPEGCodecType ? compressJpeg(*src, srcRect, quality, compressed)
                                               : compressWithFfmpeg(*src, srcRect, quality, cType, compressed);
  if (result != noErr) return result;
  // The caller's buffer is only known to be as large as the bound we promised.
  const std::int64_t capacity = bufferSize > 0 ? bufferSize : bound;
  if (compressed.empty() || std::int64_t(compressed.size()) > capacity) return codecErr;
  std::memcpy(data, compressed.data(), compressed.size());

  desc = ImageDescription{};
  desc.cType = cType;
  desc.spatialQuality = quality;
  desc.width = static_cast<std::int16_t>(width);
  desc.height = static_cast<std::int16_t>(height);
  desc.dataSize = static_cast<std::int32_t>(compressed.size());
  desc.name = codecName(cType);
  return noErr;
}

}  // namespace kelmira

#include "movie/quicktime/image_compression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "movie/quicktime/movie_runtime.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;

// Decodes one frame with FFmpeg's own decoder into packed RGB; empty when it fails.
Pixels decodeToRgb(const char* decoderName, const ByteBuffer& bytes, int width, int height) {
  Pixels rgb;
  const AVCodec* decoder = avcodec_find_decoder_by_name(decoderName);
  if (decoder == nullptr) return rgb;
  AVCodecContext* context = avcodec_alloc_context3(decoder);
  context->width = width;
  context->height = height;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  ByteBuffer padded(bytes);
  padded.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  packet->data = padded.data();
  packet->size = static_cast<int>(bytes.size());
  if (avcodec_open2(context, decoder, nullptr) == 0 && avcodec_send_packet(context, packet) == 0 &&
      avcodec_send_packet(context, nullptr) == 0 && avcodec_receive_frame(context, frame) == 0 &&
      frame->width == width && frame->height == height) {
    SwsContext* scaler =
        sws_getContext(width, height, static_cast<AVPixelFormat>(frame->format), width, height, AV_PIX_FMT_RGB24,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    rgb.resize(static_cast<std::size_t>(width) * height * 3);
    std::uint8_t* planes[1] = {rgb.data()};
    const int strides[1] = {width * 3};
    sws_scale(scaler, frame->data, frame->linesize, 0, height, planes, strides);
    sws_freeContext(scaler);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return rgb;
}

double meanAbsoluteError(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / double(a.size());
}

// Smooth gradients with a few hard-edged blocks of flat colour over them.
Pixels testPicture(int width, int height) {
  Pixels rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
      p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
      p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin(x / 40.0 + y / 25.0));
      const int block = (x / 48 + y / 32) % 5;
      if ((x / 48) % 3 == 1 && (y / 32) % 2 == 0) {
        p[0] = static_cast<std::uint8_t>(40 * block);
        p[1] = static_cast<std::uint8_t>(255 - 50 * block);
        p[2] = static_cast<std::uint8_t>(30 + 20 * block);
      }
    }
  }
  return rgb;
}

class ImageCompressionTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(initializeQtml(), noErr); }
  void TearDown() override {
    disposeGWorld(world_);
    terminateQtml();
  }

  // A world whose bounds start at (top, left), filled with `rgb`.
  PixMapHandle worldWith(const Pixels& rgb, int width, int height, int top = 0, int left = 0) {
    disposeGWorld(world_);
    const Rect bounds{std::int16_t(top), std::int16_t(left), std::int16_t(top + height), std::int16_t(left + width)};
    EXPECT_EQ(newGWorld(&world_, 32, bounds), noErr);
    PixMapHandle pixMap = getGWorldPixMap(world_);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t* out = pixMap->baseAddr + y * pixMap->rowBytes + x * 4;
        const std::uint8_t* in = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        out[0] = 0xFF;
        out[1] = in[0];
        out[2] = in[1];
        out[3] = in[2];
      }
    }
    return pixMap;
  }

  GWorldPtr world_ = nullptr;
};

struct Compressed {
  OSErr result = noErr;
  std::int32_t maxSize = 0;
  ImageDescription desc;
  ByteBuffer bytes;
};

Compressed compress(PixMapHandle pixMap, const Rect& rect, CodecQ quality, CodecType cType) {
  Compressed out;
  out.result = getMaxCompressionSize(pixMap, rect, 0, quality, cType, anyCodec, &out.maxSize);
  if (out.result != noErr) return out;
  ByteBuffer buffer(static_cast<std::size_t>(out.maxSize));
  out.result = fCompressImage(pixMap, rect, 0, quality, cType, anyCodec, nullptr, 0, 0, nullptr, nullptr, out.desc,
                              buffer.data());
  if (out.result == noErr) buffer.resize(static_cast<std::size_t>(out.desc.dataSize));
  out.bytes = std::move(buffer);
  return out;
}

struct CodecCase {
  CodecType cType;
  const char* decoder;
  const char* name;
  double normalErrorBound;  // measured about 2.3 (jpeg), 3.6 (cvid), 4.4 (SVQ1)
};

class CodecRoundTripTest : public ImageCompressionTest, public testing::WithParamInterface<CodecCase> {};

constexpr int kWidth = 768;
constexpr int kHeight = 96;
constexpr Rect kTile{0, 0, kHeight, kWidth};

TEST_P(CodecRoundTripTest, NormalQualityDecodesCloseToTheSourceAndFillsTheDescription) {
  const CodecCase& codec = GetParam();
  const Pixels source = testPicture(kWidth, kHeight);
  PixMapHandle pixMap = worldWith(source, kWidth, kHeight);
  const Compressed out = compress(pixMap, kTile, codecNormalQuality, codec.cType);
  ASSERT_EQ(out.result, noErr);
  ASSERT_GT(out.desc.dataSize, 0);
  EXPECT_GE(out.maxSize, out.desc.dataSize);

  const ImageDescription& desc = out.desc;
  EXPECT_EQ(desc.idSize, 86);
  EXPECT_EQ(desc.cType, codec.cType);
  EXPECT_EQ(desc.width, kWidth);
  EXPECT_EQ(desc.height, kHeight);
  EXPECT_EQ(desc.name, codec.name);
  EXPECT_EQ(desc.depth, 24);
  EXPECT_EQ(desc.clutID, -1);
  EXPECT_EQ(desc.spatialQuality, codecNormalQuality);
  EXPECT_EQ(desc.temporalQuality, 0u);
  EXPECT_EQ(desc.frameCount, 1);

  const Pixels decoded = decodeToRgb(codec.decoder, out.bytes, kWidth, kHeight);
  ASSERT_EQ(decoded.size(), source.size()) << "FFmpeg's decoder did not take the frame";
  EXPECT_LT(meanAbsoluteError(decoded, source), codec.normalErrorBound);
}

TEST_P(CodecRoundTripTest, BestQualityIsCloserThanWorstAndEveryLevelFitsTheBound) {
  const CodecCase& codec = GetParam();
  const Pixels source = testPicture(kWidth, kHeight);
  PixMapHandle pixMap = worldWith(source, kWidth, kHeight);
  double worst = 0;
  double best = 0;
  for (CodecQ quality : {codecMinQuality, codecLowQuality, codecNormalQuality, codecHighQuality, codecMaxQuality,
                         codecLosslessQuality}) {
    const Compressed out = compress(pixMap, kTile, quality, codec.cType);
    ASSERT_EQ(out.result, noErr) << quality;
    EXPECT_GE(out.maxSize, out.desc.dataSize) << quality;
    EXPECT_EQ(out.desc.spatialQuality, quality);
    const double error = meanAbsoluteError(decodeToRgb(codec.decoder, out.bytes, kWidth, kHeight), source);
    if (quality == codecMinQuality) worst = error;
    if (quality == codecLosslessQuality) best = error;
  }
  EXPECT_LT(best, worst);
}

// A tile cut from the middle of a world whose coordinates do not start at 0, as the
// writer's world would be if its bounds were not at the origin.
TEST_P(CodecRoundTripTest, CompressesOnlyTheSourceRectangleInWorldCoordinates) {
  const CodecCase& codec = GetParam();
  const int worldWidth = 200;
  const int worldHeight = 60;
  const Pixels world = testPicture(worldWidth, worldHeight);
  PixMapHandle pixMap = worldWith(world, worldWidth, worldHeight, -20, 8);
  // Rows 12..51 and columns 32..159 of the world's pixels.
  const Rect part{-8, 40, 32, 168};
  const int width = 128;
  const int height = 40;
  Pixels expected;
  for (int y = 12; y < 52; ++y)
    expected.insert(expected.end(), world.begin() + (y * worldWidth + 32) * 3, world.begin() + (y * worldWidth + 160) * 3);

  const Compressed out = compress(pixMap, part, codecLosslessQuality, codec.cType);
  ASSERT_EQ(out.result, noErr);
  EXPECT_EQ(out.desc.width, width);
  EXPECT_EQ(out.desc.height, height);
  EXPECT_LT(meanAbsoluteError(decodeToRgb(codec.decoder, out.bytes, width, height), expected), codec.normalErrorBound);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecRoundTripTest,
                         testing::Values(CodecCase{kJPEGCodecType, "mjpeg", "Photo - JPEG", 4.0},
                                         CodecCase{kCinepakCodecType, "cinepak", "Cinepak", 6.0},
                                         CodecCase{kSorensonCodecType, "svq1", "Sorenson Video", 7.0}),
                         [](const testing::TestParamInfo<CodecCase>& info) {
                           return std::string(info.param.decoder);
                         });

TEST_F(ImageCompressionTest, JpegFramesAreBaselineJfif) {
  PixMapHandle pixMap = worldWith(testPicture(kWidth, kHeight), kWidth, kHeight);
  const Compressed out = compress(pixMap, kTile, codecHighQuality, kJPEGCodecType);
  ASSERT_EQ(out.result, noErr);
  const ByteBuffer& bytes = out.bytes;
  ASSERT_GT(bytes.size(), 20u);
  EXPECT_EQ(ByteBuffer(bytes.begin(), bytes.begin() + 4), (ByteBuffer{0xFF, 0xD8, 0xFF, 0xE0}));
  EXPECT_EQ(ByteBuffer(bytes.begin() + 6, bytes.begin() + 11), (ByteBuffer{'J', 'F', 'I', 'F', 0}));
  EXPECT_EQ(ByteBuffer(bytes.end() - 2, bytes.end()), (ByteBuffer{0xFF, 0xD9}));

  // Walk the marker segments up to the scan: one frame header, and it is SOF0.
  std::vector<int> frameMarkers;
  std::size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA) {
    const int marker = bytes[at + 1];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      frameMarkers.push_back(marker);
      // Precision 8, then height and width.
      EXPECT_EQ(bytes[at + 4], 8);
      EXPECT_EQ((bytes[at + 5] << 8) | bytes[at + 6], kHeight);
      EXPECT_EQ((bytes[at + 7] << 8) | bytes[at + 8], kWidth);
      EXPECT_EQ(bytes[at + 9], 3);
    }
    at += 2 + ((bytes[at + 2] << 8) | bytes[at + 3]);
  }
  EXPECT_EQ(frameMarkers, std::vector<int>{0xC0});
  ASSERT_LT(at + 1, bytes.size());
  EXPECT_EQ(bytes[at + 1], 0xDA);
}

TEST_F(ImageCompressionTest, CinepakFrameHeaderCarriesTheSizes) {
  PixMapHandle pixMap = worldWith(testPicture(kWidth, kHeight), kWidth, kHeight);
  const Compressed out = compress(pixMap, kTile, codecNormalQuality, kCinepakCodecType);
  ASSERT_EQ(out.result, noErr);
  ASSERT_GE(out.bytes.size(), 10u);
  const ByteBuffer& b = out.bytes;
  EXPECT_EQ((std::size_t(b[1]) << 16) | (b[2] << 8) | b[3], b.size());
  EXPECT_EQ((b[4] << 8) | b[5], kWidth);
  EXPECT_EQ((b[6] << 8) | b[7], kHeight);
}

TEST_F(ImageCompressionTest, SorensonTakesSizesThatAreNotWholeBlocks) {
  const int width = 102;
  const int height = 38;
  const Pixels source = testPicture(width, height);
  PixMapHandle pixMap = worldWith(source, width, height);
  const Compressed out = compress(pixMap, Rect{0, 0, height, width}, codecNormalQuality, kSorensonCodecType);
  ASSERT_EQ(out.result, noErr);
  // Measured about 11: in so small a picture the hard block edges weigh more.
  EXPECT_LT(meanAbsoluteError(decodeToRgb("svq1", out.bytes, width, height), source), 14.0);
}

TEST_F(ImageCompressionTest, SizesACodecCannotTakeAreRefused) {
  PixMapHandle narrow = worldWith(testPicture(98, 8), 98, 8);
  std::int32_t size = -1;
  EXPECT_EQ(getMaxCompressionSize(narrow, Rect{0, 0, 8, 98}, 0, codecNormalQuality, kCinepakCodecType, anyCodec, &size),
            codecSizeErr);
  EXPECT_EQ(compress(narrow, Rect{0, 0, 6, 96}, codecNormalQuality, kCinepakCodecType).result, codecSizeErr);
  EXPECT_EQ(compress(narrow, Rect{0, 0, 6, 96}, codecNormalQuality, kJPEGCodecType).result, noErr);

  PixMapHandle wide = worldWith(Pixels(4096 * 2 * 3, 128), 4096, 2);
  EXPECT_EQ(compress(wide, Rect{0, 0, 2, 4096}, codecNormalQuality, kSorensonCodecType).result, codecSizeErr);
  EXPECT_EQ(compress(wide, Rect{0, 0, 2, 4095}, codecNormalQuality, kSorensonCodecType).result, noErr);
}

TEST_F(ImageCompressionTest, BadArgumentsAndUnknownCodecs) {
  PixMapHandle pixMap = worldWith(testPicture(64, 32), 64, 32);
  const Rect rect{0, 0, 32, 64};
  std::int32_t size = 0;
  const auto maxSize = [&](PixMapHandle src, const Rect& r, std::int16_t depth, CodecQ q, CodecType type) {
    return getMaxCompressionSize(src, r, depth, q, type, anyCodec, &size);
  };
  EXPECT_EQ(maxSize(pixMap, rect, 0, codecNormalQuality, kJPEGCodecType), noErr);
  EXPECT_EQ(maxSize(nullptr, rect, 0, codecNormalQuality, kJPEGCodecType), paramErr);
  EXPECT_EQ(maxSize(pixMap, Rect{0, 0, 0, 64}, 0, codecNormalQuality, kJPEGCodecType), paramErr);
  EXPECT_EQ(maxSize(pixMap, Rect{0, 10, 32, 5}, 0, codecNormalQuality, kJPEGCodecType), paramErr);
  EXPECT_EQ(maxSize(pixMap, Rect{0, 0, 33, 64}, 0, codecNormalQuality, kJPEGCodecType), paramErr);
  EXPECT_EQ(maxSize(pixMap, Rect{-1, 0, 32, 64}, 0, codecNormalQuality, kJPEGCodecType), paramErr);
  EXPECT_EQ(maxSize(pixMap, rect, 8, codecNormalQuality, kJPEGCodecType), paramErr);
  EXPECT_EQ(maxSize(pixMap, rect, 0, codecLosslessQuality + 1, kJPEGCodecType), paramErr);
  EXPECT_EQ(getMaxCompressionSize(pixMap, rect, 0, codecNormalQuality, kJPEGCodecType, anyCodec, nullptr), paramErr);
  EXPECT_EQ(maxSize(pixMap, rect, 0, codecNormalQuality, fourCC("raw ")), noCodecErr);
  EXPECT_EQ(maxSize(pixMap, rect, 0, codecNormalQuality, fourCC("svq1")), noCodecErr);

  ByteBuffer buffer(1 << 20);
  ImageDescription desc;
  const auto compressInto = [&](std::uint8_t* data, std::int32_t bufferSize, const void* ctable, std::int32_t flags,
                                CodecType type) {
    return fCompressImage(pixMap, rect, 0, codecNormalQuality, type, anyCodec, ctable, flags, bufferSize, nullptr,
                          nullptr, desc, data);
  };
  EXPECT_EQ(compressInto(nullptr, 0, nullptr, 0, kJPEGCodecType), paramErr);
  EXPECT_EQ(compressInto(buffer.data(), 0, &size, 0, kJPEGCodecType), paramErr);
  EXPECT_EQ(compressInto(buffer.data(), 0, nullptr, 1, kJPEGCodecType), paramErr);
  EXPECT_EQ(compressInto(buffer.data(), -1, nullptr, 0, kJPEGCodecType), paramErr);
  EXPECT_EQ(compressInto(buffer.data(), 0, nullptr, 0, fourCC("rle ")), noCodecErr);
  EXPECT_EQ(desc.dataSize, 0) << "a failed call leaves the description alone";

  // A buffer said to be too small is never written past.
  std::fill(buffer.begin(), buffer.end(), 0xAB);
  EXPECT_EQ(compressInto(buffer.data(), 16, nullptr, 0, kJPEGCodecType), codecErr);
  EXPECT_EQ(compressInto(buffer.data(), 0, nullptr, 0, kJPEGCodecType), noErr);
  EXPECT_GT(desc.dataSize, 16);
}

TEST(ImageCompressionRuntime, NeedsTheRuntimeStarted) {
  while (movieToolboxReady()) terminateQtml();
  PixMap pixMap;
  std::uint8_t pixels[64] = {};
  pixMap.baseAddr = pixels;
  pixMap.rowBytes = 16;
  pixMap.bounds = Rect{0, 0, 4, 4};
  std::int32_t size = 0;
  EXPECT_EQ(getMaxCompressionSize(&pixMap, pixMap.bounds, 0, codecNormalQuality, kJPEGCodecType, anyCodec, &size),
            qtmlUninitialized);
  ASSERT_EQ(initializeQtml(), noErr);
  EXPECT_EQ(getMaxCompressionSize(&pixMap, pixMap.bounds, 0, codecNormalQuality, kJPEGCodecType, anyCodec, &size),
            noErr);
  terminateQtml();
}

}  // namespace
}  // namespace kelmira

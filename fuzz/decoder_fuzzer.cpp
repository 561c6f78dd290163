// One decoder on arbitrary bytes; which one is chosen when the target is built.
#include <cstdint>
#include <cstdio>

#include "fuzz_support.h"
#include "image/bmp_codec.h"
#include "image/image_stream.h"
#include "image/jpeg_codec.h"
#include "image/pcx_codec.h"
#include "image/png_codec.h"
#include "image/tga_codec.h"
#include "image/tiff_codec.h"

#ifndef KELMIRA_FUZZ_DECODER
#error "KELMIRA_FUZZ_DECODER names the decoder under test"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kelmira::fuzz::installProgress();
  // The stream only reads, so the input is never written through this pointer.
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  kelmira::ImageStream stream(file);
  std::int32_t width = -1;
  std::int32_t height = -1;
  const kelmira::PixelBlock pixels = kelmira::KELMIRA_FUZZ_DECODER(stream, width, height);
  kelmira::fuzz::checkResult(pixels, width, height);
  return 0;
}

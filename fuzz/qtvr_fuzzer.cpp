// Arbitrary bytes as a QuickTime VR panorama movie, read and put together as the window
// and the command line open one. The reader takes a path, so each input goes through a
// file of its own. Seeds: the movie fuzzer's.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/pixel_block.h"
#include "movie/qtvr_panorama_reader.h"
#include "movie/quicktime/movie_runtime.h"

namespace {

std::string inputPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (kelmira::initializeQtml() != kelmira::noErr) std::abort();
  char pattern[] = "/tmp/kelmira-fuzz-qtvr-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
  close(fd);
  inputPath = pattern;
  std::atexit([] { std::remove(inputPath.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(inputPath.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  // A movie may rightly ask for a large panorama; the fuzzer's memory limit is not the point.
  const kelmira::PixelBlockBudget budget(256u << 20);
  kelmira::QtvrPanorama panorama;
  kelmira::readQtvrPanorama(inputPath, panorama);
  return 0;
}

#include "image/row_gate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "image/dib_image.h"
#include "image/layer_state.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using namespace std::chrono_literals;

TEST(RowGate, WaitsForRowsAndEndsWaitsWhenClosed) {
  RowGate gate;
  EXPECT_TRUE(gate.waitFor(0));
  auto firstTen = std::async(std::launch::async, [&] { return gate.waitFor(10); });
  EXPECT_EQ(firstTen.wait_for(50ms), std::future_status::timeout);
  gate.open(6);
  EXPECT_EQ(firstTen.wait_for(50ms), std::future_status::timeout);
  gate.open(12);
  EXPECT_TRUE(firstTen.get());
  gate.open(3);  // never closes rows again
  EXPECT_TRUE(gate.waitFor(12));

  auto beyond = std::async(std::launch::async, [&] { return gate.waitFor(20); });
  gate.close();
  EXPECT_FALSE(beyond.get());
  EXPECT_TRUE(gate.waitFor(12));
}

// A save that takes rows as another thread makes them writes what a save of the
// finished picture writes; one whose rows never all come leaves the old file.
TEST(RowGate, SavingAsRowsArriveWritesTheSameFileOrNone) {
  test::TempDir dir;
  const int width = 640, height = 200;
  const auto pattern = test::patternPixels(width, height);
  DibImage finished;
  ASSERT_EQ(finished.copyFromPixels(pattern.data(), width, height), ImageError::None);

  for (const FileType type : {FileTypeJpeg, FileTypeBmp, FileTypeTiff}) {
    SCOPED_TRACE(type);
    const std::string whole = dir.file("whole");
    const std::string streamed = dir.file("streamed");
    ASSERT_EQ(finished.saveToFile(whole, type), ImageError::None);

    DibImage growing;
    ASSERT_EQ(growing.allocate(width, height), ImageError::None);
    RowGate gate;
    auto saved = std::async(std::launch::async,
                            [&, picture = growing.hold()] { return savePictureAsRowsArrive(picture, streamed, type, gate); });
    std::uint8_t* rows = growing.beginAccess();
    for (int row = 0; row < height; row += 16) {
      const int end = std::min(height, row + 16);
      std::memcpy(rows + 3u * width * row, pattern.data() + 3u * width * row, 3u * width * (end - row));
      gate.open(end);
    }
    growing.endAccess();
    EXPECT_EQ(saved.get(), ImageError::None);
    EXPECT_EQ(test::readFileBytes(streamed), test::readFileBytes(whole));

    test::writeFileBytes(streamed, {'o', 'l', 'd'});
    RowGate shortGate;
    auto cut = std::async(std::launch::async,
                          [&, picture = growing.hold()] { return savePictureAsRowsArrive(picture, streamed, type, shortGate); });
    shortGate.open(height / 2);
    shortGate.close();
    EXPECT_EQ(cut.get(), ImageError::Aborted);
    EXPECT_EQ(test::readFileBytes(streamed), (test::Bytes{'o', 'l', 'd'}));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporaries left
}

}  // namespace
}  // namespace kelmira

#include "base/temporary_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/replacement_file.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// What an interrupted run takes away: every temporary it made, and each name it reserved
// that no result has taken; never the user's files, nor a result renamed onto a reserved name.
TEST(TemporaryFiles, AnInterruptedRunTakesAwayOnlyWhatItMadeAndNoResult) {
  test::TempDir dir;
  const auto at = [&](const char* name) { return dir.file(name); };
  TemporaryFiles::removeAll();

  // A reserved name a result then took, through a replacement as every writer makes it.
  ASSERT_TRUE(TemporaryFiles::reserve(at("done_pano.jpg"), "mark 1\n"));
  EXPECT_TRUE(TemporaryFiles::holds(at("done_pano.jpg"), "mark 1\n"));
  {
    ReplacementFile result(at("done_pano.jpg"));
    ASSERT_TRUE(result.created());
    test::writeFileBytes(result.temporaryPath(), {'n', 'e', 'w'});
    ASSERT_TRUE(result.commit());
  }
  EXPECT_FALSE(TemporaryFiles::holds(at("done_pano.jpg"), "mark 1\n"));
  // A reserved name not taken yet, and one that cannot be reserved twice.
  ASSERT_TRUE(TemporaryFiles::reserve(at("todo_pano.jpg"), "mark 2\n"));
  EXPECT_FALSE(TemporaryFiles::reserve(at("todo_pano.jpg"), "mark 3\n"));
  EXPECT_EQ(errno, EEXIST);
  // A temporary half written over a file of the user's, which must stay as it was.
  test::writeFileBytes(at("old.jpg"), {'o', 'l', 'd'});
  auto unfinished = std::make_unique<ReplacementFile>(at("old.jpg"));
  ASSERT_TRUE(unfinished->created());
  test::writeFileBytes(unfinished->temporaryPath(), {'h', 'a', 'l', 'f'});
  const std::string part = unfinished->temporaryPath();
  // Scratch files: one made here, one named for other code to make.
  std::string scratch = dir.file("PXTXXXXXX.BMP");
  const int fd = TemporaryFiles::createFromPattern(scratch, 4);
  ASSERT_GE(fd, 0);
  ::close(fd);
  TemporaryFiles::expect(at("movie.mot"));
  test::writeFileBytes(at("movie.mot"), {'m'});
  test::writeFileBytes(at("mine.txt"), {'u'});

  EXPECT_EQ(TemporaryFiles::removeAll(), 4u);
  EXPECT_EQ(TemporaryFiles::count(), 0u);
  EXPECT_EQ(contentOf(at("done_pano.jpg")), "new");
  EXPECT_EQ(contentOf(at("old.jpg")), "old");
  EXPECT_EQ(contentOf(at("mine.txt")), "u");
  for (const std::string& gone : {at("todo_pano.jpg"), part, scratch, at("movie.mot")}) {
    EXPECT_FALSE(fs::exists(gone)) << gone;
  }
  unfinished.reset();  // its temporary is gone already; nothing else goes with it
  EXPECT_EQ(contentOf(at("old.jpg")), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

// A batch that ends normally gives back what it reserved, in the same way.
TEST(TemporaryFiles, ARemovedReservationGoesOnlyWhileItHoldsItsMark) {
  test::TempDir dir;
  const std::string name = dir.file("a_pano.jpg");
  ASSERT_TRUE(TemporaryFiles::reserve(name, "mark\n"));
  TemporaryFiles::remove(name);
  EXPECT_FALSE(fs::exists(name));

  ASSERT_TRUE(TemporaryFiles::reserve(name, "mark\n"));
  test::writeFileBytes(name, {'m', 'a', 'r', 'k', '\n', 'x'});  // taken, by something longer
  TemporaryFiles::remove(name);
  EXPECT_TRUE(fs::exists(name));
  EXPECT_EQ(TemporaryFiles::count(), 0u);
}

}  // namespace
}  // namespace kelmira

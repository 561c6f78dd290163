#include "base/replacement_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "image/dib_image.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

mode_t permissionsOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

void paintSmallPicture(DibImage& picture) {
  const auto pixels = test::patternPixels(8, 4);
  EXPECT_EQ(picture.copyFromPixels(pixels.data(), 8, 4), ImageError::None);
}

TEST(ReplacementFile, AReplacedFileKeepsItsPermissionsAndItsLinks) {
  test::TempDir dir;
  DibImage picture;
  paintSmallPicture(picture);

  // The old file's permission bits pass to the new one, whatever the umask gives.
  const std::string shared = dir.file("shared.bmp");
  test::writeFileBytes(shared, {'o', 'l', 'd'});
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  ASSERT_EQ(picture.saveToFile(shared, FileTypeBmp), ImageError::None);
  EXPECT_EQ(permissionsOf(shared), 0640u);
  EXPECT_GT(std::filesystem::file_size(shared), 3u);

  // A link (through a second link, relative) is followed: its file is replaced, the links stay.
  std::filesystem::create_directory(dir.path() / "real");
  const std::string real = dir.file("real/pano.bmp");
  test::writeFileBytes(real, {'o', 'l', 'd'});
  ASSERT_EQ(::chmod(real.c_str(), 0604), 0);
  std::filesystem::create_symlink("real/pano.bmp", dir.path() / "middle.bmp");
  std::filesystem::create_symlink(dir.path() / "middle.bmp", dir.path() / "pano.bmp");
  ASSERT_EQ(picture.saveToFile(dir.file("pano.bmp"), FileTypeBmp), ImageError::None);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "pano.bmp"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "middle.bmp"));
  EXPECT_EQ(permissionsOf(real), 0604u);
  DibImage readBack;
  ASSERT_EQ(readBack.loadFromFile(real), ImageError::None);
  EXPECT_EQ(readBack.width(), 8);

  // A dangling link makes the file where it points.
  std::filesystem::create_symlink("made-later.bmp", dir.path() / "dangling.bmp");
  ASSERT_EQ(picture.saveToFile(dir.file("dangling.bmp"), FileTypeBmp), ImageError::None);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "made-later.bmp"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "dangling.bmp"));

  // Only the pictures and the links: no temporary left anywhere.
  int entries = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 7);
}

TEST(ReplacementFile, ANewFileTakesTheUmasksModeAndAnUncommittedOneVanishes) {
  test::TempDir dir;
  const mode_t previous = ::umask(027);
  {
    ReplacementFile fresh(dir.file("new.bmp"));
    ASSERT_TRUE(fresh.created());
    EXPECT_TRUE(fresh.commit());
  }
  ::umask(previous);
  EXPECT_EQ(permissionsOf(dir.file("new.bmp")), 0640u);
  {
    ReplacementFile abandoned(dir.file("never.bmp"));
    ASSERT_TRUE(abandoned.created());
    EXPECT_TRUE(std::filesystem::exists(abandoned.temporaryPath()));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("never.bmp")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace kelmira

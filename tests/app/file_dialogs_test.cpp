#include "app/file_dialogs.h"

#include <gtest/gtest.h>

#include <QDir>

#include "support/test_files.h"

namespace kelmira {
namespace {

TEST(FileDialogs, WindowsFiltersBecomeQtFiltersThatMatchAnyLetterCase) {
  const QStringList filters = qtNameFilters(
      "Image Files (bmp,jpg,tif)|*.BMP;*.JPG;*.TIF|JPEG Files (*.JPG)|*.JPG|All files (*.*)|*.*||");
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], "Image Files (bmp,jpg,tif) (*.[Bb][Mm][Pp] *.[Jj][Pp][Gg] *.[Tt][Ii][Ff])");
  EXPECT_EQ(filters[1], "JPEG Files (*.JPG) (*.[Jj][Pp][Gg])");
  EXPECT_EQ(filters[2], "All files (*.*) (*)");

  // The patterns as Qt's file lists apply them: both spellings show, nothing else does.
  test::TempDir dir;
  for (const char* name : {"a.jpg", "B.JPG", "c.Jpg", "d.jpeg", "e.png", "noextension"}) {
    test::writeFileBytes(dir.file(name), {1});
  }
  const QDir folder(QString::fromStdString(dir.path().string()));
  EXPECT_EQ(folder.entryList({"*.[Jj][Pp][Gg]"}, QDir::Files, QDir::Name), (QStringList{"B.JPG", "a.jpg", "c.Jpg"}));
  EXPECT_EQ(folder.entryList({"*"}, QDir::Files).size(), 6);
}

}  // namespace
}  // namespace kelmira

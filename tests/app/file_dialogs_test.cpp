#include "app/file_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "support/test_files.h"

namespace kelmira {
namespace {

TEST(FileDialogs, WindowsFiltersBecomeQtFiltersThatMatchAnyLetterCase) {
  const QStringList filters = qtNameFilters(
      "Image Files (bmp,jpg,tif)|*.BMP;*.JPG;*.TIF|JPEG Files (*.JPG)|*.JPG|All files (*.*)|*.*||");
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0],
            "Image Files (bmp,jpg,tif) (*.bmp *.[Bb][Mm][Pp] *.jpg *.[Jj][Pp][Gg] *.tif *.[Tt][Ii][Ff])");
  EXPECT_EQ(filters[1], "JPEG Files (*.JPG) (*.jpg *.[Jj][Pp][Gg])");
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

// The real save dialog, answered from inside its modal loop.
TEST(FileDialogs, TheSaveDialogKeepsTheProposedNameAndGivesPlainExtensions) {
  test::TempDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  QtFileDialogs dialogs;
  QString shownName;
  QString afterSwitching;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(name, nullptr);
    ASSERT_NE(types, nullptr);
    shownName = name->text();
    // Picking "All files" and then the movie filter again, as a user might.
    types->setCurrentIndex(1);
    emit types->activated(1);
    types->setCurrentIndex(0);
    emit types->activated(0);
    afterSwitching = name->text();
    static_cast<QDialog*>(dialog)->accept();
  });
  const QString chosen =
      dialogs.saveFileName(nullptr, "Save", "MOVIE Files (*.MOV)|*.MOV|All files (*.*)|*.*||", folder + "/room.mov");
  EXPECT_EQ(shownName.toStdString(), "room.mov");
  EXPECT_EQ(afterSwitching.toStdString(), "room.mov");
  EXPECT_EQ(chosen.toStdString(), dir.file("room.mov"));
}

// The type left chosen in the real dialog reaches the window: the 360-degree photo is told
// from a JPEG only by it, and the dialog shows its entries with their details hidden.
TEST(FileDialogs, TheSaveDialogTellsWhichTypeWasChosen) {
  test::TempDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  QtFileDialogs dialogs;
  for (const int pick : {0, 1, 2}) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      ASSERT_NE(types, nullptr);
      types->setCurrentIndex(pick);
      emit types->activated(pick);
      static_cast<QDialog*>(dialog)->accept();
    });
    int chosen = -1;
    dialogs.saveFileName(nullptr, "Save", "JPEG Files (*.JPG)|*.JPG|360\u00b0 photo (*.jpg)|*.JPG|All files (*.*)|*.*||",
                         folder + "/room.jpg", &chosen);
    EXPECT_EQ(chosen, pick);
  }
}

}  // namespace
}  // namespace kelmira

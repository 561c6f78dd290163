#include "ui/mirror_properties_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <fstream>

#include "mirror/mirror_test_support.h"
#include "ui/attachment_item_delegate.h"
#include "support/test_files.h"
#include "support/workspace_fakes.h"

namespace kelmira {
namespace {

using Stored = std::map<std::pair<std::string, std::string>, int>;

void clickRow(QListWidget* list, int row) {
  const QRect item = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
}

TEST(MirrorPropertiesDialog, FirstUseSelectsTheStandardBaseAndOkStoresIt) {
  test::MemorySettings settings;
  MirrorPropertiesDialog dialog(&settings);
  EXPECT_EQ(dialog.windowTitle(), "Mirror Properties");
  QListWidget* list = dialog.attachmentList();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "Standard");
  EXPECT_EQ(list->item(1)->text(), "Thread");
  ASSERT_EQ(list->selectedItems().size(), 1);
  EXPECT_EQ(list->row(list->selectedItems().first()), 0);

  QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.values, (Stored{{{"EQUIPMENT", "MIRROR"}, 0}, {{"EQUIPMENT", "ATTACHMENT"}, 0}}));
}

TEST(MirrorPropertiesDialog, OkWithoutASelectionWaitsAndCancelWritesNothing) {
  test::MemorySettings settings;
  settings.values = {{{"EQUIPMENT", "MIRROR"}, 5}, {{"EQUIPMENT", "ATTACHMENT"}, 5}};
  const Stored before = settings.values;
  {
    MirrorPropertiesDialog dialog(&settings);
    dialog.show();
    EXPECT_TRUE(dialog.attachmentList()->selectedItems().isEmpty());
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());  // still open, nothing written
    EXPECT_EQ(settings.values, before);

    clickRow(dialog.attachmentList(), 1);
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings.values, before);
  }
  // The lens thread chosen and confirmed: the stray mirror type goes back to 0 with it.
  MirrorPropertiesDialog dialog(&settings);
  dialog.show();
  clickRow(dialog.attachmentList(), 1);
  QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.values, (Stored{{{"EQUIPMENT", "MIRROR"}, 0}, {{"EQUIPMENT", "ATTACHMENT"}, 1}}));
  // Reopened, the stored choice is selected again.
  MirrorPropertiesDialog again(&settings);
  EXPECT_EQ(again.attachmentList()->currentRow(), 1);
  QTest::keyClick(&again, Qt::Key_Escape);
  EXPECT_EQ(again.result(), QDialog::Rejected);
}

// What the list shows: each entry 124 x 107, its picture 4 pixels in from the corner,
// the caption to the right of it.
TEST(MirrorPropertiesDialog, EntriesShowThePictureAndCaption) {
  test::MemorySettings settings;
  settings.values = {{{"EQUIPMENT", "ATTACHMENT"}, 1}};
  MirrorPropertiesDialog dialog(&settings);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QListWidget* list = dialog.attachmentList();
  const QRect first = list->visualItemRect(list->item(0));
  const QRect second = list->visualItemRect(list->item(1));
  EXPECT_EQ(first.height(), 107);
  EXPECT_EQ(second.top(), first.bottom() + 1);
  EXPECT_EQ(list->itemDelegate()->sizeHint({}, list->model()->index(0, 0)), QSize(124, 107));

  const QImage shown = list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage standard = QImage(":/mirror/standard-base.png").convertToFormat(QImage::Format_RGB32);
  const QImage thread = QImage(":/mirror/lens-thread.png").convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(standard.size(), QSize(116, 99));
  ASSERT_EQ(thread.size(), QSize(116, 99));
  EXPECT_NE(standard, thread);
  const qreal ratio = shown.devicePixelRatio();
  EXPECT_EQ(shown.copy(QRect(first.topLeft() + QPoint(4, 4), QSize(116, 99) * ratio)), standard);
  EXPECT_EQ(shown.copy(QRect(second.topLeft() + QPoint(4, 4), QSize(116, 99) * ratio)), thread);

  // The caption: ink right of the picture on the selected (highlighted) lens-thread entry,
  // none left of where it starts, below the picture's third.
  const QColor highlight = list->palette().color(QPalette::Highlight);
  int ink = 0;
  for (int y = second.top(); y <= second.bottom(); ++y)
    for (int x = second.left() + 124; x < second.right(); ++x) ink += shown.pixelColor(x, y) != highlight;
  EXPECT_GT(ink, 100);
  for (int y = second.top(); y < second.top() + 99 / 3 + 8; ++y)
    for (int x = second.left() + 124; x < second.right(); ++x) ASSERT_EQ(shown.pixelColor(x, y), highlight) << x << "," << y;
  EXPECT_EQ(AttachmentItemDelegate::caption(0), " Standard Base ");
  EXPECT_EQ(AttachmentItemDelegate::caption(1), " Lens Thread ");
}

// A calibration chosen: the dialog says its kind, centre and field of view, the check
// box turns the elevations over, a file that is no mirror is told of and changes nothing,
// and Clear goes back to the attachment's own mirror.
TEST(MirrorPropertiesDialog, ShowsTheChosenCalibrationAndTheRig) {
  test::TempDir dir;
  const std::string calib = dir.file("calib_results.txt");
  std::ofstream(calib) << test::ocamCalibText(test::asWritten(test::ocamRig()));
  const std::string broken = dir.file("broken.txt");
  std::ofstream(broken) << "5 -110 0 0.0025\n";
  test::MemorySettings settings;
  MirrorPropertiesDialog dialog(&settings);
  std::vector<std::string> answers{"", calib, broken};
  dialog.setFileChooser([&] {
    const std::string next = answers.front();
    answers.erase(answers.begin());
    return next;
  });
  dialog.show();
  EXPECT_EQ(dialog.mirrorSummary()->text(), "The attachment's own mirror.");
  EXPECT_FALSE(dialog.noCalibrationButton()->isEnabled());
  EXPECT_EQ(dialog.calibratedMirrorButton()->text(), "Calibrated mirror...");
  EXPECT_EQ(dialog.cameraAboveBox()->text(), "Camera above the mirror, looking down");

  QTest::mouseClick(dialog.calibratedMirrorButton(), Qt::LeftButton);  // cancelled
  EXPECT_EQ(dialog.mirrorPath(), "");
  QTest::mouseClick(dialog.calibratedMirrorButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.mirrorPath(), calib);
  // The toolbox's centre is (row 241.3, column 322.7); the band from a fifth of the rim
  // (237.7 px, the bottom edge) to the rim, as info --mirror reports it.
  EXPECT_EQ(dialog.mirrorSummary()->text(),
            "OCamCalib: calib_results.txt\nCentre: 322.7, 241.3 (640 x 480)\n"
            "Field of view: 360 x 75.8 degrees,\nfrom 10.3 to -65.5 degrees");
  QTest::mouseClick(dialog.cameraAboveBox(), Qt::LeftButton);
  EXPECT_EQ(dialog.rig(), Rig::CameraAbove);
  EXPECT_TRUE(dialog.mirrorSummary()->text().endsWith("Field of view: 360 x 75.8 degrees,\nfrom 65.5 to -10.3 degrees"))
      << dialog.mirrorSummary()->text().toStdString();

  QTest::mouseClick(dialog.calibratedMirrorButton(), Qt::LeftButton);  // the broken file
  EXPECT_EQ(dialog.mirrorPath(), calib);
  EXPECT_TRUE(dialog.mirrorSummary()->text().startsWith(QString::fromStdString(broken + ": OCamCalib calibration: ")))
      << dialog.mirrorSummary()->text().toStdString();

  QTest::mouseClick(dialog.noCalibrationButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.mirrorPath(), "");
  EXPECT_EQ(dialog.mirrorSummary()->text(), "The attachment's own mirror.");

  // Given at the start, as the window remembers them.
  MirrorPropertiesDialog again(&settings);
  again.setMirror(calib, Rig::CameraAbove);
  EXPECT_TRUE(again.cameraAboveBox()->isChecked());
  EXPECT_TRUE(again.mirrorSummary()->text().startsWith("OCamCalib: calib_results.txt\n"));
  QTest::mouseClick(again.okButton(), Qt::LeftButton);
  EXPECT_EQ(again.result(), QDialog::Accepted);
  EXPECT_EQ(again.mirrorPath(), calib);
}

}  // namespace
}  // namespace kelmira

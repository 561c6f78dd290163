#include "ui/movie_properties_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/movie_defaults_dialog.h"
#include "support/test_files.h"
#include "support/workspace_fakes.h"

namespace kelmira {
namespace {

TEST(MoviePropertiesDialog, ListsRefusalsAndSetupDefaults) {
  test::MemorySettings settings;
  test::FakePrompts prompts;
  MoviePropertiesDialog dialog(&prompts, &settings, 400, 180, 1809, 288);
  EXPECT_EQ(dialog.windowTitle(), "Save Movie Properties");
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

  // The quality list is not in ascending order: positions map through the table.
  dialog.compressorList()->setCurrentIndex(0);
  dialog.qualityList()->setCurrentIndex(2);
  dialog.movieWidthField()->setText("640");
  dialog.movieHeightField()->setText("12a");
  QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
  EXPECT_EQ(prompts.messages.back(), "Please enter an integer.");

  // Text typed into the correction field and confirmed with Enter names no item: it is
  // refused, and never becomes an item of its own.
  dialog.movieHeightField()->setText("300");
  QLineEdit* typed = dialog.correctionList()->lineEdit();
  typed->clear();
  QTest::keyClicks(typed, "Some Correction");
  QTest::keyClick(typed, Qt::Key_Return);
  EXPECT_EQ(dialog.correctionList()->count(), 3);
  EXPECT_EQ(prompts.messages.back(), "Please select a valid correction mode.");
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  // An item's name typed in another case is that item.
  typed->setText("full correction");
  QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.movieSettings().correctionMode, 2u);
  dialog.setResult(0);

  // The movie's track header holds 1 to 32767 pixels; anything else is refused, saying so.
  for (const char* width : {"0", "-5", "32768", "65536"}) {
    dialog.movieWidthField()->setText(width);
    QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.back(), "The movie width and height must be whole numbers from 1 to 32767.") << width;
    EXPECT_NE(dialog.result(), QDialog::Accepted) << width;
  }
  dialog.movieWidthField()->setText("32767");
  dialog.correctionList()->setCurrentIndex(2);
  QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.movieSettings().codecType, fourCC("SVQ1"));
  EXPECT_EQ(dialog.movieSettings().codecQuality, 0u);  // "Minimum Quality"
  EXPECT_EQ(dialog.movieSettings().correctionMode, 2u);
  EXPECT_EQ(dialog.movieSettings().viewWidth, 32767);
  EXPECT_EQ(dialog.movieSettings().viewHeight, 300);

  // Setup Defaults: zero is refused there; confirmed values go to the settings and the fields.
  QTimer::singleShot(0, [&] {
    auto* defaults = qobject_cast<MovieDefaultsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->widthField()->text(), "400");
    defaults->widthField()->setText("0");
    QMetaObject::invokeMethod(defaults, [defaults] {
      defaults->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QTimer::singleShot(0, [defaults] {
      defaults->widthField()->setText("40000");
      QMetaObject::invokeMethod(defaults, [defaults] {
        defaults->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
      });
      QTimer::singleShot(0, [defaults] {
        defaults->widthField()->setText("640");
        defaults->heightField()->setText("300");
        defaults->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
      });
    });
  });
  QTest::mouseClick(dialog.setupDefaultsButton(), Qt::LeftButton);
  ASSERT_GE(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[prompts.messages.size() - 2], "Movie width must be greater than zero.");
  EXPECT_EQ(prompts.messages.back(), "The movie width and height must be whole numbers from 1 to 32767.");
  EXPECT_EQ(dialog.movieWidthField()->text(), "640");
  EXPECT_EQ(dialog.defaultHeight(), 300);
  EXPECT_EQ(settings.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 0), 640);
  EXPECT_EQ(settings.readInt("DEFAULTS", "DEFAULT_MOVIE_HEIGHT", 0), 300);
}

}  // namespace
}  // namespace kelmira

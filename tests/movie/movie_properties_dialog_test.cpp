#include "movie/movie_properties_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "movie/movie_defaults_dialog.h"
#include "support/test_files.h"
#include "workspace/workspace_fakes.h"

namespace kelmira {
namespace {

TEST(MoviePropertiesDialog, ListsRefusalsAndSetupDefaults) {
  test::MemorySettings settings;
  test::FakePrompts prompts;
  MoviePropertiesDialog dialog(&prompts, &settings, 400, 180, 1809, 288);
  EXPECT_EQ(dialog.windowTitle(), "Save Movie Properties");

  // The quality list is not in ascending order: positions map through the table.
  dialog.compressorList()->setCurrentIndex(0);
  dialog.qualityList()->setCurrentIndex(2);
  dialog.movieWidthField()->setText("0");  // any integer is taken here
  dialog.movieHeightField()->setText("12a");
  QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
  EXPECT_EQ(prompts.messages.back(), "Please enter an integer.");
  dialog.movieHeightField()->setText("-5");
  dialog.correctionList()->setEditText("Some Correction");
  QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
  EXPECT_EQ(prompts.messages.back(), "Please select a valid correction mode.");
  dialog.correctionList()->setCurrentIndex(2);
  QTest::mouseClick(dialog.saveMovieButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.movieSettings().codecType, fourCC("SVQ1"));
  EXPECT_EQ(dialog.movieSettings().codecQuality, 0u);  // "Minimum Quality"
  EXPECT_EQ(dialog.movieSettings().correctionMode, 2u);
  EXPECT_EQ(dialog.movieSettings().viewWidth, 0);
  EXPECT_EQ(dialog.movieSettings().viewHeight, -5);

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
      defaults->widthField()->setText("640");
      defaults->heightField()->setText("300");
      defaults->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
  });
  QTest::mouseClick(dialog.setupDefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(prompts.messages.back(), "Movie width must be greater than zero.");
  EXPECT_EQ(dialog.movieWidthField()->text(), "640");
  EXPECT_EQ(dialog.defaultHeight(), 300);
  EXPECT_EQ(settings.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 0), 640);
  EXPECT_EQ(settings.readInt("DEFAULTS", "DEFAULT_MOVIE_HEIGHT", 0), 300);
}

}  // namespace
}  // namespace kelmira

#include "app/image_button.h"

#include <gtest/gtest.h>

#include <QTest>

namespace kelmira {
namespace {

QPixmap solid(QColor colour) {
  QPixmap picture(40, 20);
  picture.fill(colour);
  return picture;
}

TEST(ImageButton, ShowsThePressedPictureOnlyWhileHeldDown) {
  ImageButton button;
  button.setPictures(solid(Qt::gray), solid(Qt::blue));
  button.fitToPicture();
  EXPECT_EQ(button.size(), QSize(40, 20));
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  int clicks = 0;
  QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });

  const auto centreColour = [&] { return button.grab().toImage().pixelColor(20, 10); };
  EXPECT_EQ(centreColour(), QColor(Qt::gray));
  QTest::mousePress(&button, Qt::LeftButton);
  EXPECT_EQ(centreColour(), QColor(Qt::blue));
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_EQ(centreColour(), QColor(Qt::gray));
  EXPECT_EQ(clicks, 1);

  button.setFocus();
  EXPECT_EQ(centreColour(), QColor(Qt::gray));  // focus has no look of its own
  // New pictures keep the size the button was given.
  QPixmap wide(80, 20);
  wide.fill(Qt::red);
  button.setPictures(wide, wide);
  EXPECT_EQ(button.size(), QSize(40, 20));
}

}  // namespace
}  // namespace kelmira

#include "app/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "base/simd_target.h"

namespace kelmira {
namespace {

// Bug reports quote the About box: it names the vector instructions the unwarp runs with.
TEST(AboutDialog, ShowsTheVersionAndTheSimdTargetInUse) {
  ASSERT_TRUE(forceSimdTarget(simdTargetsHere().back()));
  AboutDialog forced{QPixmap()};
  ASSERT_TRUE(forceSimdTarget(""));
  AboutDialog widest{QPixmap()};
  ASSERT_NE(widest.findChild<QLabel*>("version"), nullptr);
  EXPECT_EQ(widest.findChild<QLabel*>("version")->text(), "Version 2.1000");
  const QLabel* simd = widest.findChild<QLabel*>("simd");
  ASSERT_NE(simd, nullptr);
  EXPECT_EQ(simd->text().toStdString(), simdDescription());
  EXPECT_TRUE(simd->text().startsWith(QString::fromStdString("SIMD: " + simdTargetsHere().front())));
  EXPECT_TRUE(forced.findChild<QLabel*>("simd")->text().startsWith(
      QString::fromStdString("SIMD: " + simdTargetsHere().back())));
}

}  // namespace
}  // namespace kelmira

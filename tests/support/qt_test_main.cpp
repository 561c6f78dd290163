// Test main for widget tests: one QApplication for all tests, on Qt's offscreen platform
// unless the environment names another (QT_QPA_PLATFORM=xcb to watch them on a screen).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}

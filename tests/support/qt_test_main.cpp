// Test main for widget tests: one QApplication on the platform the environment names
// (offscreen under CTest) for all tests.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}

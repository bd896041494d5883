#include <gtest/gtest.h>

#include <QApplication>

// One application for all window tests. Listing the tests needs no window system, so test
// discovery works where no platform plugin could start.
int main(int argc, char* argv[]) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}

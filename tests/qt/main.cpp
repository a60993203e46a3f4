// SPDX-License-Identifier: MIT
// Qt tests run offscreen with one application object for all of them.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // A screen of 1600 x 1200 pixels, room for the whole window (the plain one holds 800 x 800).
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" CAVEWING_TEST_SCREEN);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

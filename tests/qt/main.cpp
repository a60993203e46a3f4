// SPDX-License-Identifier: MIT
// Qt tests run offscreen with one application object for all of them; those of the frames' own
// put on X11 run on an X server of their own, named by QT_QPA_PLATFORM=xcb.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // A screen of 1600 x 1200 pixels, room for the whole window (the plain one holds 800 x 800).
  if (qgetenv("QT_QPA_PLATFORM") != "xcb")
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" CAVEWING_TEST_SCREEN);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

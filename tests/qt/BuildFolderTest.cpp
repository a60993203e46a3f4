// SPDX-License-Identifier: MIT
// The tests keep what the game saves (its last and best games, its table, the remembered window)
// inside the build folder: a test run leaves the home folder of whoever runs it as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>

#include "qt/GameWindow.h"

namespace {

bool insideBuildFolder(const QString& path) {
  const QString build = QDir::cleanPath(CAVEWING_TEST_BUILD_DIR) + '/';
  return QDir::cleanPath(path).startsWith(build);
}

TEST(TestRun, KeepsItsFilesInTheBuildFolder) {
  GameWindow window(CommandLine{});
  const QString games = QString::fromStdString(window.UserDataPath());
  EXPECT_TRUE(insideBuildFolder(games)) << games.toStdString();
  const QString settings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  EXPECT_TRUE(insideBuildFolder(settings)) << settings.toStdString();
  EXPECT_TRUE(insideBuildFolder(QDir::homePath())) << QDir::homePath().toStdString();
}

}  // namespace

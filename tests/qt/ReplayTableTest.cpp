// SPDX-License-Identifier: MIT
// A replay in the window ranks in a throw-away table in memory: the player's table is never
// touched, even when there is no usable folder for scratch files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "qt/GameWindow.h"

namespace {

QByteArray contentsOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST(QtReplay, RanksInAThrowAwayTableNeverThePlayers) {
  const QByteArray savedTmp = qgetenv("TMPDIR");
  // Regression: without a usable TMPDIR, the window's replay wrote the player's real table.
  qputenv("TMPDIR", "/proc/no-such-folder");
  replay::Recording recording;
  recording.seed = 7;
  recording.player = "REPLAYED";
  recording.events.push_back(replay::Event{.grid = 1, .kind = replay::Event::Kind::Start});
  recording.endGrid = 2000;
  GameWindow window(CommandLine{}, &recording);
  const QString playersTable = QString::fromStdString(window.form().highScorePath());
  const QByteArray before = contentsOf(playersTable);
  // The new-high-score box waits for a player: close it when it comes.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  closer.start(100);
  window.show();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.form().lblTitle.Visible; }, 10000));
  savedTmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", savedTmp);
  EXPECT_EQ(window.form().lblName[1].Caption, "REPLAYED");
  EXPECT_EQ(contentsOf(playersTable), before);
}

}  // namespace

// SPDX-License-Identifier: MIT
// The demo in the real window, offscreen: it plays, crashes, shows the list and starts the next
// game without a box waiting for anyone or a word written to the player's table; a real click or
// key ends it, does nothing else, and leaves the game ready to play.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "qt/Demo.h"
#include "qt/GameWindow.h"

namespace {

struct DemoWindow {
  QTemporaryDir folder;
  QString playerTable = folder.filePath("Cavewing.txt");
  GameWindow window{options()};
  Demo* demo = new Demo(window);  // owned by the window
  const frmCavewing& form = window.form();

  DemoWindow() {
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  CommandLine options() const {
    CommandLine c;
    c.demo = true;
    c.scoresFile = playerTable.toStdString();
    return c;
  }
  bool flying() const { return phaseOf(form) == Phase::Flying; }
  bool ready() const {
    return phaseOf(form) == Phase::Ready && window.playfield()->startButton()->isVisible();
  }
  // Black pixels of the "DEMO" badge in its corner, over the green ceiling: some 280 in bold
  // Arial, under 200 in the regular face.
  int badgeBlack() const {
    const QImage badge = window.playfield()->grab(QRect(8, 4, 56, 18)).toImage();
    int black = 0;
    for (int y = 0; y < badge.height(); ++y)
      for (int x = 0; x < badge.width(); ++x) black += qGray(badge.pixel(x, y)) < 64;
    return black;
  }
};

TEST(QtDemo, PlaysCrashesAndStartsTheNextGameLeavingThePlayersTableAlone) {
  DemoWindow d;
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.flying(); }, 2000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.form.score > 20; }, 3000));
  // A box that waited for a player would stop the demo here; close it, and count it.
  bool boxWaited = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      boxWaited = true;
      box->close();
    }
  });
  closer.start(500);
  // From here the test moves game time, so that the pilot's crash comes in moments, not minutes.
  d.window.pump().stop();
  const auto runUntil = [&](std::int64_t us, const std::function<bool()>& done) {
    for (std::int64_t end = d.form.clock.now() + us; !done() && d.form.clock.now() < end;) {
      d.window.drive([&] { d.window.cabinet().advanceTo(d.form.clock.now() + 15'625); });
      QApplication::processEvents();
    }
    return done();
  };
  ASSERT_TRUE(runUntil(1800'000'000, [&] { return d.form.gameOver; }));
  ASSERT_TRUE(runUntil(3'000'000, [&] { return d.form.lblTitle.Visible; }));
  // The demo's score made its own table; the ranking's congratulations found no one to wait for.
  EXPECT_FALSE(boxWaited);
  EXPECT_FALSE(QFile::exists(d.playerTable));
  EXPECT_NE(d.form.lblScores[1].Caption, "");
  // The list stays up a few seconds, then a click and START begin the next game.
  EXPECT_FALSE(runUntil(2'000'000, [&] { return !d.form.gameOver; }));
  ASSERT_TRUE(runUntil(6'000'000, [&] { return d.flying(); }));
  EXPECT_LT(d.form.score, 64);  // a new game, counting from 0
}

TEST(QtDemo, ARealClickEndsItAndLeavesTheGameReady) {
  DemoWindow d;
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.flying(); }, 2000));
  EXPECT_GT(d.badgeBlack(), 230);  // the bold badge
  QTest::mouseClick(d.window.playfield(), Qt::LeftButton, {}, QPoint(300, 300));
  EXPECT_TRUE(d.ready());
  EXPECT_FALSE(d.demo->playing());
  EXPECT_FALSE(d.form.tmrUp.Enabled);  // the click did not climb either
  EXPECT_EQ(d.form.scoresFile, d.playerTable.toStdString());
  // Nobody clicks START for the player any more.
  EXPECT_FALSE(QTest::qWaitFor([&] { return !d.ready(); }, 300));
  // The player's own game from here on.
  QTest::mouseClick(d.window.playfield()->startButton(), Qt::LeftButton);
  EXPECT_TRUE(d.flying());
}

TEST(QtDemo, AKeyEndsItEvenCtrlXWhichDoesNothingElse) {
  DemoWindow d;
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.flying(); }, 2000));
  QWidget* field = d.window.playfield();
  QTest::keyPress(field, Qt::Key_Control);
  EXPECT_TRUE(d.ready());
  // Ctrl held: X repeats it as a release and a press at one instant. Marked as repeats, a busy
  // program may read them a moment apart; unmarked, the release waits a moment for the press.
  // Ctrl stays held all the while: Ctrl+X does nothing.
  for (const bool marked : {true, false, true, false}) {
    for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
      QKeyEvent repeat(type, Qt::Key_Control, Qt::ControlModifier, 37, 0, 0, QString(), marked);
      repeat.setTimestamp(marked ? 1000 : 2000);
      QSpontaneKeyEvent::setSpontaneous(&repeat);  // the window system's, with its scan code
      qApp->notify(field, &repeat);
      if (marked || type == QEvent::KeyPress) QTest::qWait(60);
    }
  }
  QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(QTest::qWaitFor([&] { return !d.window.isVisible(); }, 300));
  // The next key is the player's again: Ctrl+X quits.
  QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !d.window.isVisible(); }, 1000));
}

// The key that ended it let go and at once pressed again, into Ctrl+X, before the moment its
// release waits for a repeat's press is up: that press shows the release was real, the catch
// ends, and Ctrl+X is the player's.
TEST(QtDemo, TheKeyThatEndedItIsLetGoWhenAnotherPressFollowsAtOnce) {
  DemoWindow d;
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.flying(); }, 2000));
  QWidget* field = d.window.playfield();
  QTest::keyPress(field, Qt::Key_Control);
  ASSERT_TRUE(d.ready());
  // No event loop runs between these: the release's wait cannot end by itself.
  QTest::keyRelease(field, Qt::Key_Control);
  QTest::keyPress(field, Qt::Key_Control, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !d.window.isVisible(); }, 1000));
}

// Keeps out: the key that ended the demo let go in another window, and every shortcut of the
// program swallowed from then on, waiting for a release that never came.
TEST(QtDemo, TheKeyThatEndedItIsForgottenWhenTheWindowLosesIt) {
  DemoWindow d;
  ASSERT_TRUE(QTest::qWaitFor([&] { return d.flying(); }, 2000));
  QTest::keyPress(d.window.playfield(), Qt::Key_Control);
  EXPECT_TRUE(d.ready());
  // The player goes to another window and lets Ctrl go there, then comes back.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  other.hide();
  d.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d.window));
  // Ctrl+X is the Exit menu's shortcut again.
  QTest::keyClick(&d.window, Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !d.window.isVisible(); }, 1000));
}

}  // namespace

// SPDX-License-Identifier: MIT
// The real window offscreen: what it paints, its menu bar, its shortcuts and its boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include "qt/GameWindow.h"
#include "qt/WindowState.h"

namespace {

QColor pixelAtTwips(GameWindow& w, float x, float y) {
  const QImage image = w.playfield()->grab().toImage();
  const QPoint p = w.playfield()->twipsToWidget().map(QPointF(x, y)).toPoint();
  return image.pixelColor(p * image.devicePixelRatio());
}

struct OpenWindow {
  GameWindow window{CommandLine{}};
  OpenWindow() {
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
};

TEST(QtWindow, PaintsTheReadyPhase) {
  OpenWindow o;
  GameWindow& w = o.window;
  EXPECT_EQ(w.windowTitle(), " Cavewing");
  EXPECT_EQ(w.playfield()->size(), QSize(1016, 722));
  EXPECT_EQ(pixelAtTwips(w, 7600, 4700), QColor(255, 0, 0));   // START, on its face
  EXPECT_EQ(pixelAtTwips(w, 600, 1500), QColor(0, 255, 0));    // ceiling
  EXPECT_EQ(pixelAtTwips(w, 600, 10000), QColor(0, 255, 0));   // floor
  EXPECT_EQ(pixelAtTwips(w, 600, 5000), QColor(0, 0, 0));      // the open cave
  EXPECT_EQ(pixelAtTwips(w, 13900, 5400), QColor(0, 255, 0));  // the obstacle
  const QColor meter[] = {{216, 0, 0}, {255, 128, 0},   {255, 255, 0},
                          {0, 192, 0}, {128, 128, 255}, {255, 0, 255}};
  for (int i = 1; i <= 6; ++i)
    EXPECT_EQ(pixelAtTwips(w, float(7080 + 600 * (i - 1) + 60), 850), meter[i - 1]) << "box " << i;
  EXPECT_EQ(pixelAtTwips(w, 13395 + 60, 360 + 60), QColor(255, 255, 255));  // boxed score
  EXPECT_TRUE(w.playfield()->startButton()->hasFocus());
}

TEST(QtWindow, StartShowsTheHelicopterAndHidesTheButton) {
  OpenWindow o;
  GameWindow& w = o.window;
  QTest::mouseClick(w.playfield()->startButton(), Qt::LeftButton);
  EXPECT_FALSE(w.playfield()->startButton()->isVisible());
  EXPECT_TRUE(w.form().imgCopter.Visible);
  EXPECT_EQ(w.playfield()->cursor().shape(), Qt::BitmapCursor);
  // A pause gives the usual pointer back, and the flight takes its own again.
  QTest::keyClick(w.playfield(), Qt::Key_Space);
  EXPECT_EQ(w.playfield()->cursor().shape(), Qt::ArrowCursor);
  QTest::keyClick(w.playfield(), Qt::Key_Space);
  EXPECT_EQ(w.playfield()->cursor().shape(), Qt::BitmapCursor);
  // Somewhere on the helicopter's picture a pixel is no longer the black of the cave.
  const QImage image = w.playfield()->grab().toImage();
  const QRect heli = w.playfield()->twipsToWidget().mapRect(QRectF(1000, 5000, 1605, 405)).toRect();
  bool painted = false;
  for (int y = heli.top(); y <= heli.bottom(); ++y)
    for (int x = heli.left(); x <= heli.right(); ++x)
      painted |= image.pixelColor(x, y) != Qt::black;
  EXPECT_TRUE(painted);
}

TEST(QtWindow, SpaceAndEnterClickTheFocusedStartButton) {
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
    OpenWindow o;
    QTest::keyClick(o.window.playfield()->startButton(), key);
    EXPECT_TRUE(o.window.form().gameRunning) << key;
  }
}

TEST(QtWindow, MenuBarHasItsItemsAccessLettersAndShortcuts) {
  OpenWindow o;
  GameWindow& w = o.window;
  QStringList bar;
  for (QAction* a : w.menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, (QStringList{"&File", "&Help", "High Sc&ores"}));
  const auto& f = w.form();
  EXPECT_EQ(w.actionFor(f.mnuNew)->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(w.actionFor(f.mnuExit)->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(w.actionFor(f.mnuHow)->shortcut(), QKeySequence("Ctrl+H"));
  EXPECT_EQ(w.actionFor(f.mnuAbout)->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_EQ(w.actionFor(f.mnuExit)->text(), "E&xit");
  EXPECT_EQ(w.actionFor(f.mnuScores)->menu(), nullptr);
}

TEST(QtWindow, FlightDisablesTheMenusAndTheirShortcuts) {
  OpenWindow o;
  GameWindow& w = o.window;
  const auto& f = w.form();
  w.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  for (const form::MenuItem* m :
       {&f.mnuFile, &f.mnuNew, &f.mnuExit, &f.mnuHelp, &f.mnuHow, &f.mnuAbout, &f.mnuScores})
    EXPECT_FALSE(w.actionFor(*m)->isEnabled()) << m->Caption;
  QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(f.gameRunning) << "Ctrl+N must do nothing during flight";

  // A pause brings the menus back, and New Game with them.
  w.deliver(replay::Event{.kind = replay::Event::Kind::Down, .button = frmCavewing::RightButton});
  w.deliver(replay::Event{.kind = replay::Event::Kind::Up, .button = frmCavewing::RightButton});
  EXPECT_TRUE(w.actionFor(f.mnuNew)->isEnabled());
  w.deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = "mnuNew"});
  EXPECT_FALSE(f.gameRunning);
  w.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  w.deliver(replay::Event{.kind = replay::Event::Kind::Down, .button = frmCavewing::RightButton});
  w.deliver(replay::Event{.kind = replay::Event::Kind::Up, .button = frmCavewing::RightButton});
  ASSERT_TRUE(w.actionFor(f.mnuNew)->isEnabled());
  QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
  EXPECT_FALSE(f.gameRunning) << "Ctrl+N starts a new game once the menus are back";
}

// Keeps out: the new high score's box opening over the old "YOU CRASHED" picture while the
// window was not the active one, the list under it painted only once the box was closed.
TEST(QtWindow, TheListIsOnScreenBeforeTheNewHighScoreBoxOpens) {
  QTemporaryDir folder;
  CommandLine options;
  options.scoresFile = folder.filePath("Cavewing.txt").toStdString();
  GameWindow w(options);
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::mouseClick(w.playfield()->startButton(), Qt::LeftButton);
  // No press: the helicopter falls into the floor. In flight a window that goes away stands
  // still, so the player looks elsewhere once the crash is on screen.
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.form().crashed; }, 20000));
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

  // What the screen shows of the ceiling (green in the cave, black under the list) once the box
  // is up. The box is watched for, not waited for blindly.
  std::optional<QColor> ceiling;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    const QImage shown = w.screen()->grabWindow(w.winId()).toImage();
    const QPoint p =
        w.playfield()->mapTo(&w, w.playfield()->twipsToWidget().map(QPointF(600, 1500)).toPoint());
    ceiling = shown.pixelColor(p * shown.devicePixelRatio());
    box->accept();
  });
  watch.start(5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ceiling.has_value(); }, 20000));
  EXPECT_TRUE(w.form().lblTitle.Visible);
  EXPECT_EQ(*ceiling, QColor(0, 0, 0)) << "the cave, not the list, was on screen under the box";
}

TEST(QtWindow, AboutAndHowToPlayAreModalBoxesWithOneOkButtonAndNoIcon) {
  OpenWindow o;
  GameWindow& w = o.window;
  struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Information;
    int buttons = 0;
  };
  auto open = [&](const form::MenuItem& item) {
    Seen seen;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = {box->windowTitle(), box->text(), box->icon(), int(box->buttons().size())};
      box->accept();
    });
    w.actionFor(item)->trigger();
    return seen;
  };
  const Seen about = open(w.form().mnuAbout);
  EXPECT_EQ(about.title, "About the Cavewing");
  EXPECT_TRUE(about.text.contains("Cavewing team"));
  EXPECT_EQ(about.icon, QMessageBox::NoIcon);
  EXPECT_EQ(about.buttons, 1);
  const Seen how = open(w.form().mnuHow);
  EXPECT_EQ(how.title, "How to Play the Cavewing");
  EXPECT_TRUE(how.text.startsWith("The purpose of this game"));
}

}  // namespace

namespace {

// Keeps out a window that F11 returns from full screen at a size remembered from a larger screen,
// with the score and the floor off-screen.
TEST(QtWindowState, BackFromARememberedFullScreenTheWindowFitsTheScreen) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing");
  {
    QMainWindow last;  // the last run's window: larger than this screen, then full screen
    last.setGeometry(0, 0, 2400, 1800);
    last.show();
    last.setWindowState(Qt::WindowFullScreen);
    settings.setValue("window/geometry", last.saveGeometry());
  }
  GameWindow w{CommandLine{}};
  EXPECT_TRUE(w.isFullScreen());
  w.findChild<WindowState*>()->fullScreenAction()->trigger();
  EXPECT_FALSE(w.isFullScreen());
  EXPECT_TRUE(w.screen()->availableGeometry().contains(w.frameGeometry()))
      << w.frameGeometry().width() << "x" << w.frameGeometry().height();
  settings.remove("window/geometry");
}

// Keeps out: a window remembered too wide only, or too tall only, opened partly off the screen.
TEST(QtWindowState, AWindowTooWideOrTooTallAloneIsShrunkToTheScreen) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing");
  const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
  for (const QSize size : {QSize(free.width() + 300, free.height() / 2),
                           QSize(free.width() / 2, free.height() + 300)}) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    {
      QMainWindow last;  // the last run's window, on a larger screen
      last.setGeometry(QRect(free.topLeft(), size));
      settings.setValue("window/geometry", last.saveGeometry());
    }
    GameWindow w{CommandLine{}};
    w.show();
    EXPECT_TRUE(free.contains(w.frameGeometry()))
        << w.frameGeometry().width() << "x" << w.frameGeometry().height();
  }
  settings.remove("window/geometry");
}

}  // namespace

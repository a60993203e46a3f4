// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "qt/EventMapping.h"
#include "qt/GameWindow.h"
#include "qt/PlayerInput.h"
#include "replay/Recording.h"
#include "start/words/Words.h"

namespace {

using namespace eventmapping;

TEST(EventMapping, CharacterCodesOnlyForKeysThatMakeOne) {
  const auto none = Qt::NoModifier;
  // Events made up without their text still carry the character.
  EXPECT_EQ(keyAscii(Qt::Key_Escape, none, ""), 27);
  EXPECT_EQ(keyAscii(Qt::Key_Enter, none, ""), 13);
  EXPECT_EQ(keyAscii(Qt::Key_Space, none, ""), 32);
  EXPECT_EQ(keyAscii(Qt::Key_Q, none, ""), 'q');
  EXPECT_EQ(keyAscii(Qt::Key_Q, Qt::ShiftModifier, ""), 'Q');
  EXPECT_EQ(keyAscii(Qt::Key_X, Qt::ControlModifier, ""), 24);
  // Keys that make no character.
  EXPECT_EQ(keyAscii(Qt::Key_F4, Qt::AltModifier, ""), std::nullopt);
  EXPECT_EQ(keyAscii(Qt::Key_Shift, Qt::ShiftModifier, ""), std::nullopt);
  EXPECT_EQ(keyAscii(Qt::Key_Delete, none, QString(QChar(127))), std::nullopt);
  EXPECT_EQ(keyAscii(Qt::Key_unknown, none, QString(QChar(0x263A))), std::nullopt);
}

// A real window, offscreen, with its clock held still: the tests look at what the events did.
class PlayerInputTest : public ::testing::Test {
protected:
  void SetUp() override {
    window.pump().stop();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  // QTest remembers the buttons a test left held and would pass them on to the next test.
  void TearDown() override {
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
      QTest::mouseRelease(field, b, {}, open);
  }

  // A widget position over the given point of the playfield, in twips.
  QPoint at(float x, float y) const { return field->twipsToWidget().map(QPointF(x, y)).toPoint(); }
  // The same point for events sent to the window as a whole, as the platform sends them.
  QPoint inWindow(float x, float y) const { return field->mapTo(&window, at(x, y)); }
  void start() {
    QTest::mouseClick(field->startButton(), Qt::LeftButton);
    ASSERT_TRUE(form.gameRunning);
  }
  void press(Qt::MouseButton button, QPoint pos = {}) {
    QTest::mousePress(field, button, {}, pos.isNull() ? open : pos);
  }
  void release(Qt::MouseButton button, QPoint pos = {}) {
    QTest::mouseRelease(field, button, {}, pos.isNull() ? open : pos);
  }
  void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(field, k, modifiers);
  }
  // Ends the program with Ctrl+X, which keeps the recording, and reads what it holds.
  std::string endAndReadWhatReachedTheRules() {
    key(Qt::Key_X, Qt::ControlModifier);
    const replay::ReadResult kept = replay::readFile(recordFile);
    std::string reached;
    using enum replay::Event::Kind;
    for (const replay::Event& e : kept.recording.value().events)
      reached += e.kind == KeyDown
                     ? " key " + std::to_string(e.code) + "/" + std::to_string(e.shift)
                 : e.kind == KeyPress ? " char " + std::to_string(e.code)
                 : e.kind == Down     ? " down " + std::to_string(e.button)
                 : e.kind == Up       ? " up " + std::to_string(e.button)
                                      : std::string(" start");
    return reached;
  }
  bool flying() const { return phaseOf(form) == Phase::Flying; }
  bool paused() const { return phaseOf(form) == Phase::Paused; }

  QTemporaryDir folder;
  const std::string recordFile = folder.filePath("sitting").toStdString();
  GameWindow window{readWords({"--record", recordFile})};
  const frmCavewing& form = window.form();
  Playfield* field = window.playfield();
  const QPoint open = at(7000, 3000);  // open cave, clear of the helicopter and of START
};

// A key pressed on the window reaches the rules as the key code they name, with its character;
// the Up arrow is the left button, and a key or button the rules do not know reaches nothing.
TEST_F(PlayerInputTest, KeysReachTheRulesAsTheirCodes) {
  start();
  for (Qt::Key k : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_F1,
                    Qt::Key_A, Qt::Key_7, Qt::Key_F25})
    key(k);
  key(Qt::Key_Q, Qt::MetaModifier | Qt::KeypadModifier);  // not part of the shift state
  press(Qt::BackButton);
  release(Qt::BackButton);
  QTest::keyPress(field, Qt::Key_Up);
  QTest::keyRelease(field, Qt::Key_Up);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.tmrUp.Enabled; }));
  EXPECT_EQ(endAndReadWhatReachedTheRules(),
            " start key 27/0 char 27 key 13/0 char 13 key 13/0 char 13 key 32/0 char 32 key 112/0"
            " key 65/0 char 97 key 55/0 char 55 key 81/0 char 113 down 1 up 1 key 17/2 key 88/2");
}

// The press-to-picture measure times the left button's press, and no other button's.
TEST_F(PlayerInputTest, LeftButtonClimbsWhileHeldAndRightButtonPauses) {
  int timed = 0;
  const PlayerInput timing(window, *field, window.kit(), [&timed] { ++timed; });
  start();
  EXPECT_TRUE(field->hasFocus());  // START is gone: the keys are the playfield's now
  press(Qt::LeftButton);
  EXPECT_TRUE(form.tmrUp.Enabled);
  release(Qt::LeftButton);
  EXPECT_FALSE(form.tmrUp.Enabled);
  EXPECT_TRUE(form.tmrDown.Enabled);
  press(Qt::RightButton);
  release(Qt::RightButton);
  EXPECT_TRUE(paused());
  EXPECT_EQ(form.pausesLeft, 5);
  EXPECT_TRUE(window.actionFor(form.mnuNew)->isEnabled());  // the menus come back while paused
  press(Qt::MiddleButton);
  EXPECT_TRUE(flying());
  EXPECT_FALSE(form.tmrUp.Enabled);
  EXPECT_FALSE(window.actionFor(form.mnuNew)->isEnabled());
  EXPECT_EQ(timed, 1);
}

// Keeps out: a key's release lost behind another's, let go at once (the first waits a moment for
// a repeat of its own), and the helicopter climbing on for nobody.
TEST_F(PlayerInputTest, KeysLetGoTogetherAreEachLetGo) {
  start();
  QTest::keyPress(field, Qt::Key_Up);
  QTest::keyPress(field, Qt::Key_Shift);
  ASSERT_TRUE(form.tmrUp.Enabled);
  QTest::keyRelease(field, Qt::Key_Up);
  QTest::keyRelease(field, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.tmrUp.Enabled; }));
}

// A release waits a moment for the press that would make it a repeat; another press ends the
// wait: a key let go and pressed again at once is held, and the helicopter climbs on.
TEST_F(PlayerInputTest, AKeyPressedAgainAtOnceIsHeld) {
  start();
  QTest::keyPress(field, Qt::Key_Up);
  QTest::keyRelease(field, Qt::Key_Up);
  QTest::keyPress(field, Qt::Key_Up);
  // A timer due after the release's wait fires after it: by then a waiting release is let go.
  bool pastTheWait = false;
  QTimer::singleShot(40, [&] { pastTheWait = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return pastTheWait; }));
  EXPECT_TRUE(form.tmrUp.Enabled);
}

TEST_F(PlayerInputTest, APressOnTheHelicopterSteers) {
  start();
  ASSERT_TRUE(form.imgCopter.Visible);
  const QPoint copter = at(form.imgCopter.Left + form.imgCopter.Width / 2,
                           form.imgCopter.Top + form.imgCopter.Height / 2);
  press(Qt::LeftButton, copter);
  EXPECT_TRUE(form.tmrUp.Enabled);
  release(Qt::LeftButton, at(7000, 3000));  // let go elsewhere: the helicopter still gets it
  EXPECT_FALSE(form.tmrUp.Enabled);
  press(Qt::RightButton, copter);
  EXPECT_TRUE(paused());
}

TEST_F(PlayerInputTest, ExactShiftStatesEndTheProgram) {
  start();
  key(Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
  key(Qt::Key_F4, Qt::AltModifier | Qt::ControlModifier);
  key(Qt::Key_X);
  press(Qt::RightButton);  // still running: the press pauses
  EXPECT_TRUE(paused());
  press(Qt::RightButton);
  ASSERT_TRUE(flying());

  key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
  press(Qt::RightButton);  // the program has ended: nothing reaches the form any more
  EXPECT_TRUE(flying());
}

// In flight the menus are off and Alt is the game's: Alt alone and Alt+H reach the rules as keys
// and light no menu. Paused, the menus are on again and Alt+H opens Help.
TEST_F(PlayerInputTest, AltIsTheGamesWhileTheMenusAreOff) {
  start();
  key(Qt::Key_Alt, Qt::AltModifier);
  key(Qt::Key_H, Qt::AltModifier);
  EXPECT_EQ(window.menuBar()->activeAction(), nullptr);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  press(Qt::RightButton);
  ASSERT_TRUE(paused());
  key(Qt::Key_H, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
  ASSERT_NE(window.menuBar()->activeAction(), nullptr);
  EXPECT_EQ(window.menuBar()->activeAction()->text(), "&Help");
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  QTest::keyClick(window.menuBar(), Qt::Key_Escape);
  key(Qt::Key_X, Qt::ControlModifier);  // ends the program, which keeps the recording
  const replay::ReadResult kept = replay::readFile(recordFile);
  std::string reached;
  for (const replay::Event& e : kept.recording.value().events)
    if (e.kind == replay::Event::Kind::KeyDown && e.code == 'H')
      reached += " " + std::to_string(e.code) + "/" + std::to_string(e.shift);
  EXPECT_EQ(reached, " 72/4");  // in flight; paused, Help took it
}

TEST_F(PlayerInputTest, AltF4EndsTheProgramDuringFlight) {
  start();
  key(Qt::Key_F4, Qt::AltModifier);
  EXPECT_FALSE(window.isVisible());
  press(Qt::RightButton);
  EXPECT_TRUE(flying());
}

TEST_F(PlayerInputTest, StartKeepsItsKeysAndAClickOnTheFieldLeavesItTheFocus) {
  ASSERT_TRUE(field->startButton()->hasFocus());
  // A pause key reaching the form would spend a charge.
  QTest::keyClick(field->startButton(), Qt::Key_Escape);
  QTest::keyClick(field->startButton(), Qt::Key_A);
  EXPECT_EQ(form.pausesLeft, 6);
  EXPECT_TRUE(field->startButton()->hasFocus());

  press(Qt::LeftButton);
  release(Qt::LeftButton);
  EXPECT_FALSE(form.gameRunning);
  EXPECT_TRUE(field->startButton()->hasFocus());
  QTest::keyClick(field->startButton(), Qt::Key_Space);
  EXPECT_TRUE(flying());
  // The click on the field reaches the rules; the keys START passed on do not.
  EXPECT_EQ(endAndReadWhatReachedTheRules(), " down 1 up 1 start key 17/2 key 88/2");
}

TEST_F(PlayerInputTest, ADoubleClickIsTheWindowsDoubleClick) {
  start();
  press(Qt::RightButton);
  release(Qt::RightButton);
  // The double click resumes the pause and climbs.
  QTest::mouseDClick(field, Qt::LeftButton, {}, open);
  EXPECT_TRUE(flying());
  EXPECT_TRUE(form.tmrUp.Enabled);
}

TEST_F(PlayerInputTest, AfterARealDoubleClickTheReleaseStopsTheClimb) {
  start();
  QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, inWindow(7000, 3000));
  EXPECT_TRUE(flying());
  EXPECT_FALSE(form.tmrUp.Enabled);
  EXPECT_TRUE(form.tmrDown.Enabled);
  EXPECT_EQ(form.pausesLeft, 6);
}

TEST_F(PlayerInputTest, AQuickSecondPressOfTheRightButtonStaysAPress) {
  start();
  // Qt reports the second press as a double click; it must count once, as a press: pause, then
  // resume.
  QTest::mouseDClick(window.windowHandle(), Qt::RightButton, {}, inWindow(7000, 3000));
  EXPECT_TRUE(flying());
  EXPECT_EQ(form.pausesLeft, 5);
}

// Keeps out: a right button's quick second press taken for the window's double click, which
// resumes a pause and climbs; a right press resumes without climbing.
TEST_F(PlayerInputTest, ARightDoubleClickWhilePausedResumesWithoutClimbing) {
  start();
  press(Qt::RightButton);
  release(Qt::RightButton);
  ASSERT_TRUE(paused());
  QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(open), field->mapToGlobal(QPointF(open)),
                     Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(field, &second);  // still held: nothing has let the climb go yet
  EXPECT_TRUE(flying());
  EXPECT_FALSE(form.tmrUp.Enabled);
  EXPECT_EQ(form.pausesLeft, 5);
  release(Qt::RightButton);
}

TEST_F(PlayerInputTest, LosingTheWindowWhileHoldingTheButtonLetsItGo) {
  start();
  press(Qt::LeftButton);
  ASSERT_TRUE(form.tmrUp.Enabled);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_FALSE(form.tmrUp.Enabled);
  EXPECT_TRUE(form.tmrDown.Enabled);
  EXPECT_TRUE(flying());

  // The release that arrives late counts for nothing; the next press climbs again.
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  release(Qt::LeftButton);
  EXPECT_FALSE(form.tmrUp.Enabled);
  EXPECT_TRUE(form.tmrDown.Enabled);
  press(Qt::LeftButton);
  EXPECT_TRUE(form.tmrUp.Enabled);
}

TEST_F(PlayerInputTest, AFocusChangeInsideTheWindowKeepsTheButtonHeld) {
  start();
  press(Qt::LeftButton);
  QFocusEvent focusOut(QEvent::FocusOut, Qt::OtherFocusReason);
  QCoreApplication::sendEvent(field, &focusOut);
  EXPECT_TRUE(form.tmrUp.Enabled);
  QFocusEvent windowGone(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(field, &windowGone);
  EXPECT_FALSE(form.tmrUp.Enabled);
}

TEST_F(PlayerInputTest, AReleaseLostDuringAHandlerFollowsItsReturn) {
  start();
  press(Qt::LeftButton);
  {
    // As when a message box is open inside a handler and takes the focus.
    // The window sees only the cabinet's read-only form; the test stands in for the handler.
    form::Clock::Delivery handlerRunning(const_cast<form::Clock&>(form.clock));
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&window, &deactivate);
    EXPECT_TRUE(form.tmrUp.Enabled);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.tmrUp.Enabled; }));
  EXPECT_TRUE(form.tmrDown.Enabled);
}

}  // namespace

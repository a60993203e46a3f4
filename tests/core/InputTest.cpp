// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "app/Phase.h"

namespace {

using form::MousePointer;

constexpr int Left = frmCavewing::LeftButton;
constexpr int Right = frmCavewing::RightButton;
constexpr int Middle = frmCavewing::MiddleButton;
constexpr int Space = 32, Esc = 27, Enter = 13;

struct Player : Game {
  // These flights never meet a wall, so that pauses can be timed over many seconds; contact
  // has tests of its own.
  void start() {
    Game::start();
    form.tmrcheck.Enabled = false;
  }
  void press(int button) { form.Form_MouseDown(button, 0, 7000, 3000); }
  void release(int button) { form.Form_MouseUp(button, 0, 7000, 3000); }
  void key(int ascii) { form.Form_KeyPress(ascii); }

  void tick() { form.clock.advanceTo(form.clock.now() + form.clock.systemTick()); }
  // The real collision: contact on again and the button held until the ceiling ends the flight.
  void crash() {
    form.tmrcheck.Enabled = true;
    press(Left);
    while (!form.crashed && form.clock.now() < 60'000'000) tick();
    ASSERT_TRUE(form.crashed);
  }
  // On until the banner hands over to the high-score list.
  void crashAndShowList() {
    crash();
    while (!form.lblTitle.Visible && form.clock.now() < 120'000'000) tick();
    ASSERT_TRUE(form.lblTitle.Visible);
  }
  bool flying() const { return phaseOf(form) == Phase::Flying; }
  bool paused() const { return phaseOf(form) == Phase::Paused; }
  bool ready() const { return phaseOf(form) == Phase::Ready && form.cmdStart.Visible; }
  bool menusEnabled() const {
    return form.mnuFile.Enabled && form.mnuHelp.Enabled && form.mnuScores.Enabled;
  }
  bool menusDisabled() const {
    return !form.mnuFile.Enabled && !form.mnuHelp.Enabled && !form.mnuScores.Enabled;
  }
  // Charges shown on the meter; a charge counts only when its box and its digit are both up
  // and every lower charge is up too.
  int chargesShown() const {
    int n = 0;
    while (n < 6 && form.shpPause[n + 1].Visible && form.lblPause[n + 1].Visible) ++n;
    for (int i = n + 1; i <= 6; ++i)
      if (form.shpPause[i].Visible || form.lblPause[i].Visible) return -1;
    return n;
  }
};

// ---- Before Start ------------------------------------------------------------------------------

TEST(InputBeforeStart, PressesKeysAndReleasesDoNothing) {
  for (int button : {Left, Right, Middle}) {
    Player p;
    p.press(button);
    p.release(button);
    EXPECT_TRUE(p.ready()) << button;
    EXPECT_FALSE(p.form.tmrUp.Enabled);
    EXPECT_FALSE(p.form.tmrDown.Enabled);
    EXPECT_FALSE(p.form.tmrPause.Enabled);
    EXPECT_TRUE(p.menusEnabled());
  }
  for (int k : {Space, Esc, Enter, int('a')}) {
    Player p;
    p.key(k);
    EXPECT_TRUE(p.ready()) << k;
    EXPECT_EQ(p.form.pausesLeft, 6);
    EXPECT_FALSE(p.form.tmrPause.Enabled);
  }
  Player p;
  p.form.Form_DblClick();
  EXPECT_TRUE(p.ready());
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  EXPECT_FALSE(p.form.imgCopter.Visible);
}

TEST(InputBeforeStart, APressOrAPauseKeyOnlyClosesTheList) {
  for (bool byKey : {false, true}) {
    Player p;
    p.form.lblTitle.Visible = true;
    p.form.cmdStart.Visible = false;
    for (auto& block : p.form.shptunnel) block.Visible = false;
    if (byKey)
      p.key(Space);
    else
      p.press(Left);
    EXPECT_FALSE(p.form.lblTitle.Visible);
    EXPECT_TRUE(p.form.cmdStart.Visible);
    EXPECT_TRUE(p.form.shptunnel[0].Visible);
    EXPECT_TRUE(p.ready());
    EXPECT_FALSE(p.form.imgCopter.Visible);
  }
}

// ---- Flying ------------------------------------------------------------------------------------

TEST(InputFlying, TheClimbRunsOnlyWhileTheLeftButtonIsHeld) {
  Player p;
  p.start();
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.form.tmrDown.Enabled);
  p.press(Left);
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  p.form.clock.advance(500);
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  // The climb tick switches the fall off once the craft rises; the release switches it back.
  p.form.tmrDown.Enabled = false;
  p.release(Left);
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.form.tmrDown.Enabled);
  EXPECT_TRUE(p.flying());
  EXPECT_TRUE(p.menusDisabled());
}

TEST(InputFlying, PressingOnTheHelicopterSteersLikeThePlayfield) {
  Player p;
  p.start();
  p.form.imgCopter_MouseDown(Left, 0, 10, 10);
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  p.form.imgCopter_MouseUp(Left, 0, 10, 10);
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.form.tmrDown.Enabled);
  p.form.imgCopter_MouseDown(Right, 0, 10, 10);
  EXPECT_TRUE(p.paused());
}

TEST(InputFlying, ReleasingAnyButtonStopsTheClimb) {
  for (int other : {Right, Middle}) {
    Player p;
    p.start();
    p.press(Left);
    p.release(other);
    EXPECT_FALSE(p.form.tmrUp.Enabled) << other;
    EXPECT_TRUE(p.form.tmrDown.Enabled);
  }
}

TEST(InputFlying, MiddleButtonNeitherClimbsNorPauses) {
  Player p;
  p.start();
  p.press(Middle);
  EXPECT_TRUE(p.flying());
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  EXPECT_EQ(p.form.pausesLeft, 6);
}

TEST(InputFlying, RightButtonAndPauseKeysPause) {
  for (int how : {-Right, Space, Esc, Enter}) {
    Player p;
    p.start();
    p.press(Left);
    p.form.climbSpeed = -80;
    p.form.tmrDown.Enabled = false;
    p.form.clock.advance(1000);
    if (how < 0)
      p.press(-how);
    else
      p.key(how);
    SCOPED_TRACE(how);
    EXPECT_TRUE(p.paused());
    EXPECT_EQ(p.form.pausesLeft, 5);
    EXPECT_EQ(p.chargesShown(), 5);
    EXPECT_FALSE(p.form.shpPause[6].Visible);
    EXPECT_TRUE(p.menusEnabled());
    EXPECT_EQ(p.host.pointer, MousePointer::Default);
    EXPECT_FALSE(p.form.tmrPause.Enabled);
    // The climb hands over to the fall timer, from rest.
    EXPECT_FALSE(p.form.tmrUp.Enabled);
    EXPECT_TRUE(p.form.tmrDown.Enabled);
    EXPECT_EQ(p.form.climbSpeed, 0);
  }
}

TEST(InputFlying, NoChargeLeftKeepsTheGameFlying) {
  for (int how : {-Right, Space}) {
    Player p;
    p.start();
    p.form.pausesLeft = 0;
    for (int i = 1; i <= 6; ++i) p.form.shpPause[i].Visible = p.form.lblPause[i].Visible = false;
    p.press(Left);
    if (how < 0)
      p.press(-how);
    else
      p.key(how);
    EXPECT_TRUE(p.flying()) << how;
    EXPECT_EQ(p.form.pausesLeft, 0);
    EXPECT_EQ(p.chargesShown(), 0);
    EXPECT_TRUE(p.menusDisabled());
    EXPECT_TRUE(p.form.tmrUp.Enabled);  // the climb goes on
  }
}

TEST(InputFlying, ADoubleClickClimbs) {
  Player p;
  p.start();
  p.press(Left);
  p.release(Left);
  p.form.Form_DblClick();
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.flying());
}

// ---- Paused ------------------------------------------------------------------------------------

TEST(InputPaused, LeftPressResumesAndClimbsAtOnce) {
  Player p;
  p.start();
  p.press(Right);
  p.release(Right);
  p.press(Left);
  EXPECT_TRUE(p.flying());
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.form.tmrPause.Enabled);
  EXPECT_TRUE(p.menusDisabled());
  EXPECT_EQ(p.host.pointer, MousePointer::Custom);
  EXPECT_EQ(p.form.pausesLeft, 5);  // resuming costs nothing
}

TEST(InputPaused, OtherButtonsAndPauseKeysResumeWithoutClimbing) {
  for (int how : {-Right, -Middle, Space, Esc, Enter}) {
    Player p;
    p.start();
    p.press(Right);
    if (how < 0)
      p.press(-how);
    else
      p.key(how);
    SCOPED_TRACE(how);
    EXPECT_TRUE(p.flying());
    EXPECT_FALSE(p.form.tmrUp.Enabled);
    EXPECT_TRUE(p.form.tmrPause.Enabled);
    EXPECT_TRUE(p.menusDisabled());
    EXPECT_EQ(p.host.pointer, MousePointer::Custom);
    EXPECT_EQ(p.form.pausesLeft, 5);
  }
}

TEST(InputPaused, SpaceResumesWithoutClimbingEvenWithTheLeftButtonHeld) {
  Player p;
  p.start();
  p.press(Left);
  p.key(Space);  // pause while climbing
  EXPECT_TRUE(p.paused());
  p.key(Space);  // resume, the left button still down
  EXPECT_TRUE(p.flying());
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.form.tmrDown.Enabled);
  p.release(Left);
  EXPECT_FALSE(p.form.tmrUp.Enabled);
}

TEST(InputPaused, AReleaseDoesNothing) {
  Player p;
  p.start();
  p.press(Right);
  p.form.tmrDown.Enabled = false;
  p.release(Left);
  EXPECT_TRUE(p.paused());
  EXPECT_FALSE(p.form.tmrDown.Enabled);
  EXPECT_FALSE(p.form.tmrUp.Enabled);
}

TEST(InputPaused, ADoubleClickResumesClimbingAndShowsTheHelicopter) {
  Player p;
  p.start();
  p.press(Right);
  p.form.imgCopter.Visible = false;
  p.form.Form_DblClick();
  EXPECT_TRUE(p.flying());
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  EXPECT_TRUE(p.form.imgCopter.Visible);
  EXPECT_TRUE(p.menusDisabled());
}

TEST(InputPaused, WithTheListUpAPressOnlyClosesIt) {
  Player p;
  p.start();
  p.press(Right);
  p.form.lblTitle.Visible = true;
  p.form.imgCopter.Visible = false;
  p.press(Left);
  EXPECT_FALSE(p.form.lblTitle.Visible);
  EXPECT_TRUE(p.form.imgCopter.Visible);
  EXPECT_TRUE(p.paused());
  EXPECT_FALSE(p.form.tmrUp.Enabled);
  p.press(Left);
  EXPECT_TRUE(p.flying());
  EXPECT_TRUE(p.form.tmrUp.Enabled);
}

// ---- Crash banner and after it -----------------------------------------------------------------

TEST(InputCrashed, EverythingIsIgnoredWhileTheBannerShows) {
  Player p;
  p.start();
  p.press(Left);
  p.crash();
  for (int button : {Left, Right, Middle}) {
    p.press(button);
    p.release(button);
  }
  p.form.Form_DblClick();
  for (int k : {Space, Esc, Enter, int('a'), int('Z')}) p.key(k);
  EXPECT_TRUE(p.form.lblCRASH.Visible);
  EXPECT_TRUE(p.form.gameOver);
  EXPECT_FALSE(p.form.gameRunning);  // the collision cleared it, and nothing set it again
  EXPECT_FALSE(p.form.cmdStart.Visible);
  EXPECT_TRUE(p.form.tmrUp.Enabled);  // untouched, the crash halted it
  EXPECT_EQ(p.form.pausesLeft, 6);
  EXPECT_EQ(p.host.focus, &p.form.cmdStart);  // only from Form_Load
}

TEST(InputCrashed, AnyButtonOrDoubleClickAfterTheBannerStartsANewGame) {
  for (int how : {Left, Right, Middle, 0}) {
    Player p;
    p.start();
    p.press(Right);  // a charge spent, to see the meter refilled
    p.press(Right);
    p.crashAndShowList();
    p.host.focus = nullptr;
    if (how == 0)
      p.form.Form_DblClick();
    else
      p.press(how);
    SCOPED_TRACE(how);
    EXPECT_TRUE(p.ready());
    EXPECT_FALSE(p.form.crashed);
    EXPECT_FALSE(p.form.lblTitle.Visible);
    EXPECT_EQ(p.form.pausesLeft, 6);
    EXPECT_EQ(p.chargesShown(), 6);
    EXPECT_EQ(p.host.focus, &p.form.cmdStart);
    EXPECT_FALSE(p.form.tmrUp.Enabled);
  }
}

TEST(InputCrashed, AnyKeyOnceTheListIsUpStartsANewGame) {
  for (int k : {Space, Esc, Enter, int('a'), int('7'), 8}) {
    Player p;
    p.start();
    p.crashAndShowList();
    p.key(k);
    EXPECT_TRUE(p.ready()) << k;
    EXPECT_FALSE(p.form.lblTitle.Visible);
  }
}

TEST(InputCrashed, KeysDoNothingWhenTheListWasClosed) {
  Player p;
  p.start();
  p.crashAndShowList();
  p.form.lblTitle.Visible = false;
  p.key('a');
  p.key(Space);
  EXPECT_TRUE(p.form.gameOver);
  EXPECT_FALSE(p.form.cmdStart.Visible);
}

TEST(InputCrashed, AReleaseAfterTheBannerDoesNothing) {
  Player p;
  p.start();
  p.press(Left);
  p.crashAndShowList();
  p.form.tmrDown.Enabled = false;
  p.release(Left);
  EXPECT_TRUE(p.form.gameOver);
  EXPECT_TRUE(p.form.tmrUp.Enabled);
  EXPECT_FALSE(p.form.tmrDown.Enabled);
}

// ---- Ending the program ------------------------------------------------------------------------

TEST(InputKeys, OnlyPlainCtrlXAndAltF4EndTheProgram) {
  constexpr int F4 = 115, X = 88, Shift = 1, Ctrl = 2, Alt = 4;
  struct Case {
    int keyCode, shift;
    bool ends;
  };
  for (const Case& c : {Case{X, Ctrl, true}, Case{F4, Alt, true}, Case{X, Ctrl | Shift, false},
                        Case{X, Ctrl | Alt, false}, Case{F4, Alt | Shift, false},
                        Case{F4, Alt | Ctrl, false}, Case{X, 0, false}, Case{X, Alt, false},
                        Case{F4, 0, false}, Case{F4, Ctrl, false}, Case{int('N'), Ctrl, false}}) {
    Player p;
    p.start();
    p.form.Form_KeyDown(c.keyCode, c.shift);
    EXPECT_EQ(p.host.ended, c.ends) << c.keyCode << " shift " << c.shift;
    EXPECT_TRUE(p.flying());
  }
}

// ---- Pause meter -------------------------------------------------------------------------------

TEST(PauseMeter, TheSeventhPauseInQuickSuccessionIsRefused) {
  Player p;
  p.start();
  for (int n = 1; n <= 6; ++n) {
    p.press(Right);
    ASSERT_TRUE(p.paused()) << n;
    EXPECT_EQ(p.form.pausesLeft, 6 - n);
    EXPECT_EQ(p.chargesShown(), 6 - n);
    p.press(Right);
    ASSERT_TRUE(p.flying()) << n;
    p.form.clock.advance(100);
  }
  p.press(Right);
  EXPECT_TRUE(p.flying());
  EXPECT_EQ(p.form.pausesLeft, 0);
  EXPECT_EQ(p.chargesShown(), 0);
  EXPECT_TRUE(p.menusDisabled());
  p.key(Esc);
  EXPECT_TRUE(p.flying());
}

TEST(PauseMeter, AChargeComesBackTenSecondsAfterTheLastResume) {
  Player p;
  p.start();
  p.form.clock.advance(1000);
  p.press(Right);
  p.form.clock.advance(3000);  // paused time does not count
  p.press(Right);              // resumed at 4 s
  const std::int64_t resumedAt = p.form.clock.now();
  EXPECT_EQ(resumedAt, 4'000'000);
  p.form.clock.advanceTo(resumedAt + 10'000'000 - p.form.clock.systemTick());
  EXPECT_EQ(p.form.pausesLeft, 5);
  EXPECT_EQ(p.chargesShown(), 5);
  p.form.clock.advanceTo(resumedAt + 10'000'000);
  EXPECT_EQ(p.form.pausesLeft, 6);
  EXPECT_EQ(p.chargesShown(), 6);
}

TEST(PauseMeter, APauseRestartsTheWait) {
  Player p;
  p.start();
  p.form.clock.advance(1000);
  p.press(Right);
  p.form.clock.advance(1000);
  p.press(Right);
  p.form.clock.advance(6000);
  p.press(Right);  // 6 s of flight so far: the wait starts again
  EXPECT_EQ(p.form.pausesLeft, 4);
  p.form.clock.advance(5000);
  EXPECT_EQ(p.form.pausesLeft, 4);  // nothing comes back during a pause
  p.press(Right);
  p.form.clock.advance(9900);
  EXPECT_EQ(p.form.pausesLeft, 4);
  p.form.clock.advance(200);
  EXPECT_EQ(p.form.pausesLeft, 5);
  EXPECT_EQ(p.chargesShown(), 5);
  p.form.clock.advance(10000);
  EXPECT_EQ(p.form.pausesLeft, 6);
  EXPECT_EQ(p.chargesShown(), 6);
}

TEST(PauseMeter, ClimbingDoesNotRestartTheWait) {
  Player p;
  p.start();
  p.press(Right);
  p.press(Right);  // resumed at 0 s
  for (int i = 0; i < 9; ++i) {
    p.form.clock.advance(1000);
    p.press(Left);
    p.release(Left);
  }
  p.form.clock.advance(1000);
  EXPECT_EQ(p.form.pausesLeft, 6);
}

TEST(PauseMeter, NeverMoreThanSix) {
  Player p;
  p.start();
  p.form.clock.advance(60000);
  EXPECT_EQ(p.form.pausesLeft, 6);
  EXPECT_EQ(p.chargesShown(), 6);
  p.press(Right);
  p.press(Right);
  p.press(Right);
  p.press(Right);
  p.form.clock.advance(60000);
  EXPECT_EQ(p.form.pausesLeft, 6);
  EXPECT_EQ(p.chargesShown(), 6);
}

TEST(PauseMeter, NoChargeComesBackAfterACrash) {
  Player p;
  p.start();
  p.press(Right);
  p.press(Right);
  p.crash();
  p.form.clock.advance(30000);
  EXPECT_EQ(p.form.pausesLeft, 5);
  EXPECT_EQ(p.chargesShown(), 5);
}

}  // namespace

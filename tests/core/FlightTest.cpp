// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FakeHost.h"

namespace {

constexpr std::int64_t Tick = form::Clock::defaultSystemTickUs;

// A flying game that logs every move of the helicopter by the timer that made it, e.g. "D20"
// for a fall tick that moved it 20 twips down, "U-40" for a climb tick that moved it 40 up.
// Press and release are the player's, through the input handlers.
struct LoggedFlight : Game {
  std::vector<std::string> moves;

  LoggedFlight() {
    start();
    form.tmrcheck.Enabled = false;  // the cave is not the subject here
    log(form.tmrUp, "U");
    log(form.tmrDown, "D");
  }
  void log(form::Timer& timer, std::string name) {
    timer.onTimer = [this, name, handler = timer.onTimer] {
      const float before = form.imgCopter.Top;
      handler();
      moves.push_back(name + std::to_string(int(form.imgCopter.Top - before)));
    };
  }
  // The left button on the window, as the player presses and lets go of it.
  void press() { form.Form_MouseDown(frmCavewing::LeftButton, 0, 7000, 3000); }
  void release() { form.Form_MouseUp(frmCavewing::LeftButton, 0, 7000, 3000); }
  void ticks(int n) { form.clock.advanceTo(form.clock.now() + n * Tick); }
  std::vector<std::string> take() { return std::exchange(moves, {}); }
};

using Moves = std::vector<std::string>;

TEST(ClimbAndFall, HoldingFromRestClimbsByZeroThenTwentyMoreEachTick) {
  LoggedFlight g;
  g.press();
  g.ticks(8);  // a 30 ms timer fires on every second grid point
  // The first climb tick stops the fall timer before its turn at the same grid point.
  EXPECT_EQ(g.take(), (Moves{"U0", "U-20", "U-40", "U-60"}));
  EXPECT_FALSE(g.form.tmrDown.Enabled);
  EXPECT_EQ(g.form.climbSpeed, -80);
  EXPECT_EQ(g.form.imgCopter.Top, 5000 - 120);
}

TEST(ClimbAndFall, ReleasingAfterThreeClimbTicksCoastsUpStopsAndFalls) {
  LoggedFlight g;
  g.press();
  g.ticks(6);
  EXPECT_EQ(g.take(), (Moves{"U0", "U-20", "U-40"}));
  EXPECT_EQ(g.form.climbSpeed, -60);
  g.release();
  g.ticks(12);
  EXPECT_EQ(g.take(), (Moves{"D-60", "D-40", "D-20", "D0", "D20", "D40"}));
}

TEST(ClimbAndFall, PressingDuringAFallSlowsItUntilTheClimbTimerTakesOver) {
  LoggedFlight g;
  g.ticks(10);
  EXPECT_EQ(g.take(), (Moves{"D0", "D20", "D40", "D60", "D80"}));
  EXPECT_EQ(g.form.climbSpeed, 100);
  g.press();
  g.ticks(16);
  // The fall timer keeps moving by the speed without adding to it; each climb tick takes 20
  // off. The climb tick that finds the speed at 0 stops the fall timer and moves by itself.
  EXPECT_EQ(g.take(), (Moves{"D100", "U0", "D80", "U0", "D60", "U0", "D40", "U0", "D20", "U0", "D0",
                             "U0", "U-20", "U-40"}));
  EXPECT_FALSE(g.form.tmrDown.Enabled);
}

TEST(ClimbAndFall, NeitherTimerMovesTheCraftWhilePausedOrAfterACrash) {
  for (int phase = 0; phase < 2; ++phase) {
    LoggedFlight g;
    g.ticks(6);
    g.press();
    g.ticks(1);
    const float top = g.form.imgCopter.Top;
    const auto speed = g.form.climbSpeed;
    (phase == 0 ? g.form.halted : g.form.gameOver) = true;
    g.ticks(64);
    EXPECT_EQ(g.form.imgCopter.Top, top) << phase;
    EXPECT_EQ(g.form.climbSpeed, speed) << phase;
    EXPECT_TRUE(g.form.tmrUp.Enabled);
    EXPECT_TRUE(g.form.tmrDown.Enabled);
  }
}

TEST(Rotor, CyclesThroughTheFiveFramesOnePerTickWhileFlying) {
  Game g;
  g.start();
  g.form.tmrcheck.Enabled = false;
  std::vector<form::Picture> shown;
  for (int i = 0; i < 7; ++i) {
    g.form.clock.advanceTo(g.form.clock.now() + Tick);
    shown.push_back(g.form.imgCopter.Picture);
  }
  using P = form::Picture;
  EXPECT_EQ(shown,
            (std::vector<P>{P::Heli0, P::Heli1, P::Heli2, P::Heli3, P::Heli4, P::Heli0, P::Heli1}));
  EXPECT_EQ(g.form.rotorFrame, 2);

  g.form.halted = true;
  g.form.clock.advance(500);
  EXPECT_EQ(g.form.imgCopter.Picture, P::Heli1);
  EXPECT_EQ(g.form.rotorFrame, 2);

  g.form.halted = false;
  g.form.rotorFrame = 5;  // outside the frames: nothing changes
  g.form.clock.advance(100);
  EXPECT_EQ(g.form.imgCopter.Picture, P::Heli1);
  EXPECT_EQ(g.form.rotorFrame, 5);
}

TEST(Rotor, StandsStillBeforeStart) {
  Game g;
  g.form.clock.advance(1000);
  EXPECT_EQ(g.form.rotorFrame, 0);
  EXPECT_EQ(g.form.imgCopter.Picture, form::Picture::None);
}

}  // namespace

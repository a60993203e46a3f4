// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

#include "CaveInvariants.h"
#include "FakeHost.h"

namespace {

constexpr std::int64_t Tick = form::Clock::defaultSystemTickUs;

// Random numbers the test chooses; a draw nobody scripted is a fault.
struct ScriptedRandom : form::Random {
  std::deque<float> values;
  int draws = 0;
  float Rnd() override {
    ++draws;
    if (values.empty()) {
      ADD_FAILURE() << "unscripted random draw";
      return 0.5f;
    }
    const float v = values.front();
    values.pop_front();
    return v;
  }
};

// A flying game on a fresh cave whose column 0 is about to be regenerated.
struct ScriptedCave {
  FakeHost host;
  ScriptedRandom random;
  frmCavewing form{host, random};
  form::Shape& ceiling0 = form.shptunnel[0];
  form::Shape& floor0 = form.shptunnel[20];
  form::Shape& before = form.shptunnel[19];  // column 0's neighbour once it wraps

  ScriptedCave() {
    form.Form_Load();
    form.cmdStart_Click();
    // Ten ticks bring column 0 to Left -1200, exactly at the window's left edge.
    for (int i = 0; i < 10; ++i) form.tmrMoveTunnel_Timer();
  }
  void regenerate(float roll) {
    random.values = {roll};
    form.tmrMoveTunnel_Timer();
    EXPECT_TRUE(random.values.empty());
  }
};

TEST(TunnelGeneration, BlockExactlyAtTheLeftEdgeWaitsOneTickThenJoinsTheRightEnd) {
  ScriptedCave cave;
  EXPECT_EQ(cave.ceiling0.Left, -1200);
  EXPECT_EQ(cave.ceiling0.Left + cave.ceiling0.Width, 0);
  EXPECT_EQ(cave.ceiling0.Top, -6000);
  EXPECT_EQ(cave.floor0.Left, -1200);
  EXPECT_EQ(cave.random.draws, 0);

  cave.regenerate(0.9f);
  // Block 19 stood at 21600 and has moved to 21480 since: block 0 sits flush behind it.
  EXPECT_EQ(cave.before.Left, 21480);
  EXPECT_EQ(cave.ceiling0.Left, 22680);
  EXPECT_EQ(cave.floor0.Left, 22680);
  EXPECT_EQ(cave.form.shptunnel[1].Left, -120);

  // Ten ticks later column 1 follows, flush behind column 0.
  cave.random.values = {0.9f};
  for (int i = 0; i < 10; ++i) cave.form.tmrMoveTunnel_Timer();
  EXPECT_EQ(cave.random.draws, 2);
  EXPECT_EQ(cave.form.shptunnel[1].Left, cave.ceiling0.Left + 1200);
  EXPECT_EQ(cave.form.shptunnel[21].Left, cave.floor0.Left + 1200);
  EXPECT_EQ(cave.form.shptunnel[1].Top, cave.ceiling0.Top + 240);
}

TEST(TunnelGeneration, RollBelowOneHalfStepsUpOtherwiseDownWithTheFloorAtTheGapBelow) {
  struct Case {
    float roll;
    int tunnelRoll;
    bool stepUp;
    float top;
  };
  for (const Case c : {Case{0.0f, 0, true, -6240}, Case{0.4999f, 0, true, -6240},
                       Case{0.5f, 1, false, -5760}, Case{0.9999f, 1, false, -5760}}) {
    ScriptedCave cave;
    cave.form.gapHeight = 5000;
    cave.regenerate(c.roll);
    EXPECT_EQ(cave.form.tunnelRoll, c.tunnelRoll) << c.roll;
    EXPECT_EQ(cave.form.ceilingStepUp, c.stepUp) << c.roll;
    EXPECT_EQ(cave.ceiling0.Top, c.top) << c.roll;
    EXPECT_EQ(cave.floor0.Top, c.top + 8100 + 5000) << c.roll;
  }
}

TEST(TunnelGeneration, DownStepTurnsUpWhenTheOldFloorIsPastTheLimitOfTheMode) {
  // The old floor of the column, plus 240, is tested against 10500 (wide) or 14000.
  struct Case {
    int mode;
    float oldFloor;
    float top;
  };
  for (const Case c : {Case{1, 10260, -5760}, Case{1, 10261, -6240}, Case{0, 10261, -5760},
                       Case{0, 13760, -5760}, Case{0, 13761, -6240}}) {
    ScriptedCave cave;
    cave.form.floorLimitMode = c.mode;
    cave.floor0.Top = c.oldFloor;
    cave.regenerate(0.75f);
    EXPECT_EQ(cave.ceiling0.Top, c.top) << c.mode << " " << c.oldFloor;
    EXPECT_EQ(cave.floor0.Top, c.top + 8100 + 6900) << c.mode << " " << c.oldFloor;
  }
}

TEST(TunnelGeneration, FloorBelow10500TurnsTheStepUp) {
  // -4740 + 240 puts the floor at exactly 10500: allowed.
  ScriptedCave atLimit;
  atLimit.before.Top = -4740;
  atLimit.regenerate(0.75f);
  EXPECT_EQ(atLimit.ceiling0.Top, -4500);
  EXPECT_EQ(atLimit.floor0.Top, 10500);

  // 120 lower would put it at 10620: the ceiling steps up instead, also after a scripted rise.
  for (float roll : {0.75f, 0.25f}) {
    ScriptedCave past;
    past.before.Top = -4620;
    past.regenerate(roll);
    EXPECT_EQ(past.ceiling0.Top, -4860) << roll;
    EXPECT_EQ(past.floor0.Top, 10140) << roll;
  }
}

TEST(TunnelGeneration, CeilingIsPulledBackIntoItsBandWithoutMovingTheFloor) {
  struct Case {
    float before, roll;
    std::int32_t gap;
    float top, floor;
    bool stepUp;
  };
  for (const Case c : {
           Case{-7560, 0.25f, 6900, -7440, 7200, false},  // reached -7800: lowered by 360
           Case{-7440, 0.25f, 6900, -7680, 7320, true},   // -7680 is still inside
           Case{-480, 0.75f, 2400, -600, 10260, true},    // reached -240: raised by 360
           Case{-600, 0.75f, 2400, -360, 10140, false},   // -360 is still inside
       }) {
    ScriptedCave cave;
    cave.before.Top = c.before;
    cave.form.gapHeight = c.gap;
    cave.regenerate(c.roll);
    EXPECT_EQ(cave.ceiling0.Top, c.top) << c.before;
    EXPECT_EQ(cave.floor0.Top, c.floor) << c.before;
    EXPECT_EQ(cave.form.ceilingStepUp, c.stepUp) << c.before;
  }
}

TEST(TunnelGeneration, NothingMovesWhileHaltedOrAfterACrash) {
  for (int phase = 0; phase < 2; ++phase) {
    ScriptedCave cave;
    if (phase == 0) cave.form.halted = true;
    if (phase == 1) cave.form.gameOver = true;
    const float obstacle = cave.form.shpTunnelM.Left;
    for (int i = 0; i < 50; ++i) cave.form.tmrMoveTunnel_Timer();
    EXPECT_EQ(cave.ceiling0.Left, -1200);
    EXPECT_EQ(cave.form.shptunnel[39].Left, 21600);
    EXPECT_EQ(cave.form.shpTunnelM.Left, obstacle);
    EXPECT_EQ(cave.random.draws, 0);
  }
}

TEST(TunnelGeneration, ObstacleComesBackInColumn11OnlyBeyondTheRightEdge) {
  ScriptedCave cave;
  frmCavewing& f = cave.form;
  form::Shape& m = f.shpTunnelM;
  f.gapHeight = 4000;
  for (int i = 0; i <= 10; ++i) cave.random.values.push_back(i % 2 ? 0.75f : 0.25f);
  m.Left = -1080;  // one tick from the left edge, two from leaving it
  f.tmrMoveTunnel_Timer();
  EXPECT_EQ(m.Left, -1200);
  // Gone, but column 11 stands in sight at 11880: the obstacle waits off the left edge.
  cave.random.values.push_back(0.75f);  // column 11
  cave.random.values.push_back(0.5f);   // the obstacle's place
  for (int i = 0; i < 200 && f.shptunnel[11].Left > -1200; ++i) {
    f.tmrMoveTunnel_Timer();
    ASSERT_LT(m.Left, -1200);
    ASSERT_LT(f.shptunnel[11].Left, 15360);
  }
  EXPECT_EQ(cave.random.values.size(), 2u);
  f.tmrMoveTunnel_Timer();
  ASSERT_TRUE(cave.random.values.empty());
  const form::Shape& column = f.shptunnel[11];
  EXPECT_EQ(m.Left, column.Left);
  EXPECT_GE(m.Left, 15360);
  EXPECT_EQ(m.Height, 4000 - 1800);
  EXPECT_EQ(m.Top, column.Top + column.Height + 900);  // half of 4000 - 2200
  EXPECT_GE(f.shptunnel[31].Top, m.Top + m.Height);
}

// ---- Long runs ---------------------------------------------------------------------------------

struct Snapshot {
  std::array<float, frmCavewing::LastFloorBlock + 1> left{}, top{};
  float leftAt(int block) const { return left[std::size_t(block)]; }
  float topAt(int block) const { return top[std::size_t(block)]; }
  float mLeft = 0, mTop = 0, mHeight = 0;
  std::int32_t gap = 0;
  explicit Snapshot(const frmCavewing& f) {
    for (std::size_t i = 0; i < left.size(); ++i) {
      left[i] = f.shptunnel[int(i)].Left;
      top[i] = f.shptunnel[int(i)].Top;
    }
    mLeft = f.shpTunnelM.Left;
    mTop = f.shpTunnelM.Top;
    mHeight = f.shpTunnelM.Height;
    gap = f.gapHeight;
  }
  bool operator==(const Snapshot&) const = default;
};

struct SeededGame {
  FakeHost host;
  form::Random random;
  frmCavewing form;
  SeededGame(std::uint64_t seed, float outerWidth) : random(seed), form(host, random) {
    host.outerWidth = outerWidth;
    form.Form_Load();
    form.cmdStart_Click();
  }
  void tick() { form.clock.advanceTo(form.clock.now() + Tick); }
};

struct RunStats {
  int regenerated = 0, checkedSteps = 0, corrections = 0, placements = 0, pushes = 0;
};

// Checks every rule of the cave after one tick of flight, given the tick before.
void checkTick(const frmCavewing& f, const Snapshot& was, RunStats& stats) {
  cave::checkShape(f);
  if (testing::Test::HasFatalFailure()) return;
  const form::Shape& m = f.shpTunnelM;
  const auto nearObstacle = [&](int column) { return cave::nearObstacle(f, column); };
  for (int i = 0; i < frmCavewing::Columns; ++i) {
    const form::Shape& ceiling = f.shptunnel[i];
    const form::Shape& floor = f.shptunnel[frmCavewing::FirstFloorBlock + i];
    const bool regenerated = ceiling.Left != was.leftAt(i) - 120;
    if (!regenerated) {
      if (ceiling.Top != was.topAt(i) || floor.Top != was.topAt(frmCavewing::FirstFloorBlock + i)) {
        // Only the passage beside the obstacle moves a wall that stays in place.
        ASSERT_TRUE(nearObstacle(i)) << i;
        ASSERT_LE(ceiling.Top, was.topAt(i)) << i;
        ASSERT_GE(floor.Top, was.topAt(frmCavewing::FirstFloorBlock + i)) << i;
        ++stats.pushes;
      }
      continue;
    }
    ++stats.regenerated;
    const int b = i == 0 ? frmCavewing::LastCeilingBlock : i - 1;
    if (nearObstacle(i) || nearObstacle(b)) continue;
    ++stats.checkedSteps;
    const float step = ceiling.Top - f.shptunnel[b].Top;
    const float stepBeforeBand = std::fabs(step) == 240 ? step : step - (step > 0 ? 360 : -360);
    ASSERT_EQ(std::fabs(stepBeforeBand), 240) << "step " << step;
    const float unbanded = f.shptunnel[b].Top + stepBeforeBand;
    if (step != stepBeforeBand) {
      ++stats.corrections;
      ASSERT_TRUE(unbanded <= -7800 || unbanded >= -240) << unbanded;
    } else {
      ASSERT_TRUE(unbanded > -7800 && unbanded < -240) << unbanded;
    }
    ASSERT_EQ(floor.Top, unbanded + 8100 + float(f.gapHeight)) << i;
  }
  if (m.Left != was.mLeft - 120) {
    ++stats.placements;
    ASSERT_EQ(m.Left, f.shptunnel[11].Left);
    ASSERT_LE(m.Height, float(f.gapHeight) - 1800);
  }
}

TEST(TunnelInvariants, HoldOverLongRunsWithSeveralSeedsAndBothFloorLimits) {
  for (const float outerWidth : {15360.0f, 19290.0f}) {
    for (const std::uint64_t seed : {1u, 7u, 2024u}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " width " << outerWidth);
      SeededGame g(seed, outerWidth);
      ASSERT_EQ(g.form.floorLimitMode, outerWidth == 19290.0f ? 1 : 0);
      // The helicopter stays out of it: only the cave and its narrowing run.
      g.form.tmrcheck.Enabled = false;
      g.form.tmrDown.Enabled = false;
      RunStats stats;
      for (int n = 1; n <= 100'000; ++n) {
        const Snapshot was(g.form);
        g.tick();
        checkTick(g.form, was, stats);
        if (testing::Test::HasFatalFailure()) return;
        if (n % 20'000 == 0) {
          // Halted (paused), then crashed: a whole second without any change.
          for (bool* flag : {&g.form.halted, &g.form.gameOver}) {
            *flag = true;
            const Snapshot frozen(g.form);
            for (int i = 0; i < 64; ++i) g.tick();
            ASSERT_EQ(Snapshot(g.form), frozen);
            *flag = false;
          }
        }
      }
      EXPECT_EQ(g.form.gapHeight, 2400);
      EXPECT_GT(stats.regenerated, 9000);
      EXPECT_GT(stats.checkedSteps, 5000);
      EXPECT_GT(stats.corrections, 10);
      EXPECT_GT(stats.placements, 400);
    }
  }
}

TEST(TunnelInvariants, SameSeedGivesTheSameCaveTickForTick) {
  SeededGame a(99, 15360), b(99, 15360), other(100, 15360);
  bool differs = false;
  for (int n = 0; n < 20'000; ++n) {
    a.tick();
    b.tick();
    other.tick();
    ASSERT_EQ(Snapshot(a.form), Snapshot(b.form)) << "tick " << n;
    ASSERT_EQ(a.form.imgCopter.Top, b.form.imgCopter.Top) << "tick " << n;
    differs = differs || !(Snapshot(a.form) == Snapshot(other.form));
  }
  EXPECT_TRUE(differs);
}

// Keeps out: the obstacle came back by the window's live width, so a window made wider than the
// cave after load met it once and never again.
TEST(TunnelInvariants, AWindowResizedAfterLoadPlaysTheSameCave) {
  for (const float pixels : {1600.0f, 1920.0f}) {
    SCOPED_TRACE(testing::Message() << pixels << " px");
    SeededGame normal(5, 15360), resized(5, 15360);
    resized.host.outerWidth = pixels * 15;  // the window grew after it loaded
    for (SeededGame* g : {&normal, &resized}) {
      g->form.tmrcheck.Enabled = false;  // the helicopter stays out of it
      g->form.tmrDown.Enabled = false;
    }
    int placements = 0;
    for (int n = 0; n < 6'000; ++n) {
      const float was = normal.form.shpTunnelM.Left;
      normal.tick();
      resized.tick();
      ASSERT_EQ(Snapshot(resized.form), Snapshot(normal.form)) << "tick " << n;
      placements += normal.form.shpTunnelM.Left != was - 120;
    }
    EXPECT_GT(placements, 10);
  }
}

// ---- Narrowing ---------------------------------------------------------------------------------

struct NarrowingGame : Game {
  NarrowingGame() {
    start();
    // The helicopter hovers out of harm's way: only the cave matters here.
    form.tmrDown.Enabled = false;
    form.tmrcheck.Enabled = false;
  }
};

TEST(TunnelNarrowing, Loses15Every750MsAndStopsAtTheFirstValueAt2400OrLess) {
  NarrowingGame g;
  const auto at = [&](int ms) { g.form.clock.advanceTo(std::int64_t{ms} * 1000); };
  g.form.gapHeight = 2430;
  at(749);
  EXPECT_EQ(g.form.gapHeight, 2430);
  at(750);  // 750 ms is exactly 48 system ticks
  EXPECT_EQ(g.form.gapHeight, 2415);
  at(1500);
  EXPECT_EQ(g.form.gapHeight, 2400);
  EXPECT_TRUE(g.form.tmrshrink.Enabled);
  at(2249);
  EXPECT_TRUE(g.form.tmrshrink.Enabled);
  at(2250);  // this tick only switches the timer off
  EXPECT_EQ(g.form.gapHeight, 2400);
  EXPECT_FALSE(g.form.tmrshrink.Enabled);
  at(20'000);
  EXPECT_EQ(g.form.gapHeight, 2400);

  NarrowingGame odd;
  odd.form.gapHeight = 2410;
  odd.form.clock.advance(750);
  EXPECT_EQ(odd.form.gapHeight, 2395);
  EXPECT_TRUE(odd.form.tmrshrink.Enabled);
  odd.form.clock.advance(750);
  EXPECT_EQ(odd.form.gapHeight, 2395);
  EXPECT_FALSE(odd.form.tmrshrink.Enabled);
}

TEST(TunnelNarrowing, FromTheStartTakes300TicksOf750Ms) {
  NarrowingGame g;
  g.form.clock.advance(299 * 750);
  EXPECT_EQ(g.form.gapHeight, 6900 - 299 * 15);
  g.form.clock.advance(750);
  EXPECT_EQ(g.form.gapHeight, 2400);
  EXPECT_TRUE(g.form.tmrshrink.Enabled);
  g.form.clock.advance(750);
  EXPECT_FALSE(g.form.tmrshrink.Enabled);
}

TEST(TunnelNarrowing, StandsStillWhilePausedAndAfterACrash) {
  NarrowingGame g;
  g.form.halted = true;
  g.form.clock.advance(10'000);
  EXPECT_EQ(g.form.gapHeight, 6900);
  EXPECT_TRUE(g.form.tmrshrink.Enabled);
  g.form.halted = false;
  g.form.clock.advance(750);
  EXPECT_EQ(g.form.gapHeight, 6885);
  g.form.gameOver = true;
  g.form.clock.advance(10'000);
  EXPECT_EQ(g.form.gapHeight, 6885);
}

}  // namespace

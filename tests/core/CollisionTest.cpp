// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <functional>

#include "FakeHost.h"

namespace {

constexpr std::int64_t Tick = form::Clock::defaultSystemTickUs;

// A flying game with every wall block and the obstacle far from the helicopter, which stands at
// Left 1000, Top 5000 (1605 x 405). Each case brings one shape near it and runs one test.
struct ClearedFlight : Game {
  ClearedFlight() {
    start();
    for (int i = 0; i < frmCavewing::Columns; ++i) form.shptunnel[i].Top = -30000 - 100 * float(i);
    for (int i = frmCavewing::FirstFloorBlock; i <= frmCavewing::LastFloorBlock; ++i)
      form.shptunnel[i].Top = 30000 + 100 * float(i);
    form.shpTunnelM.Left = 50000;
  }
  bool check() {
    form.tmrcheck_Timer();
    return form.crashed;
  }
  void ceilingAt(float left, float bottomEdge) {
    form.shptunnel[5].Left = left;
    form.shptunnel[5].Top = bottomEdge - form.shptunnel[5].Height;
  }
  void floorAt(float left, float top) {
    form.shptunnel[25].Left = left;
    form.shptunnel[25].Top = top;
  }
  void obstacleAt(float left, float top) {
    form.shpTunnelM.Left = left;
    form.shpTunnelM.Top = top;
  }
};

bool contact(const std::function<void(ClearedFlight&)>& place) {
  ClearedFlight g;
  place(g);
  return g.check();
}

TEST(Collision, NothingNearTheCraftIsNoContact) {
  EXPECT_FALSE(contact([](ClearedFlight&) {}));
}

TEST(Collision, CeilingEdgeLevelWithTheCraftsTopIsAContact) {
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.ceilingAt(1000, 5000); }));
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.ceilingAt(1000, 4999); }));
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.ceilingAt(1000, 5300); }));
}

TEST(Collision, FloorLevelWithTheCraftsUnderSideIsAContact) {
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.floorAt(1000, 5405); }));
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.floorAt(1000, 5406); }));
}

TEST(Collision, BlocksAreFoundByTheirLeftEdgeUnderTheBodyOrTheirSpanOverTheTail) {
  // Left edge of the block relative to the craft's left edge, and whether it is a contact.
  const std::pair<float, bool> cases[] = {
      {-1201, false},  // right edge 1 short of the tail
      {-1200, true},   // right edge exactly at the tail (test B)
      {0, true},       // test B
      {1, false},      // left edge just under the body: neither test
      {404, false},    //
      {405, true},     // test A: the block's right edge reaches the nose exactly
      {1200, true},    // test A: the block's left edge 1200 in, still under the body
      {1201, false},   // under the nose only
  };
  for (const auto& [at, contactExpected] : cases) {
    // Named copies: a lambda may not capture a structured binding before clang 16.
    const float offset = at;
    const bool expected = contactExpected;
    EXPECT_EQ(contact([&](ClearedFlight& g) { g.ceilingAt(1000 + offset, 5000); }), expected)
        << "ceiling at offset " << offset;
    EXPECT_EQ(contact([&](ClearedFlight& g) { g.floorAt(1000 + offset, 5405); }), expected)
        << "floor at offset " << offset;
  }
}

TEST(Collision, ObstacleTouchingAnyEdgeIsAContact) {
  // The obstacle is 1200 x 2400; the craft spans 1000..2605 across and 5000..5405 down.
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.obstacleAt(2605, 4000); }));  // at the nose
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.obstacleAt(2606, 4000); }));
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.obstacleAt(-200, 4000); }));  // at the tail
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.obstacleAt(-201, 4000); }));
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.obstacleAt(1500, 2600); }));  // above
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.obstacleAt(1500, 2599); }));
  EXPECT_TRUE(contact([](ClearedFlight& g) { g.obstacleAt(1500, 5405); }));  // below
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.obstacleAt(1500, 5406); }));
}

TEST(Collision, FloorSeparationLiftsABlockLevelWithTheOneTwoPlacesBefore) {
  ClearedFlight g;
  auto& t = g.form.shptunnel;
  t[24].Top = t[22].Top;
  t[20].Top = t[39].Top;
  t[26].Top = t[20].Top;  // compared with block 24, not 20: untouched
  const float top22 = t[22].Top, top39 = t[39].Top;
  EXPECT_FALSE(g.check());
  EXPECT_EQ(t[24].Top, top22 - 19);
  EXPECT_EQ(t[20].Top, top39 - 19);
  EXPECT_EQ(t[22].Top, top22);
  EXPECT_EQ(t[26].Top, top39);

  // The pass reads each earlier block after its own lift: 22 no longer equals the lifted 20.
  ClearedFlight chain;
  auto& c = chain.form.shptunnel;
  c[20].Top = c[22].Top = c[39].Top;
  chain.check();
  EXPECT_EQ(c[20].Top, c[39].Top - 19);
  EXPECT_EQ(c[22].Top, c[39].Top);

  // Two places before block 21 is ceiling block 19; block 20's partner is 39, not 38.
  ClearedFlight wrap;
  auto& w = wrap.form.shptunnel;
  w[21].Top = w[19].Top;
  w[20].Top = w[38].Top;
  const float top38 = w[38].Top, top19 = w[19].Top;
  wrap.check();
  EXPECT_EQ(w[21].Top, top19 - 19);
  EXPECT_EQ(w[20].Top, top38);
}

TEST(Collision, SeparationHappensBeforeTheTestsOfTheSameTick) {
  // 19 below the craft: no contact, until the block is lifted for matching block 23.
  EXPECT_FALSE(contact([](ClearedFlight& g) { g.floorAt(1000, 5424); }));
  EXPECT_TRUE(contact([](ClearedFlight& g) {
    g.floorAt(1000, 5424);
    g.form.shptunnel[23].Top = 5424;
  }));
}

TEST(Collision, NoTestAndNoSeparationWhilePausedOrAfterACrash) {
  for (int phase = 0; phase < 2; ++phase) {
    ClearedFlight g;
    g.ceilingAt(1000, 5300);
    g.form.shptunnel[24].Top = g.form.shptunnel[22].Top;
    (phase == 0 ? g.form.halted : g.form.gameOver) = true;
    g.form.clock.advance(1000);
    EXPECT_FALSE(g.form.crashed);
    EXPECT_EQ(g.form.shptunnel[24].Top, g.form.shptunnel[22].Top);
    EXPECT_FALSE(g.form.lblCRASH.Visible);
  }
  Game before;  // loaded, START not clicked: tmrcheck runs but tests nothing
  before.form.imgCopter.Top = -8000;
  before.form.clock.advance(1000);
  EXPECT_FALSE(before.form.crashed);
}

void expectCrashStarted(const frmCavewing& f) {
  EXPECT_TRUE(f.crashed);
  EXPECT_FALSE(f.gameRunning);
  EXPECT_TRUE(f.halted);
  EXPECT_TRUE(f.gameOver);
  EXPECT_FALSE(f.tmrPause.Enabled);
  EXPECT_EQ(f.imgCopter.Picture, form::Picture::Explosion);
  EXPECT_TRUE(f.imgCopter.Visible);
  EXPECT_TRUE(f.lblCRASH.Visible);
  EXPECT_TRUE(f.tmrCRASH.Enabled);
}

TEST(Collision, FallingIntoTheFloorStartsTheCrashAndEverythingStops) {
  Game g;
  g.start();
  const frmCavewing& f = g.form;
  int ticks = 0;
  while (!f.crashed && ticks < 200) {
    g.form.clock.advanceTo(f.clock.now() + Tick);
    ++ticks;
  }
  ASSERT_TRUE(f.crashed);
  expectCrashStarted(f);
  // The fall moved the craft onto the flat floor at 9000 one grid point before the test saw it.
  EXPECT_GE(f.imgCopter.Top + f.imgCopter.Height, 9000);
  EXPECT_LT(ticks, 60);

  const float top = f.imgCopter.Top, left = f.shptunnel[0].Left, obstacle = f.shpTunnelM.Left;
  const auto gap = f.gapHeight;
  g.form.clock.advance(5000);
  EXPECT_EQ(f.imgCopter.Top, top);
  EXPECT_EQ(f.imgCopter.Picture, form::Picture::Explosion);  // the rotor stays still
  EXPECT_EQ(f.shptunnel[0].Left, left);
  EXPECT_EQ(f.shpTunnelM.Left, obstacle);
  EXPECT_EQ(f.gapHeight, gap);
}

TEST(Collision, HoveringIntoTheObstacleStartsTheCrash) {
  Game g;
  g.start();
  g.form.tmrDown.Enabled = false;  // hovering at Top 5000, level with the obstacle (4200..6600)
  while (!g.form.crashed && g.form.clock.now() < 5'000'000)
    g.form.clock.advanceTo(g.form.clock.now() + Tick);
  ASSERT_TRUE(g.form.crashed);
  expectCrashStarted(g.form);
  // The first obstacle position that reaches the nose (2605) is 2520; the test of that grid
  // point ran before the cave moved on.
  EXPECT_EQ(g.form.shpTunnelM.Left, 2520);
  EXPECT_EQ(g.form.imgCopter.Top, 5000);
}

}  // namespace

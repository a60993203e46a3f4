// SPDX-License-Identifier: MIT
// The demo's autopilot, flying headless games through the clock and the window's own mouse events.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FakeHost.h"
#include "autopilot/Autopilot.h"

namespace {

constexpr std::int64_t Second = 1'000'000;

struct PilotedGame {
  FakeHost host;
  form::Random random;
  frmCavewing form{host, random};
  autopilot::Pilot pilot;

  explicit PilotedGame(std::uint64_t seed) : random(seed) {
    form.Form_Load();
    form.cmdStart_Click();
  }
  // One system tick, then the pilot's press or release, as a player reacts to what is shown.
  void tick() {
    form.clock.advanceTo(form.clock.now() + form.clock.systemTick());
    pilot.steer(form);
  }
  // Game time from START until the crash, at most `limit`.
  std::int64_t flyUntilCrash(std::int64_t limit) {
    const std::int64_t start = form.clock.now();
    while (!form.gameOver && form.clock.now() - start < limit) tick();
    return form.clock.now() - start;
  }
};

TEST(Autopilot, SurvivesAMedianOfAMinuteOverTwentySeeds) {
  std::vector<double> seconds;
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    PilotedGame g(seed);
    seconds.push_back(double(g.flyUntilCrash(600 * Second)) / Second);
    EXPECT_TRUE(g.form.gameOver) << "seed " << seed << " flew ten minutes";
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = (seconds[9] + seconds[10]) / 2;
  std::string line;
  for (double s : seconds) line += testing::PrintToString(int(s)) + " ";
  RecordProperty("survival_seconds", line);
  std::printf("survival (s, sorted): %smedian %.1f\n", line.c_str(), median);
  EXPECT_GE(median, 60);
}

TEST(Autopilot, PlaysOnlyThroughTheLeftButton) {
  PilotedGame g(3);
  int presses = 0, releases = 0;
  bool wasClimbing = false;
  for (int i = 0; i < 64 * 20 && !g.form.gameOver; ++i) {
    g.tick();
    const bool climbing = g.form.tmrUp.Enabled;
    presses += climbing && !wasClimbing;
    releases += !climbing && wasClimbing;
    wasClimbing = climbing;
    ASSERT_EQ(g.form.pausesLeft, 6);
  }
  EXPECT_FALSE(g.form.gameOver);
  EXPECT_GT(presses, 20);
  EXPECT_GE(releases, presses - 1);
}

TEST(Autopilot, LetsGoAfterTheCrashAndNeverStartsTheNextGame) {
  PilotedGame g(1);
  for (int i = 0; i < 64 && !g.form.gameOver; ++i) g.tick();
  while (g.form.tmrUp.Enabled) g.tick();
  // The pilot looks away with the button let go: the helicopter falls to the floor, below its
  // aim, where the pilot would climb if the game still flew.
  while (!g.form.gameOver) g.form.clock.advanceTo(g.form.clock.now() + g.form.clock.systemTick());
  ASSERT_TRUE(autopilot::wantsClimb(g.form));
  // The banner, then the list: a press there would start a new game.
  for (int i = 0; i < 64 * 5; ++i) g.tick();
  EXPECT_TRUE(g.form.lblTitle.Visible);
  EXPECT_TRUE(g.form.gameOver);
}

TEST(Autopilot, NeverResumesAPause) {
  PilotedGame g(2);
  const auto middle = [&] { return g.form.imgCopter.Top + g.form.imgCopter.Height / 2; };
  // Rising towards its aim from below, with the button let go to brake.
  while (g.form.tmrUp.Enabled || middle() <= autopilot::targetHeight(g.form)) g.tick();
  g.form.Form_KeyPress(frmCavewing::AsciiSpace);
  ASSERT_TRUE(g.form.halted);
  ASSERT_TRUE(autopilot::wantsClimb(g.form));
  for (int i = 0; i < 64 * 3; ++i) g.tick();
  EXPECT_TRUE(g.form.halted);
  EXPECT_EQ(g.form.pausesLeft, 5);
}

}  // namespace

// SPDX-License-Identifier: MIT
// Games recorded with the game itself, kept in tests/replays, replayed headless: each must end
// exactly as it ended when it was recorded. A failure names the rule whose change it shows.
#include <gtest/gtest.h>

#include <functional>

#include "app/frmCavewing.h"
#include "cabinet/Headless.h"

namespace {

struct Check {
  const char* rule;
  std::function<bool(const frmCavewing&)> holds;
};

struct RecordedGame {
  const char* file;
  const char* phase;
  const char* scoreCaption;
  std::vector<Check> checks;
};

bool touchesObstacle(const frmCavewing& f) {
  const form::Image& h = f.imgCopter;
  const form::Shape& m = f.shpTunnelM;
  return h.Left + h.Width >= m.Left && m.Left + m.Width >= h.Left && m.Top + m.Height >= h.Top &&
         h.Top + h.Height >= m.Top;
}

const std::vector<RecordedGame>& recordedGames() {
  static const std::vector<RecordedGame> games = {
      {"floor-crash.replay",
       "crashed",
       "11",
       {{"falling: the helicopter falls with growing speed until it meets the floor",
         [](const frmCavewing& f) { return f.imgCopter.Top == 8800; }},
        {"the crash sequence: two ticks of the banner, then the list",
         [](const frmCavewing& f) { return f.lblTitle.Visible && !f.lblCRASH.Visible; }},
        {"ranking: a first score goes to row 1 under the player's name",
         [](const frmCavewing& f) {
           return f.lblName[1].Caption == "PILOT" && f.lblScores[1].Caption == "11";
         }}}},
      {"long-climb.replay",
       "crashed",
       "10",
       {{"climbing: held from rest, the helicopter meets the ceiling",
         [](const frmCavewing& f) { return f.imgCopter.Top == 1940; }},
        {"the cave scrolls 120 twips a grid point: the obstacle stands where it stood",
         [](const frmCavewing& f) { return f.shpTunnelM.Left == 9000; }}}},
      {"obstacle-crash.replay",
       "crashed",
       "27",
       {{"collision: contact with the obstacle ends the flight",
         [](const frmCavewing& f) { return touchesObstacle(f) && f.imgCopter.Top == 5200; }},
        {"narrowing: 15 twips every 750 ms of flight",
         [](const frmCavewing& f) { return f.gapHeight == 6885; }}}},
      {"empty-pause-meter.replay",
       "crashed",
       "27",
       {{"the pause meter: six pauses spend six charges, the seventh is refused",
         [](const frmCavewing& f) {
           bool anyShown = false;
           for (int i = 1; i <= 6; ++i) anyShown |= f.shpPause[i].Visible || f.lblPause[i].Visible;
           return f.pausesLeft == 0 && !anyShown;
         }},
        {"the crash banner is still up when the recording stops",
         [](const frmCavewing& f) { return f.lblCRASH.Visible && !f.lblTitle.Visible; }}}},
      {"new-high-score.replay",
       "crashed",
       "214",
       {{"ranking: the new high score is entered in row 1",
         [](const frmCavewing& f) {
           return f.lblName[1].Caption == "PILOT" && f.lblScores[1].Caption == "214";
         }},
        {"the tunnel and its obstacle: where this seed put them",
         [](const frmCavewing& f) {
           return f.shpTunnelM.Left == 2520 && f.shpTunnelM.Top == 2553 && f.gapHeight == 6690;
         }}}},
  };
  return games;
}

TEST(RecordedGames, EachEndsAsItEndedWhenRecorded) {
  for (const RecordedGame& game : recordedGames()) {
    SCOPED_TRACE(game.file);
    const auto read = replay::readFile(std::string(CAVEWING_REPLAYS) + "/" + game.file);
    ASSERT_TRUE(read.recording) << read.error;
    std::vector<const char*> broken;
    const cabinet::Outcome outcome =
        cabinet::replayHeadless(*read.recording, nullptr, [&](const frmCavewing& f) {
          for (const Check& check : game.checks)
            if (!check.holds(f)) broken.push_back(check.rule);
        });
    EXPECT_EQ(outcome.phase, game.phase);
    EXPECT_EQ(outcome.scoreCaption, game.scoreCaption) << "the score counter, or anything that "
                                                          "moves the moment of the crash";
    for (const char* rule : broken) ADD_FAILURE() << "changed: " << rule;
  }
}

}  // namespace

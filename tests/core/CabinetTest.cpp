// SPDX-License-Identifier: MIT
// The cabinet's policies, headless: the game's phase, the demo, where and when a sitting is
// recorded, and what a replay answers in place of the player.
#include <gtest/gtest.h>

#include "RecordingOf.h"
#include "ScoresFixture.h"
#include "cabinet/Cabinet.h"
#include "cabinet/Headless.h"

namespace {

using cabinet::Event;
using cabinet::Phase;
using Kind = cabinet::Event::Kind;

constexpr std::int64_t Second = 1'000'000;

// A sitting that opens with the demo; `recordFile`, if given, is where it is recorded.
cabinet::Sitting demo(const std::string& recordFile = {}) {
  cabinet::Sitting sitting;
  sitting.demo = true;
  sitting.recordFile = recordFile;
  return sitting;
}

struct CabinetGame {
  TempFolder temp;
  std::filesystem::path userFolder = temp.path / "user";
  std::filesystem::path playerTable = temp.path / "Cavewing.txt";
  FakeHost host;
  cabinet::Cabinet cabinet;
  const frmCavewing& form = cabinet.form();

  // `keptBest`: the best game kept by an earlier sitting, if any.
  explicit CabinetGame(cabinet::Sitting sitting = {}, const std::string& keptBest = {})
      : cabinet(host, withTable(std::move(sitting))) {
    host.userDataPath = userFolder.string();
    host.environment["USERNAME"] = "jane";
    if (!keptBest.empty()) {
      std::filesystem::create_directories(userFolder);
      writeText(bestGame(), keptBest);
    }
    cabinet.load();
  }
  cabinet::Sitting withTable(cabinet::Sitting sitting) const {
    sitting.seed = sitting.seed.value_or(77);
    sitting.scoresFile = playerTable.string();
    return sitting;
  }
  void advance(std::int64_t us) { cabinet.advanceTo(form.clock.now() + us); }
  void press(int button = frmCavewing::LeftButton) {
    cabinet.input(Event{.kind = Kind::Down, .button = button, .x = 3000, .y = 5000});
  }
  // Flies into the ceiling, holding the button from START on, and waits for the list.
  void crash() {
    cabinet.input(Event{.kind = Kind::Start});
    press();
    while (!form.lblTitle.Visible && form.clock.now() < 600 * Second) advance(15625);
    ASSERT_TRUE(form.lblTitle.Visible);
  }
  std::filesystem::path lastGame() const { return userFolder / "last-game"; }
  std::filesystem::path bestGame() const { return userFolder / "best-game"; }
};

TEST(CabinetPhase, NamesTheFourRowsOfTheGameStateTableAndNothingElse) {
  CabinetGame g;
  EXPECT_EQ(g.cabinet.phase(), Phase::Ready);
  g.cabinet.input(Event{.kind = Kind::Start});
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying);
  g.press(frmCavewing::RightButton);
  EXPECT_EQ(g.cabinet.phase(), Phase::Paused);
  g.press();
  g.crash();
  EXPECT_EQ(g.cabinet.phase(), Phase::Crashed);
  EXPECT_STREQ(cabinet::nameOf(g.cabinet.phase()), "crashed");
  // The collision clears gameRunning as the crash begins; the game-state table's row has it set.
  FakeHost host;
  form::Random random(1);
  frmCavewing f(host, random);
  f.Form_Load();
  f.gameRunning = f.halted = f.gameOver = f.crashed = true;
  EXPECT_EQ(cabinet::phaseOf(f), Phase::Crashed);
  // Flying flags with the game over are no row of the table.
  f.halted = false;
  f.crashed = false;
  EXPECT_EQ(cabinet::phaseOf(f), Phase::None);
  EXPECT_STREQ(cabinet::nameOf(Phase::None), "none");
}

TEST(CabinetDemo, PlaysRanksInATableOfItsOwnAndStartsTheNextGameAfterTheList) {
  CabinetGame g(demo());
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying) << "START is pressed at once";
  // The pilot flies on until the narrowing cave gets the better of it.
  g.advance(5 * Second);
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying) << "the pilot keeps the helicopter aloft";
  EXPECT_GE(g.form.score, 90);
  while (!g.form.lblTitle.Visible && g.form.clock.now() < 1800 * Second) g.advance(15625);
  ASSERT_TRUE(g.form.lblTitle.Visible);
  const std::int64_t listUp = g.form.clock.now();
  // The ranking congratulated no one: no box waits for a player who is not there.
  EXPECT_TRUE(g.host.boxes.empty());
  EXPECT_NE(g.form.lblScores[1].Caption, "") << "the demo's game was ranked";
  EXPECT_FALSE(std::filesystem::exists(g.playerTable));
  // The list stays up for its few seconds, then a click and START begin the next game.
  while (g.form.lblTitle.Visible) g.advance(15625);
  const std::int64_t shown = g.form.clock.now() - listUp;
  EXPECT_GE(shown, cabinet::Demo::ListShownUs);
  EXPECT_LT(shown, cabinet::Demo::ListShownUs + Second);
  g.advance(15625);
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying);
  EXPECT_LT(g.form.score, 3);
}

TEST(CabinetDemo, StoppingItLeavesTheGameReadyWithThePlayersTableAndBoxes) {
  CabinetGame g(demo());
  g.advance(3 * Second);
  g.cabinet.stopDemo();
  EXPECT_FALSE(g.cabinet.demoPlaying());
  EXPECT_EQ(g.cabinet.phase(), Phase::Ready);
  EXPECT_EQ(g.form.scoresFile, g.playerTable.string());
  // Nobody presses START for the player any more.
  g.advance(2 * Second);
  EXPECT_EQ(g.cabinet.phase(), Phase::Ready);
  // The player's own game ranks in the player's table, and is congratulated.
  g.crash();
  EXPECT_TRUE(std::filesystem::exists(g.playerTable));
  EXPECT_EQ(g.host.boxes.size(), 1u);
}

TEST(CabinetRecording, KeepsTheSittingWhenAGameEndsAndWhenTheProgramEnds) {
  CabinetGame g;
  g.advance(Second);
  // Nothing is kept before a game was started.
  g.cabinet.input(Event{.kind = Kind::Menu, .name = "mnuAbout"});
  EXPECT_FALSE(std::filesystem::exists(g.lastGame()));
  g.crash();
  // Kept as soon as the list is up after the crash, with the best score noted.
  auto kept = replay::readFile(g.lastGame().string());
  ASSERT_TRUE(kept.recording) << kept.error;
  EXPECT_EQ(kept.recording->seed, 77u);
  EXPECT_EQ(kept.recording->player, "JANE");
  EXPECT_EQ(kept.recording->endGrid, g.cabinet.grid());
  ASSERT_EQ(kept.recording->events.size(), 3u);  // About, START, the press
  EXPECT_EQ(kept.recording->events[1].kind, Kind::Start);
  EXPECT_EQ(fileText(g.bestGame()).rfind("# score " + g.form.lblScore.Caption + "\n", 0), 0u);
  const std::int64_t crashScore = cabinet::replayHeadless(*kept.recording).score;
  EXPECT_EQ(crashScore, g.form.score);

  // The program's end keeps everything up to it, the click that left the list included.
  g.press();
  g.advance(Second);
  g.cabinet.input(Event{.kind = Kind::KeyDown, .shift = frmCavewing::CtrlMask, .code = 88});
  EXPECT_TRUE(g.cabinet.ended());
  EXPECT_TRUE(g.host.ended);
  kept = replay::readFile(g.lastGame().string());
  ASSERT_TRUE(kept.recording) << kept.error;
  EXPECT_EQ(kept.recording->events.size(), 5u);
  EXPECT_EQ(kept.recording->endGrid, g.cabinet.grid());
  // Nothing reaches the form once the program has ended.
  g.cabinet.input(Event{.kind = Kind::Start});
  EXPECT_EQ(g.cabinet.phase(), Phase::Ready);
}

TEST(CabinetRecording, TheBestGameIsOnlyReplacedByABetterScore) {
  const std::string better = "# score 100000\ncavewing-replay 1\n";
  CabinetGame worse({}, better);
  worse.crash();
  EXPECT_EQ(fileText(worse.bestGame()), better);

  CabinetGame best({}, "# score 1\n");
  best.crash();
  ASSERT_GT(best.form.score, 1);
  const auto kept = replay::readFile(best.bestGame().string());
  ASSERT_TRUE(kept.recording) << kept.error;
  EXPECT_EQ(fileText(best.bestGame()).rfind("# score " + best.form.lblScore.Caption + "\n", 0), 0u);
}

TEST(CabinetRecording, TheDemosSittingIsRecordedOnlyInTheFileAskedForAndReplaysExactly) {
  {
    CabinetGame g(demo());
    g.advance(3 * Second);
    g.cabinet.input(Event{.kind = Kind::Close});
    EXPECT_FALSE(std::filesystem::exists(g.lastGame()));
  }
  TempFolder elsewhere;
  const std::string file = (elsewhere.path / "demo.replay").string();
  CabinetGame g(demo(file));
  g.advance(10 * Second);
  g.cabinet.input(Event{.kind = Kind::Close});
  EXPECT_FALSE(std::filesystem::exists(g.lastGame()));
  EXPECT_FALSE(std::filesystem::exists(g.bestGame())) << "the demo never sets the player's best";
  const auto kept = replay::readFile(file);
  ASSERT_TRUE(kept.recording) << kept.error;
  // START and the pilot's presses are in it: the replay flies the same game.
  EXPECT_GT(kept.recording->events.size(), 3u);
  const cabinet::Outcome again = cabinet::replayHeadless(*kept.recording);
  EXPECT_EQ(again.grid, g.cabinet.grid());
  EXPECT_EQ(again.scoreCaption, g.form.lblScore.Caption);
  EXPECT_EQ(again.phase, cabinet::nameOf(g.cabinet.phase()));
}

TEST(CabinetReplay, PlaysAsTheRecordedPlayerWithAThrowAwayTable) {
  // START, then nothing: the helicopter falls to the floor, and the game is ranked.
  const replay::Recording r =
      recordingOf({Event{.grid = 2, .kind = Kind::Start}}, 1000, 31, "REPLAYED");
  TempFolder temp;
  FakeHost host;
  host.environment["USERNAME"] = "SOMEONE ELSE";
  host.appPath = temp.path.string();  // a table here would be the player's
  cabinet::Cabinet c(host, r);
  c.load();
  while (!c.replayOver()) c.advanceTo(c.clock().now() + c.clock().systemTick());
  EXPECT_EQ(c.phase(), Phase::Crashed);
  EXPECT_EQ(c.form().lblName[1].Caption, "REPLAYED");
  EXPECT_TRUE(std::filesystem::is_empty(temp.path)) << "the player's table was written";
  EXPECT_EQ(host.boxes.size(), 1u);  // the congratulations a player saw, shown again
}

TEST(CabinetReplay, ThePlayersInputStopsItAndLeavesTheGameReady) {
  const replay::Recording r = recordingOf(
      {Event{.grid = 2, .kind = Kind::Start}, Event{.grid = 10, .kind = Kind::Down, .button = 1}},
      1000);
  FakeHost host;
  cabinet::Cabinet c(host, r);
  std::vector<Kind> shown;
  c.onReplayed = [&](const Event& e) { shown.push_back(e.kind); };
  c.load();
  c.advanceTo(20 * c.clock().systemTick());
  EXPECT_EQ(shown, (std::vector<Kind>{Kind::Start, Kind::Down}));
  EXPECT_EQ(c.phase(), Phase::Flying);
  EXPECT_TRUE(c.form().tmrUp.Enabled);
  // A key does not pause the replayed flight: it ends the replay.
  c.input(Event{.kind = Kind::KeyPress, .code = frmCavewing::AsciiSpace});
  EXPECT_FALSE(c.replaying());
  EXPECT_EQ(c.phase(), Phase::Ready);
  EXPECT_EQ(c.form().pausesLeft, 6);
  c.advanceTo(2000 * c.clock().systemTick());
  EXPECT_EQ(shown.size(), 2u) << "nothing more is replayed";
  // From here on the game is the player's.
  c.input(Event{.kind = Kind::Start});
  EXPECT_EQ(c.phase(), Phase::Flying);
}

}  // namespace

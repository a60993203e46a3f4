// SPDX-License-Identifier: MIT
// Recorded games replay exactly: the same state at every grid point as when they were played.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "RecordingOf.h"
#include "ScoresFixture.h"
#include "cabinet/Cabinet.h"
#include "cabinet/Deliver.h"
#include "cabinet/Headless.h"

namespace {

using replay::Event;
using Kind = replay::Event::Kind;

// A sitting at the window, played through the cabinet's events and traced; the cabinet records it
// in the player's data folder.
struct RecordedGame {
  TempFolder temp;
  FakeHost host;
  cabinet::Cabinet cabinet{host, sitting()};
  const frmCavewing& form = cabinet.form();
  std::ostringstream trace;
  std::string tableSeen;  // the high-score file as the rules last wrote it
  struct Drawn : cabinet::Cabinet::Observer {
    std::vector<float> values;  // the random values drawn since the last traced grid point
    void drawn(float value) override { values.push_back(value); }
  } drawn;

  static cabinet::Sitting sitting() {
    cabinet::Sitting s;
    s.seed = 20261208;
    return s;
  }
  explicit RecordedGame(float outerWidth = frmCavewing::NormalOuterWidth) {
    host.outerWidth = outerWidth;
    host.appPath = host.userDataPath = temp.path.string();
    host.environment["USERNAME"] = "pilot";
    cabinet.load();
    cabinet.addObserver(drawn);
    trace.precision(9);
  }
  std::int64_t grid() const { return cabinet.grid(); }
  void input(const Event& e) { cabinet.input(e); }
  void tick() { cabinet.advanceTo(form.clock.now() + form.clock.systemTick()); }
  // The live game writes its table to the file, where the replay's trace finds it in memory.
  void traceTick() {
    const std::string table = fileText(temp.path / "Cavewing.txt");
    const bool written = table != tableSeen;
    tableSeen = table;
    cabinet::writeTrace(trace, form, grid(), drawn.values, written ? &table : nullptr);
    drawn.values.clear();
  }
  // Ends the program, as the close box does: the sitting is kept as the last game.
  replay::Recording kept() {
    input(Event{.kind = Kind::Close});
    const replay::ReadResult read = replay::readFile((temp.path / "last-game").string());
    EXPECT_TRUE(read.recording) << read.error;
    return read.recording.value_or(replay::Recording{});
  }
};

Event event(Kind kind, int button = 0, int code = 0, std::string name = {}) {
  Event e;
  e.kind = kind;
  e.button = button;
  e.code = code;
  e.name = std::move(name);
  e.x = 3000;
  e.y = 5000;
  return e;
}

// A window of any width at load, such as one remembered from the last run: the replay reads the
// recorded width. Keeps out: recordings that replayed at the normal width whatever was played.
class ReplayAtWidth : public testing::TestWithParam<float> {};
INSTANTIATE_TEST_SUITE_P(Widths, ReplayAtWidth, testing::Values(15360.0f, 19290.0f, 24000.0f));

TEST_P(ReplayAtWidth, AGamePlayedThroughEventsReplaysTheSameAtEveryGridPoint) {
  RecordedGame g(GetParam());
  // A script of presses: climb and fall in turns, pause twice, crash, leave the list, start again.
  int held = 0;
  for (int step = 0; step < 4000; ++step) {
    g.tick();
    if (step == 3) g.input(event(Kind::Start));
    if (step > 3 && step % 23 == 0) {
      held = !held;
      g.input(event(held ? Kind::Down : Kind::Up, 1));
    }
    if (step == 200 || step == 260) g.input(event(Kind::Down, 2));
    if (step == 300) g.input(event(Kind::KeyPress, 0, 32));
    if (step == 330) g.input(event(Kind::KeyPress, 0, 27));
    if (g.form.gameOver && g.form.lblTitle.Visible) g.input(event(Kind::Down, 1));
    if (step > 3 && g.cabinet.phase() == Phase::Ready) g.input(event(Kind::Start));
    g.traceTick();
  }
  ASSERT_GE(g.host.boxes.size(), 1u) << "the script should crash at least once and rank it";
  const replay::Recording recording = g.kept();
  EXPECT_EQ(recording.player, "PILOT");

  std::ostringstream replayed;
  const cabinet::Outcome outcome = cabinet::replayHeadless(recording, &replayed);
  EXPECT_EQ(outcome.grid, g.grid());
  EXPECT_EQ(outcome.score, g.form.score);
  EXPECT_EQ(outcome.scoreCaption, g.form.lblScore.Caption);

  // Line by line, so that a failure names the first grid point that differs.
  std::istringstream live(g.trace.str()), again(replayed.str());
  std::string a, b;
  int line = 0;
  while (std::getline(live, a)) {
    ASSERT_TRUE(std::getline(again, b)) << "the replay stopped at line " << line;
    ASSERT_EQ(a, b) << "first difference at grid point " << line + 1;
    ++line;
  }
  EXPECT_FALSE(std::getline(again, b));
  EXPECT_EQ(line, 4000);
}

Event at(std::int64_t grid, Event e, bool onCopter = false) {
  e.grid = grid;
  e.onCopter = onCopter;
  return e;
}

// Keeps out: a second press while a press on the helicopter is held went to the hidden
// helicopter and was dropped, so the list stayed instead of a new game starting.
TEST(Replay, ASecondPressRoutedToTheHiddenHelicopterActsAsOnTheWindow) {
  const Event left = event(Kind::Down, 1), right = event(Kind::Down, 2);
  bool newGame = false, listGone = false;
  cabinet::replayHeadless(
      recordingOf({at(2, event(Kind::Start)), at(3, left, true), at(120, right, true)}, 121),
      nullptr,
      [&](const frmCavewing& f) { newGame = phaseOf(f) == Phase::Ready && f.cmdStart.Visible; });
  EXPECT_TRUE(newGame) << "after the crash, with the list up, a press starts a new game";
  // The list shown from the menu during a pause: the press hides it.
  cabinet::replayHeadless(
      recordingOf(
          {at(2, event(Kind::Start)), at(3, left, true), at(5, event(Kind::KeyPress, 0, 32)),
           at(6, event(Kind::Menu, 0, 0, "mnuScores")), at(8, right, true)},
          9),
      nullptr,
      [&](const frmCavewing& f) { listGone = f.halted && f.gameRunning && !f.lblTitle.Visible; });
  EXPECT_TRUE(listGone);
}

// Keeps out: events recorded after the program ended in the same grid point still reached it.
TEST(Replay, NothingReachesTheFormOnceTheProgramHasEnded) {
  bool started = true;
  const auto outcome = cabinet::replayHeadless(
      recordingOf({at(3, event(Kind::Close)), at(3, event(Kind::Start))}, 10), nullptr,
      [&](const frmCavewing& f) { started = f.gameRunning; });
  EXPECT_FALSE(started);
  EXPECT_EQ(outcome.phase, "ready");
}

// Keeps out: a recording that does not end with Close replayed one grid point past its end.
TEST(Replay, AHeadlessReplayStopsAtTheLastGridPointRecorded) {
  const replay::Recording recordings[] = {
      recordingOf({}, 10),
      recordingOf({at(2, event(Kind::Start))}, 50),
      recordingOf({at(2, event(Kind::Start)), at(40, event(Kind::Down, frmCavewing::LeftButton))},
                  40),
  };
  for (const auto& r : recordings) {
    std::ostringstream trace;
    const cabinet::Outcome outcome = cabinet::replayHeadless(r, &trace);
    EXPECT_EQ(outcome.grid, r.endGrid);
    const std::string lines = trace.str();
    const std::size_t lastLine = lines.rfind('\n', lines.size() - 2) + 1;
    EXPECT_EQ(lines.substr(lastLine).rfind("{\"grid\":" + std::to_string(r.endGrid) + ",", 0), 0u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), r.endGrid);
  }
}

// Keeps out: the headless replay printed the counter, one ahead of the score the list ranked.
TEST(Replay, HeadlessPrintsTheScoreThePlayerSaw) {
  const auto read = replay::readFile(std::string(CAVEWING_REPLAYS) + "/floor-crash.replay");
  ASSERT_TRUE(read.recording) << read.error;
  const cabinet::Outcome outcome = cabinet::replayHeadless(*read.recording);
  std::ostringstream printed;
  cabinet::writeOutcome(printed, outcome);
  EXPECT_EQ(outcome.score, 12);  // the counter ran on once more
  EXPECT_EQ(printed.str(), "score 11\nphase crashed\n");
}

// Keeps out: the trace left out the high-score table, so the table a replay ranks into could be
// compared with nothing.
TEST(Replay, TheTraceShowsTheTableAtTheGridPointWhereTheRulesWriteIt) {
  const auto read = replay::readFile(std::string(CAVEWING_REPLAYS) + "/new-high-score.replay");
  ASSERT_TRUE(read.recording) << read.error;
  std::ostringstream trace;
  const cabinet::Outcome outcome = cabinet::replayHeadless(*read.recording, &trace);
  // The 30 lines of the file, as a JSON string.
  std::string expected = ",\"WriteScores\":\"";
  for (const char c : tableText(fullTable({{"PILOT", outcome.scoreCaption}})))
    expected += c == '"'    ? "\\\""
                : c == '\r' ? "\\u000d"
                : c == '\n' ? "\\u000a"
                            : std::string(1, c);
  expected += "\"}";
  std::istringstream lines(trace.str());
  int writes = 0;
  bool listShown = false;
  for (std::string line; std::getline(lines, line);) {
    const bool shown = line.find("\"lblTitle\":true") != std::string::npos;
    if (line.find("WriteScores") != std::string::npos) {
      ++writes;
      EXPECT_TRUE(shown && !listShown) << "the table is written as the crash's list comes up";
      EXPECT_EQ(line.substr(line.size() - std::min(line.size(), expected.size())), expected);
    }
    listShown = shown;
  }
  EXPECT_EQ(writes, 1);
}

TEST(Replay, ARecordingSurvivesItsTextForm) {
  RecordedGame g;
  for (int step = 0; step < 600; ++step) {
    g.tick();
    if (step == 1) g.input(event(Kind::Start));
    if (step == 40) g.input(event(Kind::Down, 1));
    if (step == 70) g.input(event(Kind::Up, 1));
  }
  const std::int64_t score = g.form.score;
  const std::string phase = nameOf(g.cabinet.phase());
  const replay::Recording recording = g.kept();
  std::stringstream text;
  replay::write(text, recording);
  const auto back = replay::read(text);
  ASSERT_TRUE(back.recording) << back.error;
  const auto a = cabinet::replayHeadless(recording);
  const auto b = cabinet::replayHeadless(*back.recording);
  EXPECT_EQ(a.score, b.score);
  EXPECT_EQ(a.phase, b.phase);
  EXPECT_EQ(a.score, score);
  EXPECT_EQ(a.phase, phase);
}

TEST(Replay, CommandsThePlayerCouldNotGiveAreNotDelivered) {
  Game g;
  g.start();
  cabinet::deliver(g.form, event(Kind::Menu, 0, 0, "mnuNew"));  // File is off during flight
  EXPECT_TRUE(g.form.gameRunning);
  cabinet::deliver(g.form, event(Kind::Label, 0, 3, "lblName"));  // the list is hidden
  EXPECT_TRUE(g.form.gameRunning);
  cabinet::deliver(g.form, event(Kind::KeyPress, 0, 32));  // a pause brings the menus back
  cabinet::deliver(g.form, event(Kind::Menu, 0, 0, "mnuNew"));
  EXPECT_FALSE(g.form.gameRunning);
  EXPECT_TRUE(g.form.cmdStart.Visible);
}

}  // namespace

// SPDX-License-Identifier: MIT
// The cabinet's policies, headless: the game's phase, the demo, where and when a sitting is
// recorded, and what a replay answers in place of the player.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>

#include "RecordingOf.h"
#include "ScoresFixture.h"
#include "autopilot/Autopilot.h"
#include "cabinet/Cabinet.h"
#include "cabinet/Headless.h"
#include "cabinet/kit/Result.h"
#include "start/words/Words.h"

namespace {

using replay::Event;
using Kind = replay::Event::Kind;

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

  // `keptBest`: the best game kept by an earlier sitting, if any; `user`: the player's data
  // folder, when not a fresh one.
  explicit CabinetGame(cabinet::Sitting sitting = {}, const std::string& keptBest = {},
                       const std::filesystem::path& user = {})
      : userFolder(user.empty() ? temp.path / "user" : user),
        cabinet(host, withTable(std::move(sitting))) {
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
  // A click on the list, which leaves it for the next game.
  void click() {
    for (auto kind : {Kind::Down, Kind::Up})
      cabinet.input(Event{.kind = kind, .button = frmCavewing::LeftButton, .x = 3000, .y = 5000});
  }
  // Starts a game and keeps the helicopter aloft for `us`, pressing and letting go as a careful
  // player does, then lets go and waits for the crash's list.
  void flyWell(std::int64_t us) {
    cabinet.input(Event{.kind = Kind::Start});
    autopilot::Pilot hand;
    const std::int64_t until = form.clock.now() + us;
    while (form.clock.now() < until) {
      if (const auto held = hand.nextHand(form))
        cabinet.input(Event{.kind = *held ? Kind::Down : Kind::Up,
                            .button = frmCavewing::LeftButton,
                            .x = autopilot::HandX,
                            .y = autopilot::HandY});
      advance(15625);
    }
    cabinet.input(Event{.kind = Kind::Up, .button = frmCavewing::LeftButton, .x = 3000, .y = 5000});
    while (!form.lblTitle.Visible && form.clock.now() < until + 600 * Second) advance(15625);
    ASSERT_TRUE(form.lblTitle.Visible);
  }
  std::filesystem::path lastGame() const { return userFolder / "last-game"; }
  std::filesystem::path bestGame() const { return userFolder / "best-game"; }
};

// In each phase, what is next due: the real-time pump sleeps until then.
TEST(CabinetPhase, NamesTheFourRowsOfTheGameStateTableAndNothingElse) {
  CabinetGame g;
  const auto nextGridPoint = [&g] { return g.form.clock.now() + g.form.clock.systemTick(); };
  EXPECT_EQ(g.cabinet.phase(), Phase::Ready);
  EXPECT_EQ(g.cabinet.nextDue(), std::nullopt) << "nothing moves before START";
  g.cabinet.input(Event{.kind = Kind::Start});
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying);
  EXPECT_EQ(g.cabinet.nextDue(), nextGridPoint()) << "the flight, with the pause meter full";
  g.press(frmCavewing::RightButton);
  EXPECT_EQ(g.cabinet.phase(), Phase::Paused);
  g.advance(2 * Second);  // the recording of the presses so far is saved
  EXPECT_EQ(g.cabinet.nextDue(), std::nullopt) << "a pause freezes every timer";
  g.press();
  EXPECT_EQ(g.cabinet.nextDue(), nextGridPoint());
  g.crash();
  EXPECT_EQ(g.cabinet.phase(), Phase::Crashed);
  EXPECT_EQ(g.cabinet.nextDue(), std::nullopt) << "the list waits for the player";
  EXPECT_STREQ(nameOf(g.cabinet.phase()), "crashed");
  // The collision clears gameRunning as the crash begins; the game-state table's row has it set.
  FakeHost host;
  form::Random random(1);
  frmCavewing f(host, random);
  f.Form_Load();
  f.gameRunning = f.halted = f.gameOver = f.crashed = true;
  EXPECT_EQ(phaseOf(f), Phase::Crashed);
  // Flying flags with the game over are no row of the table.
  f.halted = false;
  f.crashed = false;
  EXPECT_EQ(phaseOf(f), Phase::None);
  EXPECT_STREQ(nameOf(Phase::None), "none");
}

TEST(CabinetDemo, PlaysRanksInATableOfItsOwnAndStartsTheNextGameAfterTheList) {
  CabinetGame g(demo());
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying) << "START is pressed at once";
  // The pilot flies on until the narrowing cave gets the better of it.
  g.advance(5 * Second);
  EXPECT_EQ(g.cabinet.phase(), Phase::Flying) << "the pilot keeps the helicopter aloft";
  EXPECT_GE(g.form.score, 90);
  // Every game of the sitting, not the first alone. Keeps out: the list skipped from the second
  // crash on.
  for (int game = 1; game <= 3; ++game) {
    SCOPED_TRACE(game);
    const std::int64_t until = g.form.clock.now() + 1800 * Second;
    while (!g.form.lblTitle.Visible && g.form.clock.now() < until) g.advance(15625);
    ASSERT_TRUE(g.form.lblTitle.Visible);
    const std::int64_t listUp = g.form.clock.now();
    // The demo's hand may move at any grid point: the next one is always due.
    EXPECT_EQ(g.cabinet.nextDue(), listUp + g.form.clock.systemTick());
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

// The demo's and a replay's games rank in throw-away tables; once the player takes over, the
// list and the ranking are the player's own, as if neither had played.
TEST(CabinetTables, TheDemosAndAReplaysTablesStayApartFromThePlayers) {
  {
    SCOPED_TRACE("the demo crashes, then the player plays a lower score");
    CabinetGame g(demo());
    // The pilot flies until it crashes into the list.
    while (!g.form.lblTitle.Visible && g.form.clock.now() < 600 * Second) g.advance(15625);
    ASSERT_EQ(g.form.lblName[1].Caption, "JANE") << "the demo ranks under the player's name";
    const std::int64_t demoScore = g.form.score;
    g.cabinet.stopDemo();
    g.crash();
    ASSERT_LT(g.form.score, demoScore);
    EXPECT_EQ(g.form.lblName[1].Caption, "JANE");
    EXPECT_EQ(g.form.lblScores[1].Caption, g.form.lblScore.Caption);
    EXPECT_EQ(g.form.lblScores[2].Caption, "") << "no row of the demo's table is left";
    EXPECT_EQ(g.host.boxes.size(), 1u);
    EXPECT_NE(fileText(g.playerTable).find("\"" + g.form.lblScore.Caption + "\""),
              std::string::npos);
  }
  {
    SCOPED_TRACE("a key stops a replay on its list, then the player plays");
    const replay::Recording r =
        recordingOf({Event{.grid = 2, .kind = Kind::Start}}, 1000, 31, "REPLAYED");
    TempFolder temp;
    FakeHost host;
    host.environment["USERNAME"] = "jane";
    host.appPath = temp.path.string();  // the player's table is kept here
    host.userDataPath = (temp.path / "user").string();
    cabinet::Cabinet c(host, r);
    c.load();
    while (!c.replayOver()) c.advanceTo(c.clock().now() + c.clock().systemTick());
    ASSERT_EQ(c.form().lblName[1].Caption, "REPLAYED");
    c.input(Event{.kind = Kind::KeyDown, .code = frmCavewing::AsciiSpace});
    ASSERT_FALSE(c.replaying());
    EXPECT_EQ(c.form().lblName[1].Caption, "") << "the replay's rows are gone with it";
    host.boxes.clear();
    c.input(Event{.kind = Kind::Start});
    c.input(Event{.kind = Kind::Down, .button = frmCavewing::LeftButton, .x = 3000, .y = 5000});
    while (!c.form().lblTitle.Visible && c.clock().now() < 600 * Second)
      c.advanceTo(c.clock().now() + c.clock().systemTick());
    ASSERT_TRUE(c.form().lblTitle.Visible);
    EXPECT_EQ(c.form().lblName[1].Caption, "JANE");
    EXPECT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(fileText(temp.path / "Cavewing.txt"),
              tableText(fullTable({{"JANE", c.form().lblScore.Caption}})));
  }
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
  // Nothing reaches the form once the program has ended, and nothing is due.
  g.cabinet.input(Event{.kind = Kind::Start});
  EXPECT_EQ(g.cabinet.phase(), Phase::Ready);
  EXPECT_EQ(g.cabinet.nextDue(), std::nullopt);
}

// Keeps out: only the first game of a sitting was kept at its crash and as the best game.
TEST(CabinetRecording, TheBestGameIsOnlyReplacedByABetterScore) {
  const std::string better = "# score 100000\ncavewing-replay 1\n";
  CabinetGame worse({}, better);
  worse.crash();
  EXPECT_EQ(fileText(worse.bestGame()), better);

  CabinetGame g({}, "# score 1\n");
  const auto keptAtCrash = [&] {
    const auto kept = replay::readFile(g.lastGame().string());
    ASSERT_TRUE(kept.recording) << kept.error;
    EXPECT_EQ(kept.recording->endGrid, g.cabinet.grid());
    EXPECT_EQ(cabinet::replayHeadless(*kept.recording).scoreCaption, g.form.lblScore.Caption);
  };
  const auto bestNote = [&] {
    const std::string text = fileText(g.bestGame());
    return text.substr(0, text.find('\n'));
  };
  g.crash();
  ASSERT_GT(g.form.score, 1);
  keptAtCrash();
  EXPECT_TRUE(replay::readFile(g.bestGame().string()).recording);
  EXPECT_EQ(bestNote(), "# score " + g.form.lblScore.Caption);
  // A later, better game of the same sitting is kept at its crash and as the best game.
  const std::int64_t first = g.form.score;
  g.click();
  g.flyWell(5 * Second);
  ASSERT_GT(g.form.score, first);
  keptAtCrash();
  const std::string best = "# score " + g.form.lblScore.Caption;
  EXPECT_EQ(bestNote(), best);
  // A worse third one is kept as the last game, and leaves the best one alone.
  g.click();
  g.crash();
  keptAtCrash();
  EXPECT_EQ(bestNote(), best);
}

// Runs `body` in a process of its own, started as the program starts; returns what it wrote on
// standard error. A failed check in it, or its death, fails the test.
std::string inOwnProcess(const std::function<void()>& body) {
  int err[2];
  if (::pipe(err) != 0) return "no pipe";
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(err[1], STDERR_FILENO);
    ::close(err[0]);
    ::close(err[1]);
    std::ostringstream ignored;
    launch({"--version"}, ignored, ignored, {});
    // Only its own checks count: the test may have failed before.
    const testing::TestResult& result =
        *testing::UnitTest::GetInstance()->current_test_info()->result();
    const int before = result.total_part_count();
    body();
    bool failed = false;
    for (int i = before; i < result.total_part_count(); ++i)
      failed = failed || result.GetTestPartResult(i).failed();
    std::fflush(stdout);
    ::_exit(failed ? 1 : 0);
  }
  ::close(err[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) != 0;)
    if (n > 0)
      text.append(buffer, static_cast<std::size_t>(n));
    else if (errno != EINTR)
      break;
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                              : "its checks failed");
  return text;
}

// A recording that is there replays; one that is not there is fine too.
void expectPlayableOrAbsent(const std::filesystem::path& file) {
  if (!std::filesystem::exists(file)) return;
  const auto kept = replay::readFile(file.string());
  EXPECT_TRUE(kept.recording) << file << ": " << kept.error;
}

// The disk refuses (`refuse`) from the start of a sitting, takes the files again (`allow`), then
// refuses once more while the last game grows: the files on disk always replay, and each
// stretch of failing is said once.
void playThroughAFullDisk(const std::filesystem::path& user, const std::function<void()>& refuse,
                          const std::function<void()>& allow) {
  CabinetGame g({}, {}, user);
  // A table no score of this sitting enters: nothing but the recordings is written.
  writeText(g.playerTable, tableText(std::vector<Row>(15, Row{"ACE", "999999"})));
  refuse();
  g.crash();
  g.advance(2 * Second);
  expectPlayableOrAbsent(g.lastGame());
  expectPlayableOrAbsent(g.bestGame());

  allow();
  g.advance(Second + Second / 2);
  const auto whole = replay::readFile(g.lastGame().string());
  ASSERT_TRUE(whole.recording) << whole.error;
  EXPECT_GE(whole.recording->endGrid, g.cabinet.grid() - 64);
  const auto best = replay::readFile(g.bestGame().string());
  ASSERT_TRUE(best.recording) << "the best game refused earlier is kept now: " << best.error;

  // Refused while hundreds of events grow the last game past what the disk still takes.
  refuse();
  for (int i = 0; i < 600; ++i) {
    g.cabinet.input(Event{.kind = Kind::KeyPress, .code = 'a'});
    if (i % 3 == 0) g.advance(15625);
  }
  g.advance(2 * Second);
  const auto cut = replay::readFile(g.lastGame().string());
  ASSERT_TRUE(cut.recording) << "the last game no longer replays: " << cut.error;
  EXPECT_GE(cut.recording->events.size(), whole.recording->events.size());
  expectPlayableOrAbsent(g.bestGame());

  allow();
  g.advance(Second + Second / 2);
  const auto after = replay::readFile(g.lastGame().string());
  ASSERT_TRUE(after.recording) << after.error;
  EXPECT_GE(after.recording->events.size(), whole.recording->events.size() + 600);
}

std::size_t linesIn(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CabinetRecording, AFullDiskOrAFileSizeLimitLeavesRecordingsThatReplayAndIsSaidOncePerStretch) {
  {
    // The file-size limit (ulimit -f): nothing at first, then just past the last game's size.
    TempFolder temp;
    const std::filesystem::path user = temp.path / "user";
    const auto limitTo = [](rlim_t bytes) {
      rlimit limit{};
      ::getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = bytes;
      ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    bool first = true;
    const std::string said = inOwnProcess([&] {
      playThroughAFullDisk(
          user,
          [&] {
            limitTo(first ? 0 : std::filesystem::file_size(user / "last-game") + 100);
            first = false;
          },
          [&] { limitTo(RLIM_INFINITY); });
    });
    EXPECT_EQ(linesIn(said), 2u) << said;
  }
  // A small file system filled to the last page.
  TempFolder temp;
  const std::filesystem::path user = temp.path / "user";
  std::filesystem::create_directory(user);
  if (::mount("tmpfs", user.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "no file system of our own can be mounted here: " << std::strerror(errno);
  const std::filesystem::path filler = user / "filler";
  const std::string said = inOwnProcess([&] {
    playThroughAFullDisk(
        user,
        [&] {
          std::FILE* out = std::fopen(filler.c_str(), "ab");
          const std::string page(4096, 'x');
          while (out && std::fwrite(page.data(), 1, page.size(), out) == page.size() &&
                 std::fflush(out) == 0) {
          }
          if (out) std::fclose(out);
        },
        [&] { std::filesystem::remove(filler); });
  });
  ::umount(user.c_str());
  EXPECT_EQ(linesIn(said), 2u) << said;
}

TEST(CabinetRecording, WithoutAHomeNothingIsKeptButTheTableBesideTheProgram) {
  TempFolder temp;
  const std::filesystem::path here = temp.path / "here", program = temp.path / "program";
  std::filesystem::create_directories(here);
  std::filesystem::create_directories(program);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(here);
  for (const bool programFolderWritable : {true, false}) {
    FakeHost host;
    host.userDataPath = {};  // no home: no data folder of the player's
    host.appPath = programFolderWritable ? program.string() : "/proc/cavewing-read-only";
    host.environment["USERNAME"] = "jane";
    cabinet::Sitting sitting;
    sitting.seed = 77;
    cabinet::Cabinet c(host, sitting);
    c.load();
    c.input(Event{.kind = Kind::Start});
    c.input(Event{.kind = Kind::Down, .button = frmCavewing::LeftButton, .x = 3000, .y = 5000});
    while (!c.form().lblTitle.Visible && c.clock().now() < 600 * Second)
      c.advanceTo(c.clock().now() + 15625);
    ASSERT_TRUE(c.form().lblTitle.Visible);
    c.advanceTo(c.clock().now() + 2 * Second);
    // The score is ranked all the same; nothing lands in the current folder.
    EXPECT_EQ(c.form().lblName[1].Caption, "JANE");
    EXPECT_TRUE(std::filesystem::is_empty(here)) << "written in the current folder";
    EXPECT_TRUE(!programFolderWritable || std::filesystem::exists(program / "Cavewing.txt"));
    EXPECT_FALSE(std::filesystem::exists(program / "last-game"));
  }
  std::filesystem::current_path(before);
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
  EXPECT_EQ(again.phase, nameOf(g.cabinet.phase()));
}

// Keeps out: the games played once the demo was clicked out of went unrecorded and unsent.
TEST(CabinetRecording, ThePlayersGamesAfterTheDemoAreRecordedAndListedAndReplayExactly) {
  TempFolder elsewhere;
  const std::string file = (elsewhere.path / "demo.replay").string();
  CabinetGame g(demo(file));
  struct Listed : cabinet::Cabinet::Observer {  // as a score server gets them
    std::vector<std::pair<replay::Recording, std::int64_t>> games;
    void gameListed(const replay::Recording& r, std::int64_t shown) override {
      games.emplace_back(r, shown);
    }
  } listed;
  g.cabinet.addObserver(listed);
  while (!g.form.lblTitle.Visible && g.form.clock.now() < 600 * Second) g.advance(15625);
  ASSERT_TRUE(g.form.lblTitle.Visible) << "the demo did not crash";
  g.advance(Second);
  const std::int64_t demoEnd = g.cabinet.grid();
  g.cabinet.stopDemo();
  g.advance(Second);
  g.flyWell(4 * Second);
  const std::int64_t firstShown = frmCavewing::ScoreValue(g.form.lblScore.Caption);
  g.click();
  g.crash();
  g.advance(Second);
  g.cabinet.input(Event{.kind = Kind::Close});

  const auto kept = replay::readFile(g.lastGame().string());
  ASSERT_TRUE(kept.recording) << kept.error;
  EXPECT_EQ(kept.recording->player, "JANE");
  const cabinet::Outcome again = cabinet::replayHeadless(*kept.recording);
  EXPECT_EQ(again.grid, g.cabinet.grid());
  EXPECT_EQ(again.scoreCaption, g.form.lblScore.Caption);
  EXPECT_EQ(again.phase, nameOf(g.cabinet.phase()));
  EXPECT_TRUE(std::filesystem::exists(g.bestGame()));
  ASSERT_EQ(listed.games.size(), 2u) << "the demo's game is nobody's; the player's two are";
  EXPECT_EQ(listed.games[0].second, firstShown);
  for (const auto& [recording, shown] : listed.games)
    EXPECT_EQ(frmCavewing::ScoreValue(cabinet::replayHeadless(recording).scoreCaption), shown);
  // The demo's own recording ends where the demo did.
  const auto demoKept = replay::readFile(file);
  ASSERT_TRUE(demoKept.recording) << demoKept.error;
  EXPECT_EQ(cabinet::replayHeadless(*demoKept.recording).grid, demoEnd);
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
  struct Shown : cabinet::Cabinet::Observer {
    std::vector<Kind> kinds;
    void replayed(const Event& e) override { kinds.push_back(e.kind); }
  } shown;
  c.addObserver(shown);
  c.load();
  c.advanceTo(20 * c.clock().systemTick());
  EXPECT_EQ(shown.kinds, (std::vector<Kind>{Kind::Start, Kind::Down}));
  EXPECT_EQ(c.phase(), Phase::Flying);
  EXPECT_TRUE(c.form().tmrUp.Enabled);
  // A key does not pause the replayed flight: it ends the replay.
  c.input(Event{.kind = Kind::KeyPress, .code = frmCavewing::AsciiSpace});
  EXPECT_FALSE(c.replaying());
  EXPECT_EQ(c.phase(), Phase::Ready);
  EXPECT_EQ(c.form().pausesLeft, 6);
  c.advanceTo(2000 * c.clock().systemTick());
  EXPECT_EQ(shown.kinds.size(), 2u) << "nothing more is replayed";
  // From here on the game is the player's.
  c.input(Event{.kind = Kind::Start});
  EXPECT_EQ(c.phase(), Phase::Flying);
}

// What a front end says of the player's game (a screen reader's live region): the score as the
// crash begins, then the list's row for it once the list is up; a game the list does not take
// has no row; the demo's games are nobody's.
TEST(CabinetResult, TheCrashsScoreThenItsRowInTheListAndNothingOfTheDemos) {
  using cabinet::kit::gameResult;
  {
    CabinetGame g;
    writeText(g.playerTable, tableText(fullTable({{"ANN", "100000"}, {"BOB", "1"}})));
    // As the page reads it: nothing crashed, nothing listed.
    EXPECT_EQ(cabinet::kit::resultAsJson(gameResult(g.cabinet)),
              "{\"crashed\":false,\"listed\":false,\"score\":\"\",\"rank\":0}")
        << "ready: nothing to say";
    g.cabinet.input(Event{.kind = Kind::Start});
    g.press();
    while (!g.form.crashed && g.form.clock.now() < 600 * Second) g.advance(15625);
    cabinet::kit::GameResult said = gameResult(g.cabinet);
    EXPECT_TRUE(said.crashed);
    EXPECT_FALSE(said.listed) << "the list is not up yet";
    EXPECT_EQ(said.score, g.form.lblScore.Caption);
    EXPECT_EQ(said.rank, 0);
    while (!g.form.lblTitle.Visible && g.form.clock.now() < 600 * Second) g.advance(15625);
    said = gameResult(g.cabinet);
    EXPECT_TRUE(said.listed);
    EXPECT_EQ(said.rank, 2) << "below ANN, above BOB";
    EXPECT_EQ(g.form.lblName[2].Caption, "JANE");
    EXPECT_EQ(cabinet::kit::resultAsJson(said),
              "{\"crashed\":true,\"listed\":true,\"score\":\"" + said.score + "\",\"rank\":2}");
    // The next game: back to the start, nothing said.
    g.click();
    EXPECT_EQ(gameResult(g.cabinet), cabinet::kit::GameResult{});
  }
  {
    SCOPED_TRACE("the player's own better row stays: this game has none");
    CabinetGame g;
    writeText(g.playerTable, tableText(fullTable({{"JANE", "100000"}})));
    g.crash();
    const cabinet::kit::GameResult said = gameResult(g.cabinet);
    EXPECT_TRUE(said.listed);
    EXPECT_EQ(said.rank, 0);
  }
  {
    SCOPED_TRACE("the demo crashes into its list");
    CabinetGame g(demo());
    while (!g.form.lblTitle.Visible && g.form.clock.now() < 600 * Second) g.advance(15625);
    ASSERT_EQ(g.cabinet.phase(), Phase::Crashed);
    EXPECT_EQ(gameResult(g.cabinet), cabinet::kit::GameResult{});
  }
}

}  // namespace

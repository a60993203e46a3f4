// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ScoresFixture.h"

namespace {

// ---- Score counter -----------------------------------------------------------------------------

TEST(ScoreCounter, CountsTwentyASecondOverAMinuteOfFlight) {
  ScoresGame g;
  g.form.clock.advance(5000);  // ready phase: the timer ticks, nothing counts
  EXPECT_EQ(g.form.score, 0);
  EXPECT_EQ(g.form.lblScore.Caption, "0");

  g.fly(60'000);
  // 1200 ticks of 50 ms: the label shows the count before the last increment.
  EXPECT_EQ(g.form.score, 1200);
  EXPECT_EQ(g.form.lblScore.Caption, "1199");
}

TEST(ScoreCounter, ShowsPlainWholeNumbersPast32767) {
  ScoresGame g;
  g.fly(1000);
  g.form.score = 32767;
  g.form.clock.advance(250);  // five ticks
  EXPECT_EQ(g.form.lblScore.Caption, "32771");
  EXPECT_EQ(g.form.score, 32772);
}

TEST(ScoreCounter, FrozenWhilePausedAndAfterACrash) {
  ScoresGame g;
  g.fly(10'000);
  g.form.halted = true;  // paused
  const auto score = g.form.score;
  const auto shown = g.form.lblScore.Caption;
  g.form.clock.advance(30'000);
  EXPECT_EQ(g.form.score, score);
  EXPECT_EQ(g.form.lblScore.Caption, shown);

  g.form.halted = false;  // resumed: counting goes on from the same value
  g.form.clock.advance(1000);
  EXPECT_EQ(g.form.score, score + 20);

  g.beginCrash();
  const auto atCrash = g.form.lblScore.Caption;
  g.form.clock.advance(500);  // before the list appears
  EXPECT_EQ(g.form.lblScore.Caption, atCrash);
  EXPECT_EQ(std::to_string(g.form.score - 1), atCrash);
}

// ---- Crash sequence ----------------------------------------------------------------------------

// Checks the banner's two ticks from a crash begun now; the list follows the second one.
void expectBannerForTwoTicks(ScoresGame& g) {
  g.beginCrash();
  const std::int64_t crashUs = g.form.clock.now();
  const auto at = [&](int ms) { g.form.clock.advanceTo(crashUs + ms * 1000); };
  at(590);
  EXPECT_TRUE(g.form.lblCRASH.Visible);
  EXPECT_FALSE(g.form.crashArmed);
  at(620);  // first tick: armed, banner still up
  EXPECT_TRUE(g.form.crashArmed);
  EXPECT_TRUE(g.form.lblCRASH.Visible);
  EXPECT_FALSE(g.form.lblTitle.Visible);
  at(1190);
  EXPECT_TRUE(g.form.lblCRASH.Visible);
  at(1220);  // second tick, about 1.2 s after the crash: the list
  EXPECT_FALSE(g.form.lblCRASH.Visible);
  EXPECT_TRUE(g.form.lblTitle.Visible);
  EXPECT_FALSE(g.form.tmrCRASH.Enabled);
  EXPECT_EQ(g.host.pointer, form::MousePointer::Default);
}

TEST(CrashSequence, BannerForTwoTicksThenTheListWithTheNewHighScore) {
  ScoresGame g;
  g.fly(3000);
  expectBannerForTwoTicks(g);
  EXPECT_FALSE(g.form.imgCopter.Visible);
  EXPECT_FALSE(g.form.cmdStart.Visible);
  ASSERT_EQ(g.host.boxes.size(), 1u);
  EXPECT_EQ(g.host.boxes[0].prompt, "You have a new high score!!!");
  EXPECT_EQ(g.host.boxes[0].title, "New High Score");
  EXPECT_EQ(g.table()[0], Row("ME", "59"));
  EXPECT_EQ(fileText(g.scoresFile()), tableText(g.table()));

  g.form.clock.advance(5000);  // the sequence is over: no more ticks, no more boxes
  EXPECT_EQ(g.host.boxes.size(), 1u);
}

TEST(CrashSequence, SecondCrashAfterNewGameWaitsTwoTicksAgain) {
  ScoresGame g;
  g.fly(3000);
  expectBannerForTwoTicks(g);
  g.form.lblName_Click(1);  // a click on the list after a crash: a new game
  EXPECT_FALSE(g.form.crashArmed);
  g.fly(4000);
  expectBannerForTwoTicks(g);
  EXPECT_EQ(g.table()[0], Row("ME", "79"));
  EXPECT_EQ(g.host.boxes.size(), 2u);
}

// ---- Ranking -----------------------------------------------------------------------------------

struct RankingCase {
  const char* what;
  std::vector<Row> before;  // the file; empty: no file at all
  const char* user;         // USERNAME, nullptr for no variable at all
  const char* newScore;     // the score label when the list is shown
  bool afterCrash;          // shown by the crash sequence, else from the menu in the ready phase
  std::vector<Row> after;   // the first rows of the table afterwards
  bool congratulated;       // message box shown and file written
};

TEST(Ranking, EdgeCases) {
  const std::vector<Row> table = {
      {"A", "900"}, {"B", "600"}, {"C", "400"}, {"ME", "300"}, {"D", "200"}};
  const std::vector<Row> moved = {{"A", "900"}, {"B", "600"}, {"ME", "500"},
                                  {"C", "400"}, {"D", "200"}, {"", ""}};
  std::vector<Row> full;  // P1 1500 .. P15 100
  for (int i = 1; i <= 15; ++i)
    full.emplace_back("P" + std::to_string(i), std::to_string(1600 - 100 * i));
  std::vector<Row> belowRow5(full.begin(), full.begin() + 5);  // P15 drops off
  belowRow5.emplace_back("NEWCOMER", "1100");
  belowRow5.insert(belowRow5.end(), full.begin() + 5, full.begin() + 14);
  const std::vector<Row> emptyNameRow = {{"A", "900"}, {"", "500"}, {"B", "80"}};
  const std::vector<Row> emptyNameLow = {{"A", "900"}, {"", "200"}, {"B", "80"}};
  const std::vector<Row> emptyNameUp = {{"A", "900"}, {"", "300"}, {"B", "80"}, {"", ""}};
  const std::vector<Row> oddScores = {{"A", "99999999999999999999999"},
                                      {"B", " 12abc"},
                                      {"C", "-99999999999999999999"},
                                      {"D", "x"}};
  const std::vector<Row> oddScoresAfter = {{"A", "99999999999999999999999"},
                                           {"ME", "20"},
                                           {"B", " 12abc"},
                                           {"C", "-99999999999999999999"},
                                           {"D", "x"}};
  constexpr bool Crash = true, Menu = false, Saved = true, Unchanged = false;
  // clang-format off
  const RankingCase cases[] = {
      {"empty table: any score above 0 goes to row 1",   {},    "me", "120", Crash, {{"ME", "120"}, {"", ""}}, Saved},
      {"empty table: a score of 0 is not recorded",      {},    "me", "0",   Crash, {{"", ""}},               Unchanged},
      {"own row moved up, the old entry gone",           table, "me", "500", Crash, moved,                    Saved},
      {"lower own score ignored, though it beats others", table, "me", "250", Crash, table,                   Unchanged},
      {"new name equal to the last row: not recorded",   full,  "newcomer", "100",  Crash, full,              Unchanged},
      {"equal to row 5 goes below row 5",                full,  "newcomer", "1100", Crash, belowRow5,         Saved},
      {"menu with no crash only reloads the table",      table, "me", "5000", Menu, table,                    Unchanged},
      {"empty user name matches the empty-name row",     emptyNameRow, nullptr, "300", Crash, emptyNameRow,   Unchanged},
      {"empty user name is recorded as a name",          emptyNameLow, nullptr, "300", Crash, emptyNameUp,    Saved},
      {"score text: leading number, else 0, no overflow", oddScores, "me", "20", Crash, oddScoresAfter,       Saved},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScoresGame g;
    g.host.environment.clear();
    if (c.user) g.host.environment["USERNAME"] = c.user;
    if (!c.before.empty()) writeText(g.scoresFile(), tableText(fullTable(c.before)));
    const std::string fileBefore = fileText(g.scoresFile());
    if (c.afterCrash) {
      // The score shown at the crash is the one ranked.
      g.fly(0);
      g.beginCrash();
      g.form.lblScore.Caption = c.newScore;
      g.form.clock.advance(1300);
    } else {
      g.form.lblScore.Caption = c.newScore;
      g.form.mnuScores_Click();
    }
    ASSERT_TRUE(g.form.lblTitle.Visible);
    const auto rows = g.table();
    for (std::size_t i = 0; i < c.after.size(); ++i)
      EXPECT_EQ(rows[i], c.after[i]) << "row " << i + 1;
    EXPECT_EQ(g.host.boxes.size(), c.congratulated ? 1u : 0u);
    EXPECT_EQ(fileText(g.scoresFile()), c.congratulated ? tableText(rows) : fileBefore);
  }
}

// The box says the score was saved: only a save that was made may say so. A save that fails
// shows the list with the score in it, no box, and one line on standard error.
TEST(Ranking, TheBoxOnlyFollowsASaveThatWasMade) {
  const std::vector<Row> before = {{"A", "900"}};
  const std::vector<Row> after = {{"A", "900"}, {"ME", "120"}, {"", ""}};
  struct Case {
    const char* what;
    std::function<void(ScoresGame&)> place;  // where the table is, and what it is
    bool saved;
    std::vector<Row> shown;  // the list's first rows
  } cases[] = {
      {"a writable table", [](ScoresGame&) {}, true, after},
      // Root ignores the mode bits, but the game never writes a table whose mode grants no writing.
      {"a read-only table",
       [](ScoresGame& g) {
         std::filesystem::permissions(g.scoresFile(), std::filesystem::perms(0444));
       },
       false, after},
      // Nobody can make a folder under /proc, root included.
      {"a table in a folder that is not there and cannot be made",
       [](ScoresGame& g) { g.form.scoresFile = "/proc/cavewing-no-such-folder/Cavewing.txt"; },
       false,
       {{"ME", "120"}, {"", ""}}},
      // The page's files live in memory until the browser's storage takes them.
      {"a table the front end cannot keep", [](ScoresGame& g) { g.host.keepsFiles = false; }, false,
       after},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScoresGame g;
    writeText(g.scoresFile(), tableText(fullTable(before)));
    c.place(g);
    g.fly(0);
    g.beginCrash();
    g.form.lblScore.Caption = "120";
    testing::internal::CaptureStderr();
    g.form.clock.advance(1300);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(g.form.lblTitle.Visible);
    const auto rows = g.table();
    for (std::size_t i = 0; i < c.shown.size(); ++i)
      EXPECT_EQ(rows[i], c.shown[i]) << "row " << i + 1;
    EXPECT_EQ(g.host.boxes.size(), c.saved ? 1u : 0u);
    if (g.host.keepsFiles) {
      EXPECT_EQ(fileText(g.scoresFile()), tableText(fullTable(c.saved ? after : before)));
    }
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.saved ? 0 : 1) << said;
  }
}

// ---- The list, shown and hidden ----------------------------------------------------------------

void expectListShown(ScoresGame& g, bool shown) {
  EXPECT_EQ(g.form.lblTitle.Visible, shown);
  for (int i = 1; i <= 15; ++i) {
    EXPECT_EQ(g.form.lblName[i].Visible, shown);
    EXPECT_EQ(g.form.lblNumber[i].Visible, shown);
    EXPECT_EQ(g.form.lblScores[i].Visible, shown);
  }
  for (const auto& block : g.form.shptunnel) EXPECT_EQ(block.Visible, !shown);
  EXPECT_EQ(g.form.shpTunnelM.Visible, !shown);
  EXPECT_EQ(g.form.mnuScores.Enabled, !shown);
}

// The four kinds of label on the list, clicked.
const std::vector<std::pair<const char*, void (*)(frmCavewing&)>> listClicks = {
    {"name", [](frmCavewing& f) { f.lblName_Click(7); }},
    {"rank", [](frmCavewing& f) { f.lblNumber_Click(1); }},
    {"score", [](frmCavewing& f) { f.lblScores_Click(15); }},
    {"heading", [](frmCavewing& f) { f.lblTitle_Click(); }},
};

TEST(HighScoreList, MenuShowsAndHidesItInTheReadyPhase) {
  ScoresGame g;
  writeText(g.scoresFile(), tableText(fullTable({{"A", "900"}, {"B", "600"}})));
  g.form.mnuScores.onClick();
  expectListShown(g, true);
  EXPECT_FALSE(g.form.cmdStart.Visible);
  EXPECT_EQ(g.table()[1], Row("B", "600"));  // loaded from the file, nothing ranked
  EXPECT_TRUE(g.host.boxes.empty());

  g.form.mnuScores_Click();
  expectListShown(g, false);
  EXPECT_TRUE(g.form.cmdStart.Visible);
  EXPECT_FALSE(g.form.imgCopter.Visible);
}

TEST(HighScoreList, ClickHidesItInTheReadyPhase) {
  for (const auto& [label, click] : listClicks) {
    SCOPED_TRACE(label);
    ScoresGame g;
    g.form.mnuScores_Click();
    click(g.form);
    expectListShown(g, false);
    EXPECT_TRUE(g.form.cmdStart.Visible);
    EXPECT_FALSE(g.form.gameRunning);
  }
}

TEST(HighScoreList, WhilePausedTheHelicopterStaysHiddenUntilTheListGoes) {
  for (const auto& [label, click] : listClicks) {
    SCOPED_TRACE(label);
    ScoresGame g;
    g.fly(2000);
    g.form.halted = true;  // paused: the menus are on
    g.form.setMenusEnabled(true);
    g.form.mnuScores_Click();
    expectListShown(g, true);
    EXPECT_FALSE(g.form.imgCopter.Visible);
    EXPECT_FALSE(g.form.cmdStart.Visible);
    click(g.form);
    expectListShown(g, false);
    EXPECT_TRUE(g.form.imgCopter.Visible);
    EXPECT_FALSE(g.form.cmdStart.Visible);
    EXPECT_TRUE(g.form.gameRunning);  // still the same paused game
    EXPECT_TRUE(g.form.halted);
  }
}

TEST(HighScoreList, ClickAfterACrashStartsANewGame) {
  for (const auto& [label, click] : listClicks) {
    SCOPED_TRACE(label);
    ScoresGame g;
    g.fly(2000);
    g.beginCrash();
    g.form.clock.advance(1300);
    ASSERT_TRUE(g.form.lblTitle.Visible);
    EXPECT_FALSE(g.form.mnuScores.Enabled);
    click(g.form);
    expectListShown(g, false);
    EXPECT_FALSE(g.form.gameOver);
    EXPECT_FALSE(g.form.crashed);
    EXPECT_TRUE(g.form.cmdStart.Visible);
    EXPECT_EQ(g.form.lblScore.Caption, "0");
  }
}

}  // namespace

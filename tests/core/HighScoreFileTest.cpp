// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "ScoresFixture.h"
#include "start/words/Words.h"

namespace fs = std::filesystem;

namespace {

std::vector<Row> sampleTable() {
  std::vector<Row> rows;
  for (int i = 1; i <= 15; ++i)
    rows.emplace_back("PLAYER " + std::to_string(i), std::to_string(2000 - 37 * i));
  rows[2].first = "SMITH, JOHN";  // quoted, so the comma stays inside the name
  rows[5].first = "  SPACED  ";
  rows[14] = {"", ""};
  return rows;
}

void setTable(ScoresGame& g, const std::vector<Row>& rows) {
  for (int i = 1; i <= 15; ++i) {
    g.form.lblName[i].Caption = rows[std::size_t(i - 1)].first;
    g.form.lblScores[i].Caption = rows[std::size_t(i - 1)].second;
  }
}

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path().filename());
  return files;
}

TEST(HighScoreFile, RoundTripOf15Rows) {
  ScoresGame g;
  setTable(g, sampleTable());
  g.form.WriteScores();
  const std::string text = fileText(g.scoresFile());
  EXPECT_EQ(text, tableText(sampleTable()));  // 30 quoted CR LF lines
  setTable(g, fullTable({}));
  g.form.ReadScores();
  EXPECT_EQ(g.table(), sampleTable());
}

TEST(HighScoreFile, FirstRunCreatesAnEmptyFileAndAnEmptyTable) {
  ScoresGame g;
  ASSERT_FALSE(fs::exists(g.scoresFile()));
  g.form.ReadScores();
  ASSERT_TRUE(fs::is_regular_file(g.scoresFile()));
  EXPECT_EQ(fs::file_size(g.scoresFile()), 0u);
  EXPECT_EQ(g.table(), fullTable({}));
}

TEST(HighScoreFile, ReadsFieldsSeparatedByCommasAndUnquoted) {
  ScoresGame g;
  writeText(g.scoresFile(), "\"A, B\",\"100\"\r\nCAROL , 90\n\"DAVE\"\r\n80\r\n");
  g.form.ReadScores();
  EXPECT_EQ(g.table()[0], Row("A, B", "100"));
  EXPECT_EQ(g.table()[1], Row("CAROL", "90"));
  EXPECT_EQ(g.table()[2], Row("DAVE", "80"));
}

// Keeps out: "0200" shown as written; a byte order mark left in front of the first name, which
// then no longer matched its player.
TEST(HighScoreFile, UnquotedNumbersInDecimalFormAndAByteOrderMarkSkipped) {
  ScoresGame g;
  writeText(g.scoresFile(),
            "\xEF\xBB\xBF\"ME\",0200\r\nB,+7\r\nC,-0\r\nD,-012.50\r\nE,007.\r\nF,.5\r\n"
            "G,\"0200\"\r\nH,12ab\r\nI,1.2.3\r\n");
  g.form.ReadScores();
  const std::vector<Row> expect = {{"ME", "200"},  {"B", "7"},    {"C", "0"},
                                   {"D", "-12.5"}, {"E", "7"},    {"F", "0.5"},
                                   {"G", "0200"},  {"H", "12ab"}, {"I", "1.2.3"}};
  for (std::size_t i = 0; i < expect.size(); ++i) EXPECT_EQ(g.table()[i], expect[i]) << i;
  // The player's own row is found: a worse game leaves the table alone.
  g.fly(500);
  g.beginCrash();
  g.form.clock.advance(1300);
  EXPECT_EQ(g.table()[0], Row("ME", "200"));
  EXPECT_TRUE(g.host.boxes.empty());
}

// Keeps out: a 16th row written past the last list label, over the list's heading.
TEST(HighScoreFile, RowsPastTheFifteenthChangeNoOtherLabel) {
  ScoresGame g;
  std::string rows;
  for (int i = 1; i <= 17; ++i) rows += tableText({{"R" + std::to_string(i), std::to_string(i)}});
  writeText(g.scoresFile(), rows);
  const std::string heading = g.form.lblTitle.Caption;
  const std::string counter = g.form.lblScore.Caption;
  g.form.ReadScores();
  EXPECT_EQ(g.form.lblTitle.Caption, "HIGH SCORE LIST");
  EXPECT_EQ(g.form.lblTitle.Caption, heading);
  EXPECT_EQ(g.form.lblScore.Caption, counter);
  EXPECT_EQ(g.table()[14], Row("R15", "15"));
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(g.form.lblNumber[i].Caption, std::to_string(i) + ".");
}

struct DamagedCase {
  const char* what;
  std::string content;
  std::vector<Row> expect;  // the first rows afterwards; the labels held "OLD"/"1" before
};

TEST(HighScoreFile, DamagedFilesAreReadAsFarAsTheyMakeSense) {
  std::string garbage;
  for (int i = 0; i < 100'000; ++i) garbage += char((i * 7919 + i / 13) % 256);
  const DamagedCase cases[] = {
      {"unterminated quote harms only its own field",
       "\"ALICE\r\n\"900\"\r\n\"BOB\"\r\n\"850\r\n\"CAROL\"\r\n\"800\"\r\n",
       {{"ALICE", "900"}, {"BOB", "850"}, {"CAROL", "800"}, {"OLD", "1"}}},
      {"odd number of fields: the last name keeps the old score",
       tableText({{"ALICE", "900"}}) + "\"BOB\"\r\n",
       {{"ALICE", "900"}, {"BOB", "1"}, {"OLD", "1"}}},
      {"very long line is cut, the next row still read",
       "\"" + std::string(200'000, 'X') + "\"\r\n\"5\"\r\n\"BOB\"\r\n\"4\"\r\n",
       {{std::string(4096, 'X'), "5"}, {"BOB", "4"}, {"OLD", "1"}}},
      {"text after a closing quote is dropped", "\"AL\"ICE\"\r\n\"9\"9\"\r\n", {{"AL", "9"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScoresGame g;
    setTable(g, std::vector<Row>(15, {"OLD", "1"}));
    writeText(g.scoresFile(), c.content);
    g.form.ReadScores();
    const auto rows = g.table();
    for (std::size_t i = 0; i < c.expect.size(); ++i) EXPECT_EQ(rows[i], c.expect[i]) << i;
  }

  // Binary garbage: no crash, no line break inside a label, at most 15 rows' worth of fields.
  ScoresGame g;
  writeText(g.scoresFile(), garbage);
  g.form.ReadScores();
  for (const auto& [name, score] : g.table()) {
    EXPECT_EQ(name.find_first_of("\r\n"), std::string::npos);
    EXPECT_LE(name.size(), 4096u);
    EXPECT_LE(score.size(), 4096u);
  }
}

TEST(HighScoreFile, HundredMegabyteFileIsReadOnlyUpToThe15thRow) {
  ScoresGame g;
  std::string rows;
  for (int i = 1; i <= 20; ++i) rows += tableText({{"R" + std::to_string(i), std::to_string(i)}});
  writeText(g.scoresFile(), rows);
  fs::resize_file(g.scoresFile(), 100u * 1024 * 1024);  // the rest is a hole of zero bytes
  g.form.ReadScores();
  EXPECT_EQ(g.table()[0], Row("R1", "1"));
  EXPECT_EQ(g.table()[14], Row("R15", "15"));
}

TEST(HighScoreFile, DirectoryInTheFilesPlaceChangesNothing) {
  ScoresGame g;
  fs::create_directory(g.scoresFile());
  setTable(g, sampleTable());
  g.form.ReadScores();
  EXPECT_EQ(g.table(), sampleTable());
  g.form.WriteScores();
  EXPECT_TRUE(fs::is_directory(g.scoresFile()));
  EXPECT_EQ(filesIn(g.programFolder), std::vector<fs::path>{"Cavewing.txt"});  // no leftovers
}

TEST(HighScoreFile, SaveFailingHalfwayLeavesTheOldFileWhole) {
  ScoresGame g;
  const std::string old = tableText(fullTable({{"ALICE", "900"}}));
  writeText(g.scoresFile(), old);
  std::vector<Row> big = sampleTable();
  for (auto& row : big) row.first += std::string(200, 'Z');
  setTable(g, big);

  // The disk fills up after 300 bytes of the new file.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 300;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  g.form.WriteScores();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(fileText(g.scoresFile()), old);
  EXPECT_EQ(filesIn(g.programFolder), std::vector<fs::path>{"Cavewing.txt"});  // no leftovers

  g.form.WriteScores();  // room again: the save goes through
  EXPECT_EQ(fileText(g.scoresFile()), tableText(big));
}

TEST(HighScoreFile, SaveKeepsThePermissionsAndFollowsALink) {
  ScoresGame g;
  const fs::path real = g.temp.path / "shared-scores.txt";
  writeText(real, tableText(fullTable({{"ALICE", "900"}})));
  fs::permissions(real, fs::perms(0640));
  fs::create_symlink(real, g.scoresFile());
  setTable(g, sampleTable());
  g.form.WriteScores();
  EXPECT_TRUE(fs::is_symlink(g.scoresFile()));
  EXPECT_EQ(fileText(real), tableText(sampleTable()));
  EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
}

TEST(HighScoreFile, UnwritableProgramFolderFallsBackToThePlayersFolder) {
  // A folder that cannot be written: one that is not there for everybody; one without write
  // permission too, where permissions bind (not for root).
  std::vector<std::function<void(ScoresGame&)>> makeUnwritable = {
      [](ScoresGame& g) { g.host.appPath = (g.temp.path / "no" / "such" / "folder").string(); }};
  if (::geteuid() != 0)
    makeUnwritable.push_back(
        [](ScoresGame& g) { fs::permissions(g.programFolder, fs::perms(0555)); });
  for (const auto& unwritable : makeUnwritable) {
    ScoresGame g;
    unwritable(g);
    g.fly(1000);
    g.beginCrash();
    g.form.clock.advance(1300);
    ASSERT_EQ(g.host.boxes.size(), 1u);
    const fs::path saved = g.userFolder / "Cavewing.txt";
    EXPECT_EQ(fileText(saved), tableText(g.table()));
    EXPECT_EQ(g.table()[0], Row("ME", "19"));
    EXPECT_FALSE(fs::exists(g.scoresFile()));
    fs::permissions(g.programFolder, fs::perms(0755));
  }
}

// Keeps out an installed copy run by root writing Cavewing.txt into /usr/bin, a file no package
// owns.
TEST(HighScoreFile, InstalledCopyKeepsTheTableInThePlayersFolderWhoeverRunsIt) {
  // A copy unpacked under /opt without its metainfo, in a folder that is there: one root may
  // write, which the table must stay out of all the same.
  struct OptCopy {
    fs::path folder;
    OptCopy() {
      char name[] = "/opt/cavewing-test-XXXXXX";
      if (::mkdtemp(name) == nullptr) return;
      folder = name;
      fs::create_directory(folder / "bin");
    }
    ~OptCopy() {
      std::error_code ec;
      if (!folder.empty()) fs::remove_all(folder, ec);
    }
  } opt;
  if (opt.folder.empty()) GTEST_SKIP() << "needs a folder of its own under /opt (root)";
  const std::vector<std::function<void(ScoresGame&)>> install = {
      // A system folder, writable or not.
      [](ScoresGame& g) { g.host.appPath = "/usr/games"; },
      [&](ScoresGame& g) { g.host.appPath = (opt.folder / "bin/").string(); },
      // Any prefix that holds the installed game: the program's folder stays writable.
      [](ScoresGame& g) {
        fs::create_directories(g.temp.path / "share" / "metainfo");
        writeText(g.temp.path / "share/metainfo/org.cavewing.Cavewing.metainfo.xml", "");
      }};
  for (const auto& installed : install) {
    ScoresGame g;
    installed(g);
    g.fly(1000);
    g.beginCrash();
    g.form.clock.advance(1300);
    EXPECT_EQ(fileText(g.userFolder / "Cavewing.txt"), tableText(g.table()));
    EXPECT_EQ(g.table()[0], Row("ME", "19"));
    EXPECT_FALSE(fs::exists(fs::path(g.host.appPath) / "Cavewing.txt"));
  }
}

TEST(HighScoreFile, FileNamedOnTheCommandLineWins) {
  const CommandLine options = readWords({"--scores", "/x/my scores.txt"});
  EXPECT_EQ(options.action, CommandLine::Action::Play);
  EXPECT_EQ(options.scoresFile, "/x/my scores.txt");
  EXPECT_EQ(readWords({"--scores=/y"}).scoresFile, "/y");
  EXPECT_EQ(readWords({"--scores"}).action, CommandLine::Action::Error);
  EXPECT_EQ(readWords({"--scores="}).action, CommandLine::Action::Error);

  ScoresGame g;
  g.form.scoresFile = (g.temp.path / "elsewhere.txt").string();
  setTable(g, sampleTable());
  g.form.WriteScores();
  EXPECT_EQ(fileText(g.temp.path / "elsewhere.txt"), tableText(sampleTable()));
  EXPECT_FALSE(fs::exists(g.scoresFile()));
}

// ---- The player's name -------------------------------------------------------------------------

TEST(PlayerName, FirstVariableSetAndNotBlankUpperCasedAndTrimmed) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string name;
  };
  const Case cases[] = {
      {{}, ""},
      {{{"USERNAME", " alice "}}, "ALICE"},
      {{{"NWUSERNAME", "nw"}, {"LOGIN", "login"}, {"USERNAME", "user"}}, "NW"},
      {{{"NWUSERNAME", "   "}, {"LOGIN", "login"}, {"USERNAME", "user"}}, "LOGIN"},
      {{{"NWUSERNAME", ""}, {"LOGIN", " "}, {"USERNAME", "user"}}, "USER"},
      {{{"USERNAME", "o\"neil\r\n\tjr\x7f"}}, "O'NEILJR"},
      {{{"LOGIN", "\r\n"}, {"USERNAME", "bob"}}, "BOB"},
      // After the game's own three, the login name Linux desktops set.
      {{{"USER", "linus"}, {"LOGNAME", "logname"}}, "LINUS"},
      {{{"USER", " "}, {"LOGNAME", "logname"}}, "LOGNAME"},
      {{{"USERNAME", "win"}, {"USER", "linus"}}, "WIN"},
      // Unicode's simple upper case, whatever the locale: one character for one.
      {{{"LOGIN", "jürgen"}}, "JÜRGEN"},
      {{{"LOGIN", "zoë"}}, "ZOË"},
      {{{"LOGIN", "ǆémon ѳ ᾳ ß"}}, "ǄÉMON Ѳ ᾼ ß"},
      {{{"LOGIN",
         "bad\xff\xc3"
         "byte"}},
       "BAD\xff\xc3"
       "BYTE"},
  };
  for (const auto& c : cases) {
    ScoresGame g;
    g.host.environment = c.env;
    g.form.GetUsername();
    EXPECT_EQ(g.form.userName, c.name);
  }
}

// Keeps out: a name longer than a field the file keeps came back cut, matched no row and took a
// new row every game.
TEST(PlayerName, ALongNameKeepsOneRowCutOnACharacterBoundary) {
  ScoresGame g;
  g.host.environment = {{"USER", std::string(4095, 'a') + "é and more"}};
  g.form.GetUsername();
  EXPECT_EQ(g.form.userName, std::string(4095, 'A'));  // "É" would have needed byte 4097
  for (int game = 1; game <= 2; ++game) {
    g.fly(1000 * game);
    g.beginCrash();
    g.form.clock.advance(1300);
    g.form.mnuNew_Click();
  }
  EXPECT_EQ(g.table()[0].first, std::string(4095, 'A'));
  EXPECT_EQ(g.table()[1], Row("", ""));
  EXPECT_EQ(g.host.boxes.size(), 2u);
}

TEST(PlayerName, QuotesAndLineBreaksKeepTheFileWholeAndThePlayerOneRow) {
  ScoresGame g;
  g.host.environment = {{"USERNAME", "\"the\r\nace\""}};
  g.fly(1000);
  g.beginCrash();
  g.form.clock.advance(1300);
  EXPECT_EQ(g.table()[0], Row("'THEACE'", "19"));
  const std::string text = fileText(g.scoresFile());
  EXPECT_EQ(text, tableText(g.table()));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 30);

  g.form.mnuNew_Click();  // a better game: the same row moves, no second one
  g.fly(2000);
  g.beginCrash();
  g.form.clock.advance(1300);
  EXPECT_EQ(g.table()[0], Row("'THEACE'", "39"));
  EXPECT_EQ(g.table()[1], Row("", ""));
  EXPECT_EQ(g.host.boxes.size(), 2u);
}

}  // namespace

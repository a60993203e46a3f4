// SPDX-License-Identifier: MIT
// The high-score table under attack, and as an unlucky shared folder treats it: saving never
// destroys what it does not own, a shared table stays shared, and players saving at the same time
// never lose each other's scores. Cases that need other users run as root only.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "ScoresFixture.h"
#include "replay/Recording.h"

namespace fs = std::filesystem;

namespace {

const std::vector<Row> Fifteen = [] {
  std::vector<Row> rows;
  for (int i = 1; i <= 15; ++i)
    rows.emplace_back("P" + std::to_string(i), std::to_string(1600 - i));
  return rows;
}();

// The ranking as it runs after a crash that scored `score`, for the player `name`.
void rank(frmCavewing& form, FakeHost& host, const std::string& name, std::int64_t score) {
  host.environment["USERNAME"] = name;
  form.lblScore.Caption = std::to_string(score);
  form.crashed = true;
  form.CalculateHighScores();
}

// Runs `play` in a child process as user `uid` of group `gid`; whether it returned true.
bool asPlayer(uid_t uid, gid_t gid, const std::function<bool()>& play) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const gid_t groups[] = {gid};
    const bool ok =
        ::setgroups(1, groups) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0 && play();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// One player's game in the shared folder, ranked: true when the table now holds the score.
bool playsInto(const fs::path& folder, const std::string& name, std::int64_t score) {
  Game g;
  g.host.appPath = folder.string();
  rank(g.form, g.host, name, score);
  for (int i = 1; i <= 15; ++i)
    if (g.form.lblName[i].Caption == name)
      return g.form.lblScores[i].Caption == std::to_string(score);
  return false;
}

bool isRoot() { return ::geteuid() == 0; }

struct Owner {
  uid_t uid;
  gid_t gid;
  mode_t mode;
};
Owner ownerOf(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return {st.st_uid, st.st_gid, st.st_mode & 07777};
}

TEST(KeptFile, NothingButARegularFileIsReplaced) {
  ScoresGame g;
  const fs::path fifo = g.temp.path / "fifo", link = g.temp.path / "link-to-fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  fs::create_symlink(fifo, link);
  std::vector<fs::path> targets = {fifo, link};
  // A device node of its own, like /dev/null (only root may make one).
  const fs::path device = g.temp.path / "null";
  if (isRoot() && ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
    targets.push_back(device);
  else
    std::cout << "not root: the device node case is skipped\n";
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target);
    g.form.scoresFile = target.string();
    g.form.lblName[1].Caption = "EVIL";
    g.form.ReadScores();  // does not hang on the pipe
    g.form.WriteScores();
    std::string error;
    EXPECT_FALSE(replay::writeFile(target.string(), replay::Recording{}, {}, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }
  // Regression: saving replaced the pipe and the device with a text file.
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_symlink(link));
  if (targets.size() == 3) {
    EXPECT_TRUE(fs::is_character_file(device));
  }
}

TEST(KeptFile, AReadOnlyTableStaysReadOnlyEvenForRoot) {
  ScoresGame g;
  const std::string old = tableText(Fifteen);
  writeText(g.scoresFile(), old);
  fs::permissions(g.scoresFile(), fs::perms(0444));
  rank(g.form, g.host, "ME", 5000);
  // Regression: as root, access() allowed it and the table was overwritten.
  EXPECT_EQ(fileText(g.scoresFile()), old);
  EXPECT_EQ(ownerOf(g.scoresFile()).mode, 0444u);
}

TEST(KeptFile, ADanglingLinkIsFollowedOnlyIntoAFolderThatExists) {
  ScoresGame g;
  const fs::path link = g.programFolder / "Cavewing.txt";
  fs::create_symlink(g.temp.path / "gone" / "scores.txt", link);
  rank(g.form, g.host, "ME", 500);
  // Regression: the link was replaced by a regular file.
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(g.temp.path / "gone"));

  // Into a folder that exists, the file the link names is made.
  fs::remove(link);
  fs::create_symlink(g.temp.path / "scores.txt", link);
  rank(g.form, g.host, "ME", 600);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(g.table()[0], Row("ME", "600"));
  EXPECT_EQ(fileText(g.temp.path / "scores.txt"), tableText(g.table()));
}

TEST(KeptFile, ATableThatCouldNotBeReadIsNeverWrittenOver) {
  if (!isRoot()) GTEST_SKIP() << "needs root, to play as another user";
  TempFolder temp;
  fs::permissions(temp.path, fs::perms(0777));
  const fs::path table = temp.path / "Cavewing.txt";
  const std::string old = tableText(Fifteen);
  writeText(table, old);
  fs::permissions(table, fs::perms(0622));  // others may write it, but not read it
  // Regression: the unreadable table was replaced by a one-row table, 14 rows lost.
  asPlayer(4010, 4010, [&] { return playsInto(temp.path, "ME", 99999); });
  EXPECT_EQ(fileText(table), old);
}

TEST(KeptFile, ASharedTableKeepsItsOwnerGroupAndModeWhoeverSaves) {
  if (!isRoot()) GTEST_SKIP() << "needs root, to play as several users";
  constexpr gid_t Players = 4000;
  constexpr uid_t Ann = 4001, Bob = 4002, Cy = 4003;
  TempFolder temp;
  fs::permissions(temp.path, fs::perms(0755));
  const fs::path folder = temp.path / "shared", table = folder / "Cavewing.txt";
  fs::create_directory(folder);
  ASSERT_EQ(::chown(folder.c_str(), 0, Players), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
  writeText(table, tableText(fullTable({{"ANN", "100"}})));
  ASSERT_EQ(::chown(table.c_str(), Ann, Players), 0);
  ASSERT_EQ(::chmod(table.c_str(), 0664), 0);

  // Regression: Bob's save made the table Bob's, and locked Cy out with "Permission denied".
  EXPECT_TRUE(asPlayer(Bob, Players, [&] { return playsInto(folder, "BOB", 200); }));
  EXPECT_TRUE(asPlayer(Cy, Players, [&] { return playsInto(folder, "CY", 300); }));
  // The owner saves by a new copy: owner, group and mode still as they were.
  EXPECT_TRUE(asPlayer(Ann, Players, [&] { return playsInto(folder, "ANN", 400); }));
  const Owner after = ownerOf(table);
  EXPECT_EQ(after.uid, Ann);
  EXPECT_EQ(after.gid, Players);
  EXPECT_EQ(after.mode, 0664u);
  ScoresGame reader;
  reader.form.scoresFile = table.string();
  reader.form.ReadScores();
  EXPECT_EQ(reader.table(), fullTable({{"ANN", "400"}, {"CY", "300"}, {"BOB", "200"}}));
  // No backup and no temporary copy left beside it.
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path().filename());
  EXPECT_EQ(files, std::vector<fs::path>{"Cavewing.txt"});
}

TEST(KeptFile, ACutShortInPlaceSaveIsReadFromItsBackup) {
  ScoresGame g;
  writeText(g.scoresFile(), "\"P1\"\r\n\"15");  // torn halfway through a save
  writeText(form::KeptFile::backupPath(g.scoresFile().string()), tableText(Fifteen));
  g.form.ReadScores();
  EXPECT_EQ(g.table(), Fifteen);
  rank(g.form, g.host, "ME", 1700);  // a save makes the table whole again and drops the backup
  EXPECT_EQ(g.table()[1], Fifteen[0]);
  EXPECT_EQ(fileText(g.scoresFile()), tableText(g.table()));
  EXPECT_FALSE(fs::exists(form::KeptFile::backupPath(g.scoresFile().string())));
}

TEST(KeptFile, TemporaryCopiesLeftByAKilledSaveAreClearedByTheNext) {
  ScoresGame g;
  writeText(g.scoresFile(), tableText(Fifteen));
  // What a save killed between writing its copy and renaming it leaves behind.
  const fs::path debris = g.programFolder / ".Cavewing.txt.cavewing-tmp-k1LLed";
  const fs::path backupDebris = g.programFolder / ".Cavewing.txt.backup.cavewing-tmp-abc123";
  const fs::path other = g.programFolder / ".notes.txt.cavewing-tmp-x";
  writeText(debris, "half a ta");
  writeText(backupDebris, "half a ba");
  writeText(other, "someone else's");
  rank(g.form, g.host, "ME", 5000);
  EXPECT_FALSE(fs::exists(debris));
  EXPECT_FALSE(fs::exists(backupDebris));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(g.table()[0], Row("ME", "5000"));
}

TEST(KeptFile, PlayersSavingAtTheSameTimeLoseNoScore) {
  constexpr int Players = 8, Rounds = 50;
  TempFolder shared;
  // Every game beats the player's last one, so that every game is saved, racing the others.
  auto scoreOf = [](int player, int round) { return round * Players + player + 1; };
  std::vector<pid_t> children;
  for (int p = 0; p < Players; ++p) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      Game g;
      g.host.appPath = shared.path.string();
      for (int r = 0; r < Rounds; ++r) rank(g.form, g.host, "P" + std::to_string(p), scoreOf(p, r));
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::vector<Row> expected;
  for (int p = Players - 1; p >= 0; --p)
    expected.emplace_back("P" + std::to_string(p), std::to_string(scoreOf(p, Rounds - 1)));
  ScoresGame reader;
  reader.form.scoresFile = (shared.path / "Cavewing.txt").string();
  reader.form.ReadScores();
  // Regression: without a lock held from reading to saving, one player's save undid another's.
  EXPECT_EQ(reader.table(), fullTable(expected));
}

}  // namespace

// SPDX-License-Identifier: MIT
// The high-score table under attack, and as an unlucky shared folder treats it: saving never
// destroys what it does not own, a shared table stays shared, and players saving at the same time
// never lose each other's scores. Cases that need other users run as root only.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

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

// Runs `play` in a child process; its exit status (0 when it returned true), or -1 when it had
// not ended after `seconds` and was killed.
int finishesWithin(int seconds, const std::function<bool()>& play) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(play() ? 0 : 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Saves `text` as the whole of `path`, as user `uid`: whether the save said it was done.
bool savesAs(uid_t uid, const fs::path& path, const std::string& text) {
  return asPlayer(uid, uid, [&] {
    std::string error;
    const bool saved = form::keepFile(path.string(), text, error);
    if (!saved) std::cout << "not saved: " << error << '\n';
    return saved;
  });
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

void makeFolder(const fs::path& folder, uid_t owner, gid_t group, mode_t mode) {
  fs::create_directory(folder);
  ASSERT_EQ(::chown(folder.c_str(), owner, group), 0);
  ASSERT_EQ(::chmod(folder.c_str(), mode), 0);
}

void makeFile(const fs::path& path, const std::string& text, uid_t owner, gid_t group,
              mode_t mode) {
  writeText(path, text);
  ASSERT_EQ(::lchown(path.c_str(), owner, group), 0);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

// Sets the file's last change `seconds` before now, as a file made long ago.
void age(const fs::path& path, int seconds) {
  struct timespec times[2]{};
  ::clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= seconds;
  times[1] = times[0];
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<fs::path> namesIn(const fs::path& folder) {
  std::vector<fs::path> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<Row> tableIn(const fs::path& table) {
  ScoresGame reader;
  reader.form.scoresFile = table.string();
  reader.form.ReadScores();
  return reader.table();
}

bool lockFile(int fd, short type) {
  struct flock whole {};
  whole.l_type = type;
  whole.l_whence = SEEK_SET;
  return ::fcntl(fd, F_SETLK, &whole) == 0;
}

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
  Owner after = ownerOf(table);
  EXPECT_EQ(after.uid, Ann);
  EXPECT_EQ(after.gid, Players);
  EXPECT_EQ(after.mode, 0664u);
  // Root, who may give a copy any owner and group, gives it Ann's and the players' group.
  EXPECT_TRUE(playsInto(folder, "ROOT", 50));
  after = ownerOf(table);
  EXPECT_EQ(after.uid, Ann);
  EXPECT_EQ(after.gid, Players);
  EXPECT_EQ(after.mode, 0664u);
  ScoresGame reader;
  reader.form.scoresFile = table.string();
  reader.form.ReadScores();
  EXPECT_EQ(reader.table(),
            fullTable({{"ANN", "400"}, {"CY", "300"}, {"BOB", "200"}, {"ROOT", "50"}}));
  // No backup and no temporary copy left beside it.
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path().filename());
  EXPECT_EQ(files, std::vector<fs::path>{"Cavewing.txt"});
}

TEST(KeptFile, ACutShortInPlaceSaveIsReadFromItsBackup) {
  ScoresGame g;
  // A save makes its backup first, then is torn halfway through writing the table.
  writeText(form::KeptFile::backupPath(g.scoresFile().string()), tableText(Fifteen));
  age(form::KeptFile::backupPath(g.scoresFile().string()), 1);
  writeText(g.scoresFile(), "\"P1\"\r\n\"15");
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
  constexpr int Players = 8, Rounds = 150;
  TempFolder shared;
  // Every game beats the player's last one, so that every game is saved, racing the others.
  auto scoreOf = [](int player, int round) { return round * Players + player + 1; };
  std::vector<pid_t> children;
  for (int p = 0; p < Players; ++p) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      Game g;
      g.host.appPath = shared.path.string();
      for (int r = 0; r < Rounds; ++r) {
        rank(g.form, g.host, "P" + std::to_string(p), scoreOf(p, r));
        // A game between two rankings, however short: a player who ranked cannot rank again at
        // once, so that one process looping on the lock cannot starve the others past its wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
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
  // Regression: without a lock held from reading to saving, one player's save undid another's;
  // and a player passed over by more than 100 other saves went on without it.
  EXPECT_EQ(reader.table(), fullTable(expected));
}

}  // namespace

namespace {

constexpr uid_t Ann = 4101, Bea = 4102, Cid = 4103, Dan = 4104;  // each of a group of the same id
constexpr gid_t Crew = 4100;

TEST(KeptFile, AStaleOrPlantedBackupNeverSteersASave) {
  if (!isRoot()) GTEST_SKIP() << "needs root, to play as several users";
  TempFolder temp;
  fs::permissions(temp.path, fs::perms(0755));
  // A sticky folder all may write, like the system's temporary folder; Ann's table all may write.
  const fs::path folder = temp.path / "tmp", table = folder / "Cavewing.txt";
  const fs::path backup = form::KeptFile::backupPath(table.string());
  makeFolder(folder, 0, 0, 01777);
  makeFile(table, tableText(fullTable({{"ANN", "100"}})), Ann, Ann, 0666);
  // Bea copies the table beside it under the backup's name, in the group all players share (Ann's
  // here), and makes it look old.
  const std::string copy = fileText(table);
  makeFile(backup, copy, Bea, Ann, 0644);
  age(backup, 60);
  EXPECT_TRUE(asPlayer(Cid, Cid, [&] { return playsInto(folder, "CID", 300); }));
  EXPECT_TRUE(asPlayer(Ann, Ann, [&] { return playsInto(folder, "ANN", 400); }));
  EXPECT_TRUE(asPlayer(Dan, Dan, [&] { return playsInto(folder, "DAN", 200); }));
  // Regression: every save rebuilt the table from Bea's copy, which no one else could remove.
  const auto expected = fullTable({{"ANN", "400"}, {"CID", "300"}, {"DAN", "200"}});
  EXPECT_EQ(tableIn(table), expected);  // root, who could remove it, does not read it either
  EXPECT_EQ(fileText(backup), copy);    // and Bea's own file is left alone

  // Regression: a planted backup put its rows into a table its planter may not write.
  ASSERT_EQ(::chmod(table.c_str(), 0644), 0);
  makeFile(backup, tableText(fullTable({{"BEA", "99999"}})), Bea, Bea, 0644);
  age(backup, 60);
  EXPECT_TRUE(asPlayer(Ann, Ann, [&] { return playsInto(folder, "ANN", 500); }));
  EXPECT_EQ(tableIn(table), fullTable({{"ANN", "500"}, {"CID", "300"}, {"DAN", "200"}}));
  // Nor is a second name of a file the player owns, such as Ann's private notes.
  const fs::path home = temp.path / "ann", notes = home / "notes.txt";
  makeFolder(home, Ann, Ann, 0700);
  makeFile(notes, "my secret\r\n", Ann, Ann, 0600);
  age(notes, 60);
  fs::remove(backup);
  fs::create_hard_link(notes, backup);
  EXPECT_TRUE(asPlayer(Ann, Ann, [&] { return playsInto(folder, "ANN", 600); }));
  EXPECT_EQ(tableIn(table), fullTable({{"ANN", "600"}, {"CID", "300"}, {"DAN", "200"}}));
  EXPECT_EQ(fileText(notes), "my secret\r\n");

  // The backup of a save cut short in a group's folder is still read, by any of the group.
  const fs::path crew = temp.path / "crew", crewTable = crew / "Cavewing.txt";
  const fs::path crewBackup = form::KeptFile::backupPath(crewTable.string());
  makeFolder(crew, 0, Crew, 02775);
  makeFile(crewBackup, tableText(Fifteen), Bea, Crew, 0644);
  age(crewBackup, 60);
  makeFile(crewTable, "\"P1\"\r\n\"15", Ann, Crew, 0664);  // torn halfway through Bea's save
  EXPECT_TRUE(asPlayer(Cid, Crew, [&] { return playsInto(crew, "P1", 1700); }));
  auto rows = Fifteen;
  rows[0].second = "1700";
  EXPECT_EQ(tableIn(crewTable), rows);
  EXPECT_EQ(namesIn(crew), std::vector<fs::path>{"Cavewing.txt"});
}

TEST(KeptFile, ALinkPlantedInAStickyFolderIsNotFollowed) {
  if (!isRoot()) GTEST_SKIP() << "needs root, to play as several users";
  TempFolder temp;
  fs::permissions(temp.path, fs::perms(0755));
  const fs::path folder = temp.path / "tmp", link = folder / "Cavewing.txt";
  const fs::path home = temp.path / "ann", notes = home / "notes.txt";
  makeFolder(folder, 0, 0, 01777);
  makeFolder(home, Ann, Ann, 0700);
  makeFile(notes, "my notes\n", Ann, Ann, 0600);
  const auto plant = [&](const fs::path& at, const fs::path& to, uid_t owner) {
    fs::remove(at);
    fs::create_symlink(to, at);
    ASSERT_EQ(::lchown(at.c_str(), owner, owner), 0);
  };
  // Bea's link to Ann's notes, and Ann's own link to Bea's: neither is followed.
  plant(link, notes, Bea);
  EXPECT_FALSE(savesAs(Ann, link, "overwritten"));
  plant(folder / "hop", notes, Bea);
  plant(link, folder / "hop", Ann);
  EXPECT_FALSE(savesAs(Ann, link, "overwritten"));
  asPlayer(Ann, Ann, [&] { return playsInto(folder, "ANN", 500); });
  // Regression: notes.txt held the table.
  EXPECT_EQ(fileText(notes), "my notes\n");
  EXPECT_TRUE(fs::is_symlink(link));
  // Ann's own link, and the folder owner's, lead to her file as before.
  const fs::path scores = home / "scores.txt";
  plant(link, scores, Ann);
  EXPECT_TRUE(savesAs(Ann, link, "ann's"));
  EXPECT_EQ(fileText(scores), "ann's");
  plant(link, scores, 0);
  EXPECT_TRUE(savesAs(Ann, link, "root's"));
  EXPECT_EQ(fileText(scores), "root's");
}

TEST(KeptFile, ASaveSaysItIsDoneOnlyWhenTheTableIsOnDisk) {
  if (!isRoot()) GTEST_SKIP() << "needs root, to play as another user and to fill a disk";
  TempFolder temp;
  fs::permissions(temp.path, fs::perms(0755));
  const std::string old = tableText(Fifteen), next = tableText(fullTable({{"CID", "9"}}));
  // A table Cid may write, in a folder he may not: saved in place, its owner and mode kept.
  const fs::path folder = temp.path / "locked", table = folder / "Cavewing.txt";
  makeFolder(folder, Ann, Ann, 0755);
  makeFile(table, old, Ann, Ann, 0666);
  // Regression: it was not saved ("cannot write in ...").
  EXPECT_TRUE(savesAs(Cid, table, next));
  EXPECT_EQ(fileText(table), next);
  EXPECT_EQ(ownerOf(table).uid, Ann);
  EXPECT_EQ(ownerOf(table).mode, 0666u);
  EXPECT_EQ(namesIn(folder), std::vector<fs::path>{"Cavewing.txt"});
  // Past a file-size limit nothing changes, and the save says so.
  EXPECT_FALSE(asPlayer(Cid, Cid, [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    std::string error;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
           form::keepFile(table.string(), std::string(8192, 'x'), error);
  }));
  EXPECT_EQ(fileText(table), next);
  // A read-only table, and a new one in a folder Cid may not write: not saved, and said so.
  ASSERT_EQ(::chmod(table.c_str(), 0644), 0);
  EXPECT_FALSE(savesAs(Cid, table, old));
  EXPECT_FALSE(savesAs(Cid, folder / "new.txt", old));
  EXPECT_EQ(fileText(table), next);
  EXPECT_EQ(namesIn(folder), std::vector<fs::path>{"Cavewing.txt"});

  // A full disk: neither the owner's new copy nor Cid's write in place is made.
  const fs::path disk = temp.path / "disk", full = disk / "Cavewing.txt";
  fs::create_directory(disk);
  // Ann's own folder: she saves by a new copy there, Cid in place.
  ASSERT_EQ(::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k,mode=0755,uid=4101,gid=4101"), 0);
  struct Unmount {
    const fs::path& at;
    ~Unmount() { ::umount(at.c_str()); }
  } unmount{disk};
  makeFile(full, old, Ann, Ann, 0666);
  {
    std::ofstream filler(disk / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  const std::string big = std::string(6000, 'x');
  EXPECT_FALSE(savesAs(Ann, full, big));
  EXPECT_FALSE(savesAs(Cid, full, big));
  EXPECT_EQ(fileText(full), old);
  EXPECT_EQ(namesIn(disk), (std::vector<fs::path>{"Cavewing.txt", "filler"}));
}

// A save the disk refuses (here the file-size limit, as `ulimit -f` sets it) leaves the folder as
// it found it: no file where there was none, an empty file where there was one, the old contents.
TEST(KeptFile, ASaveTheDiskRefusesLeavesTheFileAsItWas) {
  TempFolder temp;
  const fs::path none = temp.path / "none", empty = temp.path / "empty", old = temp.path / "old";
  writeText(empty, "");
  writeText(old, "old");
  for (const fs::path& path : {none, empty, old}) {
    const int status = finishesWithin(10, [&] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{16, 16};
      std::string error;
      return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
             form::keepFile(path.string(), std::string(64, 'x'), error);
    });
    EXPECT_EQ(status, 1) << path << ": the save says it failed";
  }
  // The clean-up after a failed save removes only the empty file the save itself made.
  EXPECT_EQ(namesIn(temp.path), (std::vector<fs::path>{"empty", "old"}));
  EXPECT_EQ(fileText(empty), "");
  EXPECT_EQ(fileText(old), "old");
}

TEST(KeptFile, ALockHeldTooLongCostsABoundedWaitAndNoSave) {
  TempFolder temp;
  const fs::path table = temp.path / "Cavewing.txt";
  writeText(table, "first");
  const auto saves = [&] {
    std::string error;
    return form::keepFile(table.string(), "player's", error);
  };
  // A player who may only read the table holds its lock for good.
  int reader = ::open(table.c_str(), O_RDONLY);
  ASSERT_TRUE(lockFile(reader, F_RDLCK));
  const auto start = std::chrono::steady_clock::now();
  // Regression: the save waited as long as the lock was held.
  EXPECT_EQ(finishesWithin(10, saves), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(fileText(table), "first");
  ::close(reader);

  // Players saving one after another without pause, each renaming a new table into place while
  // it holds the lock on the old one, the last of them then reading it for good: the waiting save
  // must never go on without the lock.
  int held = ::open(table.c_str(), O_RDWR);
  ASSERT_TRUE(lockFile(held, F_WRLCK));
  const pid_t player = ::fork();
  if (player == 0) ::_exit(saves() ? 0 : 1);
  int hops = 0, status = 0;
  bool clean = true;
  for (; ::waitpid(player, &status, WNOHANG) == 0 && hops < 5000; ++hops) {
    if (hops >= 300) {  // the last of them now only reads, for good
      if (hops == 300) {
        EXPECT_TRUE(lockFile(held, F_RDLCK));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    const fs::path next = temp.path / "next";
    writeText(next, "convoy " + std::to_string(hops));
    const int fd = ::open(next.c_str(), O_RDWR);
    ASSERT_TRUE(lockFile(fd, F_WRLCK));
    fs::rename(next, table);
    ::close(held);
    held = fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // Regression: after 100 such turns the waiting save wrote over the table unguarded. (Not
    // opened here to look: closing any other descriptor of it would drop this process's lock.)
    struct stat now {
    }, mine{};
    clean = clean && ::stat(table.c_str(), &now) == 0 && ::fstat(held, &mine) == 0 &&
            now.st_ino == mine.st_ino;
  }
  ::close(held);
  if (hops == 5000) {
    ::kill(player, SIGKILL);
    ::waitpid(player, &status, 0);
  }
  EXPECT_TRUE(clean);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_EQ(fileText(table), "convoy 299");
}

}  // namespace

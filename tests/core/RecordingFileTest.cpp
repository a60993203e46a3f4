// SPDX-License-Identifier: MIT
// Recordings on disk: reading is bounded and says why a file is refused; the recorder keeps a
// playable recording on disk as the sitting goes and stops at the bounds the reader accepts; a
// replay's table never touches a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <streambuf>

#include "ScoresFixture.h"
#include "cabinet/Headless.h"
#include "cabinet/Recorder.h"
#include "form/QuotedRecords.h"
#include "replay/Recording.h"

namespace fs = std::filesystem;

namespace {

using replay::Event;
using Kind = replay::Event::Kind;

std::string refusal(const fs::path& path) {
  const replay::ReadResult read = replay::readFile(path.string());
  EXPECT_FALSE(read.recording.has_value()) << path;
  return read.error;
}

// A header and then one line that never ends.
class EndlessLine : public std::streambuf {
  std::string header_ = "cavewing-replay 1\nsystem-tick-us 15625\n";
  std::size_t at_ = 0;

protected:
  int_type underflow() override { return traits_type::to_int_type(peek()); }
  int_type uflow() override {
    const char c = peek();
    ++at_;
    return traits_type::to_int_type(c);
  }

private:
  char peek() const { return at_ < header_.size() ? header_[at_] : 'x'; }
};

TEST(RecordingFile, WhatIsNotARecordingIsRefusedWithTheReason) {
  TempFolder temp;
  const fs::path fifo = temp.path / "fifo", huge = temp.path / "huge";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  writeText(huge, "cavewing-replay 1\n");
  fs::resize_file(huge, replay::Recording::maxBytes + 1);
  EXPECT_NE(refusal(temp.path).find("directory"), std::string::npos);
  EXPECT_NE(refusal(fifo).find("not a regular file"), std::string::npos);
  // Regression: /dev/zero was read until the memory ran out.
  EXPECT_NE(refusal("/dev/zero").find("not a regular file"), std::string::npos);
  EXPECT_NE(refusal(temp.path / "missing").find("No such file or directory"), std::string::npos);
  EXPECT_NE(refusal(huge).find("larger than"), std::string::npos);

  // Regression: a line with no end was read whole before its length was checked.
  EndlessLine endless;
  std::istream in(&endless);
  const replay::ReadResult read = replay::read(in);
  EXPECT_FALSE(read.recording);
  EXPECT_EQ(read.error, "line 3: line too long");
}

// The headless program replaying `file` in an address space of `bytes` at most: its exit status
// (128 and the signal, if one ended it), and what it printed in `printed`.
int replayWithin(const fs::path& file, std::size_t bytes, const fs::path& printed) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit bound{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &bound);
    const int out = ::open(printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execl(CAVEWING_HEADLESS, CAVEWING_HEADLESS, "--replay", file.c_str(), "--headless", nullptr);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Regression: a recording the reader accepted could take 200 MB, a day at a 1000 µs grid 86
// million grid points of work, and memory that ran out aborted the replay.
TEST(HostileReplays, WhatARecordingMayCostIsBoundedAndRunningOutIsRefused) {
  const std::string head =
      "cavewing-replay 2\nsystem-tick-us 1000\ngenerator splitmix64 7\nouter-width 15360\n"
      "player \"ME\"\nevents\n";
  const auto readText = [](const std::string& text) {
    std::istringstream in(text);
    return replay::read(in);
  };
  const std::string last = std::to_string(replay::Recording::maxGridPoints);
  EXPECT_EQ(readText(head + "end " + last + "1\n").error,
            "line 7: the recording is longer than 5529600 grid points (a day's at 64 a second)");
  EXPECT_TRUE(readText(head + "end " + last + "\n").recording);
  std::string events;
  for (std::size_t i = 0; i < replay::Recording::maxEvents; ++i) events += "1 keypress 65\n";
  EXPECT_EQ(readText(head + events + "1 start\nend 2\n").error,
            "line " + std::to_string(7 + replay::Recording::maxEvents) + ": too many events");

  // The most events in the largest file replay within 64 MiB; with little memory left they are
  // refused, as a damaged file is.
  TempFolder temp;
  const fs::path biggest = temp.path / "biggest.replay";
  {
    std::ofstream out(biggest, std::ios::binary);
    out << head << events;
    const std::string comment = "#" + std::string(4000, 'x') + "\n";
    while (static_cast<std::size_t>(out.tellp()) + comment.size() + 8 <=
           replay::Recording::maxBytes)
      out << comment;
    out << "end 2\n";
  }
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than any limit allows";
#endif
  const fs::path printed = temp.path / "printed";
  EXPECT_EQ(replayWithin(biggest, std::size_t{64} << 20, printed), 0) << fileText(printed);
  EXPECT_EQ(replayWithin(biggest, std::size_t{8} << 20, printed), 2) << fileText(printed);
  EXPECT_NE(fileText(printed).find("biggest.replay: not enough memory"), std::string::npos);
}

struct RecorderInFolder {
  TempFolder temp;
  fs::path last = temp.path / "last-game";
  cabinet::Recorder recorder{header(), last.string(), {}};

  static replay::Recording header() {
    replay::Recording r;
    r.seed = 42;
    r.player = "ME";
    return r;
  }
  void record(std::int64_t grid, Kind kind) { recorder.record(Event{.grid = grid, .kind = kind}); }
  replay::Recording onDisk() {
    const replay::ReadResult read = replay::readFile(last.string());
    EXPECT_TRUE(read.recording) << read.error;
    return read.recording.value_or(replay::Recording{});
  }
};

TEST(Recorder, KeepsAPlayableRecordingOnDiskAsTheSittingGoes) {
  RecorderInFolder r;
  Game game;
  r.record(3, Kind::DblClick);
  EXPECT_FALSE(fs::exists(r.last));  // no game started: the last game is left alone
  r.record(5, Kind::Start);
  EXPECT_EQ(r.onDisk().events.size(), 2u);
  r.record(40, Kind::DblClick);
  // Once a second of game time the recording on disk catches up, as it would before a kill.
  r.recorder.observe(game.form, 100);
  replay::Recording kept = r.onDisk();
  EXPECT_EQ(kept.events, r.recorder.recording().events);
  EXPECT_EQ(kept.endGrid, 100);
  r.recorder.observe(game.form, 120);  // within the second: nothing written
  EXPECT_EQ(r.onDisk().endGrid, 100);
  r.record(130, Kind::Close);
  r.recorder.save(131);
  kept = r.onDisk();
  EXPECT_EQ(kept, r.recorder.recording());
  EXPECT_EQ(kept.endGrid, 131);

  // A save the disk refuses (no folder yet) is tried again a second of game time (64 grid
  // points) later: not sooner, not later, and then nothing is due until something changes.
  const fs::path later = r.temp.path / "later", lastLater = later / "last-game";
  cabinet::Recorder refused{RecorderInFolder::header(), lastLater.string(), {}};
  refused.record(Event{.grid = 5, .kind = Kind::Start});
  fs::create_directory(later);
  EXPECT_EQ(refused.nextSave(), 5 + 64);
  refused.observe(game.form, 5 + 63);
  EXPECT_FALSE(fs::exists(lastLater));
  refused.observe(game.form, 5 + 64);
  EXPECT_TRUE(fs::exists(lastLater));
  EXPECT_EQ(refused.nextSave(), std::nullopt);
}

TEST(Recorder, StopsAtTheBoundsTheReaderAccepts) {
  {
    // The longest name the table keeps, all of it to be escaped, still reads back.
    RecorderInFolder r;
    replay::Recording header = RecorderInFolder::header();
    header.player = std::string(form::records::maxFieldBytes, '"');
    cabinet::Recorder recorder(header, r.last.string(), {});
    recorder.record(Event{.grid = 1, .kind = Kind::Start});
    EXPECT_EQ(r.onDisk().player, header.player);
  }
  const std::int64_t lastGrid = replay::Recording::maxDurationUs / 15625;
  {
    // Regression: a window left open more than a day left a last game the reader refused.
    RecorderInFolder r;
    r.record(0, Kind::Start);
    r.recorder.save(lastGrid + 1000);
    r.record(lastGrid + 2000, Kind::Start);
    r.recorder.save(lastGrid + 3000);
    const replay::Recording kept = r.onDisk();
    EXPECT_EQ(kept.endGrid, lastGrid);
    EXPECT_EQ(kept.events.size(), 1u);
    EXPECT_TRUE(r.recorder.full());
  }
  // Regression: so did more events in one sitting than the reader accepts.
  RecorderInFolder r;
  r.record(0, Kind::Start);
  for (std::size_t i = 0; i < replay::Recording::maxEvents + 3; ++i) r.record(7, Kind::KeyPress);
  r.recorder.save(9);
  EXPECT_TRUE(r.recorder.full());
  EXPECT_EQ(r.onDisk().events.size(), replay::Recording::maxEvents);
}

TEST(ThrowAwayTable, AReplayNeedsNoScratchFolderAndTouchesNoFile) {
  // Regression: without a usable TMPDIR the headless replay aborted, and the window's replay
  // wrote the player's real table.
  TempFolder temp;
  const fs::path notAFolder = temp.path / "file";
  writeText(notAFolder, "");
  const char* saved = std::getenv("TMPDIR");
  const std::string before = saved ? saved : "";
  ::setenv("TMPDIR", notAFolder.c_str(), 1);
  replay::Recording recording;
  recording.seed = 7;
  recording.player = "REPLAYED";
  recording.events.push_back(Event{.grid = 1, .kind = Kind::Start});
  recording.endGrid = 2000;
  std::string topRow;
  const cabinet::Outcome outcome = cabinet::replayHeadless(
      recording, nullptr,
      [&](const frmCavewing& f) { topRow = f.lblName[1].Caption + " " + f.lblScores[1].Caption; });
  saved ? ::setenv("TMPDIR", before.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(outcome.phase, "crashed");
  EXPECT_EQ(topRow, "REPLAYED " + outcome.scoreCaption);

  // The same policy for any game: the table lives in memory and no file is made.
  ScoresGame g;
  g.form.throwAwayTable = std::string();
  g.fly(1000);
  g.beginCrash();
  g.form.clock.advance(1300);
  EXPECT_EQ(g.table()[0], Row("ME", "19"));
  EXPECT_EQ(g.host.boxes.size(), 1u);
  EXPECT_TRUE(fs::is_empty(g.programFolder));
  EXPECT_FALSE(fs::exists(g.userFolder));
}

}  // namespace

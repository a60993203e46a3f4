// SPDX-License-Identifier: MIT
// Recordings on disk: reading is bounded and says why a file is refused; the recorder keeps a
// playable recording on disk as the sitting goes and stops at the bounds the reader accepts; a
// replay's table never touches a file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <streambuf>

#include "ScoresFixture.h"
#include "cabinet/Headless.h"
#include "cabinet/Recorder.h"
#include "form/QuotedRecords.h"
#include "replay/Recording.h"

namespace fs = std::filesystem;

namespace {

using cabinet::Event;
using Kind = cabinet::Event::Kind;

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
  // Regression: so did more than a million events in one sitting.
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

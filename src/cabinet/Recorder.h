// SPDX-License-Identifier: MIT
// Records a sitting at the window: every input event with its grid point, from start-up
// on, so that the recording replays the whole sitting exactly. From the first START on, the
// recording is kept on disk as the last game as the sitting goes (brought up to date once a second
// of game time and whenever a game ends), so that a program ended
// by a signal or by its display going away still leaves a playable last game. A game that beat
// the best score kept so far is kept as the best game as well. A recording stops growing at the
// bounds the reader accepts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "form/KeptFile.h"
#include "replay/Event.h"
#include "replay/Recording.h"

class frmCavewing;

namespace cabinet {

class Recorder {
public:
  // `header` holds everything but the events; either path may be empty to keep no such file.
  Recorder(replay::Recording header, std::string lastGamePath, std::string bestGamePath);

  void record(const replay::Event& event);
  // Looks at the game after every change: keeps the recording once when a game has ended, and
  // brings the end of the last game on disk up to date once a second of game time. Returns true
  // once for each game, when its crash has brought up the list (when the rules rank it).
  bool observe(const frmCavewing& form, std::int64_t grid);
  // Brings the last game on disk up to date, if any game was started.
  void save(std::int64_t grid);

  // The grid point at which observe() next brings the last game on disk up to date, if anything
  // is still to be kept there.
  std::optional<std::int64_t> nextSave() const;

  const replay::Recording& recording() const { return recording_; }
  // Whether the recording reached the reader's bounds, and so stopped.
  bool full() const { return full_; }

private:
  void stopAtBound(const std::string& which);
  // Notes in `failing` whether keeping a file failed, saying so once when keeping starts to fail;
  // returns `ok`.
  bool kept(bool ok, const std::string& path, const std::string& error, bool& failing);
  void keepBest();
  std::int64_t saveDue() const;

  replay::Recording recording_;
  std::string lastGamePath_, bestGamePath_;
  std::int64_t bestScore_ = -1;
  bool savedThisGame_ = false;
  bool started_ = false;
  bool full_ = false;
  bool closed_ = false;  // full, and its end is on disk
  form::GrowingFile lastGame_;
  std::size_t eventsOnDisk_ = 0;
  std::size_t endLineAt_ = 0;    // where the end line of the last game on disk starts
  std::int64_t gridTried_ = -1;  // when the last game on disk was last brought up to date, or tried
  bool lastFailing_ = false;     // the last try to keep the last game failed
  bool bestFailing_ = false;     // ... the best game: it is still to be kept
};

}  // namespace cabinet

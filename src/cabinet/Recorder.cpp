// SPDX-License-Identifier: MIT
// The recorder: events into the recording in memory, and the recording onto disk in the player's
// data folder as the sitting goes, by rewriting only its tail (the new event lines and the end
// line) in place.
#include "cabinet/Recorder.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

#include "app/Phase.h"
#include "app/frmCavewing.h"

namespace cabinet {

using replay::Recording;

namespace {

constexpr const char* ScoreNote = "score ";
// The last game on disk is brought up to date (or its failed save tried again) this often.
constexpr std::int64_t SaveEveryUs = std::chrono::microseconds(std::chrono::seconds(1)).count();
// An event line is far shorter than this, so that the most events a recording may hold stay
// within the file bound.
constexpr std::size_t LongestEventLine = 128;
static_assert(Recording::maxEvents * LongestEventLine + 64 * 1024 <= Recording::maxBytes);

// The best game carries its score in its first line: "# score 1234".
std::int64_t keptScore(const std::string& path) {
  std::ifstream in(path);
  // The note is short: no more of the first line is read, whatever the file holds.
  char line[64] = {};
  in.getline(line, sizeof line);
  if (std::string_view(line).rfind(std::string("# ") + ScoreNote, 0) != 0) return -1;
  return frmCavewing::ScoreValue(line + 2 + std::char_traits<char>::length(ScoreNote));
}

// The lines of `r` from its event `from` on, the end line included.
std::string linesFrom(const Recording& r, std::size_t from) {
  Recording tail;
  tail.events.assign(r.events.begin() + static_cast<std::ptrdiff_t>(from), r.events.end());
  tail.endGrid = r.endGrid;
  std::ostringstream text;
  replay::write(text, tail);
  const std::string all = text.str();
  constexpr std::string_view EventsLine = "\nevents\n";
  return all.substr(all.find(EventsLine) + EventsLine.size());
}

std::size_t endLineLength(const Recording& r) { return 5 + std::to_string(r.endGrid).size(); }

}  // namespace

Recorder::Recorder(Recording header, std::string lastGamePath, std::string bestGamePath)
    : recording_(std::move(header)),
      lastGamePath_(std::move(lastGamePath)),
      bestGamePath_(std::move(bestGamePath)),
      bestScore_(keptScore(bestGamePath_)) {}

bool Recorder::kept(bool ok, const std::string& path, const std::string& error, bool& failing) {
  // One line when keeping starts to fail (a full disk fails every try, and may take the last
  // game's few bytes but not the best game's copy), none until both are kept again.
  if (!ok && !lastFailing_ && !bestFailing_)
    std::cerr << "cavewing: cannot keep the recording in " << path << ": " << error
              << "; trying again every second\n";
  failing = !ok;
  return ok;
}

void Recorder::keepBest() {
  std::string error;
  const bool ok =
      replay::writeFile(bestGamePath_, recording_, ScoreNote + std::to_string(bestScore_), error);
  kept(ok, bestGamePath_, error, bestFailing_);
}

void Recorder::stopAtBound(const std::string& which) {
  if (!full_)
    std::cerr << "cavewing: the recording has reached " << which
              << "; the rest of this sitting is not recorded\n";
  full_ = true;
}

void Recorder::record(const replay::Event& event) {
  if (full_) return;
  if (recording_.events.size() >= Recording::maxEvents) {
    stopAtBound(std::to_string(Recording::maxEvents) + " events");
    return save(event.grid);
  }
  if (event.grid > Recording::lastGrid(recording_.systemTickUs)) {
    stopAtBound(Recording::longestSpan(recording_.systemTickUs));
    return save(event.grid);
  }
  recording_.events.push_back(event);
  // The first START puts the recording on disk; observe keeps it up to date from then on.
  if (event.kind == replay::Event::Kind::Start && !started_) {
    started_ = true;
    save(event.grid);
  }
}

bool Recorder::observe(const frmCavewing& f, std::int64_t grid) {
  if (grid >= saveDue()) save(grid);
  if (phaseOf(f) != Phase::Crashed) {
    savedThisGame_ = false;
    return false;
  }
  if (savedThisGame_ || !gameListed(f)) return false;
  savedThisGame_ = true;
  save(grid);
  // The score the high-score list ranks is the one shown at the crash.
  const std::int64_t score = frmCavewing::ScoreValue(f.lblScore.Caption);
  if (score > bestScore_ && !bestGamePath_.empty()) {
    bestScore_ = score;
    keepBest();
  }
  // The recording in memory ends here whether or not the disk took it (a full one ends where
  // it stopped).
  if (!full_) recording_.endGrid = std::max(recording_.endGrid, grid);
  return true;
}

std::optional<std::int64_t> Recorder::nextSave() const {
  const bool behind = eventsOnDisk_ < recording_.events.size() || lastFailing_ || bestFailing_;
  if (!started_ || lastGamePath_.empty() || closed_ || !behind) return std::nullopt;
  return saveDue();
}

std::int64_t Recorder::saveDue() const {
  return gridTried_ + SaveEveryUs / recording_.systemTickUs;
}

void Recorder::save(std::int64_t grid) {
  if (!started_ || lastGamePath_.empty() || closed_) return;
  const std::int64_t lastGrid = Recording::lastGrid(recording_.systemTickUs);
  if (grid > lastGrid) {
    stopAtBound(Recording::longestSpan(recording_.systemTickUs));
    grid = lastGrid;
  }
  gridTried_ = grid;
  recording_.endGrid = grid;
  std::string error;
  // What fails (a full disk, the file-size limit) leaves the file as it was: the last game on
  // disk plays as far as it got, and the next try writes everything since.
  if (!lastGame_.started()) {
    std::ostringstream text;
    replay::write(text, recording_);
    if (!kept(lastGame_.start(lastGamePath_, text.str(), error), lastGamePath_, error,
              lastFailing_))
      return;
    endLineAt_ = text.str().size() - endLineLength(recording_);
  } else {
    const std::string lines = linesFrom(recording_, eventsOnDisk_);
    if (!kept(lastGame_.writeAt(endLineAt_, lines, error), lastGamePath_, error, lastFailing_))
      return;
    endLineAt_ += lines.size() - endLineLength(recording_);
  }
  eventsOnDisk_ = recording_.events.size();
  // A full recording ends where it reached its bounds: the reader accepts no more.
  closed_ = full_;
  // A best game the disk refused is kept now that it takes the last game again.
  if (bestFailing_) keepBest();
}

}  // namespace cabinet

// Keeping the sitting in the player's data folder, in the recording format.
#include "cabinet/Recorder.h"

#include <algorithm>
#include <fstream>
#include <iostream>

#include "app/frmCavewing.h"
#include "cabinet/Phase.h"

namespace cabinet {

namespace {

constexpr const char* ScoreNote = "score ";

// The best game carries its score in its first line: "# score 1234".
std::int64_t keptScore(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  const std::string note = std::string("# ") + ScoreNote;
  if (!std::getline(in, line) || line.rfind(note, 0) != 0) return -1;
  return frmCavewing::ScoreValue(std::string_view(line).substr(note.size()));
}

void keep(const std::string& path, const replay::Recording& r, const std::string& note = {}) {
  if (path.empty()) return;
  if (!replay::writeFile(path, r, note))
    std::cerr << "cavewing: cannot keep the recording in " << path << "\n";
}

}  // namespace

Recorder::Recorder(replay::Recording header, std::string lastGamePath, std::string bestGamePath)
    : recording_(std::move(header)),
      lastGamePath_(std::move(lastGamePath)),
      bestGamePath_(std::move(bestGamePath)),
      bestScore_(keptScore(bestGamePath_)) {}

void Recorder::observe(const frmCavewing& f, std::int64_t grid) {
  if (phaseOf(f) != Phase::Crashed) {
    savedThisGame_ = false;
    return;
  }
  if (savedThisGame_ || !f.lblTitle.Visible) return;
  savedThisGame_ = true;
  save(grid);
  // The score the high-score list ranks is the one shown at the crash.
  const std::int64_t score = frmCavewing::ScoreValue(f.lblScore.Caption);
  if (score > bestScore_) {
    bestScore_ = score;
    keep(bestGamePath_, recording_, ScoreNote + std::to_string(score));
  }
}

void Recorder::save(std::int64_t grid) {
  const bool started = std::any_of(recording_.events.begin(), recording_.events.end(),
                                   [](const Event& e) { return e.kind == Event::Kind::Start; });
  if (!started) return;
  recording_.endGrid = grid;
  keep(lastGamePath_, recording_);
}

}  // namespace cabinet

// Records a sitting at the window: every input event with its grid point, from start-up on, so
// that the recording replays the whole sitting exactly. When a game has ended (the list is up
// after a crash) and when the program ends, the recording is kept as the last game; a game that
// beat the best score kept so far is kept as the best game as well.
#pragma once

#include <string>

#include "replay/Recording.h"

class frmCavewing;

namespace cabinet {

class Recorder {
public:
  // `header` holds everything but the events; either path may be empty to keep no such file.
  Recorder(replay::Recording header, std::string lastGamePath, std::string bestGamePath);

  void record(const Event& event) { recording_.events.push_back(event); }
  // Looks at the game after every change: saves once when a game has ended.
  void observe(const frmCavewing& form, std::int64_t grid);
  // Saves what was played since start-up, if any game was started.
  void save(std::int64_t grid);

private:
  replay::Recording recording_;
  std::string lastGamePath_, bestGamePath_;
  std::int64_t bestScore_ = -1;
  bool savedThisGame_ = false;
};

}  // namespace cabinet

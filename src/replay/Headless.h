// SPDX-License-Identifier: MIT
// Replays a recording without a window, as fast as the machine allows: the final score and
// phase, and on request a trace of one JSON object per grid point with the observable state.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "replay/Recording.h"

class frmCavewing;

namespace replay {

struct Outcome {
  std::int64_t score = 0;    // the counter, one ahead of the label after a crash
  std::string scoreCaption;  // the score as the player saw it and the table ranked it
  std::string phase;
  std::int64_t grid = 0;
};

// One JSON object, on one line, with the observable state of the game at a grid point under the
// rules' own names, and the random values drawn at that grid point in order. At a grid point where
// the rules wrote the high-score table, `tableWritten` is the text they wrote (its 30 lines).
void writeTrace(std::ostream& out, const frmCavewing& form, std::int64_t grid,
                const std::vector<float>& drawn, const std::string* tableWritten = nullptr);

// Plays `recording` to its end (or to the program's end, if it ends on the way) in a cabinet,
// which keeps the player's high-score table out of it (a throw-away one in memory). With
// `trace`, writes a JSON line per grid point. `atEnd`, if given, looks at the whole game as the
// replay leaves it.
Outcome replayHeadless(const Recording& recording, std::ostream* trace = nullptr,
                       const std::function<void(const frmCavewing&)>& atEnd = {});

// The final score (as the player saw it) and phase, as `--replay --headless` prints them.
void writeOutcome(std::ostream& out, const Outcome& outcome);

}  // namespace replay

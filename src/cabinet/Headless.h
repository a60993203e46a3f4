// SPDX-License-Identifier: MIT
// Replays a recording without a window, as fast as the machine allows: the final score and
// phase, and on request a trace of one JSON object per grid point with the observable state.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "form/Host.h"
#include "replay/Recording.h"

class frmCavewing;

namespace cabinet {

// A host that answers like a window nobody looks at: message boxes close at once, there are no
// folders, and the player is `player` (as the first of the name's variables).
class HeadlessHost : public form::Host {
public:
  explicit HeadlessHost(std::string player = {}) : player_(std::move(player)) {}
  void MsgBox(const std::string&, const std::string&) override {}
  void End() override {}
  std::string AppPath() override { return {}; }
  std::string UserDataPath() override { return {}; }
  std::string Environ(const std::string& name) override {
    return name == "NWUSERNAME" ? player_ : std::string();
  }
  void Show() override {}
  // The normal window's; a replay plays at the recorded width, which the cabinet answers.
  float OuterWidth() override;
  void SetFocus(const form::CommandButton&) override {}
  void SetMousePointer(form::MousePointer) override {}
  double Timer() override { return 0; }

private:
  std::string player_;
};

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
// replay leaves it; `look`, if given, looks at it wherever the recorder looks at a sitting: after
// every grid point, and before every replayed event (so after the one before it).
Outcome replayHeadless(const replay::Recording& recording, std::ostream* trace = nullptr,
                       const std::function<void(const frmCavewing&)>& atEnd = {},
                       const std::function<void(const frmCavewing&)>& look = {});

// The final score (as the player saw it) and phase, as `--replay --headless` prints them.
void writeOutcome(std::ostream& out, const Outcome& outcome);

}  // namespace cabinet

// Plays a recording back into a form: seeds its generator, lays it out as recorded, and hands
// each recorded input event to the form right after the timers of its grid point, exactly where
// it happened in the recorded game. Used headless and by the window.
#pragma once

#include <cstddef>
#include <functional>

#include "replay/Recording.h"

class frmCavewing;

namespace replay {

class Replayer {
public:
  // `ended`, if given, tells when the program has ended: no event is delivered after that.
  Replayer(frmCavewing& form, const Recording& recording, std::function<bool()> ended = {});

  // Delivers every event recorded for the grid points reached so far; `shown` learns of each.
  void deliverDue(const std::function<void(const Event&)>& shown = {});
  bool finished() const;
  std::int64_t grid() const;

private:
  frmCavewing& form_;
  const Recording& recording_;
  std::function<bool()> ended_;
  std::size_t next_ = 0;
};

// The four rows of the game-state phase table, by name; "none" for any other combination.
const char* phaseName(const frmCavewing& form);

}  // namespace replay

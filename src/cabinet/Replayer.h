// SPDX-License-Identifier: MIT
// Plays a recording back into a form: hands each recorded input event to the form right after
// the timers of its grid point, exactly where it happened in the recorded game.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include "replay/Event.h"
#include "replay/Recording.h"

class frmCavewing;

namespace cabinet {

class Replayer {
public:
  // `ended` tells when the program has ended: no event is delivered after that.
  Replayer(frmCavewing& form, const replay::Recording& recording, std::function<bool()> ended);

  // Delivers every event recorded for the grid points reached so far; `shown` learns of each.
  void deliverDue(const std::function<void(const replay::Event&)>& shown = {});
  bool finished() const;
  // The grid point of the next recorded event, if one is left.
  std::optional<std::int64_t> nextGrid() const;

private:
  std::int64_t grid() const;

  frmCavewing& form_;
  const replay::Recording& recording_;
  std::function<bool()> ended_;
  std::size_t next_ = 0;
};

}  // namespace cabinet

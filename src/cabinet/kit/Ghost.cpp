// SPDX-License-Identifier: MIT
// The ghost's flight: the recording replayed headless, the helicopter's place taken after every
// grid point from the game's START until its crash ends it.
#include "cabinet/kit/Ghost.h"

#include "app/Phase.h"
#include "app/frmCavewing.h"
#include "cabinet/Headless.h"

namespace cabinet::kit {

Ghost::Ghost(const replay::Recording& recording) {
  std::optional<std::int64_t> start;
  bool over = false;
  // The replay looks after every grid point, and before each replayed event: the last look at a
  // grid point is the state the grid point left.
  replayHeadless(recording, nullptr, {}, [&](const frmCavewing& form) {
    if (over) return;
    const Phase phase = phaseOf(form);
    const std::int64_t grid = form.clock.now() / form.clock.systemTick();
    if (!start) {
      if (phase != Phase::Flying) return;
      start = grid;
    }
    // A New Game in a pause ends the game as surely as a crash does.
    if (phase != Phase::Flying && phase != Phase::Paused && phase != Phase::Crashed) {
      over = true;
      return;
    }
    places_.resize(std::size_t(grid - *start + 1));
    places_.back() = {form.imgCopter.Top, form.imgCopter.Picture};
    over = phase == Phase::Crashed;
  });
}

std::optional<Ghost> Ghost::fromText(std::string_view text) {
  const replay::ReadResult read = replay::read(text);
  if (!read.recording) return std::nullopt;
  Ghost ghost(*read.recording);
  if (ghost.places_.empty()) return std::nullopt;
  return ghost;
}

std::optional<GhostPlace> Ghost::at(std::int64_t sinceStart) const {
  if (sinceStart < 0 || sinceStart >= gridPoints()) return std::nullopt;
  return places_[std::size_t(sinceStart)];
}

}  // namespace cabinet::kit

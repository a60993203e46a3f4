// SPDX-License-Identifier: MIT
// The ghost's flight: the recording replayed headless, the helicopter's place taken after every
// grid point from the game's START until its crash ends it.
#include "cabinet/kit/Ghost.h"

#include <algorithm>

#include "app/Phase.h"
#include "app/frmCavewing.h"
#include "cabinet/Headless.h"

namespace cabinet::kit {

Ghost::Ghost(const replay::Recording& recording) {
  // std::find_if, not std::ranges: the page's compiler (Debian's emscripten) has no ranges::find.
  const auto start =
      std::find_if(recording.events.begin(), recording.events.end(),
                   [](const replay::Event& e) { return e.kind == replay::Event::Kind::Start; });
  if (start == recording.events.end()) return;
  bool over = false;
  // The replay looks after every grid point, and before each replayed event: the look before
  // START's own is the place the game starts from (START moves nothing), and the last look at a
  // grid point after it is the state that grid point left.
  replayHeadless(recording, nullptr, {}, [&](const frmCavewing& form) {
    const std::int64_t sinceStart = form.clock.now() / form.clock.systemTick() - start->grid;
    if (over || sinceStart < 0) return;
    const Phase phase = phaseOf(form);
    const GhostPlace place{form.imgCopter.Top, form.imgCopter.Picture};
    if (sinceStart == 0 && phase == Phase::Ready) {
      places_ = {place};
      return;
    }
    // A New Game in a pause ends the game as surely as a crash does; a START that did not fly
    // leaves no ghost.
    if (places_.empty() ||
        (phase != Phase::Flying && phase != Phase::Paused && phase != Phase::Crashed)) {
      over = true;
      return;
    }
    places_.resize(std::size_t(sinceStart + 1), place);
    places_.back() = place;
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

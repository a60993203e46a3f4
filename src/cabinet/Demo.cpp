// SPDX-License-Identifier: MIT
// The demo: the autopilot's presses, START in the ready phase, and the list's few seconds.
#include "cabinet/Demo.h"

#include "app/Phase.h"
#include "app/frmCavewing.h"

namespace cabinet {

void Demo::step(frmCavewing& form, const std::function<void(const replay::Event&)>& input) {
  // Pressed where the pilot's hand rests.
  constexpr float X = autopilot::HandX, Y = autopilot::HandY;
  // The pilot's hand goes through the player's events, so that a recording keeps it.
  if (const auto press = pilot_.nextHand(form)) {
    const auto kind = *press ? replay::Event::Kind::Down : replay::Event::Kind::Up;
    input(replay::Event{.kind = kind, .button = frmCavewing::LeftButton, .x = X, .y = Y});
  }
  if (phaseOf(form) == Phase::Ready) {
    input(replay::Event{.kind = replay::Event::Kind::Start});
    return;
  }
  if (!gameListed(form)) return;
  // The list after a crash: shown for a while, then a click starts the next game.
  const std::int64_t now = form.clock.now();
  if (listSince_ < 0) listSince_ = now;
  if (now - listSince_ < ListShownUs) return;
  listSince_ = -1;
  // A click, as a player makes it.
  for (auto kind : {replay::Event::Kind::Down, replay::Event::Kind::Up})
    input(replay::Event{.kind = kind, .button = frmCavewing::LeftButton, .x = X, .y = Y});
}

}  // namespace cabinet

// SPDX-License-Identifier: MIT
// A recording's events handed to the form right after the timers of their grid points.
#include "cabinet/Replayer.h"

#include <utility>

#include "app/frmCavewing.h"
#include "cabinet/Deliver.h"

namespace cabinet {

Replayer::Replayer(frmCavewing& form, const replay::Recording& recording,
                   std::function<bool()> ended)
    : form_(form), recording_(recording), ended_(std::move(ended)) {}

std::int64_t Replayer::grid() const { return form_.clock.now() / form_.clock.systemTick(); }

void Replayer::deliverDue(const std::function<void(const replay::Event&)>& shown) {
  const auto& events = recording_.events;
  while (next_ < events.size() && events[next_].grid <= grid() && !ended_()) {
    const replay::Event& e = events[next_++];
    if (shown) shown(e);
    deliver(form_, e);
  }
}

bool Replayer::finished() const { return grid() >= recording_.endGrid; }

std::optional<std::int64_t> Replayer::nextGrid() const {
  if (next_ >= recording_.events.size()) return std::nullopt;
  return recording_.events[next_].grid;
}

}  // namespace cabinet

#include "replay/Replayer.h"

#include <utility>

#include "app/frmCavewing.h"
#include "replay/Deliver.h"

namespace replay {

Replayer::Replayer(frmCavewing& form, const Recording& recording, std::function<bool()> ended)
    : form_(form), recording_(recording), ended_(std::move(ended)) {}

std::int64_t Replayer::grid() const { return form_.clock.now() / form_.clock.systemTick(); }

void Replayer::deliverDue(const std::function<void(const Event&)>& shown) {
  const auto& events = recording_.events;
  while (next_ < events.size() && events[next_].grid <= grid() && !(ended_ && ended_())) {
    const Event& e = events[next_++];
    if (shown) shown(e);
    deliver(form_, e);
  }
}

bool Replayer::finished() const { return grid() >= recording_.endGrid; }

const char* phaseName(const frmCavewing& f) {
  const bool r = f.gameRunning, h = f.halted, o = f.gameOver, c = f.crashed;
  if (!r && h && !o && !c) return "ready";
  if (r && !h && !o && !c) return "flying";
  if (r && h && !o && !c) return "paused";
  // A crash stops the game's run at once; the table's crashed row is what follows the contact.
  if (h && o && c) return "crashed";
  return "none";
}

}  // namespace replay

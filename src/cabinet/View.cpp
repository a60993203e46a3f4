// SPDX-License-Identifier: MIT
// The picture between grid points: the moving controls' places at the last two grid points, the
// cave drawn between them where it moved steadily, the helicopter on the line through its
// successive positions, and the state itself wherever anything jumped.
#include "cabinet/View.h"

#include <algorithm>
#include <functional>

#include "app/Phase.h"

namespace cabinet {

namespace {

// The helicopter glides this many steps further behind than the cave: its timers move it at
// least every second step, so its next position is always known before the picture needs it.
constexpr double CopterLag = 1;
// It keeps the positions of its last moves: enough to draw the lag's stretch of its path.
constexpr std::size_t CopterStops = 4;

float between(float from, float to, double fraction) {
  return static_cast<float>(from + fraction * (double{to} - from));
}

}  // namespace

View::Snapshot View::snapshot() const {
  Snapshot s;
  s.grid = form_.clock.now() / form_.clock.systemTick();
  s.flying = phaseOf(form_) == Phase::Flying;
  const auto keep = [](const form::Control& c) { return Place{c.Left, c.Top, c.Visible}; };
  for (int i = 0; i < Blocks; ++i) s.places[std::size_t(i)] = keep(form_.shptunnel[i]);
  s.places[Obstacle] = keep(form_.shpTunnelM);
  s.places[Copter] = keep(form_.imgCopter);
  return s;
}

void View::follow() {
  Snapshot now = snapshot();
  if (now.grid != current_.grid) {
    previous_ = current_;
    current_ = now;
    copterStops(now);
    return;
  }
  if (now == current_) return;
  // An event between grid points changed the picture: the step is over, the state stands until
  // the next grid point, and the helicopter's path starts again where it is.
  previous_ = current_ = now;
  stops_.assign(1, Stop{double(now.grid), now.places[Copter].Top});
}

void View::copterStops(const Snapshot& now) {
  const Place& copter = now.places[Copter];
  const double grid = double(now.grid);
  if (!copter.Visible || stops_.empty()) {
    stops_.assign(1, Stop{grid, copter.Top});
    return;
  }
  if (copter.Top == stops_.back().top) return;
  // It stood still (at the top of a climb, before its first move): the path takes it on from
  // where it stood as late as its timers could have moved it.
  const double longestMove = 1 + CopterLag;
  if (grid - stops_.back().grid > longestMove)
    stops_.push_back(Stop{grid - longestMove, stops_.back().top});
  stops_.push_back(Stop{grid, copter.Top});
  if (stops_.size() > CopterStops) stops_.erase(stops_.begin(), stops_.end() - CopterStops);
}

std::int64_t View::gridPointFor(std::int64_t frameUs) const {
  const std::int64_t tick = form_.clock.systemTick();
  return (frameUs + tick - 1) / tick;
}

double View::fractionAt(std::int64_t frameUs) const {
  const double behind = double(form_.clock.now() - frameUs) / double(form_.clock.systemTick());
  return std::clamp(1 - behind, 0.0, 1.0);
}

std::optional<int> View::indexOf(const form::Control& control) const {
  // Asked for every control in every frame: a block is found by where it lies in its row.
  const std::less<const form::Control*> before;
  const form::Shape* first = &form_.shptunnel[0];
  if (!before(&control, first) && !before(&form_.shptunnel[Blocks - 1], &control))
    return int(static_cast<const form::Shape*>(&control) - first);
  if (&control == &form_.shpTunnelM) return Obstacle;
  if (&control == &form_.imgCopter) return Copter;
  return std::nullopt;
}

// The view knows the step that leads to the game's grid point, and the game flies (every event
// delivered since is followed).
bool View::current() const {
  return current_.grid == form_.clock.now() / form_.clock.systemTick() && current_.flying;
}

View::Position View::position(const form::Control& control, double fraction) const {
  const Position state{control.Left, control.Top};
  const std::optional<int> index = indexOf(control);
  if (!index || !current()) return state;
  // Changed behind the view's back: drawn as it is.
  if (current_.places[std::size_t(*index)] != Place{control.Left, control.Top, control.Visible})
    return state;
  fraction = std::clamp(fraction, 0.0, 1.0);
  return *index == Copter ? copterAt(fraction) : caveAt(*index, fraction);
}

// A block or the obstacle that moved left by at most a tick's scroll glides; one put back at the
// right end, or placed anew, is drawn where it is.
View::Position View::caveAt(int index, double fraction) const {
  const Place& from = previous_.places[std::size_t(index)];
  const Place& to = current_.places[std::size_t(index)];
  const float moved = to.Left - from.Left;
  const bool steady = previous_.grid + 1 == current_.grid && previous_.flying && from.Visible &&
                      to.Visible && moved <= 0 && moved >= -frmCavewing::ScrollStep;
  if (!steady) return {to.Left, to.Top};
  return {between(from.Left, to.Left, fraction), to.Top};
}

View::Position View::copterAt(double fraction) const {
  const float left = current_.places[Copter].Left;
  const double at = double(current_.grid) - 1 - CopterLag + fraction;
  if (at <= stops_.front().grid) return {left, stops_.front().top};
  for (std::size_t i = 1; i < stops_.size(); ++i) {
    const Stop& from = stops_[i - 1];
    const Stop& to = stops_[i];
    if (at <= to.grid)
      return {left, between(from.top, to.top, (at - from.grid) / (to.grid - from.grid))};
  }
  return {left, stops_.back().top};
}

}  // namespace cabinet

// SPDX-License-Identifier: MIT
// The picture of the game at any instant. The rules change the state only at grid points (64 a
// second); a screen shows 60 to 144 frames a second. Between two grid points the view draws what
// moves steadily (the cave's blocks, the obstacle, the helicopter) between where the rules put it
// at the last two grid points, and everything else, and whatever jumped (a block put back at the
// right end, the obstacle placed anew, a New Game, a crash, a pause, the list), where it is.
//
// The view trails the game, it never runs ahead of it: a front end runs the game to the first
// grid point at or after the frame's time (`gridPointFor`), and the frame shows the step that
// leads to it, `fraction` of the way (`fractionAt`). A frame at a grid point shows exactly the
// state; a frame between two shows the cave up to one step behind the state, never where the
// rules did not put it.
//
// The helicopter moves on its own 30 ms timers, every second step, sometimes two steps running,
// and stands still at the top of a climb: drawn only between the last two grid points it would
// move one step and stand the next. So it glides on the straight line through its successive
// positions, one step further behind than the cave: at a grid point it is exactly where the rules
// put it, unless they moved it at that very grid point; then it is still on its way there.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/frmCavewing.h"

namespace cabinet {

class View {
public:
  explicit View(const frmCavewing& form) : form_(form) {}

  // Follows the game: after every grid point, and after every event delivered between two.
  void follow();

  // The first grid point at or after `frameUs` (microseconds of game time): where the game must
  // stand for the frame.
  std::int64_t gridPointFor(std::int64_t frameUs) const;
  // How far the frame at `frameUs` has come along the step that leads to the game's current
  // grid point: 1 at the grid point itself, and 1 too when the game has not reached the frame's
  // grid point (then it shows the state, as a frame always did).
  double fractionAt(std::int64_t frameUs) const;

  struct Position {
    float Left = 0, Top = 0;
    friend bool operator==(const Position&, const Position&) = default;
  };
  // Where `control`, one of the form's, is drawn `fraction` of the way along the current step.
  Position position(const form::Control& control, double fraction) const;

private:
  // What the view keeps of a moving control at a grid point.
  struct Place {
    float Left = 0, Top = 0;
    bool Visible = false;
    friend bool operator==(const Place&, const Place&) = default;
  };
  static constexpr int Blocks = frmCavewing::LastFloorBlock + 1;
  static constexpr int Obstacle = Blocks;
  static constexpr int Copter = Obstacle + 1;
  static constexpr int Moving = Copter + 1;

  // The moving controls and the game's phase as the rules left them at one grid point.
  struct Snapshot {
    std::int64_t grid = -1;
    bool flying = false;
    std::array<Place, Moving> places{};
    bool operator==(const Snapshot&) const = default;
  };
  // A grid point at which the helicopter stood somewhere new.
  struct Stop {
    double grid = 0;
    float top = 0;
  };

  Snapshot snapshot() const;
  std::optional<int> indexOf(const form::Control& control) const;  // none: it does not move
  bool current() const;
  Position caveAt(int index, double fraction) const;
  Position copterAt(double fraction) const;
  void copterStops(const Snapshot& now);

  const frmCavewing& form_;
  Snapshot previous_, current_;
  std::vector<Stop> stops_;  // the helicopter's last few, oldest first
};

}  // namespace cabinet

// SPDX-License-Identifier: MIT
// The input vocabulary: what a player can do to the window, in the form's own terms (button
// codes, shift state, key and character codes, positions in twips, control names). Every front
// end turns its toolkit's events into these, a recording stores them, and the cabinet delivers
// them to the form's handlers.
#pragma once

#include <cstdint>
#include <string>

namespace replay {

struct Event {
  enum class Kind {
    Start,     // START clicked
    Down,      // a mouse button pressed: on the window, or on the helicopter
    Up,        // a mouse button let go
    Release,   // a release the window lost while it had no focus
    DblClick,  // the second press of a double click
    KeyDown,   // a key went down: key code and shift state
    KeyPress,  // a key produced a character
    Menu,      // a menu command, by its control name
    Label,     // a click on a label of the high-score list, by control name and index
    Close,     // the window's close box
  };
  std::int64_t grid = 0;  // the grid point at which it happened
  Kind kind = Kind::Start;
  bool onCopter = false;  // Down and Up: pressed on the helicopter rather than the window
  int button = 0, shift = 0;
  float x = 0, y = 0;     // twips
  int code = 0;           // key code, character code, or label index
  std::string name = {};  // menu or label control name

  friend bool operator==(const Event&, const Event&) = default;
};

}  // namespace replay

// SPDX-License-Identifier: MIT
// The player's mouse buttons, routed as the window's controls would take them: a left click on a
// label of the high-score list goes to its click handler (other buttons over it do nothing); a
// press on the visible helicopter goes to it, with the releases of the buttons held from then on,
// at points of its own picture; every other press goes to the window. The second press of a left
// double click is the window's double click; another button's stays a press. A release whose
// press the window never saw goes nowhere; the buttons held when the window loses the focus are
// let go at once (their releases may never come), once the running handler has returned.
// The Up arrow holds the left button too, pressed on the window where nothing else takes a click
// (`KeyX`, `KeyY`: the window's top-left corner): the window gets one press while the key or the
// mouse holds it, and one release once both have let go.
#pragma once

#include <functional>

#include "app/frmCavewing.h"
#include "replay/Event.h"

namespace cabinet::kit {

class Pointer {
public:
  using Deliver = std::function<void(const replay::Event&)>;
  Pointer(const frmCavewing& form, Deliver deliver);

  // At a point of the field, in twips; `secondOfDouble`: the second press of a quick double click.
  void press(int button, int shift, float x, float y, bool secondOfDouble = false);
  void release(int button, int shift, float x, float y);
  // The window lost the focus: returns false when a handler is running (a message box is open),
  // and the front end tries again once it has returned.
  bool releaseLost();
  // The Up arrow goes down and up (its repeats are not presses).
  void pressKey(int shift);
  void releaseKey(int shift);
  // Whether the buttons held now were pressed on the helicopter, which then gets their releases.
  bool helicopterHolds() const { return holding() && copterHolds_; }

  static constexpr float KeyX = 0, KeyY = 0;

private:
  bool holding() const { return held_ != 0 || keyHolds_; }
  bool leftHeld() const { return (held_ & frmCavewing::LeftButton) || keyHolds_; }
  bool onCopter(float x, float y) const;
  replay::Event mouseEvent(replay::Event::Kind kind, int button, int shift, float x, float y) const;

  const frmCavewing& form_;
  Deliver deliver_;
  int held_ = 0;              // buttons pressed on the field and not yet let go
  bool keyHolds_ = false;     // the Up arrow holds the left button
  bool copterHolds_ = false;  // the helicopter took the first of them, so it gets the releases
};

}  // namespace cabinet::kit

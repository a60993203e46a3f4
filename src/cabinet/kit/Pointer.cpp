// SPDX-License-Identifier: MIT
// The player's buttons routed as the window's controls take them: list labels, the helicopter,
// the window, and the Up arrow as the left button.
#include "cabinet/kit/Pointer.h"

#include "cabinet/ListClicks.h"

namespace cabinet::kit {

Pointer::Pointer(const frmCavewing& form, Deliver deliver)
    : form_(form), deliver_(std::move(deliver)) {}

void Pointer::press(int button, int shift, float x, float y, bool secondOfDouble) {
  if (button == frmCavewing::NoButton) return;
  // A label of the high-score list answers a left click; other buttons over it do nothing.
  if (!holding()) {
    if (auto click = listLabelClickAt(form_, x, y)) {
      if (button == frmCavewing::LeftButton) deliver_(*click);
      return;
    }
  }
  // The left button that the key already holds is not pressed again.
  if (button == frmCavewing::LeftButton && leftHeld()) {
    held_ |= button;
    return;
  }
  if (secondOfDouble && button == frmCavewing::LeftButton) {
    if (!holding()) copterHolds_ = false;
    held_ |= button;
    deliver_(replay::Event{.kind = replay::Event::Kind::DblClick});
    return;
  }
  if (!holding()) copterHolds_ = onCopter(x, y);
  held_ |= button;
  deliver_(mouseEvent(replay::Event::Kind::Down, button, shift, x, y));
}

void Pointer::release(int button, int shift, float x, float y) {
  if (!(held_ & button)) return;
  held_ &= ~button;
  if (button == frmCavewing::LeftButton && leftHeld()) return;  // the key still holds it
  deliver_(mouseEvent(replay::Event::Kind::Up, button, shift, x, y));
}

void Pointer::pressKey(int shift) {
  if (keyHolds_) return;
  const bool mouseHoldsLeft = leftHeld();
  if (!holding()) copterHolds_ = false;
  keyHolds_ = true;
  if (!mouseHoldsLeft)
    deliver_(mouseEvent(replay::Event::Kind::Down, frmCavewing::LeftButton, shift, KeyX, KeyY));
}

void Pointer::releaseKey(int shift) {
  if (!keyHolds_) return;
  keyHolds_ = false;
  if (!leftHeld())
    deliver_(mouseEvent(replay::Event::Kind::Up, frmCavewing::LeftButton, shift, KeyX, KeyY));
}

bool Pointer::releaseLost() {
  if (!holding()) return true;
  if (form_.clock.delivering()) return false;
  held_ = 0;
  keyHolds_ = false;
  deliver_(replay::Event{.kind = replay::Event::Kind::Release});
  return true;
}

bool Pointer::onCopter(float x, float y) const {
  const form::Image& copter = form_.imgCopter;
  return copter.Visible && x >= copter.Left && x < copter.Left + copter.Width && y >= copter.Top &&
         y < copter.Top + copter.Height;
}

// The helicopter hears of a press at a point of its own picture, the window at a point of its.
replay::Event Pointer::mouseEvent(replay::Event::Kind kind, int button, int shift, float x,
                                  float y) const {
  const form::Image& copter = form_.imgCopter;
  return replay::Event{.kind = kind,
                       .onCopter = copterHolds_,
                       .button = button,
                       .shift = shift,
                       .x = copterHolds_ ? x - copter.Left : x,
                       .y = copterHolds_ ? y - copter.Top : y};
}

}  // namespace cabinet::kit

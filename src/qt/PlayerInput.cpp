// SPDX-License-Identifier: MIT
// Mouse and key events of the playfield, routed to the form's handlers: presses on the visible
// helicopter go to it, all others to the window; releases go where the first held button was
// pressed; the second press of a left double click arrives as the window's double click. When
// the window loses the focus while a button is held, its release may never come, so the held
// buttons are let go at once: the helicopter must not climb on by itself.
#include "qt/PlayerInput.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "qt/EventMapping.h"
#include "qt/GameWindow.h"
#include "qt/ListClicks.h"

using eventmapping::buttonCode;
using eventmapping::shiftState;

PlayerInput::PlayerInput(GameWindow& window) : window_(window) {
  retry_.setSingleShot(true);
  retry_.setInterval(10);
  connect(&retry_, &QTimer::timeout, this, &PlayerInput::releaseLostButtons);
  window.installEventFilter(this);
  window.playfield()->installEventFilter(this);
}

bool PlayerInput::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_) {
    if (event->type() == QEvent::WindowDeactivate) releaseLostButtons();
    return false;
  }
  if (watched != window_.playfield()) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
      mouse(static_cast<const QMouseEvent&>(*event));
      return true;
    case QEvent::KeyPress:
      // Keys that the focused START button passes on to its parent are not the window's.
      if (!window_.playfield()->hasFocus()) return false;
      key(static_cast<const QKeyEvent&>(*event));
      return true;
    case QEvent::FocusOut: {
      const Qt::FocusReason reason = static_cast<const QFocusEvent&>(*event).reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        releaseLostButtons();
      return false;
    }
    default:
      return false;
  }
}

void PlayerInput::mouse(const QMouseEvent& event) {
  const int button = buttonCode(event.button());
  if (button == frmCavewing::NoButton) return;
  const int shift = shiftState(event.modifiers());
  const QPointF at = twips(event.position());
  const bool pressing = event.type() != QEvent::MouseButtonRelease;
  // A label of the high-score list answers a left click; other buttons over it do nothing.
  if (pressing && held_ == 0) {
    if (auto click = listLabelClickAt(window_.form(), window_.playfield()->twipsToWidget(),
                                      event.position())) {
      if (button == frmCavewing::LeftButton) window_.deliver(*click);
      return;
    }
  }
  switch (event.type()) {
    case QEvent::MouseButtonPress:
      press(button, shift, at);
      break;
    case QEvent::MouseButtonDblClick:
      // Qt reports the second press of a quick double click as the double click alone. Only
      // the left button's is the window's double click; any other stays a press.
      if (button != frmCavewing::LeftButton) {
        press(button, shift, at);
        break;
      }
      if (held_ == 0) copterHolds_ = false;
      held_ |= button;
      window_.deliver(cabinet::Event{.kind = cabinet::Event::Kind::DblClick});
      break;
    case QEvent::MouseButtonRelease:
      release(button, shift, at);
      break;
    default:
      break;
  }
}

void PlayerInput::press(int button, int shift, QPointF at) {
  if (held_ == 0) copterHolds_ = onCopter(at);
  held_ |= button;
  window_.deliver(mouseEvent(cabinet::Event::Kind::Down, button, shift, at));
}

void PlayerInput::release(int button, int shift, QPointF at) {
  // A release whose press the window never saw, or that was already let go when the focus went.
  if (!(held_ & button)) return;
  held_ &= ~button;
  window_.deliver(mouseEvent(cabinet::Event::Kind::Up, button, shift, at));
}

// The helicopter hears of a press at a point of its own picture, the window at a point of its.
cabinet::Event PlayerInput::mouseEvent(cabinet::Event::Kind kind, int button, int shift,
                                       QPointF at) const {
  const form::Image& copter = window_.form().imgCopter;
  const QPointF origin = copterHolds_ ? QPointF(copter.Left, copter.Top) : QPointF();
  return cabinet::Event{.kind = kind,
                        .onCopter = copterHolds_,
                        .button = button,
                        .shift = shift,
                        .x = float(at.x() - origin.x()),
                        .y = float(at.y() - origin.y())};
}

void PlayerInput::key(const QKeyEvent& event) {
  const std::optional<int> code = eventmapping::keyCode(event.key());
  const std::optional<int> ascii =
      eventmapping::keyAscii(event.key(), event.modifiers(), event.text());
  const int shift = shiftState(event.modifiers());
  using Kind = cabinet::Event::Kind;
  if (code) window_.deliver(cabinet::Event{.kind = Kind::KeyDown, .shift = shift, .code = *code});
  if (ascii) window_.deliver(cabinet::Event{.kind = Kind::KeyPress, .code = *ascii});
}

void PlayerInput::releaseLostButtons() {
  if (held_ == 0) return;
  // The focus can go while a handler waits in a message box; the release follows its return.
  if (window_.form().clock.delivering()) {
    retry_.start();
    return;
  }
  held_ = 0;
  window_.deliver(cabinet::Event{.kind = cabinet::Event::Kind::Release});
}

QPointF PlayerInput::twips(QPointF widgetPos) const {
  return window_.playfield()->twipsToWidget().inverted().map(widgetPos);
}

bool PlayerInput::onCopter(QPointF at) const {
  const form::Image& copter = window_.form().imgCopter;
  return copter.Visible && at.x() >= copter.Left && at.x() < copter.Left + copter.Width &&
         at.y() >= copter.Top && at.y() < copter.Top + copter.Height;
}

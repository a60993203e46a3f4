// SPDX-License-Identifier: MIT
// Mouse and key events of the playfield, in the kit's terms: Qt reports the second press of a
// quick double click as the double click alone, and the window losing the focus (to another
// window or to a popup) as a deactivation or a focus change.
#include "qt/PlayerInput.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "qt/EventMapping.h"
#include "qt/GameWindow.h"

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
  const int shift = shiftState(event.modifiers());
  const QPointF at = twips(event.position());
  const float x = float(at.x()), y = float(at.y());
  cabinet::kit::Pointer& pointer = window_.kit().pointer();
  if (event.type() == QEvent::MouseButtonRelease)
    pointer.release(button, shift, x, y);
  else {
    if (button == frmCavewing::LeftButton) window_.timePress();
    pointer.press(button, shift, x, y, event.type() == QEvent::MouseButtonDblClick);
  }
}

bool PlayerInput::helicopterHolds() const { return window_.kit().pointer().helicopterHolds(); }

void PlayerInput::key(const QKeyEvent& event) {
  const std::string name = eventmapping::keyName(event.key());
  window_.kit().key(cabinet::kit::KeyStroke{
      .name = name,
      .code = eventmapping::keyCode(event.key()),
      .shift = shiftState(event.modifiers()),
      .character = eventmapping::keyAscii(event.key(), event.modifiers(), event.text()).value_or(0),
      .autoRepeat = event.isAutoRepeat()});
}

void PlayerInput::releaseLostButtons() {
  // The focus can go while a handler waits in a message box; the release follows its return.
  if (!window_.kit().pointer().releaseLost()) retry_.start();
}

QPointF PlayerInput::twips(QPointF widgetPos) const {
  return window_.playfield()->twipsToWidget().inverted().map(widgetPos);
}

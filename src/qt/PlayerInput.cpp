// SPDX-License-Identifier: MIT
// Mouse and key events of the playfield, in the kit's terms: Qt reports the second press of a
// quick double click as the double click alone, and the window losing the focus (to another
// window or to a popup) as a deactivation or a focus change. A key's release is the kit's
// wherever the focus has gone in the window since its press (START passes it on to the field).
// X repeats a held key as a release and a press at the same instant, and Qt does not always
// mark them as repeats (it misses them on a busy machine): a release waits a moment for a press
// of its key at its instant, and such a pair is a repeat.
#include "qt/PlayerInput.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <utility>

#include "cabinet/kit/Menus.h"
#include "qt/EventMapping.h"
#include "qt/Playfield.h"

using eventmapping::buttonCode;
using eventmapping::shiftState;

PlayerInput::PlayerInput(QWidget& window, Playfield& playfield, cabinet::kit::Kit& kit,
                         std::function<void()> pressTimed)
    : window_(window), playfield_(playfield), kit_(kit), pressTimed_(std::move(pressTimed)) {
  retry_.setSingleShot(true);
  retry_.setInterval(10);
  connect(&retry_, &QTimer::timeout, this, &PlayerInput::releaseLostButtons);
  releaseWaits_.setSingleShot(true);
  releaseWaits_.setInterval(20);
  connect(&releaseWaits_, &QTimer::timeout, this, &PlayerInput::deliverWaitingRelease);
  window.installEventFilter(this);
  playfield.installEventFilter(this);
}

bool PlayerInput::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_) {
    if (event->type() == QEvent::WindowDeactivate) releaseLostButtons();
    if (event->type() == QEvent::ShortcutOverride)
      return keepsFromMenuBar(static_cast<QKeyEvent&>(*event));
    return false;
  }
  if (event->type() == QEvent::KeyRelease) {
    keyReleased(static_cast<const QKeyEvent&>(*event));
    return false;
  }
  if (event->type() == QEvent::KeyPress) repeatedKey_ = repeats(static_cast<QKeyEvent&>(*event));
  if (watched != &playfield_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
      mouse(static_cast<const QMouseEvent&>(*event));
      return true;
    case QEvent::KeyPress:
      // Keys that the focused START button passes on to its parent are not the window's.
      if (!playfield_.hasFocus()) break;
      key(static_cast<const QKeyEvent&>(*event));
      return true;
    case QEvent::FocusOut: {
      const Qt::FocusReason reason = static_cast<const QFocusEvent&>(*event).reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        releaseLostButtons();
      break;
    }
    default:
      break;
  }
  return false;
}

void PlayerInput::mouse(const QMouseEvent& event) {
  const int button = buttonCode(event.button());
  const int shift = shiftState(event.modifiers());
  const QPointF at = twips(event.position());
  const float x = float(at.x()), y = float(at.y());
  cabinet::kit::Pointer& pointer = kit_.pointer();
  if (event.type() == QEvent::MouseButtonRelease)
    pointer.release(button, shift, x, y);
  else {
    if (button == frmCavewing::LeftButton) pressTimed_();
    pointer.press(button, shift, x, y, event.type() == QEvent::MouseButtonDblClick);
  }
}

// The menu bar watches the window for Alt alone (which lights its first menu and takes the keys,
// Esc included, until Esc gives them back) and holds its menus' access keys as shortcuts (Alt+H
// does the same). Both go by this override of a key with Alt: taken here, it is neither, and the
// key goes on to the field as any other. Only while every menu is off: otherwise the menu bar
// answers Alt as ever.
bool PlayerInput::keepsFromMenuBar(QKeyEvent& event) const {
  const bool alt = event.key() == Qt::Key_Alt || (event.modifiers() & Qt::AltModifier);
  if (!alt || !cabinet::kit::menusOff(kit_.cabinet().form())) return false;
  event.accept();
  return true;
}

bool PlayerInput::helicopterHolds() const { return kit_.pointer().helicopterHolds(); }

void PlayerInput::key(const QKeyEvent& event) {
  Stroke s = stroke(event);
  s.autoRepeat = s.autoRepeat || repeatedKey_;
  kit_.key(s.kit());
}

void PlayerInput::keyReleased(const QKeyEvent& event) {
  deliverWaitingRelease();
  if (event.isAutoRepeat()) return;
  waitingRelease_ = stroke(event);
  waitingRelease_->qtKey = event.key();
  waitingRelease_->timestamp = event.timestamp();
  releaseWaits_.start();
}

bool PlayerInput::repeats(const QKeyEvent& press) {
  if (!waitingRelease_) return press.isAutoRepeat();
  // Only the window system's own (events made up by a program carry no scan code).
  const bool pair = press.nativeScanCode() != 0 && waitingRelease_->qtKey == press.key() &&
                    waitingRelease_->timestamp == press.timestamp();
  if (pair) {
    releaseWaits_.stop();
    waitingRelease_.reset();
  } else {
    deliverWaitingRelease();
  }
  return pair || press.isAutoRepeat();
}

void PlayerInput::deliverWaitingRelease() {
  releaseWaits_.stop();
  if (!waitingRelease_) return;
  // Not into a running handler (a box): once it has returned.
  if (kit_.cabinet().form().clock.delivering()) {
    releaseWaits_.start();
    return;
  }
  const Stroke s = *std::exchange(waitingRelease_, std::nullopt);
  kit_.keyReleased(s.kit());
}

PlayerInput::Stroke PlayerInput::stroke(const QKeyEvent& event) {
  return Stroke{
      .name = eventmapping::keyName(event.key()),
      .code = eventmapping::keyCode(event.key()),
      .shift = shiftState(event.modifiers()),
      .character = eventmapping::keyAscii(event.key(), event.modifiers(), event.text()).value_or(0),
      .autoRepeat = event.isAutoRepeat()};
}

void PlayerInput::releaseLostButtons() {
  // The focus can go while a handler waits in a message box; the release follows its return.
  if (!kit_.pointer().releaseLost()) retry_.start();
}

QPointF PlayerInput::twips(QPointF widgetPos) const {
  return playfield_.twipsToWidget().inverted().map(widgetPos);
}

// SPDX-License-Identifier: MIT
// The stand-still: which window events mean the window went away in flight, stopping the
// real-time pump under the overlay, and starting it again, with no time caught up, at the first
// click or key.
#include "qt/StandStill.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include "qt/FirstInput.h"
#include "qt/GameWindow.h"

StandStill::StandStill(GameWindow& window) : QObject(&window), window_(window) {
  window.installEventFilter(this);
  if (window.windowHandle()) window.windowHandle()->installEventFilter(this);
}

bool StandStill::eventFilter(QObject* watched, QEvent* event) {
  // The moments the window goes away; a window that never came to the front (no window manager
  // gave it the focus) flies on.
  switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::WindowStateChange:
    case QEvent::Hide:
    case QEvent::Expose:
      if (!standing() && wentAway(event->type()) && flying()) begin();
      break;
    case QEvent::WinIdChange:  // a new native window: watch its exposure
      if (watched == &window_ && window_.windowHandle())
        window_.windowHandle()->installEventFilter(this);
      break;
    default:
      break;
  }
  return false;
}

bool StandStill::wentAway(QEvent::Type type) const {
  switch (type) {
    case QEvent::WindowDeactivate:
      return QApplication::activeWindow() != &window_;
    case QEvent::WindowStateChange:
      return window_.isMinimized();
    case QEvent::Expose:
      return window_.windowHandle() && !window_.windowHandle()->isExposed();
    default:  // hidden
      return true;
  }
}

// Only flight moves on by itself; the ready screen, a pause and the list wait anyway. The demo
// flies for no one, so it flies on.
bool StandStill::flying() const {
  const cabinet::Cabinet& cabinet = window_.cabinet();
  return cabinet.phase() == cabinet::Phase::Flying && !cabinet.demoPlaying() &&
         window_.pump().running();
}

void StandStill::begin() {
  standing_ = true;
  window_.pump().stop();
  window_.playfield()->showStandStill(true);
  delete catcher_;
  catcher_ = new FirstInput([this] { lift(); }, this);
}

// The catcher stays until the next stand-still: it swallows the rest of the key that lifted this
// one.
void StandStill::lift() {
  standing_ = false;
  window_.playfield()->showStandStill(false);
  window_.pump().start();
}

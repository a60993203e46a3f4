// SPDX-License-Identifier: MIT
// The stand-still on the desktop: which window events mean the window went away.
#include "qt/StandStill.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include "qt/FirstInput.h"

StandStill::StandStill(QWidget& window, cabinet::kit::Kit& kit, std::function<bool()> timeRuns)
    : QObject(&window), window_(window), kit_(kit), timeRuns_(std::move(timeRuns)) {
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
      if (!standing() && wentAway(event->type())) begin();
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

bool StandStill::standing() const { return kit_.standing(); }

// The kit stops the pump and shows the band; the catcher stays until the next stand-still: it
// swallows the rest of the key that lifts this one.
void StandStill::begin() {
  if (!kit_.wentAway(timeRuns_())) return;
  delete catcher_;
  catcher_ = new FirstInput(kit_, this);
}

// SPDX-License-Identifier: MIT
// Catching the first click or key of the application with an event filter on it: a shortcut
// override accepted keeps the key from any shortcut; while it is held, its repeats, its release
// and any shortcut made with it are swallowed.
// The release of a key may come to another window once this one is no longer active: the
// catch ends there, or it would swallow every shortcut from then on.
#include "qt/FirstInput.h"

#include <QApplication>
#include <QKeyEvent>

#include "qt/EventMapping.h"

FirstInput::FirstInput(cabinet::kit::Kit& kit, QObject* parent) : QObject(parent), kit_(kit) {
  letGo_.setSingleShot(true);
  letGo_.setInterval(20);
  connect(&letGo_, &QTimer::timeout, this, &FirstInput::letGo);
  qApp->installEventFilter(this);
}

bool FirstInput::eventFilter(QObject*, QEvent* event) {
  return waiting_ ? first(event) : rest(event);
}

bool FirstInput::first(QEvent* event) {
  const QEvent::Type type = event->type();
  // A key reaches the shortcuts first, as a shortcut override, then the focused widget.
  const bool keyDown = type == QEvent::ShortcutOverride || type == QEvent::KeyPress;
  const bool click = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                     event->spontaneous();
  if (!click && !keyDown) return false;
  waiting_ = false;
  std::optional<std::string> key;
  if (keyDown) key = eventmapping::keyName(static_cast<const QKeyEvent&>(*event).key());
  if (!kit_.takeFirstInput(key)) {
    done();  // nothing to take it for any more: the input is the game's
    return false;
  }
  event->accept();
  if (!kit_.caughtKey().holding()) done();
  return true;
}

bool FirstInput::rest(QEvent* event) {
  cabinet::kit::CaughtKey& caught = kit_.caughtKey();
  switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::ApplicationDeactivate:
      letGo_.stop();
      caught.windowLost();
      done();
      return false;
    case QEvent::Shortcut:  // made with the caught key held
      return caught.holding();
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      const std::string name = eventmapping::keyName(key.key());
      const bool release = event->type() == QEvent::KeyRelease;
      // A release waits (the catch holds on); a press at its instant was a repeat. Any other press
      // shows that the release was real. Only the window system's own pair so (events made up by a
      // program carry no scan code).
      const bool pairedRepeat = letGo_.isActive() && name == released_ &&
                                key.nativeScanCode() != 0 && key.timestamp() == releasedAt_;
      if (!release && !key.isAutoRepeat() && !pairedRepeat && letGo_.isActive()) {
        letGo_.stop();
        letGo();
        if (!caught.holding()) return false;
      }
      const bool repeat = key.isAutoRepeat() || release || pairedRepeat;
      if (!caught.rest(name, release, repeat)) return false;
      if (release && !key.isAutoRepeat()) {
        released_ = name;
        releasedAt_ = key.timestamp();
        letGo_.start();
      } else {
        letGo_.stop();  // still held: a release waiting was a repeat's
      }
      if (!caught.holding()) done();
      return true;
    }
    default:
      return false;
  }
}

void FirstInput::letGo() {
  kit_.caughtKey().rest(released_, true, false);
  if (!kit_.caughtKey().holding()) done();
}

void FirstInput::done() { qApp->removeEventFilter(this); }

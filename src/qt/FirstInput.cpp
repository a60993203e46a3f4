// SPDX-License-Identifier: MIT
// Catching the first click or key of the application with an event filter on it: a shortcut
// override accepted keeps the key from any shortcut, and its repeats and release are swallowed.
#include "qt/FirstInput.h"

#include <QApplication>
#include <QKeyEvent>

FirstInput::FirstInput(std::function<void()> caught, QObject* parent)
    : QObject(parent), caught_(std::move(caught)) {
  qApp->installEventFilter(this);
}

bool FirstInput::eventFilter(QObject*, QEvent* event) {
  const QEvent::Type type = event->type();
  // A key reaches the shortcuts first, as a shortcut override, then the focused widget.
  const bool keyDown = type == QEvent::ShortcutOverride || type == QEvent::KeyPress;
  if (!waiting_) {
    if (type == QEvent::Shortcut) return true;
    if (!keyDown && type != QEvent::KeyRelease) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() != key_) return false;
    if (type == QEvent::KeyRelease && !key.isAutoRepeat()) qApp->removeEventFilter(this);
    event->accept();  // an accepted shortcut override keeps the shortcut from firing
    return true;
  }
  const bool click = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                     event->spontaneous();
  if (!click && !keyDown) return false;
  event->accept();
  waiting_ = false;
  if (keyDown)
    key_ = static_cast<const QKeyEvent&>(*event).key();
  else
    qApp->removeEventFilter(this);
  caught_();
  return true;
}

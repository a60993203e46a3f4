#include "qt/Demo.h"

#include <QApplication>
#include <QKeyEvent>

#include "qt/GameWindow.h"

Demo::Demo(GameWindow& window) : QObject(&window), window_(window) {
  qApp->installEventFilter(this);
  window_.drive([this] { window_.cabinet().startDemo(); });
}

bool Demo::playing() const { return window_.cabinet().demoPlaying(); }

bool Demo::eventFilter(QObject*, QEvent* event) {
  const QEvent::Type type = event->type();
  // A key reaches the shortcuts first, as a shortcut override, then the focused widget.
  const bool keyDown = type == QEvent::ShortcutOverride || type == QEvent::KeyPress;
  if (!playing()) {
    // The rest of the key that ended the demo: no shortcut, no key press, nothing.
    if (type == QEvent::Shortcut) return true;
    if (!keyDown && type != QEvent::KeyRelease) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() != endingKey_) return false;
    if (type == QEvent::KeyRelease && !key.isAutoRepeat()) qApp->removeEventFilter(this);
    event->accept();  // an accepted shortcut override keeps the shortcut from firing
    return true;
  }
  const bool click = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                     event->spontaneous();
  if (!click && !keyDown) return false;
  event->accept();
  window_.drive([this] { window_.cabinet().stopDemo(); });
  if (keyDown)
    endingKey_ = static_cast<const QKeyEvent&>(*event).key();
  else
    qApp->removeEventFilter(this);
  return true;
}

// Remembering the window between runs (in the user's configuration folder, through QSettings) and
// the full-screen toggle. Both belong to the desktop window alone, never to the game.
#include "qt/WindowState.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSettings>

namespace {

constexpr auto GeometryKey = "window/geometry";

QSettings settings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing");
}

}  // namespace

WindowState::WindowState(QMainWindow& window, bool wide)
    : QObject(&window),
      window_(window),
      remember_(!wide),
      fullScreen_(new QAction("Full Screen", &window)) {
  fullScreen_->setShortcut(Qt::Key_F11);
  fullScreen_->setShortcutContext(Qt::WindowShortcut);
  connect(fullScreen_, &QAction::triggered, this,
          [this] { window_.setWindowState(window_.windowState() ^ Qt::WindowFullScreen); });
  window.addAction(fullScreen_);

  if (!remember_) return;
  const QByteArray geometry = settings().value(GeometryKey).toByteArray();
  if (!geometry.isEmpty()) window.restoreGeometry(geometry);
  // Closing the window and the Exit command both end the program; only closing sends Close.
  window.installEventFilter(this);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowState::save);
}

void WindowState::save() const {
  if (remember_) settings().setValue(GeometryKey, window_.saveGeometry());
}

bool WindowState::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::Close) save();
  return QObject::eventFilter(watched, event);
}

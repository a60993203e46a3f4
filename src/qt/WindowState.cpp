// SPDX-License-Identifier: MIT
// Remembering the window between runs (in the user's configuration folder, through QSettings) and
// the full-screen toggle. Both belong to the desktop window alone, never to the game.
#include "qt/WindowState.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QSettings>
#include <algorithm>

#include "form/DataFolder.h"

namespace {

constexpr auto GeometryKey = "window/geometry";

QSettings settings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing");
}

// Without a configuration folder of the player's (no usable home), nothing is remembered.
bool hasConfigFolder() {
  const auto environ = [](const std::string& name) {
    return qEnvironmentVariable(name.c_str()).toStdString();
  };
  return !form::xdgBaseFolder(environ, "XDG_CONFIG_HOME", ".config").empty();
}

}  // namespace

WindowState::WindowState(QMainWindow& window, bool wide)
    : QObject(&window),
      window_(window),
      remember_(!wide && hasConfigFolder()),
      fullScreen_(new QAction("Full Screen", &window)) {
  fullScreen_->setShortcut(Qt::Key_F11);
  fullScreen_->setShortcutContext(Qt::WindowShortcut);
  connect(fullScreen_, &QAction::triggered, this,
          [this] { window_.setWindowState(window_.windowState() ^ Qt::WindowFullScreen); });
  window.addAction(fullScreen_);
  window.installEventFilter(this);

  if (remember_) {
    const QByteArray geometry = settings().value(GeometryKey).toByteArray();
    if (!geometry.isEmpty()) window.restoreGeometry(geometry);
    // Closing the window and the Exit command both end the program; only closing sends Close.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowState::save);
  }
  fitToScreen();
}

void WindowState::fitToScreen() {
  // Full screen and maximised fit by themselves; leaving them returns here (see eventFilter).
  if (window_.windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized))
    return;
  const QRect free = window_.screen()->availableGeometry();
  const QMargins decoration(window_.geometry().left() - window_.frameGeometry().left(),
                            window_.geometry().top() - window_.frameGeometry().top(),
                            window_.frameGeometry().right() - window_.geometry().right(),
                            window_.frameGeometry().bottom() - window_.geometry().bottom());
  const QSize room = free.size().shrunkBy(decoration);
  if (window_.width() > room.width() || window_.height() > room.height())
    window_.resize(window_.size().scaled(room, Qt::KeepAspectRatio));
  const QSize outer = window_.size().grownBy(decoration);
  const QPoint at = window_.pos();
  // Within the free area; a window that cannot shrink enough keeps its top-left corner in it.
  window_.move(std::max(free.left(), std::min(at.x(), free.x() + free.width() - outer.width())),
               std::max(free.top(), std::min(at.y(), free.y() + free.height() - outer.height())));
}

void WindowState::save() const {
  if (remember_) settings().setValue(GeometryKey, window_.saveGeometry());
}

bool WindowState::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &window_) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::Close) save();
  // Back from full screen (F11) to a window that fits, even one remembered from a larger screen.
  if (event->type() == QEvent::WindowStateChange) fitToScreen();
  return QObject::eventFilter(watched, event);
}

// SPDX-License-Identifier: MIT
// The player's switches of the window, each kept in the player's configuration as it is toggled.
#include "qt/KeptSwitch.h"

#include <QSettings>
#include <QWidget>

namespace {

QSettings settings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing");
}

}  // namespace

KeptSwitch::KeptSwitch(QWidget& window, const QString& text, const char* setting,
                       const QKeySequence& key, bool forced)
    : QAction(text, &window) {
  setCheckable(true);
  setChecked(forced || kept(setting));
  setShortcut(key);
  setShortcutContext(Qt::WindowShortcut);
  connect(this, &QAction::toggled, this, [setting](bool on) { settings().setValue(setting, on); });
  window.addAction(this);
}

bool KeptSwitch::kept(const char* setting) { return settings().value(setting, false).toBool(); }

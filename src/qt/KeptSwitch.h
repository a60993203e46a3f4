// SPDX-License-Identifier: MIT
// A choice of the player's that belongs to the window, not to the game (the mute, hiding the
// ghost): a function key of the window's own toggles it, a key that the rules ignore (they read
// only Alt+F4 and Ctrl+X of the keys that type no character) and that the window takes before the
// game could record it. The choice is kept between runs in the player's configuration (QSettings,
// beside the window's remembered size); the command line may turn it on for one run.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QString>

class QWidget;

class KeptSwitch : public QAction {
public:
  // On when `forced` or when the player left it on; `setting` names where it is kept.
  KeptSwitch(QWidget& window, const QString& text, const char* setting, const QKeySequence& key,
             bool forced);
  // The choice the player left under `setting` (off when none).
  static bool kept(const char* setting);
};

// SPDX-License-Identifier: MIT
// The window as a desktop window: it comes back at the size and place it had when the game was
// last left, and F11 toggles full screen. The window always fits the screen's free area: a first
// size, or one remembered from a larger screen, is scaled down. The playfield scales itself to
// whatever size results.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QObject>

class WindowState : public QObject {
  Q_OBJECT
public:
  // Restores the remembered size and place, unless the wide window was asked for: that one keeps
  // the width its layout was made for, and is not remembered either.
  WindowState(QMainWindow& window, bool wide);

  QAction* fullScreenAction() const { return fullScreen_; }
  void save() const;
  // Scales a window that does not fit the screen's free area down, and moves it into it.
  void fitToScreen();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QMainWindow& window_;
  bool remember_;
  QAction* fullScreen_;
};

// SPDX-License-Identifier: MIT
// The demo in the window: the cabinet plays by itself (see cabinet/Demo.h) while the kit's badge
// says so, and the first real click or key, caught for the kit, ends the demo and leaves the game
// ready to play; that click or key does nothing else.
#pragma once

#include <QObject>

class GameWindow;

class Demo : public QObject {
  Q_OBJECT
public:
  // Watches for the player from now on; the cabinet plays the demo its sitting opened with.
  explicit Demo(GameWindow& window);
  bool playing() const;

private:
  GameWindow& window_;
};

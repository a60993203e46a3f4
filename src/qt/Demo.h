// The demo: Cavewing plays by itself, as arcade machines do between players. START is clicked for
// it, the autopilot holds and lets go of the left button through the window's own mouse events,
// and after a crash the high-score list shows for a few seconds before a click starts the next
// game. The demo keeps its scores in a throw-away table in memory, and no message box waits for a
// player. A real click or key ends it and leaves the game ready to play.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>

#include "autopilot/Autopilot.h"

class GameWindow;

class Demo : public QObject {
  Q_OBJECT
public:
  static constexpr std::int64_t ListShownUs = 4'000'000;

  // Starts playing at once.
  explicit Demo(GameWindow& window);
  bool playing() const { return playing_; }

private:
  void tick();
  void stop();

  GameWindow& window_;
  autopilot::Pilot pilot_;
  std::int64_t listSince_ = -1;  // when the list came up after a crash, in game time
  bool playing_ = true;
};

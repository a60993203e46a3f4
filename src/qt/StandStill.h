// SPDX-License-Identifier: MIT
// While the window is not in front in flight (it lost the focus, or is minimised or hidden), time
// stands still as it does while a message box is open: the clock does not move, nothing fires,
// and the time is not caught up afterwards. A "PAUSED" overlay says so; back in front, the first
// click or key only lifts the stand-still. No rule and no recording sees any of it.
#pragma once

#include <QEvent>
#include <QObject>

class FirstInput;
class GameWindow;

class StandStill : public QObject {
  Q_OBJECT
public:
  explicit StandStill(GameWindow& window);
  bool standing() const { return standing_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool wentAway(QEvent::Type type) const;
  bool flying() const;
  void begin();
  void lift();

  GameWindow& window_;
  bool standing_ = false;
  FirstInput* catcher_ = nullptr;  // the last stand-still's, until the next one begins
};

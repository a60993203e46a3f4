// SPDX-License-Identifier: MIT
// The moments Qt says the window went away (it lost the focus, or is minimised or hidden), told
// to the kit, which stands flight still (see cabinet/kit/StandStill.h); back in front, the first
// click or key is caught for the kit, which lifts the stand-still with it.
#pragma once

#include <QEvent>
#include <QObject>

class FirstInput;
class GameWindow;

class StandStill : public QObject {
  Q_OBJECT
public:
  explicit StandStill(GameWindow& window);
  bool standing() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool wentAway(QEvent::Type type) const;
  void begin();

  GameWindow& window_;
  FirstInput* catcher_ = nullptr;  // the last stand-still's, until the next one begins
};

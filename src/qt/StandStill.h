// SPDX-License-Identifier: MIT
// The moments Qt says the window went away (it lost the focus, or is minimised or hidden), told
// to the kit, which stands flight still (see cabinet/kit/StandStill.h); back in front, the first
// click or key is caught for the kit, which lifts the stand-still with it.
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <functional>

#include "cabinet/kit/Kit.h"

class FirstInput;

class StandStill : public QObject {
  Q_OBJECT
public:
  // `timeRuns` says whether the game's time runs (it stands still already in a message box).
  StandStill(QWidget& window, cabinet::kit::Kit& kit, std::function<bool()> timeRuns);
  bool standing() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool wentAway(QEvent::Type type) const;
  void begin();

  QWidget& window_;
  cabinet::kit::Kit& kit_;
  std::function<bool()> timeRuns_;
  FirstInput* catcher_ = nullptr;  // the last stand-still's, until the next one begins
};

// SPDX-License-Identifier: MIT
// The player's next click or key, caught before any widget, menu or shortcut of the application
// sees it: it wakes the game up (ends the demo, lifts a stand-still) and does nothing else. The
// rest of a caught key, its repeats and its release, goes nowhere either.
#pragma once

#include <QObject>
#include <functional>

class FirstInput : public QObject {
  Q_OBJECT
public:
  // Watches the whole application from now on; `caught` runs once, at the first click or key.
  FirstInput(std::function<void()> caught, QObject* parent);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  std::function<void()> caught_;
  bool waiting_ = true;
  int key_ = 0;  // the key caught, swallowed until it is let go
};

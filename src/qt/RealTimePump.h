// SPDX-License-Identifier: MIT
// Drives the cabinet from real time: wakes at the next grid point, lets the game follow real time
// (the clock drops the time missed in a stall), and lets the window catch up. While nothing
// visible changes (the ready phase, a pause, the high-score list) it wakes less often and
// catches up on the grid points it slept through, so a game standing still costs next to no CPU;
// before any input it catches up, so the input lands at the grid point it would anyway.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "cabinet/kit/Kit.h"

class RealTimePump : public QObject {
  Q_OBJECT
public:
  // Returns whether anything visible changed.
  using AfterAdvance = std::function<bool()>;
  // Real time, in microseconds; the program's runs on the steady clock from the pump's making.
  using RealTime = std::function<std::int64_t()>;
  static constexpr int maxSleepGridPoints = 8;  // 125 ms at the default tick

  RealTimePump(cabinet::kit::Kit& kit, AfterAdvance afterAdvance,
               RealTime realTime = steadyFromNow(), QObject* parent = nullptr);
  // Time moves from start() to stop(); between a stop() and the next start() it stands still
  // (the kit's real time resumes where the game stands).
  void start();
  void stop() { timer_.stop(); }
  bool running() const { return timer_.isActive(); }
  // Brings the clock up to real time now, and wakes at every grid point again.
  void catchUp();
  std::int64_t realUs() const { return realTime_(); }

private:
  static RealTime steadyFromNow();
  void wake();
  bool advance();
  void scheduleNext();

  cabinet::kit::Kit& kit_;
  const form::Clock& clock_;
  AfterAdvance afterAdvance_;
  RealTime realTime_;
  QTimer timer_;
  int sleepGridPoints_ = 1;
  int quietWakes_ = 0;
};

// Drives the form's clock from real time: wakes at the next grid point, lets the clock follow
// real time (it drops the time missed in a stall), and lets the window catch up.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "form/Clock.h"

class RealTimePump : public QObject {
  Q_OBJECT
public:
  RealTimePump(form::Clock& clock, std::function<void()> afterAdvance, QObject* parent = nullptr);
  void start();
  void stop() { timer_.stop(); }
  // Grid points dropped after stalls since start.
  std::int64_t lostTicks() const { return lostTicks_; }

private:
  void wake();
  void scheduleNext();
  std::int64_t realUs() const { return startUs_ + elapsed_.nsecsElapsed() / 1000; }

  form::Clock& clock_;
  std::function<void()> afterAdvance_;
  QTimer timer_;
  QElapsedTimer elapsed_;
  std::int64_t startUs_ = 0;
  std::int64_t lostTicks_ = 0;
};

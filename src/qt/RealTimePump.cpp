// SPDX-License-Identifier: MIT
#include "qt/RealTimePump.h"

#include "qt/TimingReport.h"

namespace {
constexpr int QuietWakesBeforeSleeping = 8;
}

RealTimePump::RealTimePump(cabinet::Cabinet& cabinet, AfterAdvance afterAdvance, QObject* parent)
    : QObject(parent),
      cabinet_(cabinet),
      clock_(cabinet.clock()),
      afterAdvance_(std::move(afterAdvance)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &RealTimePump::wake);
}

void RealTimePump::start() {
  elapsed_.start();
  // Real time starts where the clock stands: after a stand-still, the time it lasted is never
  // caught up.
  startUs_ = clock_.now() + clock_.droppedUs();
  scheduleNext();
}

bool RealTimePump::advance() {
  const std::int64_t lost =
      cabinet_.followRealTime(realUs(), form::Clock::stallGridPoints + sleepGridPoints_ - 1);
  if (lost > 0 && timing_report::enabled()) timing_report::stall(lost);
  return afterAdvance_();
}

void RealTimePump::catchUp() {
  if (!timer_.isActive() || clock_.delivering()) return;
  advance();
  sleepGridPoints_ = 1;
  quietWakes_ = 0;
  scheduleNext();
}

void RealTimePump::wake() {
  // A handler is running (waiting in a message box): time stands still until it returns.
  if (!clock_.delivering()) {
    if (advance()) {
      sleepGridPoints_ = 1;
      quietWakes_ = 0;
    } else if (++quietWakes_ >= QuietWakesBeforeSleeping) {
      sleepGridPoints_ = std::min(sleepGridPoints_ * 2, maxSleepGridPoints);
    }
  }
  scheduleNext();
}

void RealTimePump::scheduleNext() {
  const std::int64_t next = clock_.now() + sleepGridPoints_ * clock_.systemTick();
  const std::int64_t waitUs = std::max<std::int64_t>(0, next - (realUs() - clock_.droppedUs()));
  timer_.start(int((waitUs + 999) / 1000));
}

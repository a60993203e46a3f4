// SPDX-License-Identifier: MIT
// Real time to the cabinet: a wake at each grid point due, fewer while nothing moves.
#include "qt/RealTimePump.h"

#include <chrono>

#include "qt/TimingReport.h"

namespace {
constexpr int QuietWakesBeforeSleeping = 8;
}

RealTimePump::RealTime RealTimePump::steadyFromNow() {
  using namespace std::chrono;
  const steady_clock::time_point start = steady_clock::now();
  return [start] { return duration_cast<microseconds>(steady_clock::now() - start).count(); };
}

RealTimePump::RealTimePump(cabinet::kit::Kit& kit, AfterAdvance afterAdvance, RealTime realTime,
                           QObject* parent)
    : QObject(parent),
      kit_(kit),
      clock_(kit.cabinet().clock()),
      afterAdvance_(std::move(afterAdvance)),
      realTime_(std::move(realTime)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &RealTimePump::wake);
}

void RealTimePump::start() {
  kit_.resumeRealTime(realUs());
  scheduleNext();
}

bool RealTimePump::advance() {
  const std::int64_t lost =
      kit_.followRealTime(realUs(), form::Clock::stallGridPoints + sleepGridPoints_ - 1);
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
  const std::int64_t followed = kit_.followedRealTime(realUs()) - clock_.droppedUs();
  const std::int64_t waitUs = std::max<std::int64_t>(0, next - followed);
  timer_.start(int((waitUs + 999) / 1000));
}

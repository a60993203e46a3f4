#include "qt/RealTimePump.h"

RealTimePump::RealTimePump(form::Clock& clock, std::function<void()> afterAdvance, QObject* parent)
    : QObject(parent), clock_(clock), afterAdvance_(std::move(afterAdvance)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &RealTimePump::wake);
}

void RealTimePump::start() {
  elapsed_.start();
  startUs_ = clock_.now();  // real time starts where the clock stands
  scheduleNext();
}

void RealTimePump::wake() {
  // A handler is running (waiting in a message box): time stands still until it returns.
  if (!clock_.delivering()) {
    lostTicks_ += clock_.followRealTime(realUs());
    afterAdvance_();
  }
  scheduleNext();
}

void RealTimePump::scheduleNext() {
  const std::int64_t next = clock_.now() + clock_.systemTick();
  const std::int64_t waitUs = std::max<std::int64_t>(0, next - (realUs() - clock_.droppedUs()));
  timer_.start(int((waitUs + 999) / 1000));
}

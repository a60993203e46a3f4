// SPDX-License-Identifier: MIT
// Grid-point timer delivery: enabling, re-timing and firing of the form's timers.
#include "form/Clock.h"

#include <algorithm>
#include <functional>
#include <tuple>

namespace form {

Clock::Clock(std::int64_t systemTickUs) : systemTick_(systemTickUs > 0 ? systemTickUs : 1) {}

void Clock::advanceTo(std::int64_t us) {
  if (delivering()) return;
  Delivery delivery(*this);
  while (now_ + systemTick_ <= us) {
    now_ += systemTick_;
    fireDueTimers();
    if (afterGridPoint) afterGridPoint();
  }
}

std::int64_t Clock::followRealTime(std::int64_t realUs, int allowedLag) {
  if (delivering()) return 0;
  std::int64_t target = realUs - droppedUs_;
  const std::int64_t behind = target - now_;
  std::int64_t lost = 0;
  if (behind > allowedLag * systemTick_) {
    lost = behind / systemTick_ - 1;
    droppedUs_ += behind - systemTick_;
    target = now_ + systemTick_;
  }
  advanceTo(target);
  return lost;
}

std::optional<std::int64_t> Clock::nextDue(const std::function<bool(const Timer&)>& acts) const {
  std::optional<std::int64_t> due;
  for (const Timer* t : timers_)
    if (t->enabled_ && t->intervalMs_ > 0 && acts(*t))
      due = std::min(due.value_or(t->due_), t->due_);
  if (!due) return std::nullopt;
  // A timer fires at the first grid point at or after its due time, and never before the next.
  std::int64_t points = (*due - now_) / systemTick_;
  if (now_ + points * systemTick_ < *due) ++points;
  return now_ + std::max<std::int64_t>(1, points) * systemTick_;
}

void Clock::fireDueTimers() {
  due_.clear();
  for (Timer* t : timers_)
    // An interval of 0 keeps a timer from running, as on the classic desktop.
    if (t->enabled_ && t->intervalMs_ > 0 && t->due_ <= now_) due_.push_back(t);
  // By due time, ties in creation order.
  // (std::sort: the browser's standard library has no ranges::sort.)
  const auto key = [](const Timer* t) { return std::tie(t->due_, t->order_); };
  std::sort(due_.begin(), due_.end(),
            [&key](const Timer* a, const Timer* b) { return std::less<>()(key(a), key(b)); });
  for (Timer* t : due_) {
    // An earlier handler at this grid point may have switched it off or re-timed it.
    if (!t->enabled_ || t->due_ > now_) continue;
    const auto changesBefore = t->changes_;
    if (t->onTimer) t->onTimer();
    if (t->changes_ != changesBefore || !t->enabled_) continue;
    t->due_ += t->intervalUs();
    if (t->due_ <= now_) t->due_ = now_ + t->intervalUs();
  }
}

Timer::Timer(Clock& clock, int intervalMs, bool enabled)
    : clock_(clock), intervalMs_(intervalMs), order_(clock.timers_.size()) {
  clock_.timers_.push_back(this);
  setEnabled(enabled);
}

void Timer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  ++changes_;
  if (on) due_ = clock_.now_ + intervalUs();
}

void Timer::setInterval(int ms) {
  intervalMs_ = ms;
  ++changes_;
  if (enabled_) due_ = clock_.now_ + intervalUs();
}

}  // namespace form

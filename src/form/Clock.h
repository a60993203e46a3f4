// SPDX-License-Identifier: MIT
// The game's clock: timers that behave like a classic desktop message timer, modelled exactly
// and deterministically. Virtual time runs in whole microseconds and moves only in steps of the
// system tick; at each grid point every due timer fires once, in order of due time, ties in the
// order the timers were created. No backlog: a timer that fell behind fires once and waits a
// whole interval again.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace form {

class Timer;

class Clock {
public:
  static constexpr std::int64_t defaultSystemTickUs = 15625;  // 64 Hz

  explicit Clock(std::int64_t systemTickUs = defaultSystemTickUs);
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;

  std::int64_t now() const { return now_; }
  std::int64_t systemTick() const { return systemTick_; }
  std::int64_t droppedUs() const { return droppedUs_; }
  // The grid point at which the next timer fires of those that `acts` says would do anything, if
  // one runs: until then time moves and nothing happens, so a front end may sleep.
  std::optional<std::int64_t> nextDue(const std::function<bool(const Timer&)>& acts) const;

  // Moves time forward, firing timers at every grid point passed, up to and including `us`.
  void advanceTo(std::int64_t us);
  void advance(int ms) { advanceTo(now_ + std::int64_t{ms} * 1000); }

  // Follows real time (microseconds since the front end started its pump). After a stall, when
  // the game fell behind by more than `allowedLag` grid points (the front end may sleep longer on
  // purpose while nothing changes), the missed time is dropped instead of replayed in a burst;
  // returns how many grid points were dropped.
  static constexpr int stallGridPoints = 4;
  std::int64_t followRealTime(std::int64_t realUs, int allowedLag = stallGridPoints);

  // While a delivery is open (a handler runs, or waits in a message box), time stands still:
  // advancing is ignored and nothing fires.
  class Delivery {
  public:
    explicit Delivery(Clock& clock) : clock_(clock) { ++clock_.deliveries_; }
    ~Delivery() { --clock_.deliveries_; }
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

  private:
    Clock& clock_;
  };
  bool delivering() const { return deliveries_ > 0; }

  // Runs after the timers of each grid point: where a replay delivers the recorded input of that
  // grid point, and a trace looks at the state.
  std::function<void()> afterGridPoint;

private:
  friend class Timer;
  void fireDueTimers();

  std::int64_t systemTick_;
  std::int64_t now_ = 0;
  std::int64_t droppedUs_ = 0;  // real time dropped after stalls
  int deliveries_ = 0;
  std::vector<Timer*> timers_;  // creation order
  std::vector<Timer*> due_;     // reused at every grid point
};

class Timer {
public:
  Timer(Clock& clock, int intervalMs, bool enabled);
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // Assigned like the fields they stand for: `tmrUp.Enabled = true;`.
  class EnabledProperty {
  public:
    explicit EnabledProperty(Timer& t) : t_(t) {}
    EnabledProperty& operator=(bool on) {
      t_.setEnabled(on);
      return *this;
    }
    EnabledProperty& operator=(const EnabledProperty& other) { return *this = bool(other); }
    operator bool() const { return t_.enabled_; }

  private:
    Timer& t_;
  };
  class IntervalProperty {
  public:
    explicit IntervalProperty(Timer& t) : t_(t) {}
    IntervalProperty& operator=(int ms) {
      t_.setInterval(ms);
      return *this;
    }
    IntervalProperty& operator=(const IntervalProperty& other) { return *this = int(other); }
    operator int() const { return t_.intervalMs_; }

  private:
    Timer& t_;
  };

  EnabledProperty Enabled{*this};
  IntervalProperty Interval{*this};

  std::function<void()> onTimer;  // the form's tick handler

private:
  friend class Clock;
  void setEnabled(bool on);
  void setInterval(int ms);
  std::int64_t intervalUs() const { return std::int64_t{intervalMs_} * 1000; }

  Clock& clock_;
  int intervalMs_;
  bool enabled_ = false;
  std::int64_t due_ = 0;
  std::size_t order_;          // its place in creation order, which breaks ties of due time
  std::uint64_t changes_ = 0;  // tells the clock that a handler re-timed its own timer
};

}  // namespace form

// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "form/Clock.h"

namespace {

constexpr std::int64_t Tick = form::Clock::defaultSystemTickUs;

struct Recorder {
  form::Clock clock;
  std::vector<std::pair<std::int64_t, std::string>> fired;
  void bind(form::Timer& t, std::string name) {
    t.onTimer = [this, name] { fired.emplace_back(clock.now(), name); };
  }
  int count(const std::string& name) const {
    int n = 0;
    for (const auto& f : fired) n += f.second == name;
    return n;
  }
};

TEST(Clock, FireRatesOverASimulatedMinute) {
  // Expected ticks in 60 s: at most one per grid point, never a backlog.
  const std::map<int, int> expected = {{1, 3840},  {10, 3840}, {30, 2000}, {50, 1200},
                                       {600, 100}, {750, 80},  {10000, 6}};
  for (const auto& [interval, ticks] : expected) {
    Recorder r;
    form::Timer t(r.clock, interval, true);
    r.bind(t, "t");
    r.clock.advance(60'000);
    EXPECT_EQ(r.count("t"), ticks) << "interval " << interval;
  }
}

TEST(Clock, FiresOnlyOnGridPoints) {
  Recorder r;
  form::Timer t(r.clock, 50, true);
  r.bind(t, "t");
  r.clock.advance(1000);
  ASSERT_FALSE(r.fired.empty());
  for (const auto& f : r.fired) EXPECT_EQ(f.first % Tick, 0);
  // 50 ms does not divide the grid: the first tick lands on the grid point after 50 ms.
  EXPECT_EQ(r.fired.front().first, 4 * Tick);

  // The clock says so beforehand: the grid point at or after the first due time of the timers
  // that act, never before the next one; none while none runs.
  form::Clock clock;
  form::Timer slow(clock, 50, true), exact(clock, 125, true), fast(clock, 1, false);
  const auto only = [](const form::Timer& timer) {
    return [&timer](const form::Timer& other) { return &other == &timer; };
  };
  EXPECT_EQ(clock.nextDue(only(slow)), 4 * Tick);
  EXPECT_EQ(clock.nextDue(only(exact)), 8 * Tick);
  EXPECT_EQ(clock.nextDue(only(fast)), std::nullopt);
  fast.Enabled = true;
  EXPECT_EQ(clock.nextDue([](const form::Timer&) { return true; }), Tick);
  slow.Enabled = exact.Enabled = fast.Enabled = false;
  EXPECT_EQ(clock.nextDue([](const form::Timer&) { return true; }), std::nullopt);
}

TEST(Clock, FiresInDueOrderThenCreationOrder) {
  Recorder r;
  form::Timer a(r.clock, 30, false);
  form::Timer b(r.clock, 1, false);
  form::Timer c(r.clock, 1, false);
  r.bind(a, "a");
  r.bind(b, "b");
  r.bind(c, "c");
  c.Enabled = true;  // enabled first, but created last
  b.Enabled = true;
  a.Enabled = true;
  r.clock.advanceTo(2 * Tick);
  // Grid point 1: b and c tie (due at 1 ms), creation order wins; a is not yet due.
  // Grid point 2: a is due at 30 ms, earlier than b's and c's 16.625 ms? No: theirs is earlier.
  std::vector<std::string> order;
  for (const auto& f : r.fired) order.push_back(f.second);
  EXPECT_EQ(order, (std::vector<std::string>{"b", "c", "b", "c", "a"}));
}

TEST(Clock, EnablingStartsAWholeIntervalAndReEnablingChangesNothing) {
  Recorder r;
  form::Timer t(r.clock, 100, false);
  r.bind(t, "t");
  r.clock.advanceTo(3 * Tick);
  t.Enabled = true;  // due at 3 ticks + 100 ms = 146.875 ms -> grid point 10
  r.clock.advanceTo(5 * Tick);
  t.Enabled = true;  // already on: the wait is not restarted
  r.clock.advanceTo(12 * Tick);
  ASSERT_EQ(r.fired.size(), 1u);
  EXPECT_EQ(r.fired[0].first, 10 * Tick);
}

TEST(Clock, DisablingForgetsAndChangingIntervalRestartsTheWait) {
  Recorder r;
  form::Timer t(r.clock, 100, true);
  r.bind(t, "t");
  r.clock.advanceTo(5 * Tick);
  t.Enabled = false;
  r.clock.advanceTo(20 * Tick);
  EXPECT_EQ(r.count("t"), 0);
  t.Enabled = true;  // due 20 ticks + 100 ms = 412.5 ms -> grid point 27
  r.clock.advanceTo(25 * Tick);
  t.Interval = 200;  // restart: 25 ticks + 200 ms = 590.625 ms -> grid point 38
  r.clock.advanceTo(40 * Tick);
  ASSERT_EQ(r.fired.size(), 1u);
  EXPECT_EQ(r.fired[0].first, 38 * Tick);
  EXPECT_EQ(int(t.Interval), 200);
}

TEST(Clock, NoBurstAfterAStall) {
  Recorder r;
  form::Timer fast(r.clock, 1, true);
  form::Timer slow(r.clock, 50, true);
  r.bind(fast, "fast");
  r.bind(slow, "slow");
  for (int i = 1; i <= 10; ++i) r.clock.followRealTime(i * Tick);
  EXPECT_EQ(r.clock.now(), 10 * Tick);
  EXPECT_EQ(r.count("fast"), 10);
  r.fired.clear();

  // Ten seconds pass in one go: one grid point is delivered, the rest is dropped.
  const std::int64_t lost = r.clock.followRealTime(10 * Tick + 10'000'000);
  EXPECT_EQ(r.clock.now(), 11 * Tick);
  EXPECT_EQ(r.count("fast"), 1);
  EXPECT_LE(r.count("slow"), 1);
  EXPECT_EQ(lost, 10'000'000 / Tick - 1);

  // Real time goes on from there, without the dropped time.
  r.fired.clear();
  EXPECT_EQ(r.clock.followRealTime(10 * Tick + 10'000'000 + 3 * Tick), 0);
  EXPECT_EQ(r.clock.now(), 14 * Tick);
  EXPECT_EQ(r.count("fast"), 3);
}

TEST(Clock, ShortDelaysAreCaughtUpNotDropped) {
  Recorder r;
  form::Timer fast(r.clock, 1, true);
  r.bind(fast, "fast");
  EXPECT_EQ(r.clock.followRealTime(4 * Tick), 0);
  EXPECT_EQ(r.count("fast"), 4);
  // A front end that slept on purpose for eight grid points gets every one of them delivered.
  EXPECT_EQ(r.clock.followRealTime(12 * Tick, 8), 0);
  EXPECT_EQ(r.count("fast"), 12);
  EXPECT_EQ(r.clock.followRealTime(21 * Tick + 1, 8), 8);
  EXPECT_EQ(r.count("fast"), 13);
}

TEST(Clock, TimerEnabledByAHandlerFiresAtALaterGridPoint) {
  Recorder r;
  form::Timer first(r.clock, 1, true);
  form::Timer second(r.clock, 1, false);
  first.onTimer = [&] {
    second.Enabled = true;
    first.Enabled = false;
  };
  r.bind(second, "second");
  r.clock.advanceTo(Tick);
  EXPECT_EQ(r.count("second"), 0);
  r.clock.advanceTo(2 * Tick);
  EXPECT_EQ(r.count("second"), 1);
}

TEST(Clock, TimerDisabledByAnEarlierHandlerDoesNotFire) {
  Recorder r;
  form::Timer first(r.clock, 1, true);
  form::Timer second(r.clock, 1, true);
  first.onTimer = [&] { second.Enabled = false; };
  r.bind(second, "second");
  r.clock.advance(100);
  EXPECT_EQ(r.count("second"), 0);
}

TEST(Clock, NothingIsDeliveredWhileAHandlerRuns) {
  Recorder r;
  form::Timer slow(r.clock, 1, true);
  form::Timer other(r.clock, 1, true);
  r.bind(other, "other");
  slow.onTimer = [&] {
    // A handler waiting in a message box: the front end keeps trying to advance.
    r.clock.advance(5000);
  };
  r.clock.advanceTo(Tick);
  EXPECT_EQ(r.clock.now(), Tick);
  EXPECT_EQ(r.count("other"), 1);
  {
    form::Clock::Delivery menuClick(r.clock);
    r.clock.advance(1000);
  }
  EXPECT_EQ(r.clock.now(), Tick);
  EXPECT_EQ(r.count("other"), 1);
}

}  // namespace

// The cost of the simulation: one system tick of a flying game, with the cave scrolling and
// narrowing, the collision test, the rotor, the score and pause timers and the climb and fall
// timers all running. An autopilot steers as a player would, by switching the climb and fall
// timers, aiming for the middle of the opening or the passage beside the obstacle; a crash
// starts a new game at once, so every measured tick is a tick of flight.
#include <benchmark/benchmark.h>

#include "FakeHost.h"

namespace {

// Where the helicopter should be: the middle of the opening ahead of its nose, or the
// passage beside the obstacle while that is near.
float target(const frmCavewing& f) {
  const form::Image& h = f.imgCopter;
  const form::Shape& m = f.shpTunnelM;
  if (m.Left < h.Left + h.Width + 7200 && m.Left + m.Width + 1200 > h.Left)
    return m.Top + m.Height / 2 >= 5460 ? m.Top - 450 : m.Top + m.Height + 450;
  const float nose = h.Left + h.Width;
  for (int i = 0; i <= 19; ++i) {
    const form::Shape& c = f.shptunnel[i];
    if (c.Left <= nose && nose < c.Left + c.Width)
      return (c.Top + c.Height + f.shptunnel[i + 20].Top) / 2;
  }
  return 5000;
}

void steer(frmCavewing& f) {
  const float predicted = f.imgCopter.Top + f.imgCopter.Height / 2 + 4 * float(f.climbSpeed);
  const bool climb = predicted > target(f);
  if (climb && !f.tmrUp.Enabled) f.tmrUp.Enabled = true;
  if (!climb && f.tmrUp.Enabled) {
    f.tmrUp.Enabled = false;
    f.tmrDown.Enabled = true;
  }
}

void BM_FlyingSystemTick(benchmark::State& state) {
  Game g;
  frmCavewing& f = g.form;
  g.start();
  std::int64_t crashes = 0, ticks = 0;
  for (auto _ : state) {
    steer(f);
    f.clock.advanceTo(f.clock.now() + f.clock.systemTick());
    ++ticks;
    if (f.gameOver) {
      ++crashes;
      f.lblCRASH.Visible = false;  // as the end of the crash sequence leaves it
      f.mnuNew_Click();
      f.cmdStart_Click();
    }
  }
  state.counters["crashes_per_1000_ticks"] = ticks ? 1000.0 * double(crashes) / double(ticks) : 0;
  state.counters["flying"] = f.gameRunning && !f.halted;
}
BENCHMARK(BM_FlyingSystemTick);

}  // namespace

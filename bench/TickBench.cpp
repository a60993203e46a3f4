// SPDX-License-Identifier: MIT
// The cost of the simulation: one system tick of a flying game, with the cave scrolling and
// narrowing, the collision test, the rotor, the score and pause timers and the climb and fall
// timers all running. The demo's autopilot steers through the window's mouse events, as a player
// would; a crash starts a new game at once, so every measured tick is a tick of flight.
#include <benchmark/benchmark.h>

#include "FakeHost.h"
#include "app/Phase.h"
#include "autopilot/Autopilot.h"

namespace {

void BM_FlyingSystemTick(benchmark::State& state) {
  Game g;
  frmCavewing& f = g.form;
  autopilot::Pilot pilot;
  g.start();
  std::int64_t crashes = 0, ticks = 0;
  for (auto _ : state) {
    pilot.steer(f);
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
  state.counters["flying"] = phaseOf(f) == Phase::Flying;
}
BENCHMARK(BM_FlyingSystemTick);

}  // namespace

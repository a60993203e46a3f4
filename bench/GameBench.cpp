// SPDX-License-Identifier: MIT
// The cost of a whole game, headless: load, START, the autopilot flying through the window's own
// mouse events until the crash, the banner, and the high-score list with its ranking, which reads
// and writes the table file. Seeds cycle through twenty caves, so each iteration is a different
// game; the counters give the game time flown and the speed against real time.
#include <benchmark/benchmark.h>

#include "ScoresFixture.h"
#include "autopilot/Autopilot.h"

namespace {

void BM_WholePilotedGame(benchmark::State& state) {
  const TempFolder folder;
  std::uint64_t seed = 0;
  double gameSeconds = 0;
  for (auto _ : state) {
    FakeHost host;
    host.appPath = folder.path.string();
    form::Random random(++seed % 20 + 1);
    frmCavewing form(host, random);
    autopilot::Pilot pilot;
    form.Form_Load();
    form.cmdStart_Click();
    const std::int64_t start = form.clock.now();
    while (!form.lblTitle.Visible) {
      form.clock.advanceTo(form.clock.now() + form.clock.systemTick());
      pilot.steer(form);
    }
    gameSeconds += double(form.clock.now() - start) / 1e6;
    benchmark::DoNotOptimize(form.lblScore.Caption);
  }
  state.counters["game_s"] = benchmark::Counter(gameSeconds, benchmark::Counter::kAvgIterations);
  state.counters["game_s_per_s"] = benchmark::Counter(gameSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholePilotedGame)->Unit(benchmark::kMillisecond);

}  // namespace

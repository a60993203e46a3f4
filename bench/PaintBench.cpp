// SPDX-License-Identifier: MIT
// The cost of painting: one frame of the playfield during flight, rendered offscreen into an
// image at the natural size, on a screen of device pixel ratio 1 and of ratio 2; and one whole
// frame as the running game makes it, from bringing the playfield in step with the form to the
// flush of what changed to the window (`make bench` runs that once more on a screen of twice the
// density), and a fixed run of those frames. Between frames the game flies on by one system tick,
// steered by the demo's pilot through the same presses and releases a player makes, so every frame
// shows a moving cave and a turning rotor.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>

#include "FakeHost.h"
#include "app/Phase.h"
#include "autopilot/Autopilot.h"
#include "qt/Playfield.h"

namespace {

void flyOneTick(Game& g) {
  frmCavewing& f = g.form;
  const bool climb = autopilot::wantsClimb(f);
  if (climb && !f.tmrUp.Enabled) f.Form_MouseDown(frmCavewing::LeftButton, 0, 0, 0);
  if (!climb && f.tmrUp.Enabled) f.Form_MouseUp(frmCavewing::LeftButton, 0, 0, 0);
  f.clock.advanceTo(f.clock.now() + f.clock.systemTick());
  if (f.gameOver) {
    f.lblCRASH.Visible = false;  // as the end of the crash sequence leaves it
    f.mnuNew_Click();
    f.cmdStart_Click();
  }
}

void BM_PaintFlyingFrame(benchmark::State& state) {
  const qreal ratio = qreal(state.range(0));
  Game g;
  g.start();
  Playfield field(g.form, frmCavewing::ScaleWidth);
  field.resize(field.sizeHint());
  QImage image(field.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  field.render(&image);  // the first frame loads the fonts
  for (auto _ : state) {
    state.PauseTiming();
    flyOneTick(g);
    field.syncWithForm();
    state.ResumeTiming();
    field.render(&image);
  }
  state.counters["flying"] = phaseOf(g.form) == Phase::Flying;
}
BENCHMARK(BM_PaintFlyingFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_ShownFlyingFrame(benchmark::State& state) {
  Game g;
  g.start();
  Playfield field(g.form, frmCavewing::ScaleWidth);
  field.resize(field.sizeHint());
  field.show();
  QCoreApplication::processEvents();  // the first, whole frame
  for (auto _ : state) {
    state.PauseTiming();
    flyOneTick(g);
    state.ResumeTiming();
    field.syncWithForm();
    QCoreApplication::sendPostedEvents();  // the repaint of what changed, and its flush
  }
  state.SetLabel("device pixel ratio " + std::to_string(int(field.devicePixelRatio())));
  state.counters["flying"] = phaseOf(g.form) == Phase::Flying;
}
BENCHMARK(BM_ShownFlyingFrame)->Unit(benchmark::kMicrosecond);
// The same frames, always as many: under callgrind, instruction counts that compare run by run.
BENCHMARK(BM_ShownFlyingFrame)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

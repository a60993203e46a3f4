// SPDX-License-Identifier: MIT
// The frame machinery shows what Qt alone paints: a recorded game replayed in the window, its
// frames shown as the running game shows them (only what changed, between grid points and at
// them), gives at sampled grid points the same pixels as a playfield that paints the whole field
// through Qt alone, a ghost beside the game too. `make test` runs this at device pixel ratio 1 and
// again at 2.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QTest>

#include "qt/GameWindow.h"
#include "replay/Recording.h"

namespace {

TEST(QtAlone, PaintsWhatTheFramesShow) {
  const replay::ReadResult read = replay::readFile(CAVEWING_TEST_REPLAYS "/new-high-score.replay");
  ASSERT_TRUE(read.recording) << read.error;
  CommandLine options;
  options.wide = read.recording->wide();
  GameWindow window(options, &*read.recording);
  window.pump().stop();  // the test moves the clock, frame by frame
  // Beside it, its ghost of a moment's delay: the same moves, each a little later after START.
  replay::Recording later = *read.recording;
  for (replay::Event& e : later.events)
    if (e.kind != replay::Event::Kind::Start) e.grid += 8;
  window.kit().setGhost(cabinet::kit::Ghost(later));
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const Playfield& field = *window.playfield();
  cabinet::Cabinet& cabinet = window.cabinet();
  const std::int64_t tick = cabinet.clock().systemTick();
  const float fieldWidth = cabinet.wide() ? frmCavewing::WideOuterWidth : frmCavewing::ScaleWidth;
  Playfield qtAlone(window.form(), fieldWidth, nullptr, Playfield::Painting::QtAlone);
  qtAlone.paintFrames(cabinet.view(), [] {});
  // Early in flight, with the recorded press's ring; in the narrowed cave.
  for (const std::int64_t sample : {40, 300, 650}) {
    while (cabinet.grid() < sample) {
      window.drive([&] { cabinet.advanceTo((cabinet.grid() + 1) * tick); });
      window.frame(cabinet.clock().now() - tick * 2 / 5);
      window.frame(cabinet.clock().now());
      QApplication::processEvents();
    }
    ASSERT_EQ(cabinet.phase(), Phase::Flying) << "grid point " << sample;
    // Early in flight the ghost flies well below the helicopter; it has crashed before the cave
    // narrows.
    EXPECT_EQ(window.kit().overlays().ghost.has_value(), sample == 40) << "grid point " << sample;
    // A frame of the state itself, as while real time stands: the view all the way along.
    window.frame(std::nullopt);
    QApplication::processEvents();
    const qreal ratio = window.devicePixelRatio();
    // The window's backing store holds what it has flushed to the screen, at device pixels.
    const auto* store = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    ASSERT_NE(store, nullptr) << "a raster window";
    const QImage shown =
        store->copy(QRect(field.mapTo(&window, QPoint(0, 0)) * ratio, field.size() * ratio))
            .convertToFormat(QImage::Format_RGB32);
    qtAlone.resize(field.size());
    qtAlone.showOverlays(window.kit().overlays());
    qtAlone.showFrame(1);
    QImage painted(field.size() * ratio, QImage::Format_RGB32);
    painted.setDevicePixelRatio(ratio);
    qtAlone.render(&painted);
    int differ = 0;
    QPoint first;
    for (int y = 0; y < painted.height(); ++y)
      for (int x = 0; x < painted.width(); ++x)
        if (shown.pixel(x, y) != painted.pixel(x, y) && differ++ == 0) first = QPoint(x, y);
    EXPECT_EQ(differ, 0) << "grid point " << sample << ": " << differ
                         << " pixels differ, the first at device pixel " << first.x() << ","
                         << first.y() << " at ratio " << ratio;
  }
}

}  // namespace

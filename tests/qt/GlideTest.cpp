// SPDX-License-Identifier: MIT
// The desktop on simulated displays of 60, 120 and 144 Hz: the window's frames come at the
// display's beat, and where the cave is drawn is read from what the window flushed, frame by
// frame. In flight every frame moves the cave by the same distance, within a device pixel of the
// even glide, and none shows the last one again; the start screen paints nothing after its first
// frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QTest>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

#include "cabinet/kit/Overlay.h"
#include "qt/GameWindow.h"

namespace {

constexpr std::int64_t Second = 1'000'000;

CommandLine options(bool demo) {
  CommandLine o;
  o.seed = 77;
  o.demo = demo;
  o.scoresFile = "/nonexistent/Cavewing.txt";  // nothing of the player's is written
  return o;
}

// A window whose display the test runs: real time is the test's, from `us` of game time on.
struct Display {
  explicit Display(bool demo, std::int64_t us) : window(options(demo)) {
    window.pump().stop();
    window.cabinet().advanceTo(us);
    window.kit().resumeRealTime(us);
    window.playfield()->installEventFilter(&paints);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
  }

  // Counts the playfield's paints.
  struct Paints : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      count += e->type() == QEvent::Paint;
      return false;
    }
  } paints;
  GameWindow window;
};

// How far the cave's green ceiling reaches down in each column of the field, from below the
// captions at the top, as the window flushed it.
std::vector<int> caveColumns(GameWindow& window) {
  const auto* store = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
  EXPECT_NE(store, nullptr) << "a raster window";
  if (!store) return {};
  const Playfield* field = window.playfield();
  const QRect on(field->mapTo(&window, QPoint(0, 0)), field->size());
  constexpr int BelowCaptions = 80;
  std::vector<int> columns(std::size_t(on.width()));
  for (int x = 0; x < on.width(); ++x) {
    for (int y = BelowCaptions;
         y < on.height() && store->pixel(on.x() + x, on.y() + y) == qRgb(0, 255, 0); ++y)
      ++columns[std::size_t(x)];
  }
  return columns;
}

// How far left the cave moved from one frame to the next, in device pixels: the shift that
// matches the two frames' columns best.
int movedLeft(const std::vector<int>& was, const std::vector<int>& is, int most) {
  int best = 0;
  long bestMismatch = -1;
  for (int shift = 0; shift <= most; ++shift) {
    long mismatch = 0;
    for (std::size_t x = 0; x + std::size_t(most) < is.size(); ++x)
      mismatch += std::abs(was[x + std::size_t(shift)] - is[x]);

    if (bestMismatch < 0 || mismatch < bestMismatch) best = shift, bestMismatch = mismatch;
  }
  return best;
}

TEST(DesktopFrames, TheCaveGlidesEvenlyOnEveryDisplayAndTheStartScreenPaintsOnce) {
  for (const int rate : {60, 120, 144}) {
    SCOPED_TRACE(rate);
    const std::int64_t start = 2 * Second;  // the demo flies by then
    Display d(/*demo=*/true, start);
    GameWindow& w = d.window;
    ASSERT_EQ(w.cabinet().phase(), Phase::Flying);
    ASSERT_EQ(w.playfield()->size(), w.playfield()->sizeHint()) << "a device pixel a pixel";
    const double tick = double(w.cabinet().clock().systemTick());
    // The even glide: the cave's step in device pixels, spread over the frames of a step.
    const double glide =
        frmCavewing::ScrollStep / cabinet::kit::TwipsPerPixel * Second / tick / rate;
    std::vector<int> before;
    int uneven = 0, repeated = 0;
    for (int k = 0; k <= rate; ++k) {
      w.frame(start + k * Second / rate);
      ASSERT_EQ(w.cabinet().phase(), Phase::Flying) << "frame " << k;
      std::vector<int> now = caveColumns(w);
      if (!before.empty()) {
        const int moved = movedLeft(before, now, int(2 * glide) + 2);
        uneven += std::abs(moved - glide) > 1;
        repeated += moved == 0;
        if (std::abs(moved - glide) > 1 && uneven < 4)
          ADD_FAILURE() << "frame " << k << " moved the cave " << moved << " pixels, not " << glide;
      }
      before = std::move(now);
    }
    EXPECT_EQ(uneven, 0) << "frames off the even glide";
    EXPECT_EQ(repeated, 0) << "frames that showed the last one again";

    // The start screen: its first frame, then nothing painted while it stands.
    Display ready(/*demo=*/false, 0);
    ASSERT_EQ(ready.window.cabinet().phase(), Phase::Ready);
    ready.window.frame(0);
    QApplication::processEvents();
    const int first = ready.paints.count;
    for (int k = 1; k <= rate; ++k) {
      ready.window.frame(k * Second / rate);
      QApplication::processEvents();
    }
    EXPECT_EQ(ready.paints.count, first) << "paints of a start screen that stands";
  }

  // The beat itself: the screen's rate, the usual 60 Hz for a rate no screen has; where the
  // platform follows the display's frame callbacks, a frame on each of the window's update
  // requests until the picture stands.
  for (const auto& [rate, period] :
       std::initializer_list<std::pair<qreal, std::int64_t>>{{20, Second / 20},
                                                             {144, Second / 144},
                                                             {1000, Second / 1000},
                                                             {0, Second / 60},
                                                             {19, Second / 60},
                                                             {1001, Second / 60}})
    EXPECT_EQ(FramePacer::periodFor(rate), period) << rate;
  QWidget window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  int frames = 0;
  FramePacer pacer(
      window, [] { return std::int64_t{0}; }, [&](std::int64_t) { return ++frames < 3; },
      /*onUpdateRequests=*/true);
  pacer.request();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pacer.running(); }, 5000)) << frames << " frames";
  EXPECT_EQ(frames, 3);
}

}  // namespace

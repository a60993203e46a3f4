// SPDX-License-Identifier: MIT
// The desktop's pump on its own, on a real time the test sets: a hiccup shorter than a stall is
// caught up, grid point by grid point, and only a longer one drops time.
#include <gtest/gtest.h>

#include <QTest>

#include "../core/FakeHost.h"
#include "cabinet/Cabinet.h"
#include "cabinet/kit/Kit.h"
#include "qt/RealTimePump.h"

namespace {

struct Screen : cabinet::kit::Kit::Screen {
  void changed() override {}
  void timeStands(bool) override {}
};

TEST(RealTimePump, CatchesUpAHiccupShorterThanAStallAndDropsALongerOne) {
  FakeHost host;
  cabinet::Cabinet cabinet(host, cabinet::Sitting{});
  Screen screen;
  cabinet::kit::Kit kit(cabinet, screen);
  kit.load();
  const form::Clock& clock = cabinet.clock();
  const std::int64_t tick = clock.systemTick();
  std::int64_t realUs = 0;
  RealTimePump pump(
      kit, [] { return true; }, [&] { return realUs; });
  pump.start();

  // The thread was held up for `gridPoints` and a bit; the pump's next wake sees it.
  const auto heldUp = [&](int gridPoints) {
    const std::int64_t grid = clock.now();
    realUs += gridPoints * tick + tick / 2;
    EXPECT_TRUE(QTest::qWaitFor([&] { return clock.now() != grid; })) << "the pump woke";
    return (clock.now() - grid) / tick;
  };
  EXPECT_EQ(heldUp(form::Clock::stallGridPoints - 1), form::Clock::stallGridPoints - 1);
  EXPECT_EQ(clock.droppedUs(), 0) << "a hiccup is caught up";
  EXPECT_EQ(heldUp(form::Clock::stallGridPoints + 2), 1) << "a stall goes on from the next one";
  EXPECT_GT(clock.droppedUs(), 0);
}

}  // namespace

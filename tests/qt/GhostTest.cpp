// SPDX-License-Identifier: MIT
// The desktop's ghost: a recorded game's helicopter painted beside the player's flight, and only
// there; F9 hides it, and the choice comes back in the next run's window.
#include <gtest/gtest.h>

#include <QSettings>

#include "qt/GameWindow.h"
#include "start/words/Words.h"

namespace {

// The window `--ghost` opens: the recording's cave, its game as the ghost.
CommandLine againstGhost() {
  std::optional<CommandLine> opened;
  std::ostringstream out, err;
  launch({"--ghost", CAVEWING_TEST_REPLAYS "/new-high-score.replay"}, out, err,
         [&](const CommandLine& options, const replay::Recording*) {
           opened = options;
           return 0;
         });
  EXPECT_TRUE(opened) << err.str();
  return opened.value_or(CommandLine{});
}

// START, and the first grid points of a flight without a press: the player's helicopter falls,
// the ghost's climbs. Returns the field's picture there.
QImage flown(GameWindow& w) {
  w.pump().stop();
  w.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  const std::int64_t tick = w.cabinet().clock().systemTick();
  w.drive([&] { w.cabinet().advanceTo(w.cabinet().clock().now() + 24 * tick); });
  EXPECT_EQ(w.cabinet().phase(), Phase::Flying);
  return w.playfield()->grab().toImage();
}

// The rows of the widget where two pictures differ: empty when they are the same.
QRect differing(const QImage& a, const QImage& b) {
  QRect where;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) where |= QRect(x, y, 1, 1);
  return where;
}

TEST(QtGhost, ShowsBesideTheFlightUntilF9HidesItAndTheChoiceIsKept) {
  const CommandLine options = againstGhost();
  QImage shown, hidden;
  QRectF ghostAt;
  {
    GameWindow first(options);
    EXPECT_FALSE(first.hideGhostAction()->isChecked());
    shown = flown(first);
    const std::optional<cabinet::kit::GhostAt> ghost = first.kit().overlays().ghost;
    ASSERT_TRUE(ghost) << "the ghost flies beside the player";
    const form::Image& copter = first.form().imgCopter;
    EXPECT_GT(std::abs(ghost->top - copter.Top), copter.Height) << "apart, for the test to see";
    ghostAt = first.playfield()->twipsToWidget().mapRect(
        QRectF(ghost->left, ghost->top, copter.Width, copter.Height));
    first.hideGhostAction()->trigger();  // F9
    EXPECT_FALSE(first.kit().overlays().ghost);
    hidden = first.playfield()->grab().toImage();
  }
  const QRect where = differing(shown, hidden);
  EXPECT_FALSE(where.isEmpty()) << "the ghost is painted";
  EXPECT_TRUE(ghostAt.adjusted(-2, -2, 2, 2).contains(where))
      << "and only where it flies: " << where.y() << " to " << where.bottom() << " against "
      << ghostAt.top() << " to " << ghostAt.bottom();
  {
    GameWindow next(options);
    EXPECT_TRUE(next.hideGhostAction()->isChecked()) << "hidden is kept";
    EXPECT_EQ(flown(next), hidden);
    next.hideGhostAction()->trigger();
    EXPECT_EQ(next.playfield()->grab().toImage(), shown) << "shown again";
  }
  EXPECT_FALSE(GameWindow(options).hideGhostAction()->isChecked()) << "shown is kept too";
  CommandLine noGhost = options;
  noGhost.noGhost = true;
  EXPECT_TRUE(GameWindow(noGhost).hideGhostAction()->isChecked()) << "--no-ghost";
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing")
      .remove(cabinet::kit::GhostHiddenSetting);
}

}  // namespace

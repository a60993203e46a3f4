// SPDX-License-Identifier: MIT
// Presses on a playfield scaled away from its natural size: a press where the helicopter shows
// reaches the game as a press on the helicopter, and a press where it would show at the natural
// size, but does not now, is the window's. Run at the screen's own density; ctest runs it again
// at device pixel ratio 2.
#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTest>

#include "qt/GameWindow.h"
#include "qt/PlayerInput.h"

namespace {

constexpr double FieldWidth = 1016, FieldHeight = 722;  // logical pixels, 15 twips each

class ScaledPress : public ::testing::TestWithParam<QSize> {
protected:
  void SetUp() override {
    window.pump().stop();  // the helicopter stays where START put it
    const QSize size = GetParam();
    window.resize(size.width(), size.height() + window.menuBar()->sizeHint().height());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->resize(size);  // should the screen be too small to hold the whole window
    ASSERT_EQ(field->size(), size);
    QTest::mouseClick(field->startButton(), Qt::LeftButton);
    ASSERT_TRUE(form.gameRunning && form.imgCopter.Visible);
  }
  void TearDown() override { QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(1, 1)); }

  // The helicopter's rectangle in widget pixels, worked out here from the view alone: the field
  // scaled to fit and centred.
  QRectF copterShown() const {
    const QSize s = GetParam();
    const double scale = std::min(s.width() / FieldWidth, s.height() / FieldHeight);
    const QPointF origin((s.width() - FieldWidth * scale) / 2,
                         (s.height() - FieldHeight * scale) / 2);
    const form::Image& c = form.imgCopter;
    return {origin + QPointF(c.Left, c.Top) / 15 * scale, QSizeF(c.Width, c.Height) / 15 * scale};
  }
  // Where it would show at the natural size: one pixel for 15 twips, from the corner.
  QRectF copterNatural() const {
    const form::Image& c = form.imgCopter;
    return {c.Left / 15, c.Top / 15, c.Width / 15, c.Height / 15};
  }

  GameWindow window{CommandLine{}};
  const frmCavewing& form = window.form();
  Playfield* field = window.playfield();
};

TEST_P(ScaledPress, OnTheHelicopterWhereItShowsAndNowhereElse) {
  EXPECT_EQ(window.devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble())
      << "the view's density";
  const QPoint onIt = copterShown().center().toPoint();
  const QPoint whereItWas = copterNatural().center().toPoint();
  // The two points tell a scaled mapping from a natural one.
  ASSERT_FALSE(copterNatural().contains(onIt));
  ASSERT_FALSE(copterShown().contains(whereItWas));

  QTest::mousePress(field, Qt::LeftButton, {}, onIt);
  EXPECT_TRUE(window.input().helicopterHolds()) << "a press at " << onIt.x() << "," << onIt.y();
  EXPECT_TRUE(form.tmrUp.Enabled);
  QTest::mouseRelease(field, Qt::LeftButton, {}, whereItWas);
  EXPECT_FALSE(form.tmrUp.Enabled);

  QTest::mousePress(field, Qt::LeftButton, {}, whereItWas);
  EXPECT_FALSE(window.input().helicopterHolds())
      << "a press at " << whereItWas.x() << "," << whereItWas.y();
  EXPECT_TRUE(form.tmrUp.Enabled);  // the window's press climbs all the same
  QTest::mouseRelease(field, Qt::LeftButton, {}, whereItWas);

  // The helicopter's edges, a pixel inside and a pixel outside.
  const QRectF shown = copterShown();
  for (const auto& [at, on] : {std::pair{QPointF(shown.left() + 1, shown.center().y()), true},
                               std::pair{QPointF(shown.right() - 1, shown.center().y()), true},
                               std::pair{QPointF(shown.left() - 1, shown.center().y()), false},
                               std::pair{QPointF(shown.center().x(), shown.top() - 1), false},
                               std::pair{QPointF(shown.center().x(), shown.bottom() + 1), false}}) {
    QTest::mousePress(field, Qt::LeftButton, {}, at.toPoint());
    EXPECT_EQ(window.input().helicopterHolds(), on) << "a press at " << at.x() << "," << at.y();
    QTest::mouseRelease(field, Qt::LeftButton, {}, at.toPoint());
  }
}

INSTANTIATE_TEST_SUITE_P(Views, ScaledPress, ::testing::Values(QSize(1700, 900), QSize(700, 800)));

}  // namespace

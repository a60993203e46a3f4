// SPDX-License-Identifier: MIT
// The playfield at any window size and screen density: scaled to fit and centred on black, with
// sharp wall edges and pixel-art pictures scaled without blur; and F11 toggles full screen.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenuBar>
#include <cmath>

#include "qt/GameWindow.h"
#include "qt/Pictures.h"
#include "qt/WindowState.h"

namespace {

constexpr double FieldWidth = 1016, FieldHeight = 722;  // logical pixels, 15 twips each
const QColor Black(0, 0, 0), Green(0, 255, 0), Red(255, 0, 0);

struct View {
  QSize playfield;  // logical pixels
  qreal devicePixelRatio;
};

std::ostream& operator<<(std::ostream& out, const View& v) {
  return out << v.playfield.width() << "x" << v.playfield.height() << " at ratio "
             << v.devicePixelRatio;
}

class Scaling : public ::testing::TestWithParam<View> {
protected:
  Scaling() : window(options()) {
    window.pump().stop();  // the clock stands still: the pictures stay where the test put them
    const QSize size = GetParam().playfield;
    window.resize(size.width(), size.height() + window.menuBar()->height());
    window.playfield()->resize(size);  // what the window's layout does once shown on a screen
  }

  static CommandLine options() {
    CommandLine o;
    o.seed = 11;
    return o;
  }

  // Computed here from the field's size alone: the field scaled to fit, centred.
  double scale() const {
    const QSize s = GetParam().playfield;
    return std::min(s.width() / FieldWidth, s.height() / FieldHeight);
  }
  QPointF toLogical(double xTwips, double yTwips) const {
    const QSize s = GetParam().playfield;
    return {(s.width() - FieldWidth * scale()) / 2 + xTwips / 15 * scale(),
            (s.height() - FieldHeight * scale()) / 2 + yTwips / 15 * scale()};
  }
  QPoint toDevice(double xTwips, double yTwips) const {
    const QPointF p = toLogical(xTwips, yTwips) * GetParam().devicePixelRatio;
    return {int(std::floor(p.x())), int(std::floor(p.y()))};
  }

  // The playfield with its START button, as a screen of the view's density shows it.
  QImage grab() {
    const qreal ratio = GetParam().devicePixelRatio;
    QImage image(GetParam().playfield * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    window.playfield()->render(&image);
    return image;
  }
  QColor at(const QImage& image, double xTwips, double yTwips) const {
    return image.pixelColor(toDevice(xTwips, yTwips));
  }

  GameWindow window;
};

TEST_P(Scaling, StartButtonAndWallsAtTheirScaledPlaces) {
  const QImage image = grab();
  // START spans twips 6600..8600 x 4650..5655; its caption sits in the middle.
  EXPECT_EQ(at(image, 6900, 4800), Red) << "START, above its caption";
  EXPECT_EQ(at(image, 8300, 5500), Red) << "START, below its caption";
  EXPECT_EQ(at(image, 6400, 4800), Black) << "left of START";
  EXPECT_EQ(at(image, 600, 1500), Green) << "ceiling block 0";
  EXPECT_EQ(at(image, 14000, 10500), Green) << "floor block 31";
  EXPECT_EQ(at(image, 13900, 5400), Green) << "middle obstacle";
  EXPECT_EQ(at(image, 3000, 5000), Black) << "the cave's opening";

  const QRectF start(toLogical(6600, 4650), toLogical(8600, 5655));
  const QRect placed = window.playfield()->startButton()->geometry();
  EXPECT_NEAR(placed.left(), start.left(), 1);
  EXPECT_NEAR(placed.top(), start.top(), 1);
  EXPECT_NEAR(placed.width(), start.width(), 1.5);
  EXPECT_NEAR(placed.height(), start.height(), 1.5);
}

TEST_P(Scaling, CentredOnBlackOutsideTheField) {
  const QImage image = grab();
  const QPointF topLeft = toLogical(0, 0), bottomRight = toLogical(15240, 10830);
  const qreal ratio = GetParam().devicePixelRatio;
  // Every pixel outside the field is black; the field's own corners are wall.
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QPointF p((x + 0.5) / ratio, (y + 0.5) / ratio);
      const bool outside = p.x() < topLeft.x() - 0.5 || p.x() > bottomRight.x() + 0.5 ||
                           p.y() < topLeft.y() - 0.5 || p.y() > bottomRight.y() + 0.5;
      if (outside) {
        ASSERT_EQ(image.pixelColor(x, y), Black) << "at device pixel " << x << "," << y;
      }
    }
  EXPECT_EQ(at(image, 10, 10), Green);
  EXPECT_EQ(at(image, 15230, 10820), Green);
}

TEST_P(Scaling, WallEdgesAreSharp) {
  // A row through the middle obstacle, below START: pure black and pure green only, and the
  // obstacle as wide as it should be to a device pixel.
  const QImage image = grab();
  const int y = toDevice(0, 6300).y();
  int green = 0;
  for (int x = 0; x < image.width(); ++x) {
    const QColor c = image.pixelColor(x, y);
    ASSERT_TRUE(c == Black || c == Green)
        << "blended colour " << c.name().toStdString() << " at " << x;
    green += c == Green;
  }
  EXPECT_NEAR(green, 1200.0 / 15 * scale() * GetParam().devicePixelRatio, 1.0);
}

TEST_P(Scaling, HelicopterAfterStartIsScaledWithoutBlur) {
  window.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  const form::Image& copter = window.form().imgCopter;
  ASSERT_TRUE(copter.Visible);
  const QImage image = grab();
  // Each opaque pixel of the picture shows its own colour at its scaled centre; a smoothing
  // scaler would mix it with its neighbours wherever they differ.
  const QImage sprite = pixmapFor(copter.Picture).toImage();
  int opaque = 0, exact = 0;
  for (int y = 0; y < sprite.height(); ++y)
    for (int x = 0; x < sprite.width(); ++x) {
      const QColor c = sprite.pixelColor(x, y);
      if (c.alpha() != 255) continue;
      ++opaque;
      exact += at(image, copter.Left + (x + 0.5) * 15, copter.Top + (y + 0.5) * 15) == c;
    }
  ASSERT_GT(opaque, 500);
  EXPECT_GE(exact, opaque * 98 / 100) << exact << " of " << opaque << " pixels exact";
}

INSTANTIATE_TEST_SUITE_P(Views, Scaling,
                         ::testing::Values(View{{1016, 722}, 1}, View{{1700, 900}, 1},
                                           View{{1700, 900}, 2}, View{{700, 800}, 2}));

TEST(FullScreen, F11TogglesItInEveryPhase) {
  CommandLine options;
  options.seed = 2;
  GameWindow window(options);
  window.pump().stop();
  const WindowState* state = window.findChild<WindowState*>();
  ASSERT_NE(state, nullptr);
  QAction* toggle = state->fullScreenAction();
  EXPECT_EQ(toggle->shortcut(), QKeySequence(Qt::Key_F11));
  EXPECT_TRUE(window.actions().contains(toggle)) << "F11 works without opening a menu";

  toggle->trigger();
  EXPECT_TRUE(window.isFullScreen());
  // In flight the menus are off; full screen is the window's business and stays at hand.
  window.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  ASSERT_FALSE(window.form().mnuFile.Enabled);
  EXPECT_TRUE(toggle->isEnabled());
  toggle->trigger();
  EXPECT_FALSE(window.isFullScreen());
}

}  // namespace

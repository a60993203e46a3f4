// SPDX-License-Identifier: MIT
// What the window shows after frames of flight is exactly what a full repaint of the same state
// paints: the playfield repaints only what changed, and a pixel it forgets stays on screen (a
// wall smeared across the cave). The window's own pixels are taken from what it flushed.
// `make test` runs this at device pixel ratio 1 and again at 2.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QMenuBar>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "Counting.h"
#include "autopilot/Autopilot.h"
#include "qt/GameWindow.h"
#include "qt/frames/XcbSurface.h"

namespace {

class PaintEquivalence : public ::testing::Test {
protected:
  PaintEquivalence() : window(options()) {
    window.pump().stop();  // the test moves the clock, frame by frame
    window.kit().resumeRealTime(window.form().clock.now());  // real time is the game's
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  }

  static CommandLine options() {
    CommandLine o;
    o.seed = 5;
    o.scoresFile = "/nonexistent/Cavewing.txt";  // nothing of the player's is written
    return o;
  }

  // One grid point after another, steered by the demo's pilot, each painted and flushed as the
  // running game would: only the damage the playfield reports, in frames of the display between
  // grid points and at them.
  void fly(int gridPoints) {
    const frmCavewing& f = window.form();
    for (int i = 0; i < gridPoints; ++i) {
      if (const auto press = pilot.nextHand(f))
        window.deliver(
            replay::Event{.kind = *press ? replay::Event::Kind::Down : replay::Event::Kind::Up,
                          .button = frmCavewing::LeftButton,
                          .x = autopilot::HandX,
                          .y = autopilot::HandY});
      // The window catches up with what the clock changed.
      window.drive([&] { window.cabinet().advanceTo(f.clock.now() + f.clock.systemTick()); });
      window.frame(f.clock.now() - f.clock.systemTick() * 2 / 5);
      window.frame(f.clock.now());
      QApplication::processEvents();
    }
    ASSERT_EQ(phaseOf(f), Phase::Flying) << "the pilot crashed: pick another seed";
  }

  // The playfield's pixels as the screen shows them, and as a full repaint of the same state.
  void expectShownEqualsFullRepaint(const char* when) {
    Playfield* field = window.playfield();
    const qreal ratio = window.devicePixelRatio();
    // The window's backing store holds what it has flushed to the screen, at device pixels.
    const auto* store = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    ASSERT_NE(store, nullptr) << "a raster window";
    const QRect onStore(field->mapTo(&window, QPoint(0, 0)) * ratio, field->size() * ratio);
    ASSERT_TRUE(store->rect().contains(onStore)) << when;
    expectEqualsFullRepaint(store->copy(onStore), when);
  }

  // A full repaint of the playfield's state, at device pixels, in the pixels of a picture shown
  // of `depth` bits: a screen of 16 bits rounds colours its way.
  QImage fullRepaint(int depth) {
    Playfield* field = window.playfield();
    const qreal ratio = window.devicePixelRatio();
    QImage full(field->size() * ratio, depth == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32);
    full.setDevicePixelRatio(ratio);
    full.fill(Qt::magenta);
    field->render(&full);
    return full.convertToFormat(QImage::Format_RGB32);
  }

  // The playfield's pixels `shown`, at device pixels, against a full repaint of its state.
  void expectEqualsFullRepaint(const QImage& shownAsIs, const char* when) {
    const qreal ratio = window.devicePixelRatio();
    const QImage shown = shownAsIs.convertToFormat(QImage::Format_RGB32);
    const QImage full = fullRepaint(shownAsIs.depth());
    ASSERT_EQ(shown.size(), full.size()) << when;
    int differ = 0;
    QPoint first;
    for (int y = 0; y < full.height(); ++y)
      for (int x = 0; x < full.width(); ++x)
        if (shown.pixel(x, y) != full.pixel(x, y) && differ++ == 0) first = QPoint(x, y);
    EXPECT_EQ(differ, 0) << when << ": " << differ << " pixels differ, the first at device pixel "
                         << first.x() << "," << first.y() << " at ratio " << ratio;
  }

  GameWindow window;
  autopilot::Pilot pilot;
};

TEST_F(PaintEquivalence, FlightShowsWhatAFullRepaintPaints) {
  for (int second = 0; second < 3; ++second) {
    fly(64);
    expectShownEqualsFullRepaint("after seconds of flight");
  }
  fly(5);  // between the steps of the cave's narrowing and of the rotor
  expectShownEqualsFullRepaint("a few grid points on");
  EXPECT_FALSE(window.playfield()->syncWithForm()) << "a change seen where nothing moved";
}

// Keeps out: work that no picture shows and every frame pays for. A damage wider than what
// changed (a margin, a rounding or a merge that repaints more than it saves); and, where the
// painter fills (a screen that is not 32-bit pixels), a rectangle filled beyond the damage it
// meets, a caption drawn where the damage does not reach its glyphs, a clip not needed. Two
// seconds of this flight repaint the pixels, in the rectangles, with the painter's work,
// measured when the machinery was last made cheaper: a change that does other work says so here,
// with its own measure.
TEST_F(PaintEquivalence, FlightRepaintsWhatWasMeasured) {
  fly(8);
  struct Repainted : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint)
        damaged.push_back(static_cast<QPaintEvent*>(event)->region());
      return false;
    }
    std::vector<QRegion> damaged;
  } repainted;
  Playfield* field = window.playfield();
  field->installEventFilter(&repainted);
  long pixels = 0, rects = 0;
  Counting painter;  // the same damage painted on a device the frames cannot fill in memory
  for (int gridPoint = 0; gridPoint < 128; ++gridPoint) {
    fly(1);
    for (const QRegion& damaged : std::exchange(repainted.damaged, {})) {
      for (const QRect& r : damaged) pixels += long(r.width()) * r.height();
      rects += damaged.rectCount();
      field->render(&painter, QPoint(), damaged, QWidget::RenderFlags());
    }
    repainted.damaged.clear();  // the renders' own paint events
  }
  const std::vector<long> done = {
      pixels,        rects,         painter.rects,   std::lround(painter.area),
      painter.texts, painter.clips, painter.pictures};
  const std::vector<long> measured =
      window.devicePixelRatio() == 1
          ? std::vector<long>{1266853, 3593, 4490, 971091287, 40, 0, 256}
          : std::vector<long>{841305, 4240, 4490, 913213211, 40, 512, 256};
  EXPECT_EQ(done, measured) << "pixels and rectangles repainted, rectangles filled, their area, "
                               "runs of text, clips, pictures, at ratio "
                            << window.devicePixelRatio();
}

TEST_F(PaintEquivalence, AfterAResize) {
  fly(32);
  window.resize(1300, 800 + window.menuBar()->height());
  QApplication::processEvents();
  fly(64);
  expectShownEqualsFullRepaint("after growing the window");
  window.resize(700, 600);
  QApplication::processEvents();
  fly(64);
  expectShownEqualsFullRepaint("after shrinking it");
}

TEST_F(PaintEquivalence, AfterAMessageBoxClosed) {
  fly(32);
  QTimer::singleShot(50, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  window.deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = "mnuHow"});
  ASSERT_EQ(QApplication::activeModalWidget(), nullptr);
  QApplication::processEvents();
  fly(64);
  expectShownEqualsFullRepaint("after How to Play was closed");
}

// The damage may be as thin as a pixel, and a wall's edge may fall on any of its rows or columns:
// a repaint of single pixels all over the field, on a picture scribbled over there, fills each.
// So does a repaint of strips of every width up to forty pixels (narrow strips are filled in a
// few stores a row, wider ones in a loop).
TEST_F(PaintEquivalence, RepaintsOfSinglePixelsAndStripsFillEachOfThem) {
  fly(40);
  Playfield* field = window.playfield();
  const qreal ratio = window.devicePixelRatio();
  const QPoint on = field->mapTo(&window, QPoint(0, 0)) * ratio;
  const auto scribbleAndRepaint = [&](std::vector<QRect> rects, const char* when) {
    // The window's backing store as it is now: a repaint may have made it anew.
    auto* store = dynamic_cast<QImage*>(window.backingStore()->paintDevice());
    ASSERT_NE(store, nullptr) << "a raster window";
    for (const QRect& r : rects)
      for (int y = int(r.top() * ratio); y < int((r.bottom() + 1) * ratio); ++y)
        for (int x = int(r.left() * ratio); x < int((r.right() + 1) * ratio); ++x)
          store->setPixel(on + QPoint(x, y), qRgb(255, 0, 255));
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    field->repaint(region);
    expectShownEqualsFullRepaint(when);
  };
  std::vector<QRect> pixels;
  for (int y = 0; y < field->height(); y += 3)
    for (int x = 0; x < field->width(); x += 4) pixels.emplace_back(x, y, 1, 1);
  scribbleAndRepaint(pixels, "after single pixels were repainted");
  // Each in rows of its own, from the cave down into its floor.
  std::vector<QRect> strips;
  const int top = field->height() / 2;
  for (int width = 1; width <= 40; ++width) strips.emplace_back(width, top + 2 * width, width, 2);
  scribbleAndRepaint(strips, "after strips were repainted");
}

// Captions are laid out once and drawn from that layout: a caption that changes in flight (the
// score) is painted as it reads now, as a playfield painting it for the first time paints it.
TEST_F(PaintEquivalence, ChangedCaptionsArePaintedAnew) {
  fly(64);
  Playfield* field = window.playfield();
  Playfield fresh(window.form(), frmCavewing::ScaleWidth);
  fresh.resize(field->size());
  const auto painted = [](Playfield& p) {
    QImage image(p.size(), QImage::Format_RGB32);
    p.render(&image);
    return image;
  };
  const std::string before = window.form().lblScore.Caption;
  painted(*field);
  fly(8);
  ASSERT_NE(window.form().lblScore.Caption, before) << "the score counts on in flight";
  const QImage shown = painted(*field);
  EXPECT_TRUE(shown == painted(fresh)) << "the score is painted as it read before";
}

// A picture scaled by a factor that is no whole number lands between device pixels; drawn by the
// painter, its rows depend on where the repainted area starts, and the helicopter showed a row
// more than a full repaint paints (at a ratio of 2, in a window smaller than the field).
TEST_F(PaintEquivalence, ScaledPicturesMatchAFullRepaint) {
  for (int frames : {72, 8, 8, 8}) {
    fly(frames);
    expectShownEqualsFullRepaint("a scaled helicopter");
  }
}

// Keeps out: a picture put as it is on a window whose server holds pixels otherwise (another byte
// order, another depth or size of pixel, colours in other bits, a visual of colour maps), where it
// would show wrong colours or be refused. Only the X servers here can be run, all alike in most of
// these: each is told apart from the window that takes the picture.
TEST(XcbSurface, TakesAPictureAsItIsOnlyWhereTheServerHoldsPixelsAsItDoes) {
  using Server = XcbSurface::ServerPixels;
  const Server takes{true, 24, 32, {true, 0xff0000, 0xff00, 0xff}};
  for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied})
    EXPECT_TRUE(XcbSurface::takesRgb32(takes, format)) << format;
  EXPECT_FALSE(XcbSurface::takesRgb32(takes, QImage::Format_RGB16));
  const std::pair<const char*, std::function<void(Server&)>> otherwise[] = {
      {"other byte order", [](Server& s) { s.hostByteOrder = false; }},
      {"16 bits deep", [](Server& s) { s.depth = 16; }},
      {"24 bits a pixel", [](Server& s) { s.bitsPerPixel = 24; }},
      {"a colour map's visual", [](Server& s) { s.visual.trueColor = false; }},
      {"blue in the high byte", [](Server& s) { std::swap(s.visual.red, s.visual.blue); }},
      {"green elsewhere", [](Server& s) { s.visual.green = 0xff000000; }},
  };
  for (const auto& [what, change] : otherwise) {
    Server server = takes;
    change(server);
    EXPECT_FALSE(XcbSurface::takesRgb32(server, QImage::Format_RGB32)) << what;
  }
}

// On an X server the frames of flight are put on the window by the machinery's own put, past
// Qt's flush, which makes the X server handle every pixel twice (XcbSurface.h). A frame that Qt
// paints comes to the playfield as a paint event, and Qt flushes it: none of flight's frames
// does, and the window on the X server shows what a full repaint paints. Run by ctest's qt_x11,
// on a display of its own.
class OnX11 : public PaintEquivalence {};

// Counts the paint events a widget is sent.
class PaintEvents : public QObject {
public:
  explicit PaintEvents(QWidget& widget) { widget.installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return QObject::eventFilter(watched, event);
  }
  int count = 0;
};

// On a screen of 24-bit pixels the frames are put past Qt's flush; on one of 16 bits, which that
// put cannot take, Qt flushes them. The window shows a full repaint's pixels either way, and
// again once a window that covered the field is gone: Qt answers that exposure from its own copy
// of the window, which the frames put past its flush do not reach.
TEST_F(OnX11, FramesOfFlightArePutPastQtsFlushWhereTheScreenTakesThem) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "on an X server's display";
  const int depth = window.screen()->depth();
  ASSERT_TRUE(depth == 24 || depth == 16) << depth;
  fly(8);
  Playfield* field = window.playfield();
  const PaintEvents paints(*field);
  fly(64);
  if (depth == 24)
    EXPECT_EQ(paints.count, 0) << "frames of flight painted and flushed by Qt";
  else
    EXPECT_GT(paints.count, 0) << "frames of flight put where the screen cannot take them";
  const QPoint at = field->mapTo(&window, QPoint(0, 0));
  const auto onServer = [&] {
    return window.screen()
        ->grabWindow(window.winId(), at.x(), at.y(), field->width(), field->height())
        .toImage();
  };
  expectEqualsFullRepaint(onServer(), "the window on the X server after flight");
  {
    QWidget cover;
    cover.setWindowFlags(Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    cover.setGeometry(QRect(field->mapToGlobal(QPoint(0, 0)), field->size()));
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  }
  const QImage full = fullRepaint(depth);
  const bool shown = QTest::qWaitFor(
      [&] { return onServer().convertToFormat(QImage::Format_RGB32) == full; }, 5000);
  if (!shown) expectEqualsFullRepaint(onServer(), "the field once the window over it is gone");
  EXPECT_TRUE(shown);
}

}  // namespace

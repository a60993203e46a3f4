// SPDX-License-Identifier: MIT
// The desktop's picture of a recorded game against the page's: the recording is replayed in the
// desktop's window (offscreen) to each grid point given, the playfield grabbed at its own size,
// and compared pixel by pixel with the page's screenshot of the same grid point. Wherever no
// text is painted, every pixel must be the same; text may differ by its anti-aliasing (the
// browser's rasteriser is not Qt's), so over the whole field only a small share of pixels may
// differ; each text has its ink where the other has it (a label within a pixel, in its font), and
// the replay's ring as much ink. Prints how close each pair is. A grid point written with a "p"
// (650p) is compared once the window has gone away there: under the stand-still's band, whose
// texts must have their ink at the same pixels on both.
//
//   compare_field RECORDING GRID PAGE.png [GRID PAGE.png ...]
#include <QApplication>
#include <QImage>
#include <QRegion>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "cabinet/kit/Overlay.h"
#include "qt/GameWindow.h"

namespace {

constexpr int TwipsPerPixel = 15;
// What text may reach past its label's box, and the REPLAY badge in the corner: the areas where
// the two rasterisers' anti-aliasing may differ.
constexpr int TextMargin = 4;
const QRect BadgeCorner(0, 0, 216, 30);
constexpr int RingReach = 14 + 3;  // the recorded press's ring: radius and pen
// Text is a small part of a field in flight; a larger share is more than anti-aliasing.
constexpr double MostDifferingShare = 0.015;
// The stand-still's texts, large on the band: their rasterisers differ at the glyphs' edges
// only; the same text a few pixels off differs on a good part of its box.
constexpr double MostDifferingShareOverStandStillText = 0.04;

QRect pixelsOf(const form::Control& c, int margin = 0) {
  const auto px = [](float twips) { return int(std::lround(twips / TwipsPerPixel)); };
  return QRect(QPoint(px(c.Left), px(c.Top)), QPoint(px(c.Left + c.Width), px(c.Top + c.Height)))
      .adjusted(-margin, -margin, margin - 1, margin - 1);
}

QRect pixelsOf(const cabinet::kit::Box& b, int margin) {
  return QRect(QPoint(int(std::lround(b.left)), int(std::lround(b.top))),
               QPoint(int(std::lround(b.left + b.width)), int(std::lround(b.top + b.height))))
      .adjusted(-margin, -margin, margin - 1, margin - 1);
}

// Where the stand-still's texts are painted on a field `field` pixels wide.
QRegion standStillText(QRect field) {
  namespace kit = cabinet::kit;
  const kit::StandStillBoxes at =
      kit::standStillAcross(float(field.width() * TwipsPerPixel), frmCavewing::ScaleHeight);
  return QRegion(pixelsOf(at.title, TextMargin)) + pixelsOf(at.hint, TextMargin);
}

// Where the stand-still's texts have their ink, on the page and on the desktop: the bounds of the
// pixels of each text's own colour, the anti-aliased edges left out. Differing bounds: a text
// moved, if only by a pixel.
constexpr int InkCloseness = 96;  // in each channel
bool inkOf(QRgb p, int rgb) {
  return std::abs(qRed(p) - (rgb >> 16 & 255)) < InkCloseness &&
         std::abs(qGreen(p) - (rgb >> 8 & 255)) < InkCloseness &&
         std::abs(qBlue(p) - (rgb & 255)) < InkCloseness;
}
// Each text (its name, where it is painted, its colour) at the same pixels on both.
struct Text {
  QString name;
  QRect box;
  int rgb;
  int slack;  // pixels either edge may be off: a label's glyphs are hinted apart
};
std::optional<QString> textMoved(const QImage& desktop, const QImage& page,
                                 const std::vector<Text>& texts) {
  const auto ink = [](const QImage& picture, QRect box, int rgb) {
    QRect bounds;
    box &= picture.rect();
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x)
        if (inkOf(picture.pixel(x, y), rgb)) bounds |= QRect(x, y, 1, 1);
    return bounds;
  };
  const auto where = [](QRect r) {
    return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
  };
  for (const Text& t : texts) {
    const QRect onDesktop = ink(desktop, t.box, t.rgb), onPage = ink(page, t.box, t.rgb);
    const int off = std::max({std::abs(onPage.left() - onDesktop.left()),
                              std::abs(onPage.top() - onDesktop.top()),
                              std::abs(onPage.right() - onDesktop.right()),
                              std::abs(onPage.bottom() - onDesktop.bottom())});
    if (onDesktop.isEmpty() || off > t.slack)
      return QString("\"%1\" has its ink at %2 on the desktop, at %3 on the page")
          .arg(t.name, where(onDesktop), where(onPage));
  }
  return std::nullopt;
}

// The form's visible labels and the stand-still's texts.
std::vector<Text> textsOf(const frmCavewing& form, QRect field, bool standStill) {
  namespace kit = cabinet::kit;
  std::vector<Text> texts;
  for (const form::Label* l : form.paintLabels)
    if (l->Visible && !l->Caption.empty())
      texts.push_back({QString::fromStdString(l->Caption), pixelsOf(*l, TextMargin),
                       l->ForeColor.r << 16 | l->ForeColor.g << 8 | l->ForeColor.b, 1});
  if (!standStill) return texts;
  const kit::StandStillBoxes at =
      kit::standStillAcross(float(field.width() * TwipsPerPixel), frmCavewing::ScaleHeight);
  const kit::StandStillLook& look = kit::StandStillBand;
  texts.push_back({look.title.text, pixelsOf(at.title, TextMargin), look.title.rgb, 0});
  texts.push_back({look.hint.text, pixelsOf(at.hint, TextMargin), look.hint.rgb, 0});
  return texts;
}

// The recorded press's ring: its ink on its circle, as much on the page as on the desktop, within
// what anti-aliasing makes of a circle (a ring of another pen differs by more).
constexpr double MostDifferingRingInk = 0.25;
std::optional<QString> ringInkDiffers(const QImage& desktop, const QImage& page, QPointF at) {
  const cabinet::kit::RingLook& ring = cabinet::kit::ReplayRing;
  const QPointF centre = at / TwipsPerPixel;
  const auto ink = [&](const QImage& picture) {
    int pixels = 0;
    for (int y = int(centre.y() - RingReach); y <= int(centre.y() + RingReach); ++y)
      for (int x = int(centre.x() - RingReach); x <= int(centre.x() + RingReach); ++x)
        pixels += picture.rect().contains(x, y) &&
                  std::abs(std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y()) - ring.radius) <=
                      ring.pen &&
                  inkOf(picture.pixel(x, y), ring.rgb);
    return pixels;
  };
  const int onDesktop = ink(desktop), onPage = ink(page);
  if (std::abs(onPage - onDesktop) <= MostDifferingRingInk * onDesktop) return std::nullopt;
  return QString("the ring has %1 pixels of ink on the desktop, %2 on the page")
      .arg(onDesktop)
      .arg(onPage);
}

// Where the game painted no text: its rectangles, its pictures and the bare field, none of its
// labels, badge, ring or stand-still texts over them.
QRegion apartFromText(const frmCavewing& form, QRect field, std::optional<QPointF> ring,
                      bool standStill) {
  QRegion text(BadgeCorner);
  if (standStill) text += standStillText(field);
  for (const form::Label* l : form.paintLabels)
    if (l->Visible) text += pixelsOf(*l, TextMargin);
  if (ring) {
    const QPoint c = (*ring / TwipsPerPixel).toPoint();
    text += QRect(c, c).adjusted(-RingReach - 1, -RingReach - 1, RingReach + 1, RingReach + 1);
  }
  return QRegion(field) - text;
}

struct Closeness {
  long pixels = 0, differing = 0, differingApart = 0, overlay = 0, differingOverlay = 0;
  int maxChannel = 0;
  QPoint firstApart;
};

Closeness compare(const QImage& desktop, const QImage& page, const QRegion& apart,
                  const QRegion& overlay) {
  Closeness c;
  c.pixels = long(desktop.width()) * desktop.height();
  for (int y = 0; y < desktop.height(); ++y)
    for (int x = 0; x < desktop.width(); ++x) {
      const QRgb a = desktop.pixel(x, y), b = page.pixel(x, y);
      const bool inOverlay = overlay.contains(QPoint(x, y));
      c.overlay += inOverlay;
      if (a == b) continue;
      ++c.differing;
      c.differingOverlay += inOverlay;
      c.maxChannel = std::max({c.maxChannel, std::abs(qRed(a) - qRed(b)),
                               std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
      if (apart.contains(QPoint(x, y)) && c.differingApart++ == 0) c.firstApart = {x, y};
    }
  return c;
}

// The desktop's picture, darkened, with the pixels the page has otherwise in magenta.
QImage differences(const QImage& desktop, const QImage& page) {
  QImage d(desktop.size(), QImage::Format_RGB32);
  for (int y = 0; y < d.height(); ++y)
    for (int x = 0; x < d.width(); ++x)
      d.setPixel(x, y,
                 desktop.pixel(x, y) == page.pixel(x, y)
                     ? qRgb(qRed(desktop.pixel(x, y)) / 3, qGreen(desktop.pixel(x, y)) / 3,
                            qBlue(desktop.pixel(x, y)) / 3)
                     : qRgb(255, 0, 255));
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: %s RECORDING GRID PAGE.png [GRID PAGE.png ...]\n", argv[0]);
    return 2;
  }
  // Offscreen, on a screen with room for the whole window, remembering nothing of the user's.
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" CAVEWING_TEST_SCREEN);
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_RUNTIME_DIR", config.path().toUtf8());
  QApplication app(argc, argv);

  const replay::ReadResult read = replay::readFile(argv[1]);
  if (!read.recording) {
    std::fprintf(stderr, "%s: %s\n", argv[1], read.error.c_str());
    return 2;
  }
  CommandLine options;
  options.wide = read.recording->wide();
  GameWindow window(options, &*read.recording);
  window.pump().stop();  // the grid points are stepped here, not by real time
  cabinet::Cabinet& cabinet = window.cabinet();

  bool same = true;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::int64_t grid = std::atoll(argv[i]);
    const bool standStill = QString(argv[i]).endsWith('p');
    while (cabinet.grid() < grid)
      window.drive([&] { cabinet.advanceTo((cabinet.grid() + 1) * cabinet.clock().systemTick()); });
    QApplication::processEvents();
    if (cabinet.grid() != grid || cabinet.phase() != Phase::Flying) {
      std::fprintf(stderr, "grid point %s: the recording is not in flight there\n", argv[i]);
      return 2;
    }
    if (standStill && !window.kit().wentAway(true)) {
      std::fprintf(stderr, "grid point %s: flight does not stand still there\n", argv[i]);
      return 2;
    }
    QApplication::processEvents();
    // Where the recorded player holds a button down, the window shows a ring.
    const cabinet::kit::Overlays& overlays = window.kit().overlays();
    std::optional<QPointF> ring;
    if (overlays.ringX) ring = QPointF(*overlays.ringX, *overlays.ringY);
    Playfield* field = window.playfield();
    field->resize(field->sizeHint());  // the field at its own size, a pixel a logical pixel
    QImage desktop(field->size(), QImage::Format_RGB32);
    field->render(&desktop);
    const QImage page = QImage(argv[i + 1]).convertToFormat(QImage::Format_RGB32);
    if (page.size() != desktop.size()) {
      std::fprintf(stderr, "%s: %dx%d, the desktop's field is %dx%d\n", argv[i + 1], page.width(),
                   page.height(), desktop.width(), desktop.height());
      return 2;
    }
    const Closeness c =
        compare(desktop, page, apartFromText(window.form(), desktop.rect(), ring, standStill),
                standStill ? standStillText(desktop.rect()) : QRegion());
    const double share = double(c.differing) / double(c.pixels);
    const double overlayShare = c.overlay ? double(c.differingOverlay) / double(c.overlay) : 0;
    if (standStill)
      std::printf("grid point %s: %.2f %% of the stand-still's text boxes differ\n", argv[i],
                  100 * overlayShare);
    std::printf(
        "grid point %s: %.2f %% of the pixels differ, by at most %d in a channel; "
        "apart from text, %s\n",
        argv[i], 100 * share, c.maxChannel,
        c.differingApart ? "some differ" : "every pixel is the same");
    const bool textElsewhere = overlayShare > MostDifferingShareOverStandStillText;
    std::optional<QString> inkMoved =
        textMoved(desktop, page, textsOf(window.form(), desktop.rect(), standStill));
    if (ring && !inkMoved) inkMoved = ringInkDiffers(desktop, page, *ring);
    if (c.differingApart || share > MostDifferingShare || textElsewhere || inkMoved) {
      same = false;
      if (c.differingApart)
        std::printf("  %ld pixels apart from text differ, the first at %d,%d\n", c.differingApart,
                    c.firstApart.x(), c.firstApart.y());
      if (share > MostDifferingShare)
        std::printf("  more than %.1f %% of the pixels differ\n", 100 * MostDifferingShare);
      if (textElsewhere) std::printf("  \"PAUSED\" or its hint is not where the page has it\n");
      if (inkMoved) std::printf("  %s\n", qPrintable(*inkMoved));
      const QString stem = QString(argv[i + 1]).chopped(4);
      desktop.save(stem + "-desktop.png");
      differences(desktop, page).save(stem + "-differ.png");
      std::printf("  the desktop's picture and the differences: %s-desktop.png, -differ.png\n",
                  qPrintable(stem));
    }
  }
  return same ? 0 : 1;
}

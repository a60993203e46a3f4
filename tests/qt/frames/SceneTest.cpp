// SPDX-License-Identifier: MIT
// The playfield repaints what changed and nothing else: a control whose colour, box or font alone
// changes is seen to change, not left painted as it was; the frame painter fills straight in memory
// where it can, and draws a caption's glyphs only where the damage reaches.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QTest>
#include <map>

#include "../../core/FakeHost.h"
#include "Counting.h"
#include "cabinet/kit/Overlay.h"
#include "qt/FieldLook.h"
#include "qt/Pictures.h"
#include "qt/Playfield.h"
#include "qt/frames/FramePainter.h"

namespace {

// Keeps out: a change of a border colour, a text colour, a box or a font alone not repainted, and
// START left where the form's button was.
TEST(Playfield, SeesEveryChangeOfWhatAControlIsPaintedWith) {
  Game game;
  frmCavewing& form = game.form;
  Playfield field(form, frmCavewing::ScaleWidth);
  field.resize(field.sizeHint());
  field.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
  field.syncWithForm();
  ASSERT_FALSE(field.syncWithForm()) << "nothing changed";
  form::Shape& wall = form.shptunnel[3];
  form::Label& score = form.lblScore;
  ASSERT_TRUE(wall.Visible && score.Visible);
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"a wall's border colour", [&] { wall.BorderColor = form::RGB(1, 2, 3); }},
      {"the score's text colour", [&] { score.ForeColor = form::RGB(200, 0, 0); }},
      {"the score's box", [&] { score.Boxed = !score.Boxed; }},
      {"the score's font face",
       [&] { score.Font.Name = score.Font.Name == "Arial" ? "Verdana" : "Arial"; }},
      {"the score's font size", [&] { score.Font.Size += 2; }},
      {"the score in bold", [&] { score.Font.Bold = !score.Font.Bold; }},
      {"the score underlined", [&] { score.Font.Underline = true; }},
      {"the score's alignment", [&] { score.Alignment = form::Alignment::RightJustify; }},
  };
  for (const auto& [what, change] : changes) {
    change();
    EXPECT_TRUE(field.syncWithForm()) << what << " was not repainted";
  }
  // The real START button stands where the form's button stands.
  const QRect start = field.startButton()->geometry();
  form.cmdStart.Left += 1500;
  field.syncWithForm();
  EXPECT_EQ(field.startButton()->geometry(), start.translated(100, 0));
  // In flight, where every frame looks for what changed: a shape that is not shown moves unseen.
  game.start();
  field.syncWithForm();
  form.shpPause[1].Visible = false;
  EXPECT_TRUE(field.syncWithForm()) << "a pause box hidden";
  form.shpPause[1].Left += 1500;
  EXPECT_FALSE(field.syncWithForm()) << "a hidden shape's move repainted";
}

}  // namespace

namespace {

// Keeps out: a boxed label (the score) whose border is not the box's outer ring of pixels, one
// logical pixel wide, around a white inside, whether the field is painted at one device pixel a
// logical pixel (where the border is filled) or scaled (where it is stroked).
TEST(Playfield, BoxesALabelInOnePixelOfBlack) {
  Game game;
  const form::Label& score = game.form.lblScore;
  ASSERT_TRUE(score.Visible && score.Boxed);
  Playfield field(game.form, frmCavewing::ScaleWidth);
  // A picture of 32 bits a pixel is filled straight in memory; one of 16 bits (a screen of
  // fewer colours) by the painter.
  for (const auto& [scale, format] :
       {std::pair(1.0, QImage::Format_RGB32), std::pair(2.0, QImage::Format_RGB32),
        std::pair(1.0, QImage::Format_RGB16)}) {
    field.resize(field.sizeHint() * scale);
    QImage image(field.size(), format);
    field.render(&image);
    // The box in device pixels: its edges fall on whole pixels at both scales.
    const int px = int(scale), left = int(score.Left / 15) * px, top = int(score.Top / 15) * px;
    const int right = left + int(score.Width / 15) * px - 1;
    const int bottom = top + int(score.Height / 15) * px - 1;
    // Scaled, the stroke bevels the border's corners: only its sides are checked there.
    const int corner = px > 1 ? px : 0;
    const auto ring = [&](int inset, QRgb colour, const char* what) {
      int wrong = 0;
      for (int x = left + inset + corner; x <= right - inset - corner; ++x)
        wrong +=
            (image.pixel(x, top + inset) != colour) + (image.pixel(x, bottom - inset) != colour);
      for (int y = top + inset + corner; y <= bottom - inset - corner; ++y)
        wrong +=
            (image.pixel(left + inset, y) != colour) + (image.pixel(right - inset, y) != colour);
      EXPECT_EQ(wrong, 0) << what << " at scale " << scale << ", format " << format;
    };
    for (int inset = 0; inset < px; ++inset) ring(inset, qRgb(0, 0, 0), "the border");
    ring(px, qRgb(255, 255, 255), "the inside along the border");
  }
}

// Keeps out: the form's rectangles painted through Qt's painter where they can be filled straight
// in memory (a picture of 32 bits a pixel, at a whole scale, unclipped), or filled in memory
// where they cannot, or filled through the painter where the damage does not meet them: each
// shows the same pixels, at a cost.
TEST(FramePainter, FillsInMemoryOnlyWhereAPixelIsWholePixelsOfA32BitPicture) {
  Game game;
  frames::Captions captions;
  const int height = 80;
  const struct {
    QImage::Format format;
    qreal ratio;
    QTransform placed;  // the painter's, before the field's
    int width;          // of the widget
    bool inMemory;
  } cases[] = {{QImage::Format_RGB32, 1, {}, 100, true},
               {QImage::Format_ARGB32, 2, {}, 100, true},
               {QImage::Format_ARGB32_Premultiplied, 3, {}, 100, true},
               {QImage::Format_RGB32, 1, QTransform::fromTranslate(3, 7), 100, true},
               {QImage::Format_RGB16, 1, {}, 100, false},
               {QImage::Format_RGB32, 1.5, {}, 100, false},
               {QImage::Format_RGB32, 1, QTransform::fromTranslate(0.5, 0), 100, false},
               {QImage::Format_RGB32, 1, QTransform::fromTranslate(0, 0.5), 100, false},
               {QImage::Format_RGB32, 1, QTransform::fromScale(1, 2), 100, false},
               {QImage::Format_RGB32, 1, QTransform().rotate(90), 100, false},
               {QImage::Format_RGB32, 1, {}, 2000, false}};
  for (const auto& c : cases) {
    QImage image(QSize(c.width + 8, height + 8) * c.ratio, c.format);
    image.setDevicePixelRatio(c.ratio);
    image.fill(Qt::magenta);
    QPainter p(&image);
    p.setTransform(c.placed);
    const QRect whole(0, 0, c.width, height);
    const frames::Field field{
        game.form, nullptr, 0, frmCavewing::ScaleWidth, QTransform::fromScale(1.0 / 15, 1.0 / 15),
        c.ratio};
    const QRegion damaged(whole);
    EXPECT_EQ(frames::FramePainter(p, damaged, whole, field, captions, pixmapFor).inMemory(),
              c.inMemory)
        << "format " << c.format << " at " << c.ratio << ", " << c.width << " wide, placed "
        << c.placed.dx() << "," << c.placed.dy() << " " << c.placed.m22();
    p.end();
    // The widget black where it is placed, before anything of the form is painted on it.
    if (c.inMemory) {
      const QRect device(c.placed.map(QPoint(0, 0)) * c.ratio, whole.size() * c.ratio);
      const QImage placed = image.copy(device).convertToFormat(QImage::Format_RGB32);
      EXPECT_EQ(placed.pixel(0, 0), qRgb(0, 0, 0)) << "at " << c.ratio;
      EXPECT_EQ(placed.pixel(device.width() - 1, device.height() - 1), qRgb(0, 0, 0))
          << "at " << c.ratio;
    }
  }
  // Through the painter, a rectangle is filled only around the damage it meets: none elsewhere.
  Counting device;
  QPainter p(&device);
  const frames::Field field{
      game.form, nullptr, 0, frmCavewing::ScaleWidth, QTransform::fromScale(1.0 / 15, 1.0 / 15), 1};
  const QRegion damaged(0, 0, 10, 10);
  frames::FramePainter painter(p, damaged, QRect(0, 0, 100, height), field, captions, pixmapFor);
  const int black = device.rects;
  form::Shape away;
  away.Left = away.Top = 600;
  away.Width = away.Height = 300;
  painter.rectangle(away);
  EXPECT_EQ(device.rects, black) << "a rectangle the damage does not meet";
  away.Left = away.Top = 0;
  painter.rectangle(away);
  EXPECT_GT(device.rects, black) << "one it meets";
}

// Keeps out: a caption drawn whole where the damage reaches only some of its glyphs (the painter
// would draw each glyph through the damage's many pieces only to clip most of them away), or cut
// at its box, a clip of its own, where no glyph drawn reaches past it.
TEST(Captions, DrawOnlyTheGlyphsInTheDamageAndCutOnlyWhereOneReachesPastTheBox) {
  frames::Captions captions;
  form::Font font;
  font.Size = 24;
  const QRectF box(0, 0, 300, 60);
  const int owner = 0;
  const auto& boxes = captions.laidOut(&owner, box, Qt::AlignLeft, "8888", font).glyphBoxes;
  ASSERT_EQ(boxes.size(), 1u);
  ASSERT_EQ(boxes[0].size(), 4u);
  QImage image(box.size().toSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);  // with no clip of its own
  p.setPen(Qt::black);
  const QRect first = boxes[0][0].toAlignedRect();
  captions.draw(p, &owner, box, Qt::AlignLeft, "8888", font, first);
  p.end();
  const auto inked = [&](const QRectF& where) {
    int dark = 0;
    const QRect r = where.toAlignedRect() & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) dark += qGray(image.pixel(x, y)) < 128;
    return dark;
  };
  EXPECT_GT(inked(first), 0) << "the glyph in the damage";
  EXPECT_EQ(inked(boxes[0][2]) + inked(boxes[0][3]), 0) << "glyphs far from the damage";

  // A caption longer than its box is cut there only where a glyph drawn reaches past it.
  const QRectF narrow(0, 0, 100, 60);
  const auto clipsDrawing = [&](const QRect& damaged) {
    Counting device;
    QPainter on(&device);
    captions.draw(on, &owner, narrow, Qt::AlignLeft, std::string(40, '8'), font, damaged);
    return device.clips;
  };
  EXPECT_LT(clipsDrawing(boxes[0][2].toAlignedRect()), clipsDrawing(QRect(95, 0, 10, 60)));
}

}  // namespace

namespace {

// The widest repaint Qt was asked for, of a widget this filters.
struct Repainted : QObject {
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      width = std::max(width, static_cast<QPaintEvent*>(event)->region().boundingRect().width());
    return false;
  }
  int width = 0;
};

// Keeps out: a caption that changes repainting too little of its old ink or its new one (the
// score back to one digit at a new game, a digit that counts up), a change of its look taken
// for a change of its text, or a caption too long for its box drawn past it, or its cut reaching
// the captions after it: the field shows exactly what a full repaint paints; nor a digit that
// counts up repainting the whole score.
TEST(Playfield, RepaintsWhereACaptionsGlyphsChanged) {
  Game game;
  form::Label& score = game.form.lblScore;
  Playfield field(game.form, frmCavewing::ScaleWidth);
  field.resize(field.sizeHint());
  field.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"888", [&] { score.Caption = "888"; }},
      {"889", [&] { score.Caption = "889"; }},
      {"1", [&] { score.Caption = "1"; }},
      {"WWW", [&] { score.Caption = "WWW"; }},
      {"WWW in red", [&] { score.ForeColor = form::RGB(200, 0, 0); }},
      {"WWW in bold", [&] { score.Font.Bold = !score.Font.Bold; }},
      {"WWW to the right", [&] { score.Alignment = form::Alignment::RightJustify; }},
      {"WWW without its box", [&] { score.Boxed = false; }},
      {"WWW boxed again", [&] { score.Boxed = true; }},
      {"WWW underlined", [&] { score.Font.Underline = true; }},
      {"WW underlined", [&] { score.Caption = "WW"; }},
      {"more than its box holds, cut off there", [&] { score.Caption = std::string(40, '8'); }},
      {"0", [&] { score.Caption = "0"; }},
      {"nothing", [&] { score.Caption = ""; }},
      // A cut caption's clip ends with it: the captions painted after it in the frame are whole.
      {"a name cut off on the list, and the scores after it",
       [&] {
         for (form::Label* l : {&game.form.lblName[1], &game.form.lblScores[1]}) l->Visible = true;
         game.form.lblName[1].Caption = std::string(40, 'W');
         game.form.lblScores[1].Caption = "12345";
       }},
  };
  // The width Qt was asked to repaint at each change.
  Repainted repainted;
  field.installEventFilter(&repainted);
  std::map<std::string, int> widths;
  for (const auto& [what, change] : changes) {
    change();
    repainted.width = 0;
    ASSERT_TRUE(field.syncWithForm()) << what;
    QApplication::processEvents();
    widths[what] = repainted.width;
    const auto* shown = dynamic_cast<const QImage*>(field.backingStore()->paintDevice());
    ASSERT_NE(shown, nullptr) << "a raster window";
    QImage full(field.size(), QImage::Format_RGB32);
    field.render(&full);
    EXPECT_EQ(shown->copy(field.rect()).convertToFormat(QImage::Format_RGB32), full)
        << "after the score showed " << what;
  }
  // A digit that counts up repaints around that digit, not the whole score.
  EXPECT_LT(widths["889"] * 2, widths["888"]);
}

}  // namespace

namespace {

// Pixels of exactly `rgb` in `box` of `picture`.
int pixelsOf(const QImage& picture, const QRect& box, QRgb rgb) {
  int count = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x) count += picture.pixel(x, y) == rgb;
  return count;
}

// Keeps out: a jagged replay ring, and a badge or the stand-still's words in the colour of what
// was painted before them. Where the ring crosses a pixel only in part, the pixel is a blend of
// its colour and what lies under it.
TEST(Playfield, DrawsItsOverlaysInTheirOwnColoursAndTheRingSmooth) {
  Game game;
  Playfield field(game.form, frmCavewing::ScaleWidth);
  field.resize(field.sizeHint());
  QImage without(field.size(), QImage::Format_RGB32), with(field.size(), QImage::Format_RGB32);
  field.render(&without);
  cabinet::kit::Overlays overlays;
  overlays.ringX = 7000;
  overlays.ringY = 3000;
  field.showOverlays(overlays);
  field.render(&with);
  const QRgb ring = look::toQColor(cabinet::kit::ReplayRing.rgb).rgb();
  int changed = 0, blended = 0;
  for (int y = 0; y < with.height(); ++y)
    for (int x = 0; x < with.width(); ++x)
      if (with.pixel(x, y) != without.pixel(x, y)) {
        ++changed;
        blended += with.pixel(x, y) != ring;
      }
  EXPECT_GT(changed, 100) << "the ring drawn";
  EXPECT_GT(blended, changed / 4) << "its edges blended";

  // The badge repainted in the same frame as the red "YOU CRASHED", and nothing else.
  overlays.badge = cabinet::kit::ReplayBadge;
  field.showOverlays(overlays);
  game.form.lblCRASH.Visible = true;
  const QRect badge = look::toQRect(cabinet::kit::Badge.box).toRect();
  const QRect crash = field.rect().adjusted(0, 200, 0, -200);
  field.render(&with, {}, QRegion(badge) + crash);
  const QRgb red = look::toQColor(game.form.lblCRASH.ForeColor).rgb();
  EXPECT_GT(pixelsOf(with, badge, qRgb(0, 0, 0)), 100) << "REPLAY in black";
  EXPECT_EQ(pixelsOf(with, badge, red), 0);

  // The stand-still's title and hint, each in its colour.
  overlays.standStill = true;
  field.showOverlays(overlays);
  field.render(&with);
  const auto at = cabinet::kit::standStillAcross(frmCavewing::ScaleWidth, frmCavewing::ScaleHeight);
  for (const auto& [text, box] : {std::pair(&cabinet::kit::StandStillBand.title, at.title),
                                  std::pair(&cabinet::kit::StandStillBand.hint, at.hint)})
    EXPECT_GT(pixelsOf(with, look::toQRect(box).toRect(), look::toQColor(text->rgb).rgb()), 50)
        << text->text;

  // A ghost that moves repaints where it was and where it is, not the field.
  overlays.ghost = cabinet::kit::GhostAt{3000, 3000, form::Picture::Heli0};
  field.showOverlays(overlays);
  field.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
  Repainted repainted;
  field.installEventFilter(&repainted);
  overlays.ghost->left += 150;
  field.showOverlays(overlays);
  QApplication::processEvents();
  // Its picture's width, the ten pixels it moved and a pixel each side for a scaled edge.
  EXPECT_EQ(repainted.width, pixmapFor(form::Picture::Heli0).width() + 10 + 2);
  // It is seen through: where its picture is opaque, the field still shows under it.
  cabinet::kit::Overlays ghostAlone;
  ghostAlone.ghost = overlays.ghost;
  field.showOverlays(ghostAlone);
  field.render(&with);
  const QImage picture = pixmapFor(form::Picture::Heli0).toImage();
  const QPoint ghostAt(210, 200);
  int opaque = 0, asItIs = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (qAlpha(picture.pixel(x, y)) == 255) {
        ++opaque;
        asItIs += with.pixel(ghostAt + QPoint(x, y)) == picture.pixel(x, y);
      }
  EXPECT_GT(opaque, 100);
  EXPECT_LT(asItIs, opaque / 10);
}

}  // namespace

namespace {

// Keeps out: a caption laid out otherwise than Qt lays it out: wrapped at its box's width, its
// lines spaced as Qt spaces them.
TEST(Playfield, WrapsACaptionAsQtAloneDoes) {
  Game game;
  form::Label& score = game.form.lblScore;
  score.Caption = "WW WW W WW";
  score.Height *= 4;
  Playfield frames(game.form, frmCavewing::ScaleWidth);
  Playfield qtAlone(game.form, frmCavewing::ScaleWidth, nullptr, Playfield::Painting::QtAlone);
  // Verdana's face here has no leading between lines; Arial's has. The same caption aligned
  // otherwise is laid out anew.
  for (const char* face : {"Verdana", "Arial"})
    for (const auto alignment : {form::Alignment::Center, form::Alignment::RightJustify}) {
      score.Font.Name = face;
      score.Alignment = alignment;
      QImage painted[2];
      for (int i = 0; i < 2; ++i) {
        Playfield& field = i == 0 ? frames : qtAlone;
        field.resize(field.sizeHint());
        painted[i] = QImage(field.size(), QImage::Format_RGB32);
        field.render(&painted[i]);
      }
      EXPECT_EQ(painted[0], painted[1]) << face << " aligned " << int(alignment);
    }
}

}  // namespace

namespace {

// An opaque picture of 8 by 8 pixels.
const QPixmap& opaqueSquare(form::Picture) {
  static const QPixmap* square = [] {
    auto* p = new QPixmap(8, 8);
    p->fill(Qt::red);
    return p;
  }();
  return *square;
}

// Keeps out: a picture scaled by hand that leaves out a row or a column of the device pixels it
// covers (its edges are where a helicopter's outline would be cut).
TEST(FramePainter, ScalesAPictureOverEveryDevicePixelItCovers) {
  Game game;
  frames::Captions captions;
  const QRect widget(0, 0, 100, 80);
  QImage image(widget.size() * 2, QImage::Format_RGB32);
  image.setDevicePixelRatio(2);
  image.fill(Qt::black);
  QPainter p(&image);
  const frames::Field field{
      game.form, nullptr, 0, frmCavewing::ScaleWidth, QTransform::fromScale(1.0 / 15, 1.0 / 15), 2};
  frames::FramePainter painter(p, QRegion(widget), widget, field, captions, opaqueSquare);
  form::Image picture;
  picture.Left = picture.Top = 150;  // 10 logical pixels in, 20 device pixels
  painter.picture(picture);
  p.end();
  QRect red;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == qRgb(255, 0, 0)) red |= QRect(x, y, 1, 1);
  EXPECT_EQ(red, QRect(20, 20, 16, 16));
}

}  // namespace

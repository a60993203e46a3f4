// SPDX-License-Identifier: MIT
// Painting of the form's controls: rectangles, then pictures, then labels, on a black field.
// Twips map to logical pixels at 15 twips a pixel, and the field is scaled to fit the widget.
#include "qt/Playfield.h"

#include <QGlyphRun>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>
#include <QVarLengthArray>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <utility>

#include "app/Phase.h"
#include "cabinet/Paint.h"
#include "cabinet/kit/Overlay.h"
#include "qt/Bands.h"
#include "qt/Pictures.h"
#include "qt/TimingReport.h"
#include "qt/XcbSurface.h"

namespace {

namespace kit = cabinet::kit;
using kit::TwipsPerPixel;

QColor toQColor(form::Color c) { return QColor(c.r, c.g, c.b); }
// The colour as QColor's rgb() gives it, without making one: the scene asks for every shape's.
QRgb rgbOf(form::Color c) { return qRgb(c.r, c.g, c.b); }
QColor toQColor(int rgb) { return QColor(QRgb(0xff000000u | unsigned(rgb))); }
QRectF toQRect(const kit::Box& b) { return QRectF(b.left, b.top, b.width, b.height); }

QRectF rectOf(const form::Control& c) { return QRectF(c.Left, c.Top, c.Width, c.Height); }

Qt::Alignment toQt(form::Alignment a) {
  switch (a) {
    case form::Alignment::RightJustify:
      return Qt::AlignRight;
    case form::Alignment::Center:
      return Qt::AlignHCenter;
    case form::Alignment::LeftJustify:
      break;
  }
  return Qt::AlignLeft;
}

// Font sizes in points, at 96 dots an inch: the same layout on every screen.
int pixelSize(float points) { return int(std::lround(points * 20 / TwipsPerPixel)); }

template <class T>
void mix(std::size_t& h, const T& value) {
  h ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
}

void mixDrawn(std::size_t& h, const form::Control& c, const QRectF& drawn) {
  if (!c.Visible) return;
  mix(h, drawn.left());
  mix(h, drawn.top());
}

// A rectangle mapped by one of the field's transforms, which only scale (never mirrored) and
// move: to the bit as QTransform::mapRect maps it, without the call, for the many rectangles of
// every frame.
QRectF mapped(const QTransform& t, const QRectF& r) {
  return QRectF(t.m11() * r.x() + t.dx(), t.m22() * r.y() + t.dy(), t.m11() * r.width(),
                t.m22() * r.height());
}

// The pixels in both, as QRect's operator& finds them, without the call for the many rectangles
// of every frame.
QRect meet(const QRect& a, const QRect& b) {
  if (!a.isValid() || !b.isValid()) return a & b;
  const int left = std::max(a.left(), b.left()), right = std::min(a.right(), b.right());
  const int top = std::max(a.top(), b.top()), bottom = std::min(a.bottom(), b.bottom());
  if (left > right || top > bottom) return QRect();
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The pixels a rectangle fills: the painter rounds each edge to a pixel boundary as qRound does.
QRect pixelsOf(const QTransform& toWidget, const QRectF& twips) {
  const QRectF r = mapped(toWidget, twips);
  return QRect(QPoint(qRound(r.left()), qRound(r.top())),
               QPoint(qRound(r.right()) - 1, qRound(r.bottom()) - 1));
}

// The logical pixels that cover the given device pixels.
QRegion logicalPixelsOver(const QRegion& device, qreal ratio) {
  if (ratio == 1) return device;
  QRegion logical;
  for (const QRect& r : device)
    logical += QRect(QPoint(int(std::floor(r.left() / ratio)), int(std::floor(r.top() / ratio))),
                     QPoint(int(std::ceil((r.right() + 1) / ratio)) - 1,
                            int(std::ceil((r.bottom() + 1) / ratio)) - 1));
  return logical;
}

// A picture scaled without smoothing onto the device pixels that cover where it goes: each
// shows the picture's pixel under its centre, or nothing.
QImage scaledPicture(const QImage& picture, const QRectF& device) {
  const QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QRect whole = device.toAlignedRect();
  QImage scaled(whole.size(), QImage::Format_ARGB32_Premultiplied);
  // The picture's column and row under each device pixel's centre; -1 where there is none.
  const auto under = [](int first, int count, qreal start, qreal step, int size) {
    std::vector<int> index(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      const int at = int(std::floor((first + i + 0.5 - start) * step));
      index[std::size_t(i)] = at >= 0 && at < size ? at : -1;
    }
    return index;
  };
  const std::vector<int> columns = under(whole.left(), whole.width(), device.left(),
                                         source.width() / device.width(), source.width());
  const std::vector<int> rows = under(whole.top(), whole.height(), device.top(),
                                      source.height() / device.height(), source.height());
  for (int y = 0; y < scaled.height(); ++y) {
    auto* to = reinterpret_cast<QRgb*>(scaled.scanLine(y));
    const int row = rows[std::size_t(y)];
    const auto* from = row < 0 ? nullptr : reinterpret_cast<const QRgb*>(source.constScanLine(row));
    for (int x = 0; x < scaled.width(); ++x) {
      const int column = columns[std::size_t(x)];
      to[x] = from && column >= 0 ? from[column] : 0;
    }
  }
  return scaled;
}

// Rows of pixels of one colour, `count` pixels from `first` on and `rows` rows down. The damage
// is mostly narrow strips, a few pixels across, where a plain loop spends more on each row's
// start and end than on its pixels: four pixels at a time, the last four overlapping what is
// already filled, and a strip up to sixteen across in four such stores a row, with no loop.
void fillRows(uchar* first, qsizetype bytesPerLine, int count, int rows, QRgb rgb) {
  const QRgb four[4] = {rgb, rgb, rgb, rgb};
  const auto store = [&four](QRgb* to) { std::memcpy(to, four, sizeof four); };
  for (int y = 0; y < rows; ++y, first += bytesPerLine) {
    auto* to = reinterpret_cast<QRgb*>(first);
    if (count < 4) {
      for (int i = 0; i < count; ++i) to[i] = rgb;
    } else if (count <= 8) {
      store(to);
      store(to + count - 4);
    } else if (count <= 16) {
      store(to);
      store(to + 4);
      store(to + count - 8);
      store(to + count - 4);
    } else {
      for (int i = 0; i < count - 4; i += 4) store(to + i);
      store(to + count - 4);
    }
  }
}

// A label's box in logical pixels, and the box its caption is laid out in: inside the border
// of a boxed label.
QRectF boxOf(const form::Label& l) {
  const qreal px = 1 / TwipsPerPixel;
  return QRectF(l.Left * px, l.Top * px, l.Width * px, l.Height * px);
}
QRectF captionBoxOf(const form::Label& l) {
  return l.Boxed ? boxOf(l).adjusted(2, 1, -2, -1) : boxOf(l);
}

// A caption wrapped in its box as a static text would lay it out, shaped once: its glyphs, the
// size of its lines, and where each glyph may leave ink (and an underline, along its line). The
// cave moves by just below many a caption, and a score that counts up changes its last digit.
struct ShapedCaption {
  QList<QGlyphRun> glyphs;
  std::vector<std::vector<QRectF>> glyphBoxes;  // run by run, each glyph's box where it stands
  QSizeF size;
  std::vector<Playfield::GlyphInk> ink;
};
ShapedCaption shape(const QString& caption, const QFont& font, const QTextOption& option,
                    const QSizeF& box) {
  QTextLayout layout(caption, font);
  layout.setTextOption(option);
  layout.beginLayout();
  qreal height = 0;
  std::vector<QRectF> lines;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLeadingIncluded(true);
    line.setLineWidth(box.width());
    line.setPosition(QPointF(0, height));
    height += line.height();
    if (line.leading() < 0) height += std::ceil(line.leading());
    lines.push_back(line.naturalTextRect());
  }
  layout.endLayout();
  ShapedCaption shaped{layout.glyphRuns(), {}, layout.boundingRect().size(), {}};
  const QRectF inBox(QPointF(0, 0), box);
  for (const QGlyphRun& run : shaped.glyphs) {
    const QList<quint32> indexes = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    std::vector<QRectF>& boxes = shaped.glyphBoxes.emplace_back();
    for (qsizetype i = 0; i < indexes.size(); ++i) {
      boxes.push_back(run.rawFont().boundingRect(indexes[i]).translated(positions[i]));
      const QRectF ink = boxes.back() & inBox;
      if (!ink.isEmpty()) shaped.ink.push_back({indexes[i], positions[i], ink});
    }
  }
  if (font.underline())
    for (const QRectF& line : lines)
      if (const QRectF ink = line & inBox; !ink.isEmpty())
        shaped.ink.push_back({Playfield::GlyphInk::Underline, line.topLeft(), ink});
  return shaped;
}

// Text may reach a little past its glyphs' outlines (smoothing, hinting at another scale).
constexpr int TextMargin = 2;
QRect aroundText(const QRect& box) {
  return box.adjusted(-TextMargin, -TextMargin, TextMargin, TextMargin);
}

// The glyphs of a run that may leave ink in the damage: the painter would draw every glyph
// through the damage's many pieces only to keep the pixels of a few. A line along the run (an
// underline) spans its glyphs: such a run is drawn whole. `pastBox` is set where a glyph kept
// may leave ink outside the caption's box.
QGlyphRun glyphsIn(const QGlyphRun& run, const std::vector<QRectF>& boxes, const QRectF& box,
                   const QTransform& toWidget, const QRegion& damaged, bool& pastBox) {
  if (run.underline() || run.overline() || run.strikeOut()) {
    pastBox = true;
    return run;
  }
  const QList<quint32> indexes = run.glyphIndexes();
  const QList<QPointF> positions = run.positions();
  QList<quint32> keptIndexes;
  QList<QPointF> keptPositions;
  for (qsizetype i = 0; i < indexes.size(); ++i) {
    const QRectF glyph = boxes[std::size_t(i)].translated(box.topLeft());
    if (!damaged.intersects(aroundText(toWidget.mapRect(glyph).toAlignedRect()))) continue;
    keptIndexes.push_back(indexes[i]);
    keptPositions.push_back(positions[i]);
    pastBox =
        pastBox || !box.contains(glyph.adjusted(-TextMargin, -TextMargin, TextMargin, TextMargin));
  }
  if (keptIndexes.size() == indexes.size()) return run;
  QGlyphRun kept(run);
  kept.setGlyphIndexes(keptIndexes);
  kept.setPositions(keptPositions);
  return kept;
}

QRectF twipsOf(const QRectF& logical) {
  return QRectF(logical.topLeft() * TwipsPerPixel, logical.size() * TwipsPerPixel);
}

// Where ink given in logical pixels from a caption's box lies, in twips.
QRectF inTwips(const QRectF& ink, const QRectF& twipsBox) {
  return QRectF(twipsBox.topLeft() + ink.topLeft() * TwipsPerPixel, ink.size() * TwipsPerPixel);
}

}  // namespace

Playfield::Playfield(const frmCavewing& form, float fieldWidthTwips, QWidget* parent)
    : QWidget(parent), form_(form), fieldWidth_(fieldWidthTwips), start_(new QPushButton(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (XcbSurface::available()) surface_ = std::make_unique<XcbSurface>();
  // The field takes the keys once START is gone, but a click on it leaves START its focus.
  setFocusPolicy(Qt::TabFocus);
  setMouseTracking(false);
  start_->setObjectName("cmdStart");
  const auto& c = form.cmdStart.BackColor;
  start_->setStyleSheet(QString("QPushButton { background-color: rgb(%1,%2,%3); color: black;"
                                " border: 3px outset rgb(255,150,150); }"
                                "QPushButton:pressed { border-style: inset; }"
                                "QPushButton:focus { outline: 1px dotted black; }")
                            .arg(c.r)
                            .arg(c.g)
                            .arg(c.b));
  syncWithForm();
}

QSize Playfield::sizeHint() const {
  return QSize(int(std::lround(fieldWidth_ / TwipsPerPixel)),
               int(std::lround(frmCavewing::ScaleHeight / TwipsPerPixel)));
}

QTransform Playfield::twipsToWidget() const {
  const QSizeF field(fieldWidth_ / TwipsPerPixel, frmCavewing::ScaleHeight / TwipsPerPixel);
  const qreal scale = std::min(width() / field.width(), height() / field.height());
  const qreal dx = (width() - field.width() * scale) / 2;
  const qreal dy = (height() - field.height() * scale) / 2;
  return QTransform::fromScale(scale / TwipsPerPixel, scale / TwipsPerPixel) *
         QTransform::fromTranslate(dx, dy);
}

// Draws what the cabinet lists, in its order, with Qt's painter, on a black field.
class Playfield::FormPainter : public cabinet::Painter {
public:
  FormPainter(Playfield& field, QPainter& p, const QRegion& damaged)
      : field_(field), p_(p), damaged_(damaged), toWidget_(field.twipsToWidget()) {
    // Outside the field only the black shows; a clip that holds the whole widget would only cost.
    const QRectF shown =
        toWidget_.mapRect(QRectF(0, 0, field.fieldWidth_, frmCavewing::ScaleHeight));
    const bool clipped = !shown.contains(QRectF(field.rect()));
    if (!clipped) fillsInMemory();
    if (pixels_)
      fillDevice(widgetToDevice_.mapRect(QRectF(field.rect())).toRect(), qRgb(0, 0, 0));
    else
      p.fillRect(field.rect(), Qt::black);
    if (clipped) p.setClipRect(shown);
    p.setTransform(toWidget_);
    toDevice_ = p.deviceTransform();
    if (pixels_) return;
    // Each damaged rectangle and a pixel around it, in twips: the pixels a rectangle of the form
    // fills inside the damage are those its part around these fills, and the painter's clip
    // keeps the rest as it was.
    const QTransform toTwips = toWidget_.inverted();
    for (const QRect& r : damaged)
      damagedTwips_.push_back(toTwips.mapRect(QRectF(r.adjusted(-1, -1, 1, 1))));
  }

  void rectangle(const form::Shape& s) override {
    const QRectF r = rectOf(s);
    fill(r, rgbOf(s.BorderColor));
    if (s.FillColor != s.BorderColor)
      fill(r.adjusted(onePixel, onePixel, -onePixel, -onePixel), rgbOf(s.FillColor));
  }

  void picture(const form::Image& i) override {
    const QPixmap& pixmap = pixmapFor(i.Picture);
    // The picture keeps its own size, as a classic unstretched image does.
    const QRectF twips(i.Left, i.Top, pixmap.width() * onePixel, pixmap.height() * onePixel);
    // The device painted on: a screen of any density, or an image when the field is rendered.
    const qreal ratio = p_.paintEngine()->paintDevice()->devicePixelRatioF();
    const QRectF device = (toWidget_ * QTransform::fromScale(ratio, ratio)).mapRect(twips);
    if (device.size() == QSizeF(pixmap.size())) {
      p_.drawPixmap(twips, pixmap, QRectF(pixmap.rect()));
      return;
    }
    // Scaled by the painter, the picture's rows would be picked by where the repainted area
    // starts, and a partial repaint would differ from a full one by a row: it is scaled here,
    // each device pixel showing the picture's pixel under its centre, and copied on as it is.
    QImage scaled = scaledPicture(pixmap.toImage(), device);
    scaled.setDevicePixelRatio(ratio);
    p_.save();
    p_.resetTransform();
    p_.drawImage(QPointF(device.toAlignedRect().topLeft()) / ratio, scaled);
    p_.restore();
  }

  void label(const form::Label& l) override {
    // Drawing text is the dearest part of a frame, and the cave moves by the captions' boxes
    // frame after frame: the box where the frame changed, the caption where it changed near
    // the caption's glyphs.
    const bool boxDamaged =
        l.Boxed && damaged_.intersects(pixelsOf(toWidget_, rectOf(l)).adjusted(-1, -1, 1, 1));
    const QRectF caption = field_.captionOf(l);
    const bool captionDamaged =
        !caption.isEmpty() && damaged_.intersects(aroundText(pixelsOf(toWidget_, caption)));
    if (!boxDamaged && !captionDamaged) return;
    // Text is laid out in logical pixels so that fonts keep their pixel sizes.
    p_.setTransform(QTransform::fromScale(TwipsPerPixel, TwipsPerPixel) * toWidget_);
    if (boxDamaged) box(boxOf(l));
    if (!captionDamaged) return;
    p_.setPen(toQColor(l.ForeColor));
    field_.drawText(p_, &l, captionBoxOf(l), toQt(l.Alignment), l.Caption, l.Font, damaged_);
  }

private:
  // A white box with a black border one logical pixel wide. Where a logical pixel is a device
  // pixel, the border is the box's outer ring of pixels: filled, it costs a fraction of the
  // painter's stroke through the many pieces of a frame's clip, for the same pixels. At other
  // scales the stroke rounds its edges otherwise than a fill: it is stroked there.
  void box(const QRectF& r) {
    const QTransform toDevice = p_.deviceTransform();
    if (toDevice.type() <= QTransform::TxTranslate && pixels_) {
      // In memory, as the form's rectangles are.
      fillDevice(pixelsOf(toDevice, r), qRgb(0, 0, 0));
      fillDevice(pixelsOf(toDevice, r.adjusted(1, 1, -1, -1)), qRgb(255, 255, 255));
      return;
    }
    if (toDevice.type() <= QTransform::TxTranslate) {
      p_.fillRect(r, Qt::black);
      p_.fillRect(r.adjusted(1, 1, -1, -1), Qt::white);
      return;
    }
    p_.fillRect(r, Qt::white);
    p_.setPen(Qt::black);
    p_.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
  }

  // Painting on a picture in memory of 32 bits a pixel (the window's backing store, or an image
  // the field is rendered on), at a whole number of device pixels to a widget pixel, the form's
  // rectangles are filled straight into it, each only in the pieces of the damage it covers:
  // the painter would fill each through a clip of many pieces, row by row, at several times the
  // cost. Elsewhere (a clip around a scaled field, a printer) the painter fills them.
  void fillsInMemory() {
    QPaintDevice* device = p_.paintEngine()->paintDevice();
    if (device->devType() != QInternal::Image) return;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
      return;
    const QTransform toDevice = p_.deviceTransform();
    const qreal scale = toDevice.m11();
    const auto whole = [](qreal v) { return v == std::round(v); };
    if (toDevice.type() > QTransform::TxScale || toDevice.m22() != scale || !whole(scale) ||
        !whole(toDevice.dx()) || !whole(toDevice.dy()))
      return;
    widgetToDevice_ = toDevice;
    for (const QRect& r : damaged_)
      deviceDamage_.push_back(meet(toDevice.mapRect(QRectF(r)).toRect(), image->rect()));
    // The painter has made the picture its own as it began: its pixels are those written here.
    pixels_ = const_cast<uchar*>(image->constBits());
    bytesPerLine_ = image->bytesPerLine();
  }

  void fillDevice(const QRect& device, QRgb rgb) {
    const int left = device.left(), top = device.top(), right = device.right(),
              bottom = device.bottom();
    // The damage's pieces lie in bands from the top down: only the bands the rectangle spans.
    auto d = std::partition_point(deviceDamage_.begin(), deviceDamage_.end(),
                                  [top](const QRect& piece) { return piece.bottom() < top; });
    for (; d != deviceDamage_.end() && d->top() <= bottom; ++d) {
      const int l = std::max(left, d->left()), r = std::min(right, d->right());
      const int t = std::max(top, d->top()), b = std::min(bottom, d->bottom());
      if (l > r) continue;
      fillRows(pixels_ + t * bytesPerLine_ + l * qsizetype(sizeof(QRgb)), bytesPerLine_, r - l + 1,
               b - t + 1, rgb);
    }
  }

  void fill(const QRectF& twips, QRgb rgb) {
    if (pixels_) {
      fillDevice(pixelsOf(toDevice_, twips), rgb);
      return;
    }
    // Filled through a clip of many pieces, a tall block of the cave costs the painter every row
    // it spans: only the part of it around the pieces that the frame repaints is filled.
    const qreal left = twips.left(), top = twips.top(), right = twips.right(),
                bottom = twips.bottom();
    qreal aroundLeft = right, aroundTop = bottom, aroundRight = left, aroundBottom = top;
    for (const QRectF& d : damagedTwips_) {
      const qreal l = d.left(), t = d.top(), r = d.right(), b = d.bottom();
      if (l >= right || r <= left || t >= bottom || b <= top) continue;
      aroundLeft = std::min(aroundLeft, l);
      aroundTop = std::min(aroundTop, t);
      aroundRight = std::max(aroundRight, r);
      aroundBottom = std::max(aroundBottom, b);
    }
    if (aroundLeft >= aroundRight) return;  // nothing of it is repainted
    p_.fillRect(QRectF(QPointF(std::max(left, aroundLeft), std::max(top, aroundTop)),
                       QPointF(std::min(right, aroundRight), std::min(bottom, aroundBottom))),
                QColor(rgb));
  }

  static constexpr qreal onePixel = TwipsPerPixel;  // a border line, one logical pixel wide
  Playfield& field_;
  QPainter& p_;
  const QRegion& damaged_;
  const QTransform toWidget_;
  std::vector<QRectF> damagedTwips_;
  uchar* pixels_ = nullptr;
  qsizetype bytesPerLine_ = 0;
  QTransform toDevice_, widgetToDevice_;
  std::vector<QRect> deviceDamage_;
};

Playfield::~Playfield() = default;

bool Playfield::eventFilter(QObject* watched, QEvent* event) {
  // Qt answers an exposure from its copy of the window on the X server, which the frames the
  // field puts itself never reach: the field is put again, whole, as soon as Qt is done. (Qt's
  // own repaint of the field would take a flush buffer of 4 MiB.)
  if (event->type() == QEvent::Expose && watched == window()->windowHandle())
    QMetaObject::invokeMethod(this, &Playfield::repaintWhole, Qt::QueuedConnection);
  return QWidget::eventFilter(watched, event);
}

void Playfield::repaintWhole() {
  if (!putFrame(rect())) update();
}

void Playfield::showEvent(QShowEvent*) {
  if (surface_ && window()->windowHandle()) window()->windowHandle()->installEventFilter(this);
}

void Playfield::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  paint(p, event->region());
}

// A frame in flight: painted on the window's backing store as Qt paints the field there, and put
// on the window from there by the field. The START button keeps its pixels.
bool Playfield::putFrame(const QRegion& damaged) {
  if (!surface_ || !isVisible() || !window()->windowHandle() ||
      !window()->windowHandle()->isExposed())
    return false;
  QImage* picture = surface_->pictureFor(*window());
  if (picture == nullptr) return false;
  const QRegion shown = start_->isVisible() ? damaged - start_->geometry() : damaged;
  const QPoint at = mapTo(window(), QPoint(0, 0));
  const QRegion inWindow = shown.translated(at);
  // The painter keeps to the damage as a widget's painter keeps to its paint event's region.
  const qreal ratio = picture->devicePixelRatio();
  QRegion device = inWindow;
  if (ratio != 1) {
    device = QRegion();
    for (const QRect& r : inWindow)
      device += QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toAlignedRect();
  }
  picture->paintEngine()->setSystemClip(device);
  {
    QPainter p(picture);
    // The field's own pixels, where it stands in the window.
    p.setViewport(QRect(at, size()));
    p.setWindow(rect());
    paint(p, shown);
  }
  picture->paintEngine()->setSystemClip(QRegion());
  surface_->put(*window(), *picture, device);
  return true;
}

void Playfield::paint(QPainter& p, const QRegion& damaged) {
  FormPainter painter(*this, p, damaged);
  if (view_)
    cabinet::paint(form_, *view_, fraction_, painter);
  else
    cabinet::paint(form_, painter);
  // The badge and the overlay, in logical pixels.
  p.setTransform(QTransform::fromScale(TwipsPerPixel, TwipsPerPixel) * twipsToWidget());
  if (!overlays_.badge.empty() || overlays_.ringX) paintBadge(p, damaged);
  if (overlays_.standStill) paintStandStill(p);
  if (!paintedOnce_ && timing_report::enabled()) timing_report::firstFrame();
  paintedOnce_ = true;
}

void Playfield::showOverlays(const kit::Overlays& overlays) {
  if (overlays == overlays_) return;
  overlays_ = overlays;
  damaged(rect());
}

void Playfield::paintFrames(const cabinet::View& view, std::function<void()> wantFrame) {
  view_ = &view;
  wantFrame_ = std::move(wantFrame);
  lastHash_ = 0;
  syncWithForm();
}

bool Playfield::showFrame(double fraction) {
  fraction_ = fraction;
  const bool changed = syncWithForm();
  if (!pending_.isEmpty()) {
    const QRegion now = std::exchange(pending_, QRegion());
    if (!putFrame(now)) repaint(now);
  }
  return changed;
}

void Playfield::damaged(const QRegion& logical) {
  if (!wantFrame_) {
    update(logical);
    return;
  }
  pending_ += logical;
  wantFrame_();
}

QRectF Playfield::drawnRect(const form::Control& c) const {
  if (!view_) return rectOf(c);
  const cabinet::View::Position at = view_->position(c, fraction_);
  return QRectF(at.Left, at.Top, c.Width, c.Height);
}

// Drawn in logical pixels over everything else: a badge in the corner with its hint, and a ring
// where the recorded player holds a button down.
void Playfield::paintBadge(QPainter& p, const QRegion& damaged) {
  for (const auto& [look, text] :
       {std::pair(&kit::Badge, &overlays_.badge), std::pair(&kit::BadgeHint, &overlays_.hint)}) {
    const QRectF box = toQRect(look->box);
    const form::Font font{look->font, look->points, look->bold};
    // Only where the frame changed near its glyphs: the cave moves under the badge.
    const QRectF ink = laidOut(text, box, Qt::AlignLeft, *text, font).ink.translated(box.topLeft());
    if (ink.isEmpty() ||
        !damaged.intersects(aroundText(p.transform().mapRect(ink).toAlignedRect())))
      continue;
    p.setPen(toQColor(look->rgb));
    drawText(p, text, box, Qt::AlignLeft, *text, font, damaged);
  }
  if (!overlays_.ringX || !overlays_.ringY) return;
  const kit::RingLook& ring = kit::ReplayRing;
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(toQColor(ring.rgb), ring.pen));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(*overlays_.ringX, *overlays_.ringY) / TwipsPerPixel, ring.radius,
                ring.radius);
  p.setRenderHint(QPainter::Antialiasing, false);
}

// A dark band across the middle of the field, in logical pixels over everything else: what
// happened, and how to go on.
void Playfield::paintStandStill(QPainter& p) {
  const kit::StandStillLook& look = kit::StandStillBand;
  const kit::StandStillBoxes at = kit::standStillAcross(fieldWidth_, frmCavewing::ScaleHeight);
  p.fillRect(toQRect(at.band), QColor(0, 0, 0, look.bandAlpha));
  for (const auto& [text, box] :
       {std::pair(&look.title, at.title), std::pair(&look.hint, at.hint)}) {
    p.setPen(toQColor(text->rgb));
    p.setFont(fontFor(form::Font{text->font, text->points, text->bold}));
    p.drawText(toQRect(box), Qt::AlignHCenter | Qt::AlignTop, text->text);
  }
}

// Shaping text is the dearest part of a frame, and the cave moves under the same captions frame
// after frame: each caption on the field is laid out once, again only when it changes.
Playfield::LaidOutText& Playfield::laidOut(const void* owner, const QRectF& box,
                                           Qt::Alignment alignment, const std::string& text,
                                           const form::Font& font) const {
  LaidOutText& laid = laidOutTexts_[owner];
  if (laid.text == text && laid.font == font && laid.box == box.size() &&
      laid.alignment == alignment)
    return laid;
  QTextOption option(alignment);
  option.setWrapMode(QTextOption::WordWrap);
  ShapedCaption shaped = shape(QString::fromStdString(text), fontFor(font), option, box.size());
  QRectF ink;
  for (const GlyphInk& glyph : shaped.ink) ink |= glyph.ink;
  laid = {text,
          font,
          box.size(),
          alignment,
          std::move(shaped.glyphs),
          std::move(shaped.glyphBoxes),
          shaped.size,
          ink,
          std::make_shared<const std::vector<GlyphInk>>(std::move(shaped.ink))};
  return laid;
}

void Playfield::drawText(QPainter& p, const void* owner, const QRectF& box, Qt::Alignment alignment,
                         const std::string& text, const form::Font& font, const QRegion& damaged) {
  const LaidOutText& laid = laidOut(owner, box, alignment, text, font);
  const QTransform toWidget = p.transform();
  bool pastBox = false;
  QVarLengthArray<QGlyphRun, 4> shown;
  for (qsizetype r = 0; r < laid.glyphs.size(); ++r)
    if (QGlyphRun glyphs = glyphsIn(laid.glyphs[r], laid.glyphBoxes[std::size_t(r)], box, toWidget,
                                    damaged, pastBox);
        !glyphs.isEmpty())
      shown.push_back(std::move(glyphs));
  // What does not fit its box is cut off there. A cut through the damage's many pieces costs
  // the painter a new clip: only where a glyph drawn may reach past the box.
  const bool cut =
      pastBox && (laid.size.width() > box.width() || laid.size.height() > box.height());
  if (cut) {
    p.save();
    p.setClipRect(box, Qt::IntersectClip);
  }
  for (const QGlyphRun& glyphs : shown) p.drawGlyphRun(box.topLeft(), glyphs);
  if (cut) p.restore();
}

QRectF Playfield::captionOf(const form::Label& label) const {
  const QRectF box = captionBoxOf(label);
  const QRectF ink = laidOut(&label, box, toQt(label.Alignment), label.Caption, label.Font).ink;
  return ink.isEmpty() ? QRectF() : inTwips(ink, twipsOf(box));
}

const QFont& Playfield::fontFor(const form::Font& font) const {
  auto key = std::make_tuple(font.Name, font.Size, font.Bold, font.Underline);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  QFont f(QString::fromStdString(font.Name));
  f.setPixelSize(pixelSize(font.Size));
  f.setBold(font.Bold);
  f.setUnderline(font.Underline);
  f.setStyleStrategy(QFont::PreferAntialias);
  return fonts_.emplace(key, f).first->second;
}

void Playfield::resizeEvent(QResizeEvent*) {
  placeStartButton();
  sceneInto(shown_);  // a resize repaints everything anyway
}

void Playfield::placeStartButton() {
  const form::CommandButton& b = form_.cmdStart;
  placedButton_ = rectOf(b);
  const QTransform toWidget = twipsToWidget();
  start_->setGeometry(toWidget.mapRect(QRectF(b.Left, b.Top, b.Width, b.Height)).toRect());
  QFont f(QString::fromStdString(b.Font.Name));
  f.setBold(b.Font.Bold);
  f.setPixelSize(
      std::max(1, int(std::lround(pixelSize(b.Font.Size) * toWidget.m11() * TwipsPerPixel))));
  start_->setFont(f);
}

bool Playfield::syncWithForm() {
  const form::CommandButton& b = form_.cmdStart;
  bool changed = false;
  const QString caption = QString::fromStdString(b.Caption);
  if (start_->text() != caption) start_->setText(caption);
  start_->setEnabled(b.Enabled);
  if (rectOf(b) != placedButton_) placeStartButton();
  if (start_->isVisibleTo(this) != b.Visible) {
    start_->setVisible(b.Visible);
    changed = true;
  }
  // The hash is cheap; the scene, with its regions, only when something changed.
  // In flight the cave moves on every frame: asking first whether anything changed only costs.
  if (phaseOf(form_) == Phase::Flying) {
    lastHash_ = 0;
  } else {
    const std::size_t hash = visibleStateHash();
    if (hash == lastHash_) return changed;
    lastHash_ = hash;
  }
  sceneInto(next_);
  if (next_ == shown_) return changed;
  const QRegion damaged = damage(shown_, next_);
  std::swap(shown_, next_);
  this->damaged(logicalPixelsOver(damaged, devicePixelRatioF()));
  return true;
}

// Device pixels, since the painter rounds each edge there: at a ratio of 2 an edge on half a
// logical pixel changes a row that rounding in logical pixels would miss.
void Playfield::sceneInto(Scene& scene) const {
  const qreal ratio = devicePixelRatioF();
  const QTransform toDevice = twipsToWidget() * QTransform::fromScale(ratio, ratio);
  // Where a picture, a box or a caption may leave pixels: text may reach past its glyphs.
  const auto around = [&](const QRectF& twips, int margin) {
    const int m = int(std::ceil(margin * ratio));
    return pixelsOf(toDevice, twips).adjusted(-m, -m, m, m);
  };
  // The cave's blocks reach far past the field, where nothing shows: only what shows counts.
  const QRect field = pixelsOf(toDevice, QRectF(0, 0, fieldWidth_, frmCavewing::ScaleHeight));
  // The lists of the last frame but one are filled again: a frame allocates next to nothing.
  auto& shapes = shapesByColour_;
  for (auto& [colours, rects] : shapes) rects.clear();
  for (const form::Shape* s : form_.paintShapes)
    if (const QRect shown = meet(pixelsOf(toDevice, drawnRect(*s)), field);
        s->Visible && !shown.isEmpty())
      shapes[{rgbOf(s->FillColor), rgbOf(s->BorderColor)}].push_back(shown);
  scene.labels.clear();
  for (const form::Label* l : form_.paintLabels) {
    if (!l->Visible) continue;
    // A boxed label's box is a white rectangle with a black border, as a shape would be.
    if (l->Boxed) shapes[{qRgb(255, 255, 255), qRgb(0, 0, 0)}].push_back(around(rectOf(*l), 1));
    const QRectF box = captionBoxOf(*l);
    const LaidOutText& laid = laidOut(l, box, toQt(l->Alignment), l->Caption, l->Font);
    const QRectF twipsBox = twipsOf(box);
    const QRect ink =
        laid.ink.isEmpty() ? QRect() : around(inTwips(laid.ink, twipsBox), TextMargin);
    scene.labels.push_back({l,
                            ink,
                            l->Caption,
                            {rgbOf(l->ForeColor), l->Font, int(l->Alignment), twipsBox},
                            laid.glyphInk});
  }
  scene.toDevice = toDevice;
  scene.textMargin = int(std::ceil(TextMargin * ratio));
  for (auto& [colours, bands] : scene.shapes) bands.clear();
  for (const auto& [colours, rects] : shapes)
    if (!rects.empty()) sweep_.unite(rects, scene.shapes[colours]);
  std::erase_if(scene.shapes, [](const auto& colour) { return colour.second.empty(); });
  scene.images.clear();
  for (const form::Image* i : form_.paintImages)
    if (i->Visible && i->Picture != form::Picture::None)
      scene.images.emplace_back(around(drawnRect(*i), 1), int(i->Picture),
                                toDevice.map(drawnRect(*i).topLeft()));
}

// A rectangle of the damage costs a request of its own from the flush to the X server, and a
// piece more of the painter's clip: about what 64 more pixels cost (measured in flight, where
// merging the one-row slivers between a cave's steps this way leaves a third fewer rectangles
// for a twentieth more pixels, and a frame costs a twelfth fewer instructions).
constexpr int RectCost = 64;

QRegion Playfield::damage(const Scene& was, const Scene& is) const {
  auto& [changed, moved, joined, items] = lists_;
  changed.clear();
  const auto add = [&](std::span<const QRect> rects) {
    sweep_.join(changed, rects, joined);
    std::swap(changed, joined);
  };
  // Rectangles of one colour pair: the pixels that left or joined them.
  for (const auto& [colours, rects] : was.shapes) {
    const auto it = is.shapes.find(colours);
    if (it == is.shapes.end()) {
      add(rects);
    } else {
      sweep_.exclusive(rects, it->second, moved);
      if (!moved.empty()) add(moved);
    }
  }
  for (const auto& [colours, rects] : is.shapes)
    if (!was.shapes.contains(colours)) add(rects);
  // A picture or a label that changed at all: where it was and where it is.
  items.clear();
  const auto addItems = [&items](const auto& before, const auto& after) {
    for (const auto& item : before)
      if (std::find(after.begin(), after.end(), item) == after.end())
        items.push_back(std::get<0>(item));
    for (const auto& item : after)
      if (std::find(before.begin(), before.end(), item) == before.end())
        items.push_back(std::get<0>(item));
  };
  addItems(was.images, is.images);
  labelDamage(was, is, items);
  sweep_.unite(items, moved);
  add(moved);
  sweep_.coarsen(changed, RectCost, joined);
  return bands::regionOf(joined);
}

// A label that only changed its caption: around the glyphs that changed (the score's last digit
// as it counts up). Any other change: where it was and where it is.
void Playfield::labelDamage(const Scene& was, const Scene& is, std::vector<QRect>& damage) {
  const auto find = [](const Scene& scene, const Scene::Label& label) {
    return std::find_if(scene.labels.begin(), scene.labels.end(),
                        [&](const Scene::Label& l) { return l.label == label.label; });
  };
  const auto glyphsOnlyIn = [&damage, &is](const Scene::Label& in, const Scene::Label& other) {
    for (const GlyphInk& glyph : *in.glyphs)
      if (std::find(other.glyphs->begin(), other.glyphs->end(), glyph) == other.glyphs->end())
        damage.push_back(
            pixelsOf(is.toDevice, inTwips(glyph.ink, in.look.box))
                .adjusted(-is.textMargin, -is.textMargin, is.textMargin, is.textMargin));
  };
  const bool sameField = was.toDevice == is.toDevice && was.textMargin == is.textMargin;
  for (const Scene::Label& before : was.labels) {
    const auto after = find(is, before);
    if (after == is.labels.end()) {
      damage.push_back(before.ink);
    } else if (*after == before) {
      continue;
    } else if (sameField && after->look == before.look) {
      glyphsOnlyIn(before, *after);
      glyphsOnlyIn(*after, before);
    } else {
      damage.push_back(before.ink);
      damage.push_back(after->ink);
    }
  }
  for (const Scene::Label& label : is.labels)
    if (find(was, label) == was.labels.end()) damage.push_back(label.ink);
}

// What the form shows, and where the view draws what moves between grid points.
std::size_t Playfield::visibleStateHash() const {
  std::size_t h = cabinet::shownStateHash(form_);
  for (const form::Shape* s : form_.paintShapes) mixDrawn(h, *s, drawnRect(*s));
  for (const form::Image* i : form_.paintImages) mixDrawn(h, *i, drawnRect(*i));
  return h;
}

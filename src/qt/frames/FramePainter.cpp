// SPDX-License-Identifier: MIT
// The frame's painter: fills in memory, fills trimmed to the damage, pictures scaled by hand, and
// captions glyph by glyph.
#include "qt/frames/FramePainter.h"

#include <QImage>
#include <QPaintEngine>
#include <algorithm>
#include <cmath>

#include "qt/FieldLook.h"
#include "qt/frames/Pixels.h"

namespace frames {

namespace {

QRgb rgbOf(form::Color c) { return qRgb(c.r, c.g, c.b); }

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

// Rows of pixels of one colour, `count` pixels from `first` on and `rows` rows down.
void fillRows(uchar* first, qsizetype bytesPerLine, int count, int rows, QRgb rgb) {
  for (int y = 0; y < rows; ++y, first += bytesPerLine)
    std::fill_n(reinterpret_cast<QRgb*>(first), count, rgb);
}

}  // namespace

FramePainter::FramePainter(QPainter& p, const QRegion& damaged, const QRect& widget,
                           const Field& field, Captions& captions, PixmapOf pixmapOf)
    : p_(p),
      damaged_(damaged),
      toWidget_(field.toWidget),
      captions_(captions),
      pixmapOf_(pixmapOf) {
  // Outside the field only the black shows; a clip that holds the whole widget would only cost.
  const QRectF shown = toWidget_.mapRect(QRectF(0, 0, field.width, frmCavewing::ScaleHeight));
  const bool clipped = !shown.contains(QRectF(widget));
  if (!clipped) fillsInMemory();
  if (pixels_)
    fillDevice(widgetToDevice_.mapRect(QRectF(widget)).toRect(), qRgb(0, 0, 0));
  else
    p.fillRect(widget, Qt::black);
  if (clipped) p.setClipRect(shown);
  p.setTransform(toWidget_);
  toDevice_ = p.deviceTransform();
  // Through the painter, each damaged rectangle and a pixel around it, in twips: the pixels a
  // rectangle of the form fills inside the damage are those its part around these fills, and the
  // painter's clip keeps the rest as it was.
  const QTransform toTwips = toWidget_.inverted();
  if (!pixels_)
    for (const QRect& r : damaged)
      damagedTwips_.push_back(toTwips.mapRect(QRectF(r.adjusted(-1, -1, 1, 1))));
}

void FramePainter::rectangle(const form::Shape& s) {
  const QRectF r = look::rectOf(s);
  fill(r, rgbOf(s.BorderColor));
  if (s.FillColor != s.BorderColor)
    fill(r.adjusted(look::OnePixel, look::OnePixel, -look::OnePixel, -look::OnePixel),
         rgbOf(s.FillColor));
}

void FramePainter::picture(const form::Image& i) {
  const QPixmap& pixmap = pixmapOf_(i.Picture);
  // The picture keeps its own size, as a classic unstretched image does.
  const QRectF twips(i.Left, i.Top, pixmap.width() * look::OnePixel,
                     pixmap.height() * look::OnePixel);
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
  // In the field's own pixels: where the field is put on its window, the painter's viewport
  // places it there, and stays.
  p_.setWorldTransform(QTransform());
  p_.drawImage(QPointF(device.toAlignedRect().topLeft()) / ratio, scaled);
  p_.restore();
}

void FramePainter::label(const form::Label& l) {
  // Drawing text is the dearest part of a frame, and the cave moves by the captions' boxes
  // frame after frame: the box where the frame changed, the caption where it changed near
  // the caption's glyphs.
  const bool boxDamaged =
      l.Boxed && damaged_.intersects(pixelsOf(toWidget_, look::rectOf(l)).adjusted(-1, -1, 1, 1));
  const QRectF caption = captions_.inkOf(l);
  const bool captionDamaged = damaged_.intersects(aroundText(pixelsOf(toWidget_, caption)));
  // Text is laid out in logical pixels so that fonts keep their pixel sizes.
  if (boxDamaged || captionDamaged)
    p_.setTransform(QTransform::fromScale(look::TwipsPerPixel, look::TwipsPerPixel) * toWidget_);
  if (boxDamaged) box(look::boxOf(l));
  if (captionDamaged) {
    p_.setPen(look::toQColor(l.ForeColor));
    captions_.draw(p_, &l, look::captionBoxOf(l), look::toQt(l.Alignment), l.Caption, l.Font,
                   damaged_);
  }
}

// A white box with a black border one logical pixel wide. Where a logical pixel is a device
// pixel, the border is the box's outer ring of pixels: filled, it costs a fraction of the
// painter's stroke through the many pieces of a frame's clip, for the same pixels. At other
// scales the stroke rounds its edges otherwise than a fill: it is stroked there.
void FramePainter::box(const QRectF& r) {
  const QTransform toDevice = p_.deviceTransform();
  // A logical pixel is a device pixel where the field is only moved to its place.
  const bool moved = toDevice == QTransform::fromTranslate(toDevice.dx(), toDevice.dy());
  if (moved && pixels_) {
    // In memory, as the form's rectangles are.
    fillDevice(pixelsOf(toDevice, r), qRgb(0, 0, 0));
    fillDevice(pixelsOf(toDevice, r.adjusted(1, 1, -1, -1)), qRgb(255, 255, 255));
    return;
  }
  if (moved) {
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
void FramePainter::fillsInMemory() {
  auto* image = dynamic_cast<QImage*>(p_.paintEngine()->paintDevice());
  if (!image) return;
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

void FramePainter::fillDevice(const QRect& device, QRgb rgb) {
  const int left = device.left(), top = device.top(), right = device.right(),
            bottom = device.bottom();
  // The damage's pieces lie in bands from the top down: only the bands the rectangle spans.
  auto d = std::partition_point(deviceDamage_.begin(), deviceDamage_.end(),
                                [top](const QRect& piece) { return piece.bottom() < top; });
  for (; d != deviceDamage_.end() && d->top() <= bottom; ++d) {
    const int l = std::max(left, d->left()), r = std::min(right, d->right());
    const int t = std::max(top, d->top()), b = std::min(bottom, d->bottom());
    if (l <= r)
      fillRows(pixels_ + t * bytesPerLine_ + l * qsizetype(sizeof(QRgb)), bytesPerLine_, r - l + 1,
               b - t + 1, rgb);
  }
}

void FramePainter::fill(const QRectF& twips, QRgb rgb) {
  if (pixels_) {
    fillDevice(pixelsOf(toDevice_, twips), rgb);
    return;
  }
  // Filled through a clip of many pieces, a tall block of the cave costs the painter every row
  // it spans: only the part of it around the pieces that the frame repaints is filled.
  QRectF around;
  for (const QRectF& d : damagedTwips_)
    if (d.intersects(twips)) around |= d;
  if (around.isEmpty()) return;  // nothing of it is repainted
  p_.fillRect(twips & around, QColor(rgb));
}

}  // namespace frames

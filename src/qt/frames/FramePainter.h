// SPDX-License-Identifier: MIT
// Paints a frame's damage of the form's controls as the cabinet lists them: on a picture in
// memory, the rectangles are filled straight into its pixels, each only in the pieces of the
// damage it covers; captions are drawn only around their glyphs that reach into the damage; a
// scaled picture lands on the same device pixels however little is repainted. Its pixels are
// those Qt's painter paints for the whole field.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QTransform>
#include <vector>

#include "cabinet/Paint.h"
#include "qt/frames/Captions.h"
#include "qt/frames/Damage.h"

namespace frames {

// The program's picture for each of the form's.
using PixmapOf = const QPixmap& (*)(form::Picture);

class FramePainter : public cabinet::Painter {
public:
  // Paints black over `widget` (the field's widget, in its pixels) and readies the painter to
  // paint the form in `damaged` (widget pixels), which the painter's clip keeps to.
  FramePainter(QPainter& p, const QRegion& damaged, const QRect& widget, const Field& field,
               Captions& captions, PixmapOf pixmapOf);

  void rectangle(const form::Shape& s) override;
  void picture(const form::Image& i) override;
  void label(const form::Label& l) override;
  // Whether the form's rectangles are filled straight into the picture's pixels: on a picture in
  // memory of 32 bits a pixel, at a whole number of device pixels to a widget pixel, unclipped.
  bool inMemory() const { return pixels_ != nullptr; }

private:
  void box(const QRectF& r);
  void fillsInMemory();
  void fillDevice(const QRect& device, QRgb rgb);
  void fill(const QRectF& twips, QRgb rgb);

  QPainter& p_;
  const QRegion& damaged_;
  const QTransform toWidget_;
  Captions& captions_;
  PixmapOf pixmapOf_;
  std::vector<QRectF> damagedTwips_;
  uchar* pixels_ = nullptr;
  qsizetype bytesPerLine_{};  // with pixels_
  QTransform toDevice_, widgetToDevice_;
  std::vector<QRect> deviceDamage_;
};

}  // namespace frames

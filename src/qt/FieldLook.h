// SPDX-License-Identifier: MIT
// How the form's controls look in Qt's terms, the same for every way the field is painted:
// colours, boxes in twips and in logical pixels, alignment, and fonts at their pixel sizes.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <cmath>

#include "cabinet/kit/Overlay.h"
#include "form/Controls.h"

namespace look {

using cabinet::kit::TwipsPerPixel;
inline constexpr qreal OnePixel = TwipsPerPixel;  // a border line, one logical pixel wide, in twips

inline QColor toQColor(form::Color c) { return QColor(c.r, c.g, c.b); }
inline QColor toQColor(int rgb) { return QColor(QRgb(0xff000000u | unsigned(rgb))); }
inline QRectF toQRect(const cabinet::kit::Box& b) {
  return QRectF(b.left, b.top, b.width, b.height);
}
inline QRectF rectOf(const form::Control& c) { return QRectF(c.Left, c.Top, c.Width, c.Height); }

inline Qt::Alignment toQt(form::Alignment a) {
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
inline int pixelSize(float points) { return int(std::lround(points * 20 / TwipsPerPixel)); }

inline QFont fontOf(const form::Font& font) {
  QFont f(QString::fromStdString(font.Name));
  f.setPixelSize(pixelSize(font.Size));
  f.setBold(font.Bold);
  f.setUnderline(font.Underline);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

// A label's box in logical pixels, and the box its caption is laid out in: inside the border
// of a boxed label.
inline QRectF boxOf(const form::Label& l) {
  const qreal px = 1 / TwipsPerPixel;
  return QRectF(l.Left * px, l.Top * px, l.Width * px, l.Height * px);
}
inline QRectF captionBoxOf(const form::Label& l) {
  return l.Boxed ? boxOf(l).adjusted(2, 1, -2, -1) : boxOf(l);
}

}  // namespace look

// SPDX-License-Identifier: MIT
// Rectangles in twips to the pixels the painter fills, for the many rectangles of every frame:
// as QTransform::mapRect and QRect's operator& give them (where rectangles meet), to the bit,
// without the calls.
#pragma once

#include <QRect>
#include <QRectF>
#include <QTransform>
#include <algorithm>

namespace frames {

// A rectangle mapped by one of the field's transforms, which only scale (never mirrored) and move.
inline QRectF mapped(const QTransform& t, const QRectF& r) {
  return QRectF(t.m11() * r.x() + t.dx(), t.m22() * r.y() + t.dy(), t.m11() * r.width(),
                t.m22() * r.height());
}

// The pixels in both: an empty rectangle where they do not meet.
inline QRect meet(const QRect& a, const QRect& b) {
  return QRect(QPoint(std::max(a.left(), b.left()), std::max(a.top(), b.top())),
               QPoint(std::min(a.right(), b.right()), std::min(a.bottom(), b.bottom())));
}

// The pixels a rectangle fills: the painter rounds each edge to a pixel boundary as qRound does.
inline QRect pixelsOf(const QTransform& toWidget, const QRectF& twips) {
  const QRectF r = mapped(toWidget, twips);
  return QRect(QPoint(qRound(r.left()), qRound(r.top())),
               QPoint(qRound(r.right()) - 1, qRound(r.bottom()) - 1));
}

}  // namespace frames

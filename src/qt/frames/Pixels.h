// SPDX-License-Identifier: MIT
// Rectangles in twips to the pixels the painter fills, for the many rectangles of every frame:
// as QTransform::mapRect and QRect's operator& give them, to the bit, without the calls.
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

// The pixels in both.
inline QRect meet(const QRect& a, const QRect& b) {
  if (!a.isValid() || !b.isValid()) return a & b;
  const int left = std::max(a.left(), b.left()), right = std::min(a.right(), b.right());
  const int top = std::max(a.top(), b.top()), bottom = std::min(a.bottom(), b.bottom());
  if (left > right || top > bottom) return QRect();
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The pixels a rectangle fills: the painter rounds each edge to a pixel boundary as qRound does.
inline QRect pixelsOf(const QTransform& toWidget, const QRectF& twips) {
  const QRectF r = mapped(toWidget, twips);
  return QRect(QPoint(qRound(r.left()), qRound(r.top())),
               QPoint(qRound(r.right()) - 1, qRound(r.bottom()) - 1));
}

}  // namespace frames

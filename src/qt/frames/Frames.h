// SPDX-License-Identifier: MIT
// The frame machinery a playfield widget uses to meet flight's CPU goal (README.md here): each
// frame's damage, its painter, the captions' layouts, and on X11 the put of a frame on the window
// past Qt's flush. The widget keeps what it shows and when; this finds where and paints it.
#pragma once

#include <QRegion>
#include <functional>
#include <memory>

#include "qt/frames/Captions.h"
#include "qt/frames/Damage.h"
#include "qt/frames/FramePainter.h"

class QObject;
class QPainter;
class QWidget;
class XcbSurface;

namespace frames {

class Frames {
public:
  explicit Frames(PixmapOf pixmapOf);
  ~Frames();
  Frames(const Frames&) = delete;
  Frames& operator=(const Frames&) = delete;

  // The widget pixels where the field differs from the frame shown last (none: nowhere); the
  // field as it is now becomes the frame shown.
  QRegion next(const Field& field) { return damage_.next(field); }
  // A resize repaints everything: the field as it is now is the frame shown.
  void resized(const Field& field) { damage_.resized(field); }
  // A painter for `damaged` of the field on `p`, which paints `widget` (the field's widget) black
  // first.
  FramePainter painter(QPainter& p, const QRegion& damaged, const QRect& widget,
                       const Field& field) {
    return FramePainter(p, damaged, widget, field, captions_, pixmapOf_);
  }
  // Draws an overlay's caption that fits its box, where the damage comes near its glyphs.
  void drawCaption(QPainter& p, const void* owner, const QRectF& box, Qt::Alignment alignment,
                   const std::string& text, const form::Font& font, const QRegion& damaged) {
    captions_.drawNearInk(p, owner, box, alignment, text, font, damaged);
  }

  // On X11: paints `damaged` (its own pixels) of the shown widget `field` with `paint` on its
  // window's backing store, as Qt paints it there, and puts those pixels on the window itself.
  // Returns whether it did; where it did not, Qt must repaint them.
  bool put(QWidget& field, const QRegion& damaged,
           const std::function<void(QPainter&, const QRegion&)>& paint);
  // Qt answers an exposure of the field's window from its own copy of the window, which the
  // frames put here never reach: `exposed` is called once Qt is done, to put the field again.
  void watchExposures(QWidget& field, std::function<void()> exposed);

private:
  PixmapOf pixmapOf_;
  Captions captions_;
  Damage damage_{captions_};
  std::unique_ptr<XcbSurface> surface_;  // on X11
  std::unique_ptr<QObject> exposures_;
};

}  // namespace frames

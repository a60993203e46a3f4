// SPDX-License-Identifier: MIT
// A frame's damage: what the field shows, worked out as a scene in device pixels, against what
// the frame before showed. Only the pixels that left or joined a colour's rectangles, and a
// picture or a caption that changed, are repainted: in flight a few thousand of the field's
// half a million.
#pragma once

#include <QColor>
#include <QRegion>
#include <QTransform>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "app/frmCavewing.h"
#include "cabinet/View.h"
#include "qt/frames/Bands.h"
#include "qt/frames/Captions.h"

namespace frames {

// The field as a frame paints it.
struct Field {
  const frmCavewing& form;
  const cabinet::View* view;  // none: each control where it is
  double fraction;            // of the way along the current step, where the view draws
  float width;                // in twips
  QTransform toWidget;        // twips to widget pixels
  qreal ratio;                // device pixels a widget pixel
};
// Where a control is drawn in this frame, in twips.
QRectF drawnRect(const Field& field, const form::Control& control);

class Damage {
public:
  explicit Damage(Captions& captions) : captions_(captions) {}
  // The widget pixels that differ from the frame shown last (none: nothing does); from now on
  // the field as it is now is the frame shown.
  QRegion next(const Field& field);
  // A resize repaints everything: the field as it is now is the frame shown.
  void resized(const Field& field) { sceneInto(field, shown_); }

private:
  // What a frame shows, in device pixels: the rectangles as the bands of one region per pair of
  // colours (a scrolling cave changes only at its steps), the pictures and labels one by one.
  struct Scene {
    std::map<std::pair<QRgb, QRgb>, std::vector<QRect>> shapes;
    // where, which picture, and where exactly: scaled, a picture moved by less than a pixel
    // shows other rows of its own
    std::vector<std::tuple<QRect, int, QPointF>> images;
    // a boxed label's box is one of the shapes: a caption that changes repaints only around
    // the glyphs that changed
    struct Look {
      QRgb colour;
      form::Font font;
      int alignment;
      QRectF box;  // its caption's, in twips
      bool operator==(const Look&) const = default;
    };
    struct Label {
      const void* label;
      QRect ink;  // around all its glyphs; empty without a caption
      std::string caption;
      Look look;
      std::shared_ptr<const std::vector<GlyphInk>> glyphs;
      bool operator==(const Label&) const = default;
    };
    std::vector<Label> labels;
    QTransform toDevice;
    int textMargin{};  // device pixels around a glyph's ink
    bool operator==(const Scene&) const = default;
  };
  // Works out what a frame shows, over the lists `scene` holds.
  void sceneInto(const Field& field, Scene& scene);
  QRegion damage(const Scene& was, const Scene& is);
  static void labelDamage(const Scene& was, const Scene& is, std::vector<QRect>& damage);

  Captions& captions_;
  Scene shown_, next_;  // what the window shows; the lists the next frame's scene is made in
  // The working lists, kept from frame to frame: a frame allocates next to nothing.
  bands::Sweep sweep_;
  std::map<std::pair<QRgb, QRgb>, std::vector<QRect>> shapesByColour_;
  struct {
    std::vector<QRect> changed, moved, joined, items;
  } lists_;
};

}  // namespace frames

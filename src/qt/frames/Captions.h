// SPDX-License-Identifier: MIT
// Captions laid out once and drawn glyph by glyph: shaping text is the dearest part of a frame,
// and the cave moves under the same captions frame after frame. Each caption is shaped again only
// when it changes, and only its glyphs that reach into a frame's damage are drawn.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QRect>
#include <QRegion>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "form/Controls.h"

class QPainter;

namespace frames {

// Text may reach a little past its glyphs' outlines (smoothing, hinting at another scale).
inline constexpr int TextMargin = 2;
inline QRect aroundText(const QRect& box) {
  return box.adjusted(-TextMargin, -TextMargin, TextMargin, TextMargin);
}

// Where a glyph of a caption may leave ink, in logical pixels from its box's corner: which glyph,
// at which point of its line (or an underline, along the line at that point).
struct GlyphInk {
  static constexpr quint32 Underline = std::numeric_limits<quint32>::max();
  quint32 glyph;
  QPointF at;
  QRectF ink;
  bool operator==(const GlyphInk&) const = default;
};

class Captions {
public:
  // A caption wrapped in its box, in logical pixels.
  struct Laid {
    std::string text;
    form::Font font;
    QSizeF box;
    Qt::Alignment alignment;
    QList<QGlyphRun> glyphs;                      // shaped once, drawn at the box's corner
    std::vector<std::vector<QRectF>> glyphBoxes;  // run by run, each glyph's box where it stands
    QSizeF size;                                  // of its lines
    QRectF ink;                                   // where its glyphs lie in the box, cut to the box
    std::shared_ptr<const std::vector<GlyphInk>> glyphInk;  // glyph by glyph
  };

  const QFont& font(const form::Font& font);
  // The caption `owner` (a label, a badge) shows, kept laid out until it changes.
  const Laid& laidOut(const void* owner, const QRectF& box, Qt::Alignment alignment,
                      const std::string& text, const form::Font& font);
  // Draws those of a caption's glyphs that reach into the damage (in widget pixels), with the
  // painter's pen, its transform taking logical pixels to the widget's.
  void draw(QPainter& p, const void* owner, const QRectF& box, Qt::Alignment alignment,
            const std::string& text, const form::Font& font, const QRegion& damaged);
  // The same, only where the damage comes near the caption's ink in its box: for a caption that
  // fits its box (the badge), over which the cave moves.
  void drawNearInk(QPainter& p, const void* owner, const QRectF& box, Qt::Alignment alignment,
                   const std::string& text, const form::Font& font, const QRegion& damaged);
  // Where a label's caption leaves ink, in twips (a little around it may be touched too).
  // Empty without a caption.
  QRectF inkOf(const form::Label& label);

private:
  std::map<std::tuple<std::string, float, bool, bool>, QFont> fonts_;
  std::map<const void*, Laid> laid_;
};

// Where ink given in logical pixels from a caption's box lies, in twips.
QRectF inTwips(const QRectF& ink, const QRectF& twipsBox);
QRectF twipsOf(const QRectF& logical);

}  // namespace frames

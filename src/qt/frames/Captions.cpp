// SPDX-License-Identifier: MIT
// A caption shaped as Qt lays out a text wrapped in its box, and drawn glyph by glyph.
#include "qt/frames/Captions.h"

#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>

#include "qt/FieldLook.h"

namespace frames {

namespace {

// A caption wrapped in its box, shaped once: its glyphs, the size of its lines, and where each
// glyph may leave ink (and an underline, along its line). The cave moves by just below many a
// caption, and a score that counts up changes its last digit.
struct ShapedCaption {
  QList<QGlyphRun> glyphs;
  std::vector<std::vector<QRectF>> glyphBoxes;  // run by run, each glyph's box where it stands
  QSizeF size;
  std::vector<GlyphInk> ink;
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
    // A line's height leaves out a negative leading, which draws the next line closer.
    height += line.height() + std::min(std::ceil(line.leading()), qreal{});
    lines.push_back(line.naturalTextRect());
  }
  layout.endLayout();
  ShapedCaption shaped{layout.glyphRuns(), {}, layout.boundingRect().size(), {}};
  const QRectF inBox(QPointF(), box);
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
  // Qt draws an underline from the start of its line's box, whatever the alignment: its ink is
  // the line across the whole box.
  if (font.underline())
    for (const QRectF& line : lines)
      if (const QRectF ink = QRectF(inBox.left(), line.top(), inBox.width(), line.height()) & inBox;
          !ink.isEmpty())
        shaped.ink.push_back({GlyphInk::Underline, line.topLeft(), ink});
  return shaped;
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
  QGlyphRun kept(run);
  kept.setGlyphIndexes(keptIndexes);
  kept.setPositions(keptPositions);
  return kept;
}

}  // namespace

QRectF twipsOf(const QRectF& logical) {
  return QRectF(logical.topLeft() * look::TwipsPerPixel, logical.size() * look::TwipsPerPixel);
}

QRectF inTwips(const QRectF& ink, const QRectF& twipsBox) {
  return QRectF(twipsBox.topLeft() + ink.topLeft() * look::TwipsPerPixel,
                ink.size() * look::TwipsPerPixel);
}

const QFont& Captions::font(const form::Font& font) {
  const auto key = std::make_tuple(font.Name, font.Size, font.Bold, font.Underline);
  const auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  return fonts_.emplace(key, look::fontOf(font)).first->second;
}

const Captions::Laid& Captions::laidOut(const void* owner, const QRectF& box,
                                        Qt::Alignment alignment, const std::string& text,
                                        const form::Font& font) {
  Laid& laid = laid_[owner];
  if (laid.text == text && laid.font == font && laid.box == box.size() &&
      laid.alignment == alignment)
    return laid;
  // Wrapped at the box's width between words (an option's own wrap), as the painter's drawText
  // wraps a caption.
  const QTextOption option(alignment);
  ShapedCaption shaped = shape(QString::fromStdString(text), this->font(font), option, box.size());
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

void Captions::draw(QPainter& p, const void* owner, const QRectF& box, Qt::Alignment alignment,
                    const std::string& text, const form::Font& font, const QRegion& damaged) {
  const Laid& laid = laidOut(owner, box, alignment, text, font);
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

void Captions::drawNearInk(QPainter& p, const void* owner, const QRectF& box,
                           Qt::Alignment alignment, const std::string& text, const form::Font& font,
                           const QRegion& damaged) {
  const QRectF ink = laidOut(owner, box, alignment, text, font).ink.translated(box.topLeft());
  if (damaged.intersects(aroundText(p.transform().mapRect(ink).toAlignedRect())))
    draw(p, owner, box, alignment, text, font, damaged);
}

QRectF Captions::inkOf(const form::Label& label) {
  const QRectF box = look::captionBoxOf(label);
  const QRectF ink =
      laidOut(&label, box, look::toQt(label.Alignment), label.Caption, label.Font).ink;
  return ink.isEmpty() ? QRectF() : inTwips(ink, twipsOf(box));
}

}  // namespace frames

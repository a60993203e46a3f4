// SPDX-License-Identifier: MIT
// The scene of a frame, and the damage between two scenes, swept in bands.
#include "qt/frames/Damage.h"

#include <algorithm>
#include <cmath>

#include "qt/FieldLook.h"
#include "qt/frames/Pixels.h"

namespace frames {

namespace {

// The colour as QColor's rgb() gives it, without making one: the scene asks for every shape's.
QRgb rgbOf(form::Color c) { return qRgb(c.r, c.g, c.b); }

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

// A rectangle of the damage costs a request of its own from the flush to the X server, and a
// piece more of the painter's clip: about what 64 more pixels cost (measured in flight, where
// merging the one-row slivers between a cave's steps this way leaves a third fewer rectangles
// for a twentieth more pixels, and a frame costs a twelfth fewer instructions).
constexpr int RectCost = 64;

}  // namespace

QRectF drawnRect(const Field& field, const form::Control& c) {
  if (!field.view) return look::rectOf(c);
  const cabinet::View::Position at = field.view->position(c, field.fraction);
  return QRectF(at.Left, at.Top, c.Width, c.Height);
}

QRegion Damage::next(const Field& field) {
  sceneInto(field, next_);
  if (next_ == shown_) return QRegion();
  const QRegion damaged = damage(shown_, next_);
  std::swap(shown_, next_);
  return logicalPixelsOver(damaged, field.ratio);
}

// Device pixels, since the painter rounds each edge there: at a ratio of 2 an edge on half a
// logical pixel changes a row that rounding in logical pixels would miss.
void Damage::sceneInto(const Field& field, Scene& scene) {
  const frmCavewing& form = field.form;
  const QTransform toDevice = field.toWidget * QTransform::fromScale(field.ratio, field.ratio);
  // Where a picture, a box or a caption may leave pixels: text may reach past its glyphs.
  const auto around = [&](const QRectF& twips, int margin) {
    const int m = int(std::ceil(margin * field.ratio));
    return pixelsOf(toDevice, twips).adjusted(-m, -m, m, m);
  };
  // The cave's blocks reach far past the field, where nothing shows: only what shows counts.
  const QRect shownField =
      pixelsOf(toDevice, QRectF(QPointF(), QSizeF(field.width, frmCavewing::ScaleHeight)));
  // The lists of the last frame but one are filled again: a frame allocates next to nothing.
  auto& shapes = shapesByColour_;
  for (auto& [colours, rects] : shapes) rects.clear();
  for (const form::Shape* s : form.paintShapes)
    if (const QRect shown = meet(pixelsOf(toDevice, drawnRect(field, *s)), shownField);
        s->Visible && !shown.isEmpty())
      shapes[{rgbOf(s->FillColor), rgbOf(s->BorderColor)}].push_back(shown);
  scene.labels.clear();
  for (const form::Label* l : form.paintLabels) {
    if (!l->Visible) continue;
    // A boxed label's box is a white rectangle with a black border, as a shape would be.
    if (l->Boxed)
      shapes[{qRgb(255, 255, 255), qRgb(0, 0, 0)}].push_back(around(look::rectOf(*l), 1));
    const QRectF box = look::captionBoxOf(*l);
    const Captions::Laid& laid =
        captions_.laidOut(l, box, look::toQt(l->Alignment), l->Caption, l->Font);
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
  scene.textMargin = int(std::ceil(TextMargin * field.ratio));
  for (auto& [colours, bands] : scene.shapes) bands.clear();
  for (const auto& [colours, rects] : shapes)
    if (!rects.empty()) sweep_.unite(rects, scene.shapes[colours]);
  std::erase_if(scene.shapes, [](const auto& colour) { return colour.second.empty(); });
  scene.images.clear();
  for (const form::Image* i : form.paintImages)
    if (i->Visible && i->Picture != form::Picture::None)
      scene.images.emplace_back(around(drawnRect(field, *i), 1), int(i->Picture),
                                toDevice.map(drawnRect(field, *i).topLeft()));
}

QRegion Damage::damage(const Scene& was, const Scene& is) {
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
void Damage::labelDamage(const Scene& was, const Scene& is, std::vector<QRect>& damage) {
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
  // The same field at the same density: the margin around a glyph follows from the density.
  const bool sameField = was.toDevice == is.toDevice;
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

}  // namespace frames

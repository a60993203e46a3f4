// SPDX-License-Identifier: MIT
// Painting of the form's controls: rectangles, then pictures, then labels, on a black field, in
// the order the cabinet lists them (cabinet/Paint.h). Twips map to logical pixels at 15 twips a
// pixel, and the field is scaled to fit the widget. The frame machinery (src/qt/frames) paints
// the same pixels, only where they changed; without it every change repaints the whole field.
#include "qt/Playfield.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/Phase.h"
#include "cabinet/Paint.h"
#include "qt/FieldLook.h"
#include "qt/Pictures.h"
#include "qt/TimingReport.h"
#ifdef CAVEWING_FRAMES
#include "qt/frames/Frames.h"
#endif

namespace {

namespace kit = cabinet::kit;
using look::TwipsPerPixel;

template <class T>
void mix(std::size_t& h, const T& value) {
  h ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
}

// A caption wrapped in its box from its top; what does not fit its box is cut off there.
void drawCaption(QPainter& p, const QRectF& box, Qt::Alignment alignment, const std::string& text,
                 const form::Font& font) {
  p.setFont(look::fontOf(font));
  p.drawText(box, int(alignment | Qt::AlignTop | Qt::TextWordWrap), QString::fromStdString(text));
}

// Draws what the cabinet lists with Qt's painter: the whole field on black.
class QtPainter : public cabinet::Painter {
public:
  QtPainter(QPainter& p, const QRect& widget, const QTransform& toWidget, float fieldWidth)
      : p_(p), toWidget_(toWidget) {
    p.fillRect(widget, Qt::black);
    p.setClipRect(toWidget.mapRect(QRectF(0, 0, fieldWidth, frmCavewing::ScaleHeight)),
                  Qt::IntersectClip);
    p.setTransform(toWidget);
  }

  void rectangle(const form::Shape& s) override {
    const QRectF r = look::rectOf(s);
    const qreal px = look::OnePixel;
    p_.fillRect(r, look::toQColor(s.BorderColor));
    p_.fillRect(r.adjusted(px, px, -px, -px), look::toQColor(s.FillColor));
  }

  void picture(const form::Image& i) override {
    const QPixmap& pixmap = pixmapFor(i.Picture);
    // The picture keeps its own size, as a classic unstretched image does.
    p_.drawPixmap(
        QRectF(i.Left, i.Top, pixmap.width() * look::OnePixel, pixmap.height() * look::OnePixel),
        pixmap, QRectF(pixmap.rect()));
  }

  void label(const form::Label& l) override {
    // Text is laid out in logical pixels so that fonts keep their pixel sizes.
    p_.setTransform(QTransform::fromScale(TwipsPerPixel, TwipsPerPixel) * toWidget_);
    if (l.Boxed) {
      const QRectF box = look::boxOf(l);
      p_.fillRect(box, Qt::white);
      p_.setPen(Qt::black);
      p_.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    p_.setPen(look::toQColor(l.ForeColor));
    drawCaption(p_, look::captionBoxOf(l), look::toQt(l.Alignment), l.Caption, l.Font);
  }

private:
  QPainter& p_;
  const QTransform toWidget_;
};

}  // namespace

Playfield::Playfield(const frmCavewing& form, float fieldWidthTwips, QWidget* parent,
                     [[maybe_unused]] Painting painting)
    : QWidget(parent), form_(form), fieldWidth_(fieldWidthTwips), start_(new QPushButton(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
#ifdef CAVEWING_FRAMES
  if (painting == Painting::Frames) frames_ = std::make_unique<frames::Frames>(pixmapFor);
#endif
  // The field takes the keys once START is gone, but a click on it leaves START its focus.
  setFocusPolicy(Qt::TabFocus);
  setMouseTracking(false);
  start_->setObjectName("cmdStart");
  const auto& c = form.cmdStart.BackColor;
  start_->setStyleSheet(QString("QPushButton { background-color: rgb(%1,%2,%3); color: black;"
                                " border: 3px outset rgb(255,150,150); }"
                                "QPushButton:pressed { border-style: inset; }"
                                "QPushButton:focus { outline: 1px dotted black; }")
                            .arg(c.r)
                            .arg(c.g)
                            .arg(c.b));
  syncWithForm();
}

Playfield::~Playfield() = default;

QSize Playfield::sizeHint() const {
  return QSize(int(std::lround(fieldWidth_ / TwipsPerPixel)),
               int(std::lround(frmCavewing::ScaleHeight / TwipsPerPixel)));
}

QTransform Playfield::twipsToWidget() const {
  const QSizeF field(fieldWidth_ / TwipsPerPixel, frmCavewing::ScaleHeight / TwipsPerPixel);
  const qreal scale = std::min(width() / field.width(), height() / field.height());
  const qreal dx = (width() - field.width() * scale) / 2;
  const qreal dy = (height() - field.height() * scale) / 2;
  return QTransform::fromScale(scale / TwipsPerPixel, scale / TwipsPerPixel) *
         QTransform::fromTranslate(dx, dy);
}

void Playfield::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  paint(p, event->region());
}

void Playfield::paint(QPainter& p, const QRegion& damaged) {
#ifdef CAVEWING_FRAMES
  if (frames_) {
    frames::FramePainter painter = frames_->painter(p, damaged, rect(), field());
    walk(painter);
  } else
#endif
  {
    QtPainter painter(p, rect(), twipsToWidget(), fieldWidth_);
    walk(painter);
  }
  // The badge and the overlay, in logical pixels.
  p.setTransform(QTransform::fromScale(TwipsPerPixel, TwipsPerPixel) * twipsToWidget());
  if (overlays_.ghost) paintGhost(p);
  if (!overlays_.badge.empty() || !overlays_.startNote.empty() || overlays_.ringX)
    paintBadge(p, damaged);
  if (overlays_.standStill) paintStandStill(p);
  if (!paintedOnce_ && timing_report::enabled()) timing_report::firstFrame();
  paintedOnce_ = true;
}

void Playfield::walk(cabinet::Painter& painter) const {
  if (view_)
    cabinet::paint(form_, *view_, fraction_, painter);
  else
    cabinet::paint(form_, painter);
}

// Drawn in logical pixels over everything else: a badge in the corner with its hint (or the start
// screen's note), and a ring where the recorded player holds a button down.
void Playfield::paintBadge(QPainter& p, [[maybe_unused]] const QRegion& damaged) {
  for (const auto& [look, text] :
       {std::pair(&kit::Badge, &overlays_.badge), std::pair(&kit::BadgeHint, &overlays_.hint),
        std::pair(&kit::StartNote, &overlays_.startNote)}) {
    const QRectF box = look::toQRect(look->box);
    const form::Font font{look->font, look->points, look->bold};
    p.setPen(look::toQColor(look->rgb));
#ifdef CAVEWING_FRAMES
    if (frames_)
      frames_->drawCaption(p, text, box, Qt::AlignLeft, *text, font, damaged);
    else
#endif
      drawCaption(p, box, Qt::AlignLeft, *text, font);
  }
  if (!overlays_.ringX || !overlays_.ringY) return;
  const kit::RingLook& ring = kit::ReplayRing;
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(look::toQColor(ring.rgb), ring.pen));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(*overlays_.ringX, *overlays_.ringY) / TwipsPerPixel, ring.radius,
                ring.radius);
  p.setRenderHint(QPainter::Antialiasing, false);
}

// The ghost's helicopter, seen through, in one blit.
void Playfield::paintGhost(QPainter& p) {
  const QPixmap& pixmap = pixmapFor(overlays_.ghost->picture);
  p.save();
  p.setTransform(twipsToWidget());
  p.setOpacity(kit::GhostOpacity);
  p.drawPixmap(QRectF(overlays_.ghost->left, overlays_.ghost->top, pixmap.width() * look::OnePixel,
                      pixmap.height() * look::OnePixel),
               pixmap, QRectF(pixmap.rect()));
  p.restore();
}

QRect Playfield::ghostRect(const std::optional<kit::GhostAt>& ghost) const {
  if (!ghost) return {};
  const QPixmap& pixmap = pixmapFor(ghost->picture);
  const QRectF twips(ghost->left, ghost->top, pixmap.width() * look::OnePixel,
                     pixmap.height() * look::OnePixel);
  return twipsToWidget().mapRect(twips).toAlignedRect().adjusted(-1, -1, 1, 1);
}

// A dark band across the middle of the field, in logical pixels over everything else: what
// happened, and how to go on.
void Playfield::paintStandStill(QPainter& p) {
  const kit::StandStillLook& look = kit::StandStillBand;
  const kit::StandStillBoxes at = kit::standStillAcross(fieldWidth_, frmCavewing::ScaleHeight);
  p.fillRect(look::toQRect(at.band), QColor(0, 0, 0, look.bandAlpha));
  for (const auto& [text, box] :
       {std::pair(&look.title, at.title), std::pair(&look.hint, at.hint)}) {
    p.setPen(look::toQColor(text->rgb));
    p.setFont(look::fontOf(form::Font{text->font, text->points, text->bold}));
    p.drawText(look::toQRect(box), Qt::AlignHCenter | Qt::AlignTop, text->text);
  }
}

void Playfield::showOverlays(const kit::Overlays& overlays) {
  // The ghost is repainted whole in every frame it shows in or leaves: the cave moving under a
  // part of it would otherwise repaint a part of a scaled picture, which need not match.
  const QRegion ghost = QRegion(ghostRect(overlays_.ghost)) + ghostRect(overlays.ghost);
  if (!ghost.isEmpty()) damaged(ghost);
  if (overlays == overlays_) return;
  kit::Overlays rest = overlays;
  rest.ghost = overlays_.ghost;
  const bool restChanged = rest != overlays_;
  overlays_ = overlays;
  if (restChanged) damaged(rect());
}

void Playfield::paintFrames(const cabinet::View& view, std::function<void()> wantFrame) {
  view_ = &view;
  wantFrame_ = std::move(wantFrame);
}

bool Playfield::showFrame(double fraction) {
  fraction_ = fraction;
  const bool changed = syncWithForm();
  if (!pending_.isEmpty()) showNow(std::exchange(pending_, QRegion()));
  return changed;
}

void Playfield::showNow(const QRegion& damaged) {
  if (!put(damaged)) repaint(damaged);
}

// A frame in flight: the machinery puts it on the window where it can. The START button keeps
// its pixels.
bool Playfield::put([[maybe_unused]] const QRegion& damaged) {
#ifdef CAVEWING_FRAMES
  const QRegion shown = start_->isVisible() ? damaged - start_->geometry() : damaged;
  return frames_ &&
         frames_->put(*this, shown, [this](QPainter& p, const QRegion& r) { paint(p, r); });
#else
  return false;
#endif
}

void Playfield::damaged(const QRegion& logical) {
  if (!wantFrame_) {
    update(logical);
    return;
  }
  pending_ += logical;
  wantFrame_();
}

void Playfield::resizeEvent(QResizeEvent*) {
  placeStartButton();
#ifdef CAVEWING_FRAMES
  if (frames_) frames_->resized(field());  // a resize repaints everything anyway
#endif
}

void Playfield::showEvent(QShowEvent*) {
#ifdef CAVEWING_FRAMES
  // An exposure puts the whole field again, or else Qt repaints it. (Qt's own repaint of the
  // field would take a flush buffer of 4 MiB.)
  if (frames_)
    frames_->watchExposures(*this, [this] {
      if (!put(rect())) update();
    });
#endif
}

void Playfield::placeStartButton() {
  const form::CommandButton& b = form_.cmdStart;
  placedButton_ = look::rectOf(b);
  const QTransform toWidget = twipsToWidget();
  start_->setGeometry(toWidget.mapRect(QRectF(b.Left, b.Top, b.Width, b.Height)).toRect());
  QFont f(QString::fromStdString(b.Font.Name));
  f.setBold(b.Font.Bold);
  f.setPixelSize(
      std::max(1, int(std::lround(look::pixelSize(b.Font.Size) * toWidget.m11() * TwipsPerPixel))));
  start_->setFont(f);
}

bool Playfield::syncWithForm() {
  const form::CommandButton& b = form_.cmdStart;
  bool changed = false;
  const QString caption = QString::fromStdString(b.Caption);
  if (start_->text() != caption) start_->setText(caption);
  start_->setEnabled(b.Enabled);
  if (look::rectOf(b) != placedButton_) placeStartButton();
  if (start_->isVisibleTo(this) != b.Visible) {
    start_->setVisible(b.Visible);
    changed = true;
  }
  // The hash is cheap; finding where the field changed is not. In flight the cave moves on every
  // frame: asking first whether anything changed only costs.
  if (phaseOf(form_) == Phase::Flying) {
    lastHash_ = 0;
  } else {
    const std::size_t hash = visibleStateHash();
    if (hash == lastHash_) return changed;
    lastHash_ = hash;
  }
#ifdef CAVEWING_FRAMES
  const QRegion where = frames_ ? frames_->next(field()) : QRegion(rect());
#else
  const QRegion where = rect();
#endif
  if (where.isEmpty()) return changed;
  damaged(where);
  return true;
}

// What the form shows, and where the view draws what moves between grid points.
std::size_t Playfield::visibleStateHash() const {
  std::size_t h = cabinet::shownStateHash(form_);
  const auto mixDrawn = [&](const form::Control& c) {
    if (!c.Visible) return;
    const cabinet::View::Position at =
        view_ ? view_->position(c, fraction_) : cabinet::View::Position{c.Left, c.Top};
    mix(h, qreal(at.Left));
    mix(h, qreal(at.Top));
  };
  for (const form::Shape* s : form_.paintShapes) mixDrawn(*s);
  for (const form::Image* i : form_.paintImages) mixDrawn(*i);
  return h;
}

#ifdef CAVEWING_FRAMES
frames::Field Playfield::field() const {
  return {form_, view_, fraction_, fieldWidth_, twipsToWidget(), devicePixelRatioF()};
}
#endif

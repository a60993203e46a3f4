// SPDX-License-Identifier: MIT
// The playfield: paints every visible control of the form on black, scaled to fit the widget and
// centred, and holds the real START button. It holds no game rule: it only shows the form.
#pragma once

#include <QGlyphRun>
#include <QPushButton>
#include <QRegion>
#include <QTransform>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "app/frmCavewing.h"
#include "cabinet/View.h"
#include "cabinet/kit/Kit.h"
#include "qt/Bands.h"

class QPainter;
class XcbSurface;

class Playfield : public QWidget {
  Q_OBJECT
public:
  Playfield(const frmCavewing& form, float fieldWidthTwips, QWidget* parent = nullptr);
  ~Playfield() override;

  QSize sizeHint() const override;
  QPushButton* startButton() const { return start_; }
  // Twips to widget pixels and back, for painting and for mapping the mouse.
  QTransform twipsToWidget() const;
  // What the kit paints over the form: the badge and its hint, the replay's ring, the
  // stand-still's band.
  void showOverlays(const cabinet::kit::Overlays& overlays);
  // Brings the START button and the repaint in step with the form; cheap when nothing changed.
  // Only what changed on screen is repainted. Returns whether anything visible changed.
  bool syncWithForm();

  // From now on the view draws what moves, and what changed waits for the display's next frame
  // (`wantFrame` asks for it) instead of being repainted at once.
  void paintFrames(const cabinet::View& view, std::function<void()> wantFrame);
  // A frame of the display: the view `fraction` of the way along the current step; what changed
  // since the last frame is repainted now. Returns whether anything visible changed.
  bool showFrame(double fraction);

  // Where a glyph of a caption may leave ink, in logical pixels from its box's corner: which
  // glyph, at which point of its line (or an underline, along the line at that point).
  struct GlyphInk {
    static constexpr quint32 Underline = ~quint32{0};
    quint32 glyph;
    QPointF at;
    QRectF ink;
    bool operator==(const GlyphInk&) const = default;
  };

protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void showEvent(QShowEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  class FormPainter;
  // Paints what is in `damaged` (widget pixels) with `p`, clipped to it.
  void paint(QPainter& p, const QRegion& damaged);
  // Paints a frame's damage on the window's backing store and puts it on the window past Qt's
  // flush, where the display allows; returns whether it did.
  bool putFrame(const QRegion& damaged);
  // After an exposure: the whole field again, put by the field or else repainted by Qt.
  void repaintWhole();
  const QFont& fontFor(const form::Font& font) const;
  struct LaidOutText;
  // A caption wrapped in its box, in logical pixels; the owner (a label, the badge) keeps its
  // layout, laid out again only when the caption changes.
  LaidOutText& laidOut(const void* owner, const QRectF& box, Qt::Alignment alignment,
                       const std::string& text, const form::Font& font) const;
  // Draws a caption wrapped in its box, those of its glyphs that reach into the damage (in widget
  // pixels).
  void drawText(QPainter& p, const void* owner, const QRectF& box, Qt::Alignment alignment,
                const std::string& text, const form::Font& font, const QRegion& damaged);
  // Where a label's caption leaves ink, in twips (a little around it may be touched too).
  // Empty without a caption.
  QRectF captionOf(const form::Label& label) const;
  void paintBadge(QPainter& p, const QRegion& damaged);
  void paintStandStill(QPainter& p);
  void placeStartButton();
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
    int textMargin = 0;  // device pixels around a glyph's ink
    bool operator==(const Scene&) const = default;
  };
  // Works out what a frame shows, over the lists `scene` holds.
  void sceneInto(Scene& scene) const;
  // Where a control is drawn in this frame, in twips.
  QRectF drawnRect(const form::Control& control) const;
  void damaged(const QRegion& logical);
  std::size_t visibleStateHash() const;
  QRegion damage(const Scene& was, const Scene& is) const;
  static void labelDamage(const Scene& was, const Scene& is, std::vector<QRect>& damage);

  const frmCavewing& form_;
  const cabinet::View* view_ = nullptr;
  double fraction_ = 1;
  std::function<void()> wantFrame_;
  QRegion pending_;  // logical pixels that wait for the next frame
  float fieldWidth_;
  QPushButton* start_;
  std::size_t lastHash_ = 0;
  Scene shown_, next_;  // what the window shows; the lists the next frame's scene is made in
  QRectF placedButton_;
  bool paintedOnce_ = false;
  cabinet::kit::Overlays overlays_;
  mutable std::map<std::tuple<std::string, float, bool, bool>, QFont> fonts_;
  struct LaidOutText {
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
  mutable std::map<const void*, LaidOutText> laidOutTexts_;
  // The damage's working lists, kept from frame to frame.
  mutable bands::Sweep sweep_;
  mutable std::map<std::pair<QRgb, QRgb>, std::vector<QRect>> shapesByColour_;
  mutable struct { std::vector<QRect> changed, moved, joined, items; } lists_;
  std::unique_ptr<XcbSurface> surface_;  // on X11: puts the frames on the window
};

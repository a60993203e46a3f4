// SPDX-License-Identifier: MIT
// The playfield: paints every visible control of the form on black, scaled to fit the widget and
// centred, and holds the real START button. It holds no game rule: it only shows the form.
#pragma once

#include <QPushButton>
#include <QRegion>
#include <QTransform>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "app/frmCavewing.h"
#include "cabinet/View.h"
#include "cabinet/kit/Kit.h"

class QPainter;
namespace cabinet {
class Painter;
}
namespace frames {
class Frames;
struct Field;
}  // namespace frames

class Playfield : public QWidget {
  Q_OBJECT
public:
  // How a frame is painted: by the frame machinery (src/qt/frames), which repaints only what
  // changed and on X11 puts it on the window itself, or through Qt alone, the whole field
  // whenever anything changed. A build without the machinery paints through Qt alone.
  enum class Painting { Frames, QtAlone };

  Playfield(const frmCavewing& form, float fieldWidthTwips, QWidget* parent = nullptr,
            Painting painting = Painting::Frames);
  ~Playfield() override;

  QSize sizeHint() const override;
  QPushButton* startButton() const { return start_; }
  // Twips to widget pixels and back, for painting and for mapping the mouse.
  QTransform twipsToWidget() const;
  // What the kit paints over the form: the badge and its hint, the replay's ring, the
  // stand-still's band, the ghost.
  void showOverlays(const cabinet::kit::Overlays& overlays);
  // Brings the START button and the repaint in step with the form; cheap when nothing changed.
  // Returns whether anything visible changed.
  bool syncWithForm();

  // From now on the view draws what moves, and what changed waits for the display's next frame
  // (`wantFrame` asks for it) instead of being repainted at once.
  void paintFrames(const cabinet::View& view, std::function<void()> wantFrame);
  // A frame of the display: the view `fraction` of the way along the current step; what changed
  // since the last frame is repainted now. Returns whether anything visible changed.
  bool showFrame(double fraction);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent*) override;
  void showEvent(QShowEvent*) override;

private:
  // Paints what is in `damaged` (widget pixels) with `p`.
  void paint(QPainter& p, const QRegion& damaged);
  // The form's controls, in the cabinet's order, with `painter`.
  void walk(cabinet::Painter& painter) const;
  // Shows the frame's damage now: put on the window by the machinery, or else repainted by Qt.
  void showNow(const QRegion& damaged);
  bool put(const QRegion& damaged);
  void damaged(const QRegion& logical);
  void paintBadge(QPainter& p, const QRegion& damaged);
  void paintStandStill(QPainter& p);
  void paintGhost(QPainter& p);
  // Where the ghost is drawn, in widget pixels; empty without one.
  QRect ghostRect(const std::optional<cabinet::kit::GhostAt>& ghost) const;
  void placeStartButton();
  std::size_t visibleStateHash() const;
#ifdef CAVEWING_FRAMES
  frames::Field field() const;
#endif

  const frmCavewing& form_;
  const cabinet::View* view_ = nullptr;
  double fraction_ = 1;
  std::function<void()> wantFrame_;
  QRegion pending_;  // logical pixels that wait for the next frame
  float fieldWidth_;
  QPushButton* start_;
  std::size_t lastHash_ = 0;
  QRectF placedButton_;
  bool paintedOnce_ = false;
  cabinet::kit::Overlays overlays_;
#ifdef CAVEWING_FRAMES
  std::unique_ptr<frames::Frames> frames_;  // none: painted through Qt alone
#endif
};

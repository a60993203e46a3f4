// SPDX-License-Identifier: MIT
// A frame put on the window past Qt's flush, and the field put again after an exposure.
#include "qt/frames/Frames.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>
#include <QWindow>

#include "qt/frames/XcbSurface.h"

namespace frames {

namespace {

// Calls `exposed` once Qt has answered an exposure of the watched window.
class Exposures : public QObject {
public:
  Exposures(QWidget& field, std::function<void()> exposed)
      : field_(field), exposed_(std::move(exposed)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose)
      QMetaObject::invokeMethod(&field_, exposed_, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
  }

private:
  QWidget& field_;
  std::function<void()> exposed_;
};

}  // namespace

Frames::Frames(PixmapOf pixmapOf) : pixmapOf_(pixmapOf) {
  if (XcbSurface::available()) surface_ = std::make_unique<XcbSurface>();
}

Frames::~Frames() = default;

void Frames::watchExposures(QWidget& field, std::function<void()> exposed) {
  QWindow* window = field.window()->windowHandle();
  if (!surface_ || !window) return;
  // A filter that is replaced leaves its window's list as it is destroyed.
  exposures_ = std::make_unique<Exposures>(field, std::move(exposed));
  window->installEventFilter(exposures_.get());
}

bool Frames::put(QWidget& field, const QRegion& damaged,
                 const std::function<void(QPainter&, const QRegion&)>& paint) {
  QWidget& window = *field.window();
  if (!surface_ || !field.isVisible() || !window.windowHandle() ||
      !window.windowHandle()->isExposed())
    return false;
  QImage* picture = surface_->pictureFor(window);
  if (picture == nullptr) return false;
  const QPoint at = field.mapTo(&window, QPoint(0, 0));
  const QRegion inWindow = damaged.translated(at);
  // The painter keeps to the damage as a widget's painter keeps to its paint event's region.
  const qreal ratio = picture->devicePixelRatio();
  QRegion device = inWindow;
  if (ratio != 1) {
    device = QRegion();
    for (const QRect& r : inWindow)
      device += QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toAlignedRect();
  }
  picture->paintEngine()->setSystemClip(device);
  {
    QPainter p(picture);
    // The field's own pixels, where it stands in the window.
    p.setViewport(QRect(at, field.size()));
    p.setWindow(field.rect());
    paint(p, damaged);
  }
  picture->paintEngine()->setSystemClip(QRegion());
  surface_->put(window, *picture, device);
  return true;
}

}  // namespace frames

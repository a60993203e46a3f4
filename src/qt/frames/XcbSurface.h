// SPDX-License-Identifier: MIT
// A window's frames on X11, put on it from its backing store's picture with one plain PutImage
// per rectangle that changed. Qt's own flush, without shared memory, puts each rectangle into a
// pixmap on the X server and then copies the pixmap to the window through a clip of all of them:
// the X server handles every pixel twice, and the store wraps each rectangle in an image of its
// own. A frame of flight changes thirty-odd small rectangles, so those costs are most of a flush.
// Qt's pixmap does not see these frames: an exposure, which Qt answers from it, must be painted
// again.
#pragma once

#include <QRegion>
#include <cstdint>
#include <vector>

class QImage;
class QWidget;

class XcbSurface {
public:
  // Whether the display is X11. Elsewhere, and where a window does not take its pixels as
  // QImage::Format_RGB32 holds them, frames are flushed by Qt.
  static bool available();
  XcbSurface() = default;
  ~XcbSurface();
  XcbSurface(const XcbSurface&) = delete;
  XcbSurface& operator=(const XcbSurface&) = delete;

  // A window's backing store's picture, where its frame is painted; none where it is not one or
  // the window cannot take its pixels.
  QImage* pictureFor(const QWidget& window);
  // Puts the pixels in `device` (its own pixels) of the window's picture, as `pictureFor` gave it,
  // on the window.
  void put(const QWidget& window, const QImage& picture, const QRegion& device);

private:
  std::vector<std::uint32_t> rows_;  // one request's rows, side by side
  std::uint32_t gc_ = 0;
  std::uint32_t checked_{};  // the window last asked whether it takes the picture's pixels
  bool takesPicture_{};      // set with checked_
};

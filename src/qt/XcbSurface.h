// SPDX-License-Identifier: MIT
// A widget's frames on X11, painted on a picture of its own and put on its window with one plain
// PutImage per rectangle that changed. Qt's backing store, without shared memory, puts each
// rectangle into a pixmap on the X server and then copies the pixmap to the window through a
// clip of all of them: the X server handles every pixel twice, and the store wraps each
// rectangle in an image of its own. A frame of flight changes thirty-odd small rectangles, so
// those costs are most of a flush. Everything else (exposures, the window's other widgets) stays
// with the backing store.
#pragma once

#include <QImage>
#include <QRegion>
#include <cstdint>
#include <memory>

class QWidget;

class XcbSurface {
public:
  // Whether the display is X11. Elsewhere, and where a window does not take its pixels as
  // QImage::Format_RGB32 holds them, the widget paints through Qt's backing store.
  static bool available();
  explicit XcbSurface(QWidget& widget);
  ~XcbSurface();
  XcbSurface(const XcbSurface&) = delete;
  XcbSurface& operator=(const XcbSurface&) = delete;

  // The picture, the widget's size in device pixels: what is put must have been painted on it.
  QImage& picture();
  // Puts the picture's pixels in `device` (its own pixels) on the widget's place in its window;
  // returns false where the window cannot take them.
  bool put(const QRegion& device);

private:
  QWidget& widget_;
  QImage picture_;
  std::unique_ptr<std::uint32_t[]> rows_;  // one request's rows, side by side
  std::size_t rowsCapacity_ = 0;
  std::uint32_t gc_ = 0;
  std::uint32_t checked_ = 0;  // the window last asked whether it takes the picture's pixels
  bool takesPicture_ = false;
};

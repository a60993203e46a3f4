// SPDX-License-Identifier: MIT
// A window's frames on X11, put on it from its backing store's picture with one plain PutImage
// per rectangle that changed. Qt's own flush, without shared memory, puts each rectangle into a
// pixmap on the X server and then copies the pixmap to the window through a clip of all of them:
// the X server handles every pixel twice, and the store wraps each rectangle in an image of its
// own. A frame of flight changes thirty-odd small rectangles, so those costs are most of a flush.
// Qt's pixmap does not see these frames: an exposure, which Qt answers from it, must be painted
// again.
#pragma once

#include <QImage>
#include <QRegion>
#include <cstdint>
#include <vector>

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

  // What the X server says of a window's pixels, as far as a put of them depends on it.
  struct Visual {
    bool trueColor{};
    std::uint32_t red{}, green{}, blue{};  // each colour's bits in a pixel
    friend bool operator==(const Visual&, const Visual&) = default;
  };
  struct ServerPixels {
    bool hostByteOrder{};  // the server's images hold a pixel's bytes as this machine does
    int depth{};           // the window's
    int bitsPerPixel{};    // of a pixel of that depth in the server's images
    Visual visual;         // the window's
  };
  // Whether a window takes the bytes of a picture in this format as they are: a true-colour
  // window of 24 bits held in 32, red in the high byte, in this machine's byte order.
  static bool takesRgb32(const ServerPixels& server, QImage::Format picture);

  // A window's backing store's picture, where its frame is painted; none where it is not one or
  // the window cannot take its pixels. The window is shown on this X server's display.
  QImage* pictureFor(const QWidget& window);
  // Puts the pixels in `device` (its own pixels) of the window's picture, as `pictureFor` gave it,
  // on the window.
  void put(const QWidget& window, const QImage& picture, const QRegion& device);

private:
  std::vector<std::uint32_t> rows_;  // one request's rows, side by side
  std::uint32_t gc_ = 0;
  std::uint32_t checked_{};  // the window last asked of the X server
  ServerPixels server_;      // its answer
};

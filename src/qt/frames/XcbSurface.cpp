// SPDX-License-Identifier: MIT
// The desktop's own put of a frame on an X11 window (what it spares is told in XcbSurface.h).
#include "qt/frames/XcbSurface.h"

#include <xcb/xcb.h>

#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QSysInfo>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_connection_t* connection() {
  const auto* x11 =
      qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

constexpr std::uint8_t Depth = 24;  // a window's opaque red, green and blue, 8 bits each

// The bits a pixel of `depth` takes in the server's images; none for a depth it has no format for.
int bitsPerPixel(const xcb_setup_t* setup, std::uint8_t depth) {
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == depth) return f.data->bits_per_pixel;
  return {};
}

// What the X server says of a window's pixels: asked once per window.
XcbSurface::ServerPixels serverPixels(xcb_connection_t* c, xcb_window_t window) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  const auto hostOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? XCB_IMAGE_ORDER_LSB_FIRST
                                                                       : XCB_IMAGE_ORDER_MSB_FIRST;
  XcbSurface::ServerPixels pixels;
  pixels.hostByteOrder = setup->image_byte_order == hostOrder;
  const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr),
      &std::free);
  const xcb_visualid_t visual = attributes ? attributes->visual : XCB_NONE;
  // The window's visual, and the depth it is listed under.
  for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen))
    for (auto d = xcb_screen_allowed_depths_iterator(screen.data); d.rem; xcb_depth_next(&d))
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
        if (v.data->visual_id == visual) {
          pixels.depth = d.data->depth;
          pixels.bitsPerPixel = bitsPerPixel(setup, d.data->depth);
          pixels.visual = {v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR, v.data->red_mask,
                           v.data->green_mask, v.data->blue_mask};
        }
  return pixels;
}

}  // namespace

bool XcbSurface::available() { return connection() != nullptr; }

XcbSurface::~XcbSurface() {
  if (xcb_connection_t* c = connection(); c && gc_) xcb_free_gc(c, gc_);
}

bool XcbSurface::takesRgb32(const ServerPixels& server, QImage::Format picture) {
  // Qt keeps an opaque window's pixels with their alpha at its full: the bytes of RGB32.
  const bool rgb32 =
      picture == QImage::Format_RGB32 || picture == QImage::Format_ARGB32_Premultiplied;
  const Visual redGreenBlue{true, 0xff0000, 0xff00, 0xff};
  return rgb32 && server.hostByteOrder && server.depth == Depth && server.bitsPerPixel == 32 &&
         server.visual == redGreenBlue;
}

QImage* XcbSurface::pictureFor(const QWidget& shown) {
  if (const auto window = xcb_window_t(shown.internalWinId()); window != checked_) {
    checked_ = window;
    server_ = serverPixels(connection(), window);
  }
  QBackingStore* store = shown.backingStore();
  auto* picture = store ? dynamic_cast<QImage*>(store->paintDevice()) : nullptr;
  return picture && takesRgb32(server_, picture->format()) ? picture : nullptr;
}

void XcbSurface::put(const QWidget& shown, const QImage& picture, const QRegion& device) {
  xcb_connection_t* c = connection();
  const auto window = xcb_window_t(shown.internalWinId());
  if (gc_ == 0) {
    gc_ = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, gc_, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  }
  // A request holds at most this many pixels: a whole window's put is staged 64 KiB at a time
  // (a frame of flight's rectangles are far smaller), and fits any server's requests.
  constexpr std::uint32_t MostPixels = 16384;
  const std::uint32_t maxPixels = std::min(xcb_get_maximum_request_length(c) - 8, MostPixels);
  const uchar* bits = picture.constBits();
  const auto bytesPerLine = std::size_t(picture.bytesPerLine());
  for (const QRect& d : device.intersected(picture.rect())) {
    const auto width = std::size_t(d.width());
    const int rowsPerRequest = int(std::max<std::size_t>(1, maxPixels / width));
    for (int top = d.top(); top <= d.bottom(); top += rowsPerRequest) {
      const int rows = std::min(rowsPerRequest, d.bottom() + 1 - top);
      const std::size_t pixels = width * std::size_t(rows);
      rows_.resize(std::max(rows_.size(), pixels));
      const uchar* from = bits + std::size_t(top) * bytesPerLine + std::size_t(d.left()) * 4;
      for (int y = 0; y < rows; ++y, from += bytesPerLine)
        std::memcpy(&rows_[std::size_t(y) * width], from, width * 4);
      xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc_, std::uint16_t(width),
                    std::uint16_t(rows), std::int16_t(d.left()), std::int16_t(top), 0, Depth,
                    std::uint32_t(pixels * 4), reinterpret_cast<const uint8_t*>(rows_.data()));
    }
  }
  xcb_flush(c);
}

// SPDX-License-Identifier: MIT
// The floor under any X program's cost for the picture of flight: a bare xcb client, no toolkit,
// with a window of the playfield's size, that puts as many changed pixels on the screen 64 times
// a second as a frame of the demo's flight changes (about 9 400 device pixels, 37 KB), by the
// way the game sends its pixels (a plain PutImage, no shared memory). `scripts/measure` reads
// what this client and its X server cost: the least any X program pays for the game's picture
// on this machine.
#include <time.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::uint16_t WindowWidth = 1016, WindowHeight = 722;
// A strip the window's height, as wide as a frame of flight's changed pixels need.
constexpr std::uint16_t StripWidth = 13, StripHeight = WindowHeight;
constexpr std::int16_t StripLeft = 500;
constexpr long GridPointNs = 15'625'000;

xcb_screen_t* screenOf(const xcb_setup_t* setup, int number) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < number && it.rem > 0; ++i) xcb_screen_next(&it);
  return it.data;
}

// Bits a pixel of the screen's depth takes in an image.
int bitsPerPixel(const xcb_setup_t* setup, std::uint8_t depth) {
  xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup);
  for (; it.rem > 0; xcb_format_next(&it))
    if (it.data->depth == depth) return it.data->bits_per_pixel;
  return 32;
}

void addNs(timespec& t, long ns) {
  t.tv_nsec += ns;
  while (t.tv_nsec >= 1'000'000'000) {
    t.tv_nsec -= 1'000'000'000;
    ++t.tv_sec;
  }
}

}  // namespace

int main() {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection)) {
    std::fputs("xcb-floor: no display\n", stderr);
    return 1;
  }
  const xcb_setup_t* setup = xcb_get_setup(connection);
  xcb_screen_t* screen = screenOf(setup, screenNumber);
  if (screen == nullptr) return 1;

  const xcb_window_t window = xcb_generate_id(connection);
  const std::uint32_t windowValues[] = {screen->black_pixel, XCB_EVENT_MASK_EXPOSURE};
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, WindowWidth,
                    WindowHeight, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, windowValues);
  const xcb_gcontext_t gc = xcb_generate_id(connection);
  xcb_create_gc(connection, gc, window, 0, nullptr);
  xcb_map_window(connection, window);
  xcb_flush(connection);

  // Two pictures of the strip, shown in turn, so that every frame really changes its pixels.
  const int bytesPerPixel = bitsPerPixel(setup, screen->root_depth) / 8;
  const std::size_t size = std::size_t{StripWidth} * StripHeight * std::size_t(bytesPerPixel);
  const std::vector<std::uint8_t> pictures[2] = {std::vector<std::uint8_t>(size, 0x00),
                                                 std::vector<std::uint8_t>(size, 0xa0)};

  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (unsigned long frame = 0;; ++frame) {
    const std::vector<std::uint8_t>& picture = pictures[frame % 2];
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, StripWidth, StripHeight,
                  StripLeft, 0, 0, screen->root_depth, std::uint32_t(picture.size()),
                  picture.data());
    xcb_flush(connection);
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) std::free(event);
    if (xcb_connection_has_error(connection)) return 0;  // the display went away
    addNs(next, GridPointNs);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
  }
}

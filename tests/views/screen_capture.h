// Pixels of the X display the tests run on, read from the root window: what
// the user sees, independent of how the program drew it.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <vector>

#include <wx/gdicmn.h>

// Size of the default screen; 0 x 0 when the display cannot be opened.
inline void screen_size(int& w, int& h) {
  w = h = 0;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  w = DisplayWidth(d, DefaultScreen(d));
  h = DisplayHeight(d, DefaultScreen(d));
  XCloseDisplay(d);
}

// RGB rows from the top of the w x h area at screen point origin; empty when
// the display cannot be read.
inline std::vector<uint8_t> screenshot(const wxPoint& origin, int w, int h) {
  std::vector<uint8_t> out;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return out;
  XImage* img = XGetImage(d, DefaultRootWindow(d), origin.x, origin.y, static_cast<unsigned>(w),
                          static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (img) {
    out.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned long p = XGetPixel(img, x, y);
        uint8_t* o = &out[(static_cast<size_t>(y) * w + x) * 3];
        o[0] = static_cast<uint8_t>((p & img->red_mask) >> __builtin_ctzl(img->red_mask));
        o[1] = static_cast<uint8_t>((p & img->green_mask) >> __builtin_ctzl(img->green_mask));
        o[2] = static_cast<uint8_t>((p & img->blue_mask) >> __builtin_ctzl(img->blue_mask));
      }
    XDestroyImage(img);
  }
  XCloseDisplay(d);
  return out;
}

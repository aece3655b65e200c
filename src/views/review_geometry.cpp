#include "views/review_geometry.h"

#include <algorithm>
#include <cmath>

double review_geometry::screen_y(double v) const {
  if (!invert) return client_height - 1 - v;
  if (client_height < display_height) return v;
  return client_height - display_height + v;
}

void review_geometry::frame_to_window(double x, double y, double& wx, double& wy) const {
  wx = (x - scroll_x_image) * zoom;
  wy = screen_y((y - scroll_y_image) * zoom_y);
}

int32_t review_geometry::mouse_row(int32_t my) const {
  if (!invert) return my;
  return std::min(client_height, display_height) - my - 1;
}

void review_geometry::mouse_to_image(int32_t mx, int32_t my, double& x, double& y) const {
  x = mx / zoom + scroll_x_image;
  y = mouse_row(my) / zoom_y + scroll_y_image;
}

void review_geometry::set_zoom(double z, double aspect) {
  zoom = z;
  zoom_y = z * aspect;
  display_width = static_cast<int32_t>(std::ceil(image_width * zoom - 0.5));
  display_height = static_cast<int32_t>(std::ceil(image_height * zoom_y - 0.5));
}

void review_geometry::change_zoom(double z, double aspect, bool positioned) {
  if (!positioned && zoom > 0.0) {
    const double ratio = z / zoom;
    scroll_x = static_cast<int32_t>(ratio * (client_width / 2 + scroll_x) - client_width / 2);
    scroll_y = static_cast<int32_t>(ratio * (client_height / 2 + scroll_y) - client_height / 2);
  }
  set_zoom(z, aspect);
  clamp_scroll();
}

void review_geometry::clamp_scroll() {
  scroll_x = std::max(0, std::min(scroll_x, display_width - client_width));
  scroll_y = std::max(0, std::min(scroll_y, display_height - client_height));
}

void review_geometry::update_scroll_image() {
  scroll_x_image = scroll_x / zoom;
  scroll_y_image = scroll_y / zoom_y;
}

void review_geometry::update_visible() {
  visible_width = static_cast<int32_t>(
      std::min(static_cast<double>(client_width) / zoom, static_cast<double>(image_width)) * zoom + 0.5);
  visible_height = static_cast<int32_t>(
      std::min(static_cast<double>(client_height) / zoom_y, static_cast<double>(image_height)) *
          zoom_y +
      0.5);
}

bool review_geometry::centre_on(double fx, double fy) {
  bool moved = false;
  if (image_width > 0 && client_width < display_width) {
    scroll_x = static_cast<int32_t>(image_width * zoom * fx) / image_width - client_width / 2;
    scroll_x = std::max(0, std::min(scroll_x, display_width - client_width));
    moved = true;
  }
  if (image_height > 0 && client_height < display_height) {
    scroll_y = static_cast<int32_t>(image_height * zoom_y * fy) / image_height - client_height / 2;
    scroll_y = std::max(0, std::min(scroll_y, display_height - client_height));
    moved = true;
  }
  return moved;
}

double review_aspect(double xscale, double yscale) {
  const double a = yscale / xscale;
  if (xscale == 0.0 || yscale == 0.0 || !std::isfinite(a)) return 1.0;
  return std::fabs(a);
}

review_fit_t review_fit(int32_t ww, int32_t wh, int32_t image_width, int32_t image_height,
                        double aspect) {
  review_fit_t fit;
  // Without an image or a window there is nothing to fit; dividing by the
  // empty size would give an infinite zoom.
  if (ww <= 0 || wh <= 0 || image_width <= 0 || image_height <= 0 || !(aspect > 0.0)) return fit;
  const double gx = static_cast<double>(ww) / image_width;
  const double gy = wh / (image_height * aspect);
  fit.ok = true;
  if (gx > gy) {
    fit.zoom = gy;
    fit.display_height = wh;
    fit.display_width = static_cast<int32_t>(std::ceil(image_width * fit.zoom));
  } else {
    fit.zoom = gx;
    fit.display_width = ww;
    fit.display_height = static_cast<int32_t>(std::ceil(image_height * fit.zoom * aspect));
  }
  if (fit.zoom <= 0.0) fit.zoom = 1e-4;
  return fit;
}

void review_needed_bars(int32_t dw, int32_t dh, int32_t ww, int32_t wh, int32_t cw, int32_t ch,
                        bool& horizontal, bool& vertical) {
  horizontal = dw > ww || (dh > wh && dw > cw);
  vertical = dh > wh || (dw > ww && dh > ch);
}

int32_t review_scroll_position(review_scroll_kind kind, int32_t pos, int32_t range, int32_t thumb,
                               int32_t event_pos) {
  switch (kind) {
    case SCROLL_THUMB_TRACK:
      return event_pos;
    case SCROLL_THUMB_RELEASE:
      return pos;
    case SCROLL_BOTTOM:
      return range - thumb;
    case SCROLL_TOP:
      return 0;
    case SCROLL_PAGE_DOWN:
      return pos < range - 2 * thumb ? pos + thumb : range - thumb;
    case SCROLL_PAGE_UP:
      return thumb < pos ? pos - thumb : 0;
    case SCROLL_LINE_DOWN:
      return pos < range - thumb ? pos + 1 : range - thumb;
    case SCROLL_LINE_UP:
      return std::max(0, pos - 1);
  }
  return pos;
}

int32_t review_bar_to_scroll(int32_t position, double zoom) {
  return zoom > 1.0 ? static_cast<int32_t>(position * zoom + 0.5) : position;
}

int32_t review_scroll_to_bar(int32_t value, double zoom) {
  return zoom > 1.0 ? static_cast<int32_t>(value / zoom + 0.5) : value;
}

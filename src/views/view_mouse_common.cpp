#include "views/view_mouse_common.h"

#include <algorithm>
#include <cmath>

#include "data/landmarks.h"
#include "registry/resource_table.h"

double selection_range(const review_geometry& g) {
  return resource_table->RES_MOUSE_SENSITIVITY->read() / g.zoom;
}

void apply_button_overrides(view_mouse_state& s, const review_mouse_event& e,
                            review_tool_host& host) {
  const resource_table_t& t = *resource_table;
  if (is_release_or_leave(e) && s.saved_tool != -1) {
    host.select_tool(s.saved_tool);
    s.saved_tool = -1;
  }
  if (is_press(e) && s.saved_tool == -1) {
    if (e.button == 2) s.saved_tool = host.select_tool(t.RES_MOUSE_MIDDLE_OVERRIDE->read());
    if (e.button == 3) s.saved_tool = host.select_tool(t.RES_MOUSE_RIGHT_OVERRIDE->read());
  }
  host.take_focus();
}

void pan_motion(view_mouse_state& s, const review_mouse_event& e, review_tool_host& host,
                double zoom_y, bool* image_dirty) {
  review_geometry& g = s.g;
  if (!resource_table->RES_USE_SCROLLBARS->read()) {
    bool moved = false;
    if (g.client_width < g.display_width) {
      g.scroll_x = std::max(0, std::min(g.scroll_x + s.drag_start_x - e.x,
                                        g.display_width - g.client_width));
      s.drag_start_x = e.x;
      moved = true;
    }
    if (g.client_height < g.display_height) {
      const int32_t d = g.invert ? e.y - s.drag_start_y : s.drag_start_y - e.y;
      g.scroll_y = std::max(0, std::min(g.scroll_y + d, g.display_height - g.client_height));
      s.drag_start_y = e.y;
      moved = true;
    }
    if (moved) {
      g.update_scroll_image();
      if (image_dirty) *image_dirty = true;
      host.refresh();
    }
    return;
  }
  for (int axis = 0; axis < 2; ++axis) {
    const bool horizontal = axis == 0;
    int32_t pos = 0, range = 0, thumb = 0;
    if (!host.scroll_bar(horizontal, pos, range, thumb) || range <= 1) continue;
    int32_t& start = horizontal ? s.drag_start_x : s.drag_start_y;
    const int32_t m = horizontal ? e.x : e.y;
    const double z = horizontal ? g.zoom : zoom_y;
    int32_t d = m - start;
    if (z > 1.0) d = static_cast<int32_t>(std::lround(d / z));
    if (d == 0) continue;
    host.scroll_thumb_track(horizontal, std::max(0, std::min(pos - d, range - thumb)));
    start = m;
  }
}

void start_zoom_step(view_mouse_state& s, int32_t mx, int32_t my, double zoom) {
  s.drag_start_x = mx;
  s.drag_start_y = my;
  s.drag_scroll_x = s.g.scroll_x;
  s.drag_scroll_y = s.g.scroll_y;
  s.drag_zoom = zoom;
}

double drag_zoom_to(const view_mouse_state& s, int32_t mx) {
  const double d = (s.drag_start_x - mx) / 100.0;
  return mx > s.drag_start_x ? (1.0 - d) * s.drag_zoom : s.drag_zoom / (1.0 + d);
}

double wheel_zoom_to(const view_mouse_state& s, const review_mouse_event& e, double scroll_zoom) {
  const double q = static_cast<double>(e.wheel_rotation) / (e.wheel_delta ? e.wheel_delta : 120);
  return e.wheel_rotation > 0 ? s.drag_zoom * (1.0 + scroll_zoom * q / 100.0)
                              : s.drag_zoom / (1.0 - scroll_zoom * q / 100.0);
}

void place_zoom_scroll(view_mouse_state& s, double z, int32_t mx, int32_t my) {
  const double ratio = z / s.drag_zoom;
  s.g.scroll_x = static_cast<int32_t>(ratio * (s.drag_scroll_x + s.drag_start_x) - mx);
  s.g.scroll_y = static_cast<int32_t>(ratio * (s.drag_scroll_y + s.drag_start_y) - my);
  s.zoom_positioned = true;
}

bool zoom_drag_is_click(const view_mouse_state& s, int32_t mx, int32_t my) {
  return mx == s.drag_start_x && my == s.drag_start_y && s.g.image_width > 0 &&
         s.g.image_height > 0;
}

double fit_zoom(const review_geometry& g, double aspect) {
  return std::min(g.client_height / (g.image_height * aspect),
                  static_cast<double>(g.client_width) / g.image_width);
}

void follow_locked_zoom(double_res_t* own) {
  resource_table_t& t = *resource_table;
  if (!t.RES_LOCK_ZOOM->read()) return;
  const double z = own->read();
  for (double_res_t* other :
       {t.RES_REVIEW_ZOOM, t.RES_CENTRE_ZOOM, t.RES_CORNER_ZOOM, t.RES_OUTLINE_ZOOM})
    if (other != own) other->write(z);
}

void caliper_click(calipers_t& c, int32_t view, double x, double y) {
  if (c.view == view && c.first_set && !c.second_set) {
    c.second_x = x;
    c.second_y = y;
    c.second_set = true;
    return;
  }
  c.first_x = x;
  c.first_y = y;
  c.first_set = true;
  c.second_set = false;
  c.view = view;
}

void move_dragged_landmark(view_mouse_state& s, double x, double y, review_tool_host& host) {
  s.landmark_drag_x = x;
  s.landmark_drag_y = y;
  host.refresh();
}

void raise_landmark_change(int32_t kind) {
  resource_table_t& t = *resource_table;
  if (kind == LM_FIDUCIAL)
    t.FIDUCIAL->write();
  else
    t.LANDMARK->write();
}

void erase_landmark(landmarks& list, size_t index) {
  const int32_t kind = list[index].kind;
  list.items.erase(list.items.begin() + static_cast<std::ptrdiff_t>(index));
  raise_landmark_change(kind);
}

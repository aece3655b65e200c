#include "views/plane_view_tools.h"

#include <wx/defs.h>

#include <algorithm>
#include <cmath>

#include "data/calipers.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/review_overlay_math.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
double radians(double degrees) { return degrees * kPi / 180.0; }

reslice_info* plane_at(int32_t index) {
  reslice_info* planes = resource_table->RESLICE->read();
  return planes ? &planes[index] : nullptr;
}

bool has_builder(int32_t index) {
  const reslice_info* p = plane_at(index);
  return p && p->builder;
}

void toggle(bool_res_t* flag) { flag->write(!flag->read()); }

// Moves the current frame by one within 0 .. frames - 1.
void step_frame(int delta) {
  resource_table_t& t = *resource_table;
  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  if (delta < 0 && current >= 1) t.RES_BUF_CURRENT_FRAME->write(current - 1);
  if (delta > 0 && current < t.RES_BUF_FRAMES->read() - 1) t.RES_BUF_CURRENT_FRAME->write(current + 1);
}

// The nearest frame after (direction 1) or before (-1) the current one that
// holds a contour of the current object.
void step_to_contour(int direction) {
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  const int32_t k = t.CURRENT_OBJECT->read();
  if (!objects || k < 0 || k >= NUM_OBJECTS) return;
  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  const int32_t frames = t.RES_BUF_FRAMES->read();
  const auto& entries = objects[k].frames;
  if (direction > 0) {
    for (const frame_contours_t& f : entries)
      if (f.frame > current && f.frame < frames) {
        t.RES_BUF_CURRENT_FRAME->write(f.frame);
        return;
      }
  } else {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
      if (it->frame >= 0 && it->frame < current) {
        t.RES_BUF_CURRENT_FRAME->write(it->frame);
        return;
      }
  }
}

bool display_switch_key(int code) {
  resource_table_t& t = *resource_table;
  switch (code) {
    case ' ':
    case 'G':
    case 'g':
      toggle(t.RES_DISPLAY_COG);
      return true;
    case 'P':
    case 'p':
      toggle(t.RES_DISPLAY_PIXELS);
      return true;
    default:
      return false;
  }
}

double mean_pixel_size() {
  const resource_table_t& t = *resource_table;
  return (t.RES_XSCALE->read() + t.RES_YSCALE->read()) / 2.0;
}

// How far an arrow key moves a plane along its normal (cm): left and right by
// step, up and down by one slice (|RES_ZSCALE|, or step without one).
double arrow_key_move(int code, double step) {
  const double z = resource_table->RES_ZSCALE->read();
  const double slice = z != 0.0 ? std::fabs(z) : step;
  switch (code) {
    case WXK_LEFT: return -step;
    case WXK_RIGHT: return step;
    case WXK_UP: return slice;
    default: return -slice;
  }
}

// Half the plane's slab (cm): landmarks nearer the plane than this lie in it.
double plane_slab(const reslice_info& plane, double xscale) {
  return std::max(plane.half_thickness, std::fabs(xscale) / 2.0);
}

// A landmark's reslice pixel position and distance from the plane (cm); false
// for a 2D landmark, which belongs to a frame and not to a plane.
bool landmark_on_plane(const reslice_info& plane, const landmark_t& lm, vec3_t& p) {
  if (lm.kind == LM_2D) return false;
  const vec3_t w{lm.x, lm.y, lm.z};
  plane.world_to_reslice(&w, &p, 1);
  return true;
}

}  // namespace

int32_t centre_shown_plane() {
  for (int32_t index : {0, 3, 2})
    if (has_builder(index)) return index;
  return -1;
}

void plane_step(reslice_info& plane, double a, double t, double b, double m) {
  const vec3_t n = plane.normal;
  const vec3_t u = vec3_normalise(plane.up);
  const vec3_t e = vec3_normalise(vec3_cross(u, n));
  const vec3_t n1 = vec3_normalise(std::cos(radians(a)) * n - std::sin(radians(a)) * e);
  const vec3_t n2 = vec3_normalise(std::cos(radians(t)) * n1 + std::sin(radians(t)) * u);
  const vec3_t u2 =
      vec3_normalise(std::cos(radians(b)) * vec3_cross(n2, e) - std::sin(radians(b)) * e);
  plane.set_plane(n2, plane.centre + m * n, u2, true);
}

bool plane_calipers_text(const calipers_t& c, int32_t view_index, double xscale, wxString& text) {
  if (c.view != view_index) return false;
  if (c.second_set) {
    const double d = std::hypot((c.second_x - c.first_x) * xscale, (c.second_y - c.first_y) * xscale);
    text = wxString::Format("Reslice distance measurement %.1lf mm", d * 10.0);
    return true;
  }
  if (!c.first_set) return false;
  text.clear();
  return true;
}

std::vector<plane_landmark_t> plane_landmarks(const reslice_info& plane, double xscale,
                                              const plane_view_state& state) {
  std::vector<plane_landmark_t> out;
  const landmarks* list = resource_table->RES_LANDMARKS->read();
  if (!list) return out;
  const double d = plane_slab(plane, xscale);
  for (size_t i = 0; i < list->size(); ++i) {
    const landmark_t& lm = (*list)[i];
    vec3_t p;
    if (!landmark_on_plane(plane, lm, p)) continue;
    if (!(std::fabs(p.z) < d || (lm.kind == LM_SURFACE && std::fabs(p.z) < 10.0 * d))) continue;
    plane_landmark_t m;
    m.index = i;
    m.x = p.x;
    m.y = p.y;
    m.z = p.z;
    m.kind = lm.kind;
    if (state.landmark_drag && state.landmark_index == i) {
      m.x = state.landmark_drag_x;
      m.y = state.landmark_drag_y;
    }
    out.push_back(m);
  }
  return out;
}

bool review_key(int code) {
  if (display_switch_key(code)) return true;
  switch (code) {
    case 'X':
    case 'x':
      contour_value_threshold *= 1.5;
      return true;
    case 'Z':
    case 'z':
      contour_value_threshold /= 1.5;
      return true;
    case WXK_LEFT:
      step_frame(-1);
      return true;
    case WXK_RIGHT:
      step_frame(1);
      return true;
    case WXK_UP:
      step_to_contour(1);
      return true;
    case WXK_DOWN:
      step_to_contour(-1);
      return true;
    default:
      return false;
  }
}

bool centre_key(int code, bool shift) {
  if (display_switch_key(code)) return true;
  if (code != WXK_LEFT && code != WXK_RIGHT && code != WXK_UP && code != WXK_DOWN) return false;
  const resource_table_t& t = *resource_table;
  const int32_t index = centre_shown_plane();
  if (index < 0) {
    step_frame(code == WXK_LEFT || code == WXK_DOWN ? -1 : 1);
    return true;
  }
  reslice_info& plane = *plane_at(index);
  if (index == 0) {
    const double r = t.RES_CURSOR_ROTATION->read();
    if (r == 0.0) return true;
    double a = 0.0, tilt = 0.0, b = 0.0;
    switch (code) {
      case WXK_LEFT: (shift ? b : a) = shift ? r : -r; break;
      case WXK_RIGHT: (shift ? b : a) = shift ? -r : r; break;
      case WXK_UP: (shift ? b : tilt) = shift ? -r : r; break;
      default: (shift ? b : tilt) = shift ? r : -r; break;
    }
    plane_step(plane, a, tilt, b, 0.0);
    return true;
  }
  const double m = arrow_key_move(code, t.RES_CURSOR_MOVEMENT->read() * mean_pixel_size());
  if (m != 0.0) plane_step(plane, 0.0, 0.0, 0.0, m);
  return true;
}

bool corner_key(int code) {
  if (display_switch_key(code)) return true;
  if (code != WXK_LEFT && code != WXK_RIGHT && code != WXK_UP && code != WXK_DOWN) return false;
  if (!has_builder(1)) {
    step_frame(code == WXK_LEFT || code == WXK_DOWN ? -1 : 1);
    return true;
  }
  const double m = arrow_key_move(code, mean_pixel_size());
  reslice_info& plane = *plane_at(1);
  if (m != 0.0) plane.set_centre(plane.centre + m * plane.normal, true);
  return true;
}

// ---- Mouse tools -------------------------------------------------------------

reslice_info* plane_view_tools::shown_plane() const {
  if (!is_centre()) return has_builder(1) ? plane_at(1) : nullptr;
  if (host_.panorama_shown()) return nullptr;
  const int32_t index = centre_shown_plane();
  return index < 0 ? nullptr : plane_at(index);
}

double_res_t* plane_view_tools::zoom_resource() const {
  const resource_table_t& t = *resource_table;
  return is_centre() ? t.RES_CENTRE_ZOOM : t.RES_CORNER_ZOOM;
}

void plane_view_tools::on_mouse(const review_mouse_event& e) {
  if (!is_centre() && !s_.image_shown) return;
  const double r = selection_range(s_.g);
  apply_button_overrides(s_, e, host_);

  s_.g.invert = false;
  double x = 0.0, y = 0.0;
  s_.g.mouse_to_image(e.x, e.y, x, y);

  if (route_drag(s_.zoom_drag, e, [&] { zoom_end(e); }, [&] { zoom_motion(e); })) return;
  const auto drop = [&] {
    s_.landmark_drag = false;
    if (reslice_info* plane = shown_plane()) landmark_drop(*plane, x, y);
  };
  if (route_drag(s_.landmark_drag, e, drop, [&] { move_dragged_landmark(s_, x, y, host_); }))
    return;
  if (route_drag(s_.rotate_drag, e, [&] { end_rotate(); }, [&] { rotate_motion(e); })) return;
  // One zoom for both axes, and the offsets are never inverted.
  if (route_drag(s_.pan_drag, e, [&] { s_.pan_drag = false; },
                 [&] { pan_motion(s_, e, host_, s_.g.zoom, nullptr); }))
    return;
  if (route_drag(s_.handle_drag, e, [&] { end_handle_drag(); }, [&] { handle_motion(e); }))
    return;
  if (is_press(e)) {
    tool_press(e, x, y, r);
    return;
  }
  if (e.kind == review_mouse_event::RELEASE) return;
  if (e.kind == review_mouse_event::WHEEL && e.wheel_rotation != 0) wheel_zoom(e);
}

void plane_view_tools::tool_press(const review_mouse_event& e, double x, double y, double r) {
  resource_table_t& t = *resource_table;
  reslice_info* plane = shown_plane();
  switch (static_cast<int32_t>(t.RES_TOOL->read())) {
    case TOOL_DRAG:
      if (is_centre() && t.RES_CURRENT_VISUAL_PAGE->read() == kVolumeVisualPage) {
        handle_press(e);
      } else if (plane && e.button == 3) {
        s_.drag_start_x = e.x;
        s_.drag_start_y = e.y;
        s_.pan_drag = true;
      } else if (plane && is_centre()) {
        s_.drag_start_x = e.x;
        s_.drag_start_y = e.y;
        s_.rotate_drag = true;
        // Builders sample coarsely while the plane turns.
        int32_t pixel_step = 1, slice_step = 1;
        const bool coarse = colour_map && colour_map->estimate_reslice_step();
        if (colour_map) colour_map->get_step(pixel_step, slice_step);
        set_reslice_dynamic_steps(pixel_step, slice_step);
        t.RES_DYNAMIC_UPDATE->write(coarse);
      }
      break;
    case TOOL_MARK:
      if (plane && t.RES_SEE_MARK->read()) mark_press(*plane, x, y, r);
      break;
    case TOOL_MEASURE:
      if (plane) measure_press(x, y);
      break;
    case TOOL_ERASE:
      if (plane && t.RES_SEE_MARK->read()) erase_press(*plane, x, y, r);
      break;
    case TOOL_DRAG_ZOOM:
      if (!plane) break;
      start_zoom_step(s_, e.x, e.y, zoom_resource()->read());
      s_.zoom_drag = true;
      break;
    default:
      break;  // Select and Draw do nothing on a plane
  }
}

void plane_view_tools::write_zoom_at(double z, int32_t mx, int32_t my) {
  if (z == zoom_resource()->read() || !(s_.drag_zoom > 0.0)) return;
  place_zoom_scroll(s_, z, mx, my);
  zoom_resource()->write(z);
}

void plane_view_tools::zoom_motion(const review_mouse_event& e) {
  write_zoom_at(drag_zoom_to(s_, e.x), e.x, e.y);
}

void plane_view_tools::zoom_end(const review_mouse_event& e) {
  if (zoom_drag_is_click(s_, e.x, e.y)) zoom_resource()->write(fit_zoom(s_.g, 1.0));
  follow_locked_zoom(zoom_resource());
  s_.zoom_drag = false;
}

void plane_view_tools::wheel_zoom(const review_mouse_event& e) {
  start_zoom_step(s_, e.x, e.y, zoom_resource()->read());
  write_zoom_at(wheel_zoom_to(s_, e, resource_table->RES_SCROLL_ZOOM->read()), e.x, e.y);
  follow_locked_zoom(zoom_resource());
}

void plane_view_tools::rotate_motion(const review_mouse_event& e) {
  reslice_info* plane = plane_at(0);
  if (!plane || !plane->builder || s_.g.client_height <= 0) return;
  const vec3_t n = plane->normal;
  const vec3_t u = vec3_normalise(plane->up);
  const vec3_t ex = vec3_normalise(vec3_cross(u, n));
  matrix4_t frame;
  matrix4_identity(frame);
  matrix4_set_x_axis(frame, ex);
  matrix4_set_y_axis(frame, u);
  matrix4_set_z_axis(frame, n);
  const double dx = static_cast<double>(e.x - s_.drag_start_x) / s_.g.client_height;
  const double dy = static_cast<double>(e.y - s_.drag_start_y) / s_.g.client_height;
  const vec3_t axis = dy * ex - dx * u;
  matrix4_t turn, result;
  matrix4_rotation_about_axis(turn, vec3_t{0.0, 0.0, 0.0}, axis, 90.0 * std::hypot(dx, dy));
  matrix4_multiply(turn, result, frame);
  plane->set_plane(matrix4_get_z_axis(result), plane->centre, matrix4_get_y_axis(result), true);
  s_.drag_start_x = e.x;
  s_.drag_start_y = e.y;
}

void plane_view_tools::end_rotate() {
  s_.rotate_drag = false;
  // Clearing the flag brings the one full-quality rebuild.
  resource_table->RES_DYNAMIC_UPDATE->write(false);
}

void plane_view_tools::handle_press(const review_mouse_event& e) {
  resource_table_t& t = *resource_table;
  const double reach = 2.0 * t.RES_MOUSE_SENSITIVITY->read();
  const double wx = e.x, wy = s_.g.client_height - e.y;
  for (int32_t i = 0; i < plane_view_state::kHandles; ++i) {
    const volume_handle_t& h = s_.handles[i];
    if (h.scale_x == 0.0) continue;
    if (std::hypot(wx - h.x, wy - h.y) < reach) {
      s_.handle_drag = true;
      s_.handle = i;
      s_.drag_start_x = e.x;
      s_.drag_start_y = e.y;
      break;
    }
  }
  // A window reaching beyond the data is pulled in to the data's range.
  if (!t.RES_BUF_DICOM->read() || dicom_utility::data_8bit || t.RES_CMAP_LABELS->read()) return;
  const double hum = t.RES_DICOM_HUM->read(), hub = t.RES_DICOM_HUB->read();
  const double lo = s_.histogram_low * hum + hub, hi = s_.histogram_high * hum + hub;
  const double c = t.RES_DICOM_WIN_CENTRE->read(), w = t.RES_DICOM_WIN_WIDTH->read();
  const double a = c - w / 2.0, b = c + w / 2.0;
  if (!(lo > a || hi < b)) return;
  const double a2 = std::max(lo, a), b2 = std::min(hi, b);
  // A data range narrower than one unit still leaves a usable window.
  const double width = std::max(kMinWindowWidth, b2 - a2);
  t.RES_DICOM_WIN_CENTRE->write_no_changeprocs((a2 + b2) / 2.0);
  t.RES_DICOM_WIN_WIDTH->write_no_changeprocs(width);
  t.RES_DICOM_REDRAW->write();
}

void plane_view_tools::handle_motion(const review_mouse_event& e) {
  resource_table_t& t = *resource_table;
  const volume_handle_t& h = s_.handles[s_.handle];
  const double c = (e.x - s_.drag_start_x) * h.scale_x;
  const double v = (s_.drag_start_y - e.y) * h.scale_y;
  t.RES_DYNAMIC_VOLUME->write_no_changeprocs(true);
  if (s_.handle < 2) {
    if (!t.RES_CMAP_LABELS->read()) {
      const double centre = t.RES_DICOM_WIN_CENTRE->pending();
      const double width = t.RES_DICOM_WIN_WIDTH->pending();
      // One end moves and the other stays; the window keeps at least one unit.
      const double low = centre - width / 2.0, high = centre + width / 2.0;
      double new_low = low, new_high = high;
      if (s_.handle == 0)
        new_low = std::min(low + c, high - kMinWindowWidth);
      else
        new_high = std::max(high + c, low + kMinWindowWidth);
      t.RES_DICOM_WIN_CENTRE->write_no_changeprocs((new_low + new_high) / 2.0);
      t.RES_DICOM_WIN_WIDTH->write_no_changeprocs(new_high - new_low);
      t.RES_DICOM_REDRAW->write();
    }
  } else if (volume_object* rows = t.RES_VOLUME->read()) {
    volume_object& row = rows[s_.handle - 2];
    const auto clamp_byte = [](double x) {
      return static_cast<int32_t>(std::clamp(x, 0.0, 255.0) + 0.5);
    };
    row.data_value = clamp_byte(row.data_value + c);
    row.opacity = static_cast<uint8_t>(clamp_byte(row.opacity + v));
    host_.select_first_colour_mapping();
    t.VOLUME->write();
  }
  s_.drag_start_x = e.x;
  s_.drag_start_y = e.y;
}

void plane_view_tools::end_handle_drag() {
  resource_table_t& t = *resource_table;
  s_.handle_drag = false;
  if (t.RES_DYNAMIC_VOLUME->pending()) {
    t.RES_DYNAMIC_VOLUME->write(false);
    t.VOLUME->write();
  }
}

void plane_view_tools::measure_press(double x, double y) {
  resource_table_t& t = *resource_table;
  calipers_t c = t.RES_CALIPERS->read();
  caliper_click(c, s_.view_index, x, y);
  t.RES_CALIPERS->write(c);
}

bool plane_view_tools::hit_landmark(const reslice_info& plane, double x, double y, double r,
                                    size_t& index) const {
  const resource_table_t& t = *resource_table;
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list) return false;
  const double slab = plane_slab(plane, t.RES_XSCALE->read());
  for (size_t i = 0; i < list->size(); ++i) {
    vec3_t p;
    if (!landmark_on_plane(plane, (*list)[i], p)) continue;
    if (std::fabs(p.z) < slab && std::hypot(p.x - x, p.y - y) < r) {
      index = i;
      return true;
    }
  }
  return false;
}

int32_t plane_view_tools::snap(const reslice_info& plane, double& x, double& y) const {
  if (!resource_table->RES_SNAP_LANDMARKS->read()) return -1;
  const auto* builder = dynamic_cast<const reslice_internals*>(plane.builder);
  if (!builder) return -1;
  vec2_t point{x, y};
  const int32_t f = builder->nearest_frame_line(point);
  x = point.x;
  y = point.y;
  return f;
}

void plane_view_tools::mark_press(reslice_info& plane, double x, double y, double r) {
  resource_table_t& t = *resource_table;
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list) return;
  size_t hit = 0;
  if (hit_landmark(plane, x, y, r, hit)) {
    s_.landmark_drag = true;
    s_.landmark_index = hit;
    s_.landmark_drag_x = x;
    s_.landmark_drag_y = y;
    return;
  }
  const int32_t f = snap(plane, x, y);
  vec3_t p;
  plane.reslice_to_world(x, y, 0.0, p);
  int32_t level = -1, part = 0;
  if (t.RES_CURRENT_TASK_PAGE->read() == kSpineTaskPage && host_.pending_spine_level(level, part) &&
      level >= 0)
    list->set_spine_landmark(p, part, level);
  else
    list->add_default_landmark(p, LM_DATA);
  if (f >= 0) t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(f);
  t.LANDMARK->write();
}

void plane_view_tools::landmark_drop(reslice_info& plane, double x, double y) {
  resource_table_t& t = *resource_table;
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list || s_.landmark_index >= list->size()) return;
  landmark_t& lm = (*list)[s_.landmark_index];
  const int32_t f = snap(plane, x, y);
  vec3_t p;
  plane.reslice_to_world(x, y, 0.0, p);
  lm.x = p.x;
  lm.y = p.y;
  lm.z = p.z;
  if (f >= 0) t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(f);
  raise_landmark_change(lm.kind);
}

void plane_view_tools::erase_press(const reslice_info& plane, double x, double y, double r) {
  resource_table_t& t = *resource_table;
  size_t hit = 0;
  if (hit_landmark(plane, x, y, r, hit)) erase_landmark(*t.RES_LANDMARKS->read(), hit);
}

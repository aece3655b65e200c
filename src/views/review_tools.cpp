#include "views/review_tools.h"

#include <algorithm>
#include <cmath>

#include "data/landmarks.h"
#include "medical/dicom_utility.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/contour_editor.h"
#include "data/calipers.h"
#include "views/model_overlay_math.h"
#include "views/review_coords.h"
#include "views/review_overlay_math.h"

namespace {

void status_text(const wxString& text) {
  resource_table->RES_ALERT_STRING->write_no_changeprocs(text);
  base_res_t::make_pending_writes_happen();
}

}  // namespace

bool review_tools::pixel_inside(double x, double y, int32_t& column, int32_t& row) const {
  column = static_cast<int32_t>(x);
  row = static_cast<int32_t>(y);
  return x > -1.0 && y > -1.0 && column >= 0 && row >= 0 && column < s_.g.image_width &&
         row < s_.g.image_height;
}

void review_tools::on_mouse(const review_mouse_event& e) {
  if (!s_.image_shown) return;
  const resource_table_t& t = *resource_table;
  const double r = selection_range(s_.g);
  apply_button_overrides(s_, e, host_);

  double x = 0.0, y = 0.0;
  s_.g.mouse_to_image(e.x, e.y, x, y);
  if (is_press(e) || e.kind == review_mouse_event::ENTER) {
    s_.press_x = x;
    s_.press_y = y;
    s_.moved = false;
  } else if (e.kind == review_mouse_event::MOTION && e.button_held && !s_.moved) {
    s_.moved = std::hypot(x - s_.press_x, y - s_.press_y) > r;
  }

  if (route_drag(s_.window_drag, e, [&] { window_drag_end(x, y); },
                 [&] { window_drag_motion(e, x, y); }))
    return;
  if (route_drag(s_.pan_drag, e, [&] { s_.pan_drag = false; },
                 [&] { pan_motion(s_, e, host_, s_.g.zoom_y, &s_.image_dirty); }))
    return;
  if (route_drag(s_.zoom_drag, e, [&] { zoom_drag_end(e); }, [&] { zoom_drag_motion(e); }))
    return;
  if (s_.thickness_drag) {
    // Measuring along the drawn direction needs the thickness engine, which
    // does not measure yet; the drag only ends.
    if (is_release_or_leave(e)) s_.thickness_drag = false;
    return;
  }
  if (contours_ && (contours_->busy())) {
    contours_->on_event(e, x, y, r);
    return;
  }
  if (route_drag(s_.landmark_drag, e, [&] { landmark_drop(x, y); },
                 [&] { move_dragged_landmark(s_, x, y, host_); }))
    return;
  if (route_drag(s_.vertex_selecting, e, [&] { data_point_selection_end(); },
                 [&] { data_point_selection_motion(x, y, r); }))
    return;
  if (is_press(e) || e.kind == review_mouse_event::RELEASE) {
    if (is_press(e)) tool_press(e, x, y);
    if (static_cast<int32_t>(t.RES_TOOL->read()) == TOOL_DRAG && !s_.window_drag && !s_.pan_drag)
      pixel_readout(x, y);
    return;
  }
  if (e.kind == review_mouse_event::WHEEL && e.wheel_rotation != 0) wheel_zoom(e);
}

void review_tools::tool_press(const review_mouse_event& e, double x, double y) {
  const resource_table_t& t = *resource_table;
  const double r = selection_range(s_.g);
  switch (static_cast<int32_t>(t.RES_TOOL->read())) {
    case TOOL_DRAG:
      if (e.button == 2 || e.button == 3) {
        s_.drag_start_x = e.x;
        s_.drag_start_y = e.y;
        s_.pan_drag = true;
      } else if (t.RES_BUF_DICOM->read() && frame_store && !frame_store->images.empty() &&
                 frame_store->images[0] && frame_store->images[0]->raw) {
        s_.drag_start_x = e.x;
        s_.drag_start_y = e.y;
        s_.drag_window_width = t.RES_DICOM_WIN_WIDTH->read();
        s_.drag_window_centre = t.RES_DICOM_WIN_CENTRE->read();
        s_.window_drag = true;
      }
      break;
    case TOOL_DRAG_ZOOM:
      start_zoom_step(s_, e.x, s_.g.mouse_row(e.y), t.RES_REVIEW_ZOOM->read());
      s_.zoom_drag = true;
      break;
    case TOOL_MEASURE:
      measure_press(x, y);
      break;
    case TOOL_MARK:
      if (t.RES_SEE_MARK->read()) mark_press(x, y, r);
      break;
    case TOOL_ERASE:
      erase_press(x, y, r);
      break;
    case TOOL_SELECT:
    case TOOL_DRAW:
      if (contours_) contours_->draw_press(x, y, r, static_cast<int32_t>(t.RES_TOOL->read()) == TOOL_SELECT);
      break;
    default:
      break;
  }
}

void review_tools::pixel_readout(double x, double y) {
  int32_t column = 0, row = 0;
  if (!pixel_inside(x, y, column, row)) return;
  const uint8_t* display = frame_image_t::display_data(s_.frame);
  if (!display) return;
  const int64_t k = static_cast<int64_t>(row) * s_.g.image_width + column;
  if (k >= s_.frame->size) return;
  status_text(wxString::Format("Pixel (%i,%i) value %i", column, row, display[k]));
}

wxString review_tools::window_readout(int32_t column, int32_t row, int32_t raw_value) {
  const resource_table_t& t = *resource_table;
  // The drag writes the window without committing it; the read-out shows it.
  const double c = t.RES_DICOM_WIN_CENTRE->pending();
  const double w = t.RES_DICOM_WIN_WIDTH->pending();
  const wxString u = t.RES_DICOM_UNITS->read();
  const double v = raw_value * t.RES_DICOM_HUM->read() + t.RES_DICOM_HUB->read();
  if (t.RES_CMAP_BINARY->read()) {
    int th[3];
    const int32_t grey[3] = {t.RES_CMAP_GREY_LO->read(), t.RES_CMAP_GREY_HI->read(),
                             t.RES_CMAP_GREY_ANTI->read()};
    for (int i = 0; i < 3; ++i)
      th[i] = static_cast<int>(std::lround((grey[i] - 127) * w / 256.0 + c));
    return wxString::Format("Window %.0lf+/-%.0lf, pixel (%i,%i), thresholds (%i,%i,%i) %s", c,
                            w / 2, column, row, th[0], th[1], th[2], u);
  }
  const double b = (v - t.RES_DICOM_BMD_OFFSET->read()) / t.RES_DICOM_BMD_SCALE->read();
  if (b != v)
    return wxString::Format("Window %.0lf+/-%.0lf, pixel (%i,%i) value %.0lf %s %.0lf mg/cm^3", c,
                            w / 2, column, row, v, u, b);
  return wxString::Format("Window %.0lf+/-%.0lf, pixel (%i,%i) value %.0lf (%s)", c, w / 2, column,
                          row, v, u);
}

void review_tools::window_drag_motion(const review_mouse_event& e, double x, double y) {
  resource_table_t& t = *resource_table;
  if (t.RES_CMAP_LABELS->read()) return;
  const double centre = s_.drag_window_centre + 4.0 * (e.x - s_.drag_start_x);
  const double width = std::max(kMinWindowWidth, s_.drag_window_width + 4.0 * (e.y - s_.drag_start_y));
  t.RES_DICOM_WIN_CENTRE->write_no_changeprocs(centre);
  t.RES_DICOM_WIN_WIDTH->write_no_changeprocs(width);
  frame_image_t* rec = s_.frame.get();
  int32_t column = 0, row = 0;
  if (rec && rec->raw && pixel_inside(x, y, column, row))
    status_text(window_readout(column, row, rec->raw[row * s_.g.image_width + column]));
  if (rec && rec->raw && rec->display) {
    windowing_params_t params = dicom_utility::windowing_params_from_resources();
    params.centre = centre;
    params.window = width;
    dicom_utility::window_frame(rec->raw, *rec, rec->size, rec->stamp, params);
  }
  s_.image_dirty = true;
  host_.refresh();
}

void review_tools::window_drag_end(double x, double y) {
  resource_table_t& t = *resource_table;
  s_.window_drag = false;
  frame_image_t* rec = s_.frame.get();
  int32_t column = 0, row = 0;
  if (rec && rec->raw && pixel_inside(x, y, column, row))
    status_text(window_readout(column, row, rec->raw[row * s_.g.image_width + column]));
  if (t.RES_DICOM_WIN_CENTRE->pending() != s_.drag_window_centre ||
      t.RES_DICOM_WIN_WIDTH->pending() != s_.drag_window_width)
    t.RES_DICOM_REDRAW->write();
}

void review_tools::write_zoom_at(double z, int32_t mx, int32_t my_row) {
  resource_table_t& t = *resource_table;
  if (z == t.RES_REVIEW_ZOOM->read()) return;
  place_zoom_scroll(s_, z, mx, my_row);
  t.RES_REVIEW_ZOOM->write(z);
}

void review_tools::zoom_drag_motion(const review_mouse_event& e) {
  write_zoom_at(drag_zoom_to(s_, e.x), e.x, s_.g.mouse_row(e.y));
}

void review_tools::zoom_drag_end(const review_mouse_event& e) {
  resource_table_t& t = *resource_table;
  const review_geometry& g = s_.g;
  if (zoom_drag_is_click(s_, e.x, g.mouse_row(e.y)))
    t.RES_REVIEW_ZOOM->write(fit_zoom(g, review_aspect(t.RES_XSCALE->read(), t.RES_YSCALE->read())));
  follow_locked_zoom(t.RES_REVIEW_ZOOM);
  s_.zoom_drag = false;
}

void review_tools::wheel_zoom(const review_mouse_event& e) {
  resource_table_t& t = *resource_table;
  start_zoom_step(s_, e.x, s_.g.mouse_row(e.y), t.RES_REVIEW_ZOOM->read());
  write_zoom_at(wheel_zoom_to(s_, e, t.RES_SCROLL_ZOOM->read()), s_.drag_start_x, s_.drag_start_y);
  follow_locked_zoom(t.RES_REVIEW_ZOOM);
}

void review_tools::measure_press(double x, double y) {
  resource_table_t& t = *resource_table;
  if (t.RES_CURRENT_TASK_PAGE->read() == kThicknessTaskPage) {
    s_.thickness_drag = true;
    return;
  }
  calipers_t c = t.RES_CALIPERS->read();
  caliper_click(c, 0, x, y);
  t.RES_CALIPERS->write(c);
}

bool review_tools::hit_landmark(double x, double y, double r, size_t& index) {
  const resource_table_t& t = *resource_table;
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list) return false;
  matrix4_t m;
  const bool have_t = current_frame_transform(m);
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  const double tol = landmark_tolerance(xs, ys, t.RES_ZSCALE->read());
  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  for (size_t i = 0; i < list->size(); ++i) {
    double px = 0.0, py = 0.0, d = 0.0;
    const landmark_t& lm = (*list)[i];
    if (!landmark_frame_position(lm, have_t ? m.m : nullptr, xs, ys, px, py, d)) continue;
    if (!landmark_near_frame(lm.kind, d, tol, current)) continue;
    if (std::hypot(px - x, py - y) < r) {
      index = i;
      return true;
    }
  }
  return false;
}

void review_tools::mark_press(double x, double y, double r) {
  resource_table_t& t = *resource_table;
  const int32_t page = t.RES_CURRENT_TASK_PAGE->read();
  const wxString undefined = host_.undefined_landmarks();
  // With every model landmark placed, a click adds a data point to the shape model.
  if (page == kFitModelTaskPage && undefined == "none") {
    add_data_point(x, y);
    return;
  }
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list) return;
  size_t hit = 0;
  if (hit_landmark(x, y, r, hit)) {
    matrix4_t m;
    if (!current_frame_transform(m) && (*list)[hit].kind != LM_2D) return;
    s_.landmark_drag = true;
    s_.landmark_index = hit;
    s_.landmark_drag_x = x;
    s_.landmark_drag_y = y;
    return;
  }
  const double pixel[2] = {x, y};
  double w[3];
  if (frame_to_world(pixel, w)) {
    const vec3_t p{w[0], w[1], w[2]};
    int32_t level = -1, part = 0;
    if (page == kSpineTaskPage && host_.pending_spine_level(level, part) && level >= 0)
      list->set_spine_landmark(p, part, level);
    else if (page == kFitModelTaskPage && !undefined.empty())
      list->add_landmark(p, undefined, LM_DATA);
    else
      list->add_default_landmark(p, LM_DATA);
  } else {
    list->add_default_landmark(
        vec3_t{x * t.RES_XSCALE->read(), y * t.RES_YSCALE->read(),
               static_cast<double>(t.RES_BUF_CURRENT_FRAME->read())},
        LM_2D);
  }
  t.LANDMARK->write();
}

void review_tools::landmark_drop(double x, double y) {
  resource_table_t& t = *resource_table;
  s_.landmark_drag = false;
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list || s_.landmark_index >= list->size()) return;
  landmark_t& lm = (*list)[s_.landmark_index];
  const double pixel[2] = {x, y};
  double w[3];
  if (frame_to_world(pixel, w)) {
    lm.x = w[0];
    lm.y = w[1];
    lm.z = w[2];
    raise_landmark_change(lm.kind);
    return;
  }
  lm.x = x * t.RES_XSCALE->read();
  lm.y = y * t.RES_YSCALE->read();
  lm.z = t.RES_BUF_CURRENT_FRAME->read();
  t.LANDMARK->write();
}

void review_tools::erase_press(double x, double y, double r) {
  resource_table_t& t = *resource_table;
  size_t hit = 0;
  if (t.RES_SEE_MARK->read() && hit_landmark(x, y, r, hit)) {
    erase_landmark(*t.RES_LANDMARKS->read(), hit);
    return;
  }
  if (t.RES_SEE_SSM->read()) {
    s_.selected_vertices.clear();
    if (select_data_points(x, y, r)) {
      s_.vertex_selecting = true;
      host_.refresh();
    }
    // Without contours shown, the drag may still pick points.
    if (!t.RES_SEE_DRAW->read()) s_.vertex_selecting = true;
  }
  if (s_.vertex_selecting) return;
  if (contours_ && t.RES_SEE_DRAW->read() && !s_.click_drawing) contours_->erase_press(x, y, r);
}

// ---- the shape model's data points ------------------------------------------

void review_tools::add_data_point(double x, double y) {
  fit_model* model = resource_table->RES_FIT_MODEL->read();
  const double pixel[2] = {x, y};
  double w[3];
  if (!model || !frame_to_world(pixel, w)) return;
  model->add_data_point(vec3_t{w[0], w[1], w[2]});
  model->update_search_grid(false);
}

bool review_tools::select_data_points(double x, double y, double r) {
  const resource_table_t& t = *resource_table;
  const fit_model* model = t.RES_FIT_MODEL->read();
  matrix4_t m;
  if (!model || !current_frame_transform(m)) return false;
  const std::vector<int32_t> hits = data_points_hit(*model, m, t.RES_XSCALE->read(),
                                                    t.RES_YSCALE->read(), x, y, r,
                                                    s_.selected_vertices);
  std::vector<int32_t>& selected = s_.selected_vertices;
  for (int32_t i : hits) selected.insert(std::lower_bound(selected.begin(), selected.end(), i), i);
  return !hits.empty();
}

void review_tools::data_point_selection_motion(double x, double y, double r) {
  if (s_.moved && select_data_points(x, y, r)) host_.refresh();
}

void review_tools::data_point_selection_end() {
  s_.vertex_selecting = false;
  fit_model* model = resource_table->RES_FIT_MODEL->read();
  if (s_.selected_vertices.empty() || !model) return;
  model->remove_data_points(s_.selected_vertices);
  s_.selected_vertices.clear();
  model->update_search_grid(false);
}

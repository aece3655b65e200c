// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/review_canvas.h"

#include <algorithm>
#include <cmath>

#include <wx/mstream.h>
#include <wx/colour.h>
#include <wx/dcclient.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>

#include "data/file_menu_image_wx.h"
#include "data/file_save.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "data/data_line_procs.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "thickness/thickness.h"
#include "registry/resource_table.h"
#include "data/calipers.h"
#include "views/contour_editor_wx.h"
#include "views/review_segmenter.h"
#include "views/glfont.h"
#include "views/globcmap.h"
#include "views/shader.h"
#include "views/gl_view_support.h"
#include "views/review_coords.h"
#include "views/review_overlay_math.h"
#include "views/plane_overlays.h"
#include "views/plane_view_tools.h"
#include "views/view_tool_numbers.h"

// clang-format off
// Size, paint, erase-background and scroll events: gl_view_canvas's table.
wxBEGIN_EVENT_TABLE(review_canvas, gl_view_canvas)
  EVT_MOUSE_EVENTS(review_canvas::OnMouse)
  EVT_MAGNIFY(review_canvas::OnMouse)
  EVT_KEY_DOWN(review_canvas::OnKey)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

constexpr int kObjectCount = 200;

}  // namespace

review_canvas::review_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size, long style, const wxString& name)
    : gl_tool_view(parent, id, pos, size, style, name, "review_canvas", resource_table->RES_REVIEW_ZOOM),
      tools_(state_, *this) {
  mask_.region.frame = -1;
  contour_ui_ = std::make_unique<review_contour_ui>(*this);
  contour_editor_ = std::make_unique<contour_editor>(state_, *contour_ui_);
  segmenter_ = std::make_unique<review_segmenter>();
  contour_editor_->set_segmenter(segmenter_.get());
  tools_.set_contour_editor(contour_editor_.get());

  resource_table_t& t = *resource_table;
  set_changeproc(this, &review_canvas::changeproc);
  watch(t.RES_BUF_WIDTH);
  watch(t.RES_BUF_HEIGHT);
  state_.g.image_width = t.RES_BUF_WIDTH->read();
  state_.g.image_height = t.RES_BUF_HEIGHT->read();
  image_pixels_ = state_.g.image_width * state_.g.image_height;
  watch(t.RES_BUF_FRAMES);
  watch(t.RES_REVIEW_ZOOM);
  state_.g.invert = t.RES_INVERT_BSCAN->read();
  state_.g.set_zoom(t.RES_REVIEW_ZOOM->read(), view_aspect());
  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.RES_BACKGROUND, t.IM, t.RES_BUF_CURRENT_FRAME, t.RES_DICOM_REDRAW, t.RES_MASKED_DATA,
           t.RES_CMAP_LABELS, t.RES_TOOL, t.FIDUCIAL, t.LANDMARK, t.RES_REDISPLAY_THICKNESS,
           t.OBJECT, t.CONT, t.CURRENT_OBJECT, t.RES_CURRENT_TASK_PAGE, t.RES_CURRENT_VISUAL_PAGE, t.RES_POS_REC,
           t.RES_CORRECTED_POS, t.RES_CORRECTED_PRESSURE, t.RES_XTRANS, t.RES_YTRANS,
           t.RES_ZTRANS, t.RES_AZIMUTH, t.RES_ELEVATION, t.RES_ROLL, t.RES_XSCALE, t.RES_YSCALE,
           t.RES_CALIPERS, t.RES_INVERT_BSCAN, t.RES_SEE_DRAW, t.RES_SEE_MARK, t.RES_SEE_SSM,
           t.RES_GLUT_FONT, t.CURVE, t.RES_USE_SCROLLBARS})
    watch(r);
  for (base_res_t* s : t.RES_SURFACE) watch(s);
  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.FINDING_LOCATION, t.RES_CMAP_CHANGED, t.RES_DISPLAY_PIXELS, t.RES_DISPLAY_COG,
           t.RES_SEE_OUTLINES})
    watch(r);
}

review_canvas::~review_canvas() {
  // No commit may reach a view that is gone.
  unwatch_all();
}

double review_canvas::view_aspect() const {
  return review_aspect(resource_table->RES_XSCALE->read(), resource_table->RES_YSCALE->read());
}

// The review view keeps the fit's display size, rounded up.
void review_canvas::adopt_fit(const review_fit_t& fit, double aspect) {
  review_geometry& g = state_.g;
  g.zoom = fit.zoom;
  g.zoom_y = fit.zoom * aspect;
  g.display_width = fit.display_width;
  g.display_height = fit.display_height;
}

// ---- change procedure ------------------------------------------------------

void review_canvas::changeproc() {
  resource_table_t& t = *resource_table;
  review_geometry& g = state_.g;
  bool redraw = false, refit = false;
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };

  // A polygon placed click by click belongs to its frame and object.
  if ((changed(t.RES_BUF_CURRENT_FRAME) || changed(t.CURRENT_OBJECT)) &&
      contour_editor_->check_click_mode())
    redraw = true;
  if (changed(t.CONT) || changed(t.OBJECT)) contour_editor_->objects_changed();
  if (changed(t.RES_TOOL) || changed(t.RES_SEE_DRAW) || changed(t.RES_SEE_MARK) ||
      changed(t.RES_SEE_SSM) || changed(t.RES_CALIPERS))
    redraw = true;
  if (changed(t.RES_CMAP_CHANGED)) state_.image_dirty = redraw = true;
  // Other frames: the last thickness measurement no longer applies.
  if (changed(t.RES_BUF_FRAMES) && t.RES_THICKNESS->read()) t.RES_THICKNESS->read()->clear();
  if (follow_background()) state_.image_dirty = redraw = true;
  if (t.RES_BUF_WIDTH->read() != g.image_width || t.RES_BUF_HEIGHT->read() != g.image_height) {
    g.image_width = t.RES_BUF_WIDTH->read();
    g.image_height = t.RES_BUF_HEIGHT->read();
    image_pixels_ = g.image_width * g.image_height;
    g.set_zoom(g.zoom, view_aspect());
    refit = true;
  }
  // A new display window brings the unmasked 16-bit values back.
  if (changed(t.RES_DICOM_REDRAW)) reset_mask_after_windowing();
  if (changed(t.IM) || changed(t.RES_BUF_CURRENT_FRAME) || changed(t.RES_BUF_FRAMES) ||
      changed(t.RES_MASKED_DATA) || changed(t.RES_CMAP_LABELS) || changed(t.RES_DICOM_REDRAW) ||
      changed(t.RES_CORRECTED_POS) || changed(t.RES_CORRECTED_PRESSURE)) {
    reload_frame();
    redraw = true;
  }
  if (follow_zoom_resource("Review zoom factor %.2lf", state_.zoom_positioned)) redraw = refit = true;
  if (changed(t.RES_XTRANS) || changed(t.RES_YTRANS) || changed(t.RES_ZTRANS) ||
      changed(t.RES_AZIMUTH) || changed(t.RES_ELEVATION) || changed(t.RES_ROLL) ||
      changed(t.RES_XSCALE) || changed(t.RES_YSCALE))
    redraw = true;
  if (changed(t.RES_XSCALE) || changed(t.RES_YSCALE)) {
    g.set_zoom(g.zoom, view_aspect());
    refit = true;
  }
  if (changed(t.RES_INVERT_BSCAN)) {
    g.invert = t.RES_INVERT_BSCAN->read();
    state_.image_dirty = redraw = true;
    if (g.client_height < g.display_height) refit = true;
  } else if (changed(t.RES_REDISPLAY_THICKNESS)) {
    redraw = true;
  }
  if (changed(t.RES_DISPLAY_PIXELS)) state_.image_dirty = redraw = true;
  if (changed(t.RES_USE_SCROLLBARS)) redraw = refit = true;
  if (changed(t.RES_SEE_OUTLINES) || changed(t.RES_DISPLAY_COG)) redraw = true;
  if (changed(t.FINDING_LOCATION) &&
      g.centre_on(t.FIND_LOCATION_X->read(), t.FIND_LOCATION_Y->read()))
    redraw = refit = true;
  if (changed(t.FIDUCIAL) || changed(t.LANDMARK) || changed(t.OBJECT) || changed(t.CONT) ||
      changed(t.RES_CURRENT_TASK_PAGE) || changed(t.RES_CURRENT_VISUAL_PAGE) ||
      changed(t.CURVE))
    redraw = true;
  if (changed(t.RES_GLUT_FONT)) font_changed_ = redraw = true;
  for (base_res_t* s : t.RES_SURFACE)
    if (changed(s)) redraw = true;
  apply_changes(redraw, refit);
}

void review_canvas::reload_frame() {
  const resource_table_t& t = *resource_table;
  const int32_t frames = t.RES_BUF_FRAMES->read();
  if (frames >= 1 && frame_store) {
    const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
    if (current >= 0 && static_cast<size_t>(current) < frame_store->images.size())
      state_.frame = frame_store->imagecp(current);
  } else {
    state_.frame = frame_image_ref();
  }
  const uint8_t* display = image_pixels_ >= 1 ? frame_image_t::display_data(state_.frame) : nullptr;
  state_.image_shown = frames >= 1 && image_pixels_ >= 1 && display &&
                       state_.frame->size >= image_pixels_;
  state_.image_dirty = true;
}

// ---- OpenGL ---------------------------------------------------------------

void review_canvas::make_view_image() {
  drop_image();
  if (!state_.image_shown) return;
  const resource_table_t& t = *resource_table;
  const bool masked = t.RES_MASKED_DATA->read() > 0 || t.RES_CMAP_LABELS->read();
  make_image(frame_image_t::display_data(state_.frame), masked);
}

void review_canvas::draw_frame_border() {
  const review_geometry& g = state_.g;
  if (light_background())
    glColor3d(0.35, 0.35, 0.35);
  else
    glColor3d(1.0, 1.0, 1.0);
  const double x_right = g.display_width - g.scroll_x_image * g.zoom;
  const double y_top = g.screen_y(-g.scroll_y_image * g.zoom_y);
  const double y_bottom = g.screen_y(g.display_height - 1 - g.scroll_y_image * g.zoom_y);
  glBegin(GL_LINE_STRIP);
  glVertex2d(x_right, y_top);
  glVertex2d(x_right, y_bottom);
  glVertex2d(-g.scroll_x_image * g.zoom, y_bottom);
  glEnd();
}

void review_canvas::draw_scene() {
  if (!state_.image_shown) return;
  state_.g.update_scroll_image();
  if (state_.image_dirty) {
    make_view_image();
    state_.image_dirty = false;
  }
  const resource_table_t& t = *resource_table;
  if (have_image() && frame_image_t::display_data(state_.frame)) {
    put_image();
    if (t.RES_SEE_OUTLINES->read() != 0 &&
        (t.RES_MASKED_DATA->read() > 0 || t.RES_CMAP_LABELS->read()))
      draw_frame_border();
  }
  draw_overlays();
}

// ---- overlays --------------------------------------------------------------

void review_canvas::draw_overlays() {
  const resource_table_t& t = *resource_table;
  const int32_t tool = static_cast<int32_t>(t.RES_TOOL->read());
  if (state_.mask_outline) draw_mask_region();
  if (state_.click_drawing || state_.freehand_drawing || t.RES_SEE_DRAW->read()) {
    contour_object* objects = t.RES_OBJECT->read();
    const int32_t current_object = t.CURRENT_OBJECT->read();
    if (objects && state_.edited_contour && current_object >= 0 && current_object < kObjectCount) {
      const rgba_colour_t& c = objects[current_object].colour;
      const uint8_t rgb[3] = {c.Red(), c.Green(), c.Blue()};
      draw_contour(state_.edited_contour.get(), rgb);
    }
    const int32_t frame = t.RES_BUF_CURRENT_FRAME->read();
    for (int k = 0; objects && k < kObjectCount; ++k) {
      frame_contours_t* entry = objects[k].find_frame(frame);
      if (!entry) {
        draw_surface_section(k);
        continue;
      }
      const rgba_colour_t& c = objects[k].colour;
      const uint8_t rgb[3] = {c.Red(), c.Green(), c.Blue()};
      for (const contour_t& contour : entry->contours)
        if (!contour.vertices.empty() && &contour != state_.edited_contour.get())
          draw_contour(&contour, rgb);
    }
  }
  if (t.RES_SEE_SSM->read()) draw_surface_section(kObjectCount);  // the fitted shape model
  if (t.RES_SEE_SSM->read()) draw_shape_model_points();
  if (t.RES_SEE_MARK->read()) draw_landmarks();
  if (t.RES_SEE_MARK->read() || tool == TOOL_MEASURE || tool == TOOL_MARK) draw_scale_bar();
  if (t.RES_SEE_MARK->read()) draw_landmark_curves();
  if (t.RES_CURRENT_VISUAL_PAGE->read() == kThicknessVisualPage) draw_thickness_line();
  if (tool == TOOL_MEASURE) draw_calipers();
  if (!t.RES_USE_SCROLLBARS->read()) draw_navigation_box();
}

void review_canvas::draw_contour(const contour_t* c, const uint8_t colour[3]) {
  if (!c || c->vertices.empty()) return;
  const review_geometry& g = state_.g;
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_POINT_SMOOTH);
  glLineWidth(static_cast<float>(font_size() * 0.625 / 10.0));
  glPointSize(static_cast<float>(font_size() * 3.0 / 10.0));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  uint8_t alpha = 255;
  if (std::find(state_.selected_contours.begin(), state_.selected_contours.end(), c) !=
      state_.selected_contours.end())
    alpha = 80;
  if (state_.edited_contour && c != state_.edited_contour.get()) alpha = 80;
  auto vertex = [&](const vec2_t& v) {
    double wx = 0.0, wy = 0.0;
    g.frame_to_window(v.x, v.y, wx, wy);
    glVertex2d(wx, wy);
  };
  const std::vector<size_t> line = contour_line_vertices(*c, contour_value_threshold);
  if (!line.empty()) {
    if (state_.mask_outline && c == state_.edited_contour.get())
      glColor4ub(255, 255, 255, 200);
    else
      glColor4ub(colour[0], colour[1], colour[2], alpha);
    glBegin(GL_LINE_STRIP);
    for (size_t i : line) vertex(c->vertices[i]);
    glEnd();
  }
  const int32_t tool = static_cast<int32_t>(resource_table->RES_TOOL->read());
  if (!state_.freehand_drawing && (tool == TOOL_SELECT || tool == TOOL_DRAW || tool == TOOL_ERASE)) {
    uint8_t p[3];
    vertex_point_colour(colour[0], colour[1], colour[2], p);
    glColor4ub(p[0], p[1], p[2], alpha);
    glBegin(GL_POINTS);
    for (const vec2_t& v : c->vertices) vertex(v);
    glEnd();
  }
  // The direction in which a contour being extended point by point grows.
  const size_t n = c->vertices.size();
  if (state_.click_drawing && state_.continued_object >= 0 && c == state_.continued_contour &&
      state_.continuation_vertex < n) {
    const size_t vi = state_.continuation_vertex;
    const size_t ni = state_.continuation_direction == 1 ? (vi + 1) % n : (vi + n - 1) % n;
    const vec2_t v = c->vertices[vi], nv = c->vertices[ni];
    const vec2_t h{(nv.x - v.x) / 2, (nv.y - v.y) / 2};
    const double len = std::hypot(h.x, h.y);
    const vec2_t u = len > 0 ? vec2_t{h.x / len, h.y / len} : h;
    const vec2_t w{-u.y, u.x};
    const vec2_t m{v.x + h.x, v.y + h.y};
    const double z = g.zoom;
    glColor4ub(colour[0], colour[1], colour[2], 255);
    glBegin(GL_LINES);
    vertex(v);
    vertex(m);
    vertex(m);
    vertex(vec2_t{m.x - 4 * u.x / z + 5 * w.x / z, m.y - 4 * u.y / z + 5 * w.y / z});
    vertex(m);
    vertex(vec2_t{m.x - 4 * u.x / z - 5 * w.x / z, m.y - 4 * u.y / z - 5 * w.y / z});
    glEnd();
  }
  glFlush();
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_POINT_SMOOTH);
  glDisable(GL_BLEND);
  glLineWidth(1.0f);
  glPointSize(1.0f);
}

void review_canvas::draw_surface_section(int object) {
  const resource_table_t& t = *resource_table;
  surface_interp* surface = t.RES_SURFACE[object]->read();
  const contour_object* objects = t.RES_OBJECT->read();
  if (!surface || !objects || objects[object].colour.Alpha() == 0) return;
  std::unique_ptr<frame_contours_t> section = plane_cross_section(*surface, -1, 1, 0.1);
  if (!section || section->contours.empty()) return;
  const rgba_colour_t& c = objects[object].colour;
  glColor4ub(c.Red(), c.Green(), c.Blue(), 255);
  matrix4_t m;
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  if (t.RES_DISPLAY_COG->read() && current_frame_transform(m)) {
    vec3_t q;
    matrix4_transform_point(q, m, surface->centroid);
    if (std::fabs(q.z) < xs * 0.5) {
      const review_geometry& g = state_.g;
      const double x = (q.x / xs - g.scroll_x_image) * g.zoom;
      const double v = (q.y / ys - g.scroll_y_image) * g.zoom_y;
      glBegin(GL_LINES);
      glVertex2d(x - 2, g.screen_y(v));
      glVertex2d(x + 3, g.screen_y(v));
      glVertex2d(x, g.screen_y(v - 2));
      glVertex2d(x, g.screen_y(v + 3));
      glEnd();
    }
  }
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(1, 0x3333);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(font_size() * 0.625 / 10.0));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (const contour_t& contour : section->contours) {
    if (contour.vertices.size() < 2) continue;
    glBegin(contour.closed ? GL_LINE_LOOP : GL_LINE_STRIP);
    for (const vec2_t& v : contour.vertices) {
      double wx = 0.0, wy = 0.0;
      state_.g.frame_to_window(v.x, v.y, wx, wy);
      glVertex2d(wx, wy);
    }
    glEnd();
    glFlush();
  }
  glDisable(GL_LINE_STIPPLE);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_BLEND);
  glLineWidth(1.0f);
}

void review_canvas::draw_landmarks() {
  const resource_table_t& t = *resource_table;
  landmarks* list = t.RES_LANDMARKS->read();
  if (!list) return;
  matrix4_t m;
  const bool have_m = current_frame_transform(m);
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  const double tol = landmark_tolerance(xs, ys, t.RES_ZSCALE->read());
  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(font_size() * 3.0 / 10.0));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (size_t i = 0; i < list->size(); ++i) {
    const landmark_t& lm = (*list)[i];
    double px = 0.0, py = 0.0, d = 0.0;
    if (!landmark_frame_position(lm, have_m ? m.m : nullptr, xs, ys, px, py, d)) continue;
    if (!landmark_near_frame(lm.kind, d, tol, current)) continue;
    if (state_.landmark_drag && state_.landmark_index == i) {
      px = state_.landmark_drag_x;
      py = state_.landmark_drag_y;
    }
    draw_landmark_mark(overlay(), lm, px, py, lm.kind == LM_SURFACE ? std::fabs(d / xs) : 0.0, true);
  }
  glDisable(GL_BLEND);
  glDisable(GL_POINT_SMOOTH);
  glPointSize(1.0f);
  glFlush();
}

void review_canvas::draw_landmark_curves() {
  matrix4_t m;
  if (!current_frame_transform(m)) return;
  const double xs = resource_table->RES_XSCALE->read(), ys = resource_table->RES_YSCALE->read();
  draw_curves_near_plane(overlay(), [&](const curve_point& cp) {
    vec3_t q;
    matrix4_transform_point(q, m, vec3_t{cp.x, cp.y, cp.z});
    return vec3_t{q.x / xs, q.y / ys, q.z / xs};
  });
}

void review_canvas::draw_calipers() {
  resource_table_t& t = *resource_table;
  const calipers_t c = t.RES_CALIPERS->read();
  if (c.view != 0 || !c.first_set) return;
  const review_geometry& g = state_.g;
  glColor3d(0.0, 1.0, 1.0);
  auto cross = [&](double x, double y) {
    const double wx = (x - g.scroll_x_image) * g.zoom;
    const double v = (y - g.scroll_y_image) * g.zoom_y;
    glBegin(GL_LINES);
    glVertex2d(wx - 3, g.screen_y(v - 3));
    glVertex2d(wx + 3, g.screen_y(v + 3));
    glVertex2d(wx + 3, g.screen_y(v - 3));
    glVertex2d(wx - 3, g.screen_y(v + 3));
    glEnd();
  };
  cross(c.first_x, c.first_y);
  if (!c.second_set) {
    if (!t.RES_ALERT_STRING->read().empty()) {
      t.RES_ALERT_STRING->write_no_changeprocs(wxString());
      base_res_t::make_pending_writes_happen();
    }
    return;
  }
  cross(c.second_x, c.second_y);
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  g.frame_to_window(c.first_x, c.first_y, x1, y1);
  g.frame_to_window(c.second_x, c.second_y, x2, y2);
  draw_caliper_line(x1, y1, x2, y2);
  t.RES_ALERT_STRING->write_no_changeprocs(caliper_distance_text(
      c.first_x, c.first_y, c.second_x, c.second_y, t.RES_XSCALE->read(), t.RES_YSCALE->read()));
  base_res_t::make_pending_writes_happen();
}

void review_canvas::draw_navigation_box() { ::draw_navigation_box(overlay(), state_.g.invert); }

void review_canvas::draw_scale_bar() { ::draw_scale_bar(overlay()); }

overlay_target review_canvas::overlay() const {
  overlay_target v;
  v.g = &state_.g;
  v.font = font();
  v.viewport = viewport_;
  return v;
}

void review_canvas::draw_mask_region() {
  if (!mask_.raster) return;
  const review_geometry& g = state_.g;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4d(1.0, 1.0, 1.0, 0.8);
  glBegin(GL_QUADS);
  for (int32_t i = 0; i < g.image_height; ++i) {
    int32_t j = 0;
    while (j < g.image_width) {
      if (!mask_.inside(j, i)) {
        ++j;
        continue;
      }
      const int32_t start = j;
      while (j < g.image_width && mask_.inside(j, i)) ++j;
      double x0, y0, x1, y1;
      g.frame_to_window(start, i, x0, y0);
      g.frame_to_window(j, i + 1, x1, y1);
      glVertex2d(x0, y0);
      glVertex2d(x1, y0);
      glVertex2d(x1, y1);
      glVertex2d(x0, y1);
    }
  }
  glEnd();
  glDisable(GL_BLEND);
}

// ---- mouse, masking and saving ---------------------------------------------

void review_canvas::OnKey(wxKeyEvent& event) {
  const int code = event.GetKeyCode();
  if (!review_key(code)) {
    event.Skip();
    return;
  }
  // The value threshold lives outside the resources: repaint for it here.
  if (code == 'X' || code == 'x' || code == 'Z' || code == 'z') Refresh(false);
}

void review_canvas::OnMouse(wxMouseEvent& event) { tools_.on_mouse(mouse_event(event)); }

namespace {

class canvas_mask_ui final : public mask_ui {
 public:
  canvas_mask_ui(review_canvas& view, mask_ui& inner) : view_(view), inner_(inner) {}
  void show_region() override {
    view_.Refresh(true);
    view_.Update();
  }
  bool ask(const wxString& caption, const wxString& q) override { return inner_.ask(caption, q); }
  void progress_start(const wxString& title, const wxString& m, int maximum) override {
    inner_.progress_start(title, m, maximum);
  }
  void progress_update(int v, const wxString& m) override { inner_.progress_update(v, m); }
  void progress_finish() override { inner_.progress_finish(); }

 private:
  review_canvas& view_;
  mask_ui& inner_;
};

}  // namespace

bool review_canvas::mask_data(mask_ui& ui) {
  canvas_mask_ui shown(*this, ui);
  const bool done = ::mask_data(mask_, state_.edited_contour.get(), shown);
  Refresh(true);
  return done;
}

namespace {

// The masking's question and progress as the program shows them.
class wx_mask_ui final : public mask_ui {
 public:
  explicit wx_mask_ui(wxWindow* parent) : parent_(parent) {}
  ~wx_mask_ui() override { delete progress_; }
  bool ask(const wxString& caption, const wxString& question) override {
    wxMessageDialog dialog(parent_, question, caption, wxYES_NO | wxICON_QUESTION);
    return dialog.ShowModal() == wxID_YES;
  }
  void progress_start(const wxString& title, const wxString& message, int maximum) override {
    progress_ = new wxProgressDialog(title, message, std::max(1, maximum), parent_,
                                     wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME |
                                         wxPD_ESTIMATED_TIME | wxPD_REMAINING_TIME);
  }
  void progress_update(int value, const wxString& message) override {
    if (progress_) progress_->Update(std::min(value, progress_->GetRange()), message);
  }
  void progress_finish() override {
    delete progress_;
    progress_ = nullptr;
  }

 private:
  wxWindow* parent_;
  wxProgressDialog* progress_ = nullptr;
};

}  // namespace

bool review_canvas::mask_data() {
  wx_mask_ui ui(wxGetTopLevelParent(this));
  return mask_data(ui);
}

bool review_canvas::dump_window(const wxString& file_name, wxBitmapType type, wxString* why) {
  return save_view(file_name, type, why);
}

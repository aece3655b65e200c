#include <GL/glew.h>

#include "views/corner_canvas.h"

#include <algorithm>
#include <cmath>

#include <wx/colour.h>
#include <wx/dcclient.h>
#include <wx/log.h>

#include "data/calipers.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/glfont.h"
#include "views/reslice_internals.h"
#include "views/review_overlay_math.h"
#include "views/shader.h"

// clang-format off
// Size, paint, erase-background and scroll events: gl_view_canvas's table.
wxBEGIN_EVENT_TABLE(corner_canvas, gl_view_canvas)
  EVT_MOUSE_EVENTS(corner_canvas::OnMouse)
  EVT_MAGNIFY(corner_canvas::OnMouse)
  EVT_KEY_DOWN(corner_canvas::OnKey)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

constexpr int32_t kPlane = 1;

reslice_info& plane1() { return resource_table->RESLICE->read()[kPlane]; }

reslice_internals* builder1() { return dynamic_cast<reslice_internals*>(plane1().builder); }

}  // namespace

corner_canvas::corner_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size, long style, const wxString& name)
    : gl_tool_view(parent, id, pos, size, style, name, "corner_canvas", resource_table->RES_CORNER_ZOOM),
      tools_(state_, *this) {
  state_.view_index = 2;
  resource_table_t& t = *resource_table;
  set_changeproc(this, &corner_canvas::changeproc);
  review_geometry& g = state_.g;
  g.image_width = plane1().width;
  g.image_height = plane1().height;
  watch(t.RES_BUF_FRAMES);
  watch(t.RES_CORNER_ZOOM);
  const double z = t.RES_CORNER_ZOOM->read();
  g.set_zoom(z > 0.0 && std::isfinite(z) ? z : 1.0, 1.0);
  for (base_res_t* r :
       {static_cast<base_res_t*>(t.RES_BACKGROUND), static_cast<base_res_t*>(t.IM),
        static_cast<base_res_t*>(t.LANDMARK), static_cast<base_res_t*>(t.FIDUCIAL),
        static_cast<base_res_t*>(t.RES_BUF_CURRENT_FRAME),
        static_cast<base_res_t*>(t.RES_REDISPLAY_RESLICE1), static_cast<base_res_t*>(t.RES_TOOL),
        static_cast<base_res_t*>(t.RES_SEE_MARK), static_cast<base_res_t*>(t.RES_SEE_DRAW),
        static_cast<base_res_t*>(t.RES_SEE_SSM), static_cast<base_res_t*>(t.OBJECT)})
    watch(r);
  for (base_res_t* s : t.RES_SURFACE) watch(s);
  for (base_res_t* r :
       {static_cast<base_res_t*>(t.FINDING_LOCATION), static_cast<base_res_t*>(t.RES_CMAP_CHANGED),
        static_cast<base_res_t*>(t.RES_CALIPERS), static_cast<base_res_t*>(t.RES_DISPLAY_PIXELS),
        static_cast<base_res_t*>(t.RES_DISPLAY_COG), static_cast<base_res_t*>(t.RES_SEE_OUTLINES),
        static_cast<base_res_t*>(t.RES_GLUT_FONT), static_cast<base_res_t*>(t.CURVE),
        static_cast<base_res_t*>(t.RES_USE_SCROLLBARS)})
    watch(r);
}

corner_canvas::~corner_canvas() {
  // No commit may reach a view that is gone.
  unwatch_all();
}

void corner_canvas::changeproc() {
  resource_table_t& t = *resource_table;
  review_geometry& g = state_.g;
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  bool repaint = false, refit = false;

  for (base_res_t* r : {static_cast<base_res_t*>(t.RES_TOOL), static_cast<base_res_t*>(t.RES_SEE_DRAW),
                        static_cast<base_res_t*>(t.RES_SEE_MARK), static_cast<base_res_t*>(t.RES_SEE_SSM),
                        static_cast<base_res_t*>(t.RES_CALIPERS),
                        static_cast<base_res_t*>(t.RES_REDISPLAY_RESLICE1),
                        static_cast<base_res_t*>(t.RES_BUF_CURRENT_FRAME), static_cast<base_res_t*>(t.LANDMARK),
                        static_cast<base_res_t*>(t.FIDUCIAL), static_cast<base_res_t*>(t.OBJECT),
                        static_cast<base_res_t*>(t.CURVE), static_cast<base_res_t*>(t.RES_USE_SCROLLBARS)})
    if (changed(r)) repaint = true;
  for (base_res_t* s : t.RES_SURFACE)
    if (changed(s)) repaint = true;
  if (changed(t.RES_USE_SCROLLBARS)) refit = true;

  const reslice_info& p = plane1();
  if (p.builder && (p.width != g.image_width || p.height != g.image_height)) {
    g.image_width = p.width;
    g.image_height = p.height;
    g.set_zoom(g.zoom, 1.0);
    refit = repaint = true;
  }
  state_.image_shown = p.builder && p.defined;

  if (changed(t.RES_CMAP_CHANGED) || changed(t.RES_DISPLAY_PIXELS) || changed(t.RES_DISPLAY_COG) ||
      changed(t.RES_SEE_OUTLINES))
    repaint = true;
  if (changed(t.RES_GLUT_FONT)) font_changed_ = repaint = true;
  finish_plane_changes("Corner zoom factor %.2lf", state_.zoom_positioned, repaint, refit);
}

void corner_canvas::OnMouse(wxMouseEvent& event) { tools_.on_mouse(mouse_event(event)); }

void corner_canvas::OnKey(wxKeyEvent& event) {
  if (!corner_key(event.GetKeyCode())) event.Skip();
}

bool corner_canvas::dump_window(const wxString& file_name, wxBitmapType type) {
  return save_view(file_name, type);
}

void corner_canvas::draw_scene() {
  reslice_internals* b = builder1();
  if (!state_.image_shown || !b || !plane1().defined) return;
  const uint8_t* image = b->get_image();
  if (!image) return;
  state_.g.update_scroll_image();
  if (make_image(image, false)) put_image();
  draw_outline_and_frame_line();
  const resource_table_t& t = *resource_table;
  const int32_t tool = t.RES_TOOL->read();
  if (t.RES_SEE_MARK->read()) {
    draw_landmarks();
    draw_landmark_curves();
  }
  if (tool == 4) draw_calipers();
  if (!t.RES_USE_SCROLLBARS->read()) draw_navigation_box();
  if (t.RES_SEE_MARK->read() || tool == 4 || tool == 2) draw_scale_bar();
  glFlush();
}

void corner_canvas::draw_landmarks() {
  const resource_table_t& t = *resource_table;
  const landmarks* list = t.RES_LANDMARKS->read();
  if (!list) return;
  const double xscale = t.RES_XSCALE->read();
  const double p = font_size();
  const contour_object* objects = t.RES_OBJECT->read();
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(p * 0.3));
  for (const plane_landmark_t& m : plane_landmarks(plane1(), xscale, state_)) {
    const landmark_t& lm = (*list)[m.index];
    double wx = 0.0, wy = 0.0;
    if (m.kind == LM_SURFACE) {
      double shade[3] = {1.0, 1.0, 1.0};
      if (objects && lm.object >= 0 && lm.object < NUM_OBJECTS) {
        const rgba_colour_t& c = objects[lm.object].colour;
        const double in[3] = {c.Red() / 255.0, c.Green() / 255.0, c.Blue() / 255.0};
        landmark_shade(in, shade);
      }
      glColor3dv(shade);
      const double r = xscale != 0.0 ? std::fabs(m.z / xscale) : 0.0;
      glEnable(GL_LINE_STIPPLE);
      glLineStipple(1, 0xF0F0);
      glBegin(GL_LINE_STRIP);
      for (int k = 0; k <= 36; ++k) {
        const double a = k * 3.14159265358979323846 / 18.0;
        image_to_window(m.x + r * std::cos(a), m.y + r * std::sin(a), wx, wy);
        glVertex2d(wx, wy);
      }
      glEnd();
      glFlush();
      glDisable(GL_LINE_STIPPLE);
    } else if (m.kind == LM_SPINE) {
      glColor3d(1.0, 1.0, 0.8);
    } else {
      glColor3d(0.0, 1.0, 1.0);
    }
    image_to_window(m.x, m.y, wx, wy);
    glBegin(GL_POINTS);
    glVertex2d(wx, wy);
    glEnd();
    draw_text(lm.name, wx - 1, wy - 1, 0.32, 0.6);
  }
  glFlush();
}

void corner_canvas::draw_landmark_curves() {
  const resource_table_t& t = *resource_table;
  const curve_set* curves = t.RES_CURVE->read();
  const double xs = t.RES_XSCALE->read();
  if (!curves || xs == 0.0) return;
  const contour_object* objects = t.RES_OBJECT->read();
  const reslice_info& plane = plane1();
  const double p = font_size();
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(p * 0.35));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(p * 0.175));
  // Image pixels with the distance from the plane in pixels too.
  auto to_plane = [&](const curve_point& cp) {
    const vec3_t w{cp.x, cp.y, cp.z};
    vec3_t q;
    plane.world_to_reslice(&w, &q, 1);
    return vec3_t{q.x, q.y, q.z / xs};
  };
  auto vertex = [&](double x, double y, const double c[3], double alpha) {
    double wx = 0.0, wy = 0.0;
    image_to_window(x, y, wx, wy);
    glColor4d(c[0], c[1], c[2], alpha);
    glVertex2d(wx, wy);
  };
  for (const curve_t& curve : curves->curves) {
    if (curve.points.empty()) continue;
    double c[3] = {0.0, 1.0, 1.0};
    if (objects && curve.object >= 0 && curve.object < NUM_OBJECTS) {
      const rgba_colour_t& oc = objects[curve.object].colour;
      const double in[3] = {oc.Red() / 255.0, oc.Green() / 255.0, oc.Blue() / 255.0};
      landmark_shade(in, c);
    }
    vec3_t previous = to_plane(curve.closed ? curve.points.back() : curve.points.front());
    bool named = false;
    for (const curve_point& cp : curve.points) {
      const vec3_t current = to_plane(cp);
      const curve_piece_t piece = clip_curve_segment(previous, current);
      previous = current;
      if (!piece.drawn) continue;
      if (!piece.crossing) {
        glBegin(GL_LINES);
        vertex(piece.x1, piece.y1, c, piece.alpha1);
        vertex(piece.x2, piece.y2, c, piece.alpha2);
        glEnd();
      } else {
        glBegin(GL_LINE_STRIP);
        vertex(piece.x1, piece.y1, c, piece.alpha1);
        vertex(piece.cx, piece.cy, c, 1.0);
        vertex(piece.x2, piece.y2, c, piece.alpha2);
        glEnd();
        glBegin(GL_POINTS);
        vertex(piece.cx, piece.cy, c, 1.0);
        glEnd();
      }
      if (!named) {
        named = true;
        double wx = 0.0, wy = 0.0;
        image_to_window((piece.x1 + piece.x2) / 2, (piece.y1 + piece.y2) / 2, wx, wy);
        glColor4d(c[0], c[1], c[2], 1.0);
        draw_text(curve.name, wx - 1, wy - 1, 0.32, 0.6);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      }
    }
  }
  glDisable(GL_BLEND);
  glLineWidth(1.0f);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_POINT_SMOOTH);
  glPointSize(1.0f);
  glShadeModel(GL_FLAT);
}

void corner_canvas::draw_navigation_box() {
  const review_geometry& g = state_.g;
  if (!resource_table->RES_DISPLAY_COG->read()) return;
  if (g.display_width <= g.client_width && g.display_height <= g.client_height) return;
  const navigation_box_t b = navigation_box(font_size(), g.display_width, g.display_height,
                                            g.client_width, g.client_height, g.scroll_x,
                                            g.scroll_y, false);
  if (font_size() > 24) glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(font_size() * 0.04));
  glColor3d(0.0, 1.0, 1.0);
  glBegin(GL_LINE_LOOP);
  glVertex2d(b.box_left, b.box_bottom);
  glVertex2d(b.box_right, b.box_bottom);
  glVertex2d(b.box_right, b.box_top);
  glVertex2d(b.box_left, b.box_top);
  glEnd();
  glFlush();
  glColor3d(1.0, 0.0, 0.0);
  glBegin(GL_LINE_LOOP);
  glVertex2d(b.view_left, b.view_top);
  glVertex2d(b.view_left + b.view_width, b.view_top);
  glVertex2d(b.view_left + b.view_width, b.view_top - b.view_height);
  glVertex2d(b.view_left, b.view_top - b.view_height);
  glEnd();
  glFlush();
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
}

void corner_canvas::draw_scale_bar() {
  const resource_table_t& t = *resource_table;
  if (!t.RES_DISPLAY_COG->read()) return;
  const double p = font_size();
  const scale_bar_t bar = plane_scale_bar(p, t.RES_XSCALE->read(), state_.g.zoom);
  if (!bar.ok) return;
  const double x0 = 0.375 * p, m = 0.25 * p, len = bar.length;
  if (p > 24) glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(p * 0.04));
  glColor3d(1.0, 0.0, 0.0);
  glBegin(GL_LINES);
  const auto tick = [&](double at, double top) {
    glVertex2d(x0 + at * len, 2.5 * m);
    glVertex2d(x0 + at * len, top);
  };
  glVertex2d(x0, 2.5 * m);
  glVertex2d(x0 + len, 2.5 * m);
  tick(0.0, 4 * m);
  tick(1.0, 4 * m);
  if (bar.fifths) {
    for (double at : {0.2, 0.4, 0.6, 0.8}) tick(at, 3.5 * m);
  } else {
    tick(0.25, 3.5 * m);
    tick(0.75, 3.5 * m);
    tick(0.5, 4 * m);
  }
  glEnd();
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
  glColor3d(0.0, 1.0, 1.0);
  const auto width = [&](const wxString& s) { return font_ ? font_->text_width(s) / p : 0.0; };
  draw_text("0", x0, 1.5 * p, -0.25, 0.35);
  if (!bar.fifths) {
    const wxString mid = bar.value == 1.0 ? wxString("0.5") : wxString::Format("%.0lf", bar.value * 0.5);
    draw_text(mid, x0 + len / 2, 1.5 * p, -0.5 * width(mid), 0.35);
  }
  const wxString end = wxString::Format("%.0lf", bar.value);
  draw_text(end, x0 + len, 1.5 * p, 0.2 - width(end), 0.35);
  draw_text(bar.unit_name, x0 + len / 2, 0.375 * p, -0.5 * width(bar.unit_name), 0.6);
  glFlush();
}

void corner_canvas::draw_calipers() {
  resource_table_t& t = *resource_table;
  const calipers_t c = t.RES_CALIPERS->read();
  wxString text;
  if (!plane_calipers_text(c, state_.view_index, t.RES_XSCALE->read(), text)) return;
  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
  image_to_window(c.first_x, c.first_y, x1, y1);
  image_to_window(c.second_x, c.second_y, x2, y2);
  glColor3d(0.0, 1.0, 1.0);
  const auto cross = [](double x, double y) {
    glBegin(GL_LINES);
    glVertex2d(x - 3, y - 3);
    glVertex2d(x + 3, y + 3);
    glVertex2d(x + 3, y - 3);
    glVertex2d(x - 3, y + 3);
    glEnd();
  };
  if (c.first_set) cross(x1, y1);
  if (c.second_set) {
    cross(x2, y2);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x3333);
    glBegin(GL_LINES);
    glVertex2d(x1, y1);
    glVertex2d(x2, y2);
    glEnd();
    glDisable(GL_LINE_STIPPLE);
  }
  t.RES_ALERT_STRING->write_no_changeprocs(text);
  base_res_t::make_pending_writes_happen();
}

void corner_canvas::draw_outline_and_frame_line() {
  if (resource_table->RES_SEE_OUTLINES->read() == 0) return;
  draw_image_border(state_.g.image_height);
  draw_frame_line(kPlane);
}

#include <GL/glew.h>

#include "views/plane_overlays.h"

#include <algorithm>
#include <cmath>

#include "data/calipers.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "views/glfont.h"
#include "views/overlay_math.h"
#include "views/plane_view_tools.h"
#include "views/review_overlay_math.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// An object's colour for its surface landmarks and curves, components 0..1.
void object_shade(const contour_object* objects, int32_t object, double out[3]) {
  if (!objects || object < 0 || object >= NUM_OBJECTS) {
    out[0] = 0.0, out[1] = 1.0, out[2] = 1.0;
    return;
  }
  const rgba_colour_t& c = objects[object].colour;
  const double in[3] = {c.Red() / 255.0, c.Green() / 255.0, c.Blue() / 255.0};
  landmark_shade(in, out);
}

void blend_on() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace

double overlay_font_size(const overlay_target& v) {
  return v.font && v.font->height() > 0 ? v.font->height() : 28.0;
}

void overlay_text(const overlay_target& v, const wxString& text, double wx, double wy, double ox,
                  double oy) {
  if (!v.font || !v.g || !v.viewport || text.empty()) return;
  const review_geometry& g = *v.g;
  double position[3] = {2.0 * wx / g.client_width - 1.0, 2.0 * wy / g.client_height - 1.0, 0.0};
  const double offset[2] = {ox, oy};
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  v.font->draw_text(text, v.viewport, position, offset, colour, false);
}

void draw_scale_bar(const overlay_target& v) {
  const resource_table_t& t = *resource_table;
  if (!v.g || !t.RES_DISPLAY_COG->read()) return;
  const double p = overlay_font_size(v);
  const scale_bar_t bar = plane_scale_bar(p, t.RES_XSCALE->read(), v.g->zoom);
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
  const auto width = [&](const wxString& s) { return v.font ? v.font->text_width(s) / p : 0.0; };
  overlay_text(v, "0", x0, 1.5 * p, -0.25, 0.35);
  if (!bar.fifths) {
    const wxString mid =
        bar.value == 1.0 ? wxString("0.5") : wxString::Format("%.0lf", bar.value * 0.5);
    overlay_text(v, mid, x0 + len / 2, 1.5 * p, -0.5 * width(mid), 0.35);
  }
  const wxString end = wxString::Format("%.0lf", bar.value);
  overlay_text(v, end, x0 + len, 1.5 * p, 0.2 - width(end), 0.35);
  overlay_text(v, bar.unit_name, x0 + len / 2, 0.375 * p, -0.5 * width(bar.unit_name), 0.6);
  glFlush();
}

void draw_landmark_mark(const overlay_target& v, const landmark_t& lm, double x, double y,
                        double ring, bool blend) {
  const review_geometry& g = *v.g;
  double wx = 0.0, wy = 0.0;
  if (lm.kind == LM_SURFACE) {
    double shade[3];
    object_shade(resource_table->RES_OBJECT->read(), lm.object, shade);
    glColor3dv(shade);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xF0F0);
    glBegin(GL_LINE_LOOP);
    for (int k = 0; k < 36; ++k) {
      const double a = k * kPi / 18.0;
      g.frame_to_window(x + ring * std::cos(a), y + ring * std::sin(a), wx, wy);
      glVertex2d(wx, wy);
    }
    glEnd();
    glFlush();
    glDisable(GL_LINE_STIPPLE);
  } else if (lm.kind == LM_SPINE) {
    glColor3d(1.0, 1.0, 0.8);
  } else {
    glColor3d(0.0, 1.0, 1.0);
  }
  g.frame_to_window(x, y, wx, wy);
  glBegin(GL_POINTS);
  glVertex2d(wx, wy);
  glEnd();
  overlay_text(v, lm.name, wx - 1, wy - 1, 0.32, 0.6);
  if (blend) blend_on();
}

void draw_curves_near_plane(const overlay_target& v,
                            const std::function<vec3_t(const curve_point&)>& to_plane) {
  const resource_table_t& t = *resource_table;
  const curve_set* curves = t.RES_CURVE->read();
  if (!curves || !v.g) return;
  const review_geometry& g = *v.g;
  const contour_object* objects = t.RES_OBJECT->read();
  const double p = overlay_font_size(v);
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(p * 0.35));
  blend_on();
  glShadeModel(GL_SMOOTH);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(p * 0.175));
  auto vertex = [&](double x, double y, const double c[3], double alpha) {
    double wx = 0.0, wy = 0.0;
    g.frame_to_window(x, y, wx, wy);
    glColor4d(c[0], c[1], c[2], alpha);
    glVertex2d(wx, wy);
  };
  std::vector<vec3_t> points;
  for (const curve_t& curve : curves->curves) {
    points.clear();
    for (const curve_point& cp : curve.points) points.push_back(to_plane(cp));
    double c[3];
    object_shade(objects, curve.object, c);
    bool named = false;
    for (const curve_piece_t& piece : curve_pieces(points, curve.closed)) {
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
        g.frame_to_window((piece.x1 + piece.x2) / 2, (piece.y1 + piece.y2) / 2, wx, wy);
        glColor4d(c[0], c[1], c[2], 1.0);
        overlay_text(v, curve.name, wx - 1, wy - 1, 0.32, 0.6);
        // The font leaves its own blend function behind.
        blend_on();
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

void draw_caliper_line(double x1, double y1, double x2, double y2) {
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(1, 0x3333);
  glBegin(GL_LINES);
  glVertex2d(x1, y1);
  glVertex2d(x2, y2);
  glEnd();
  glDisable(GL_LINE_STIPPLE);
}

void draw_navigation_box(const overlay_target& v, bool invert) {
  if (!v.g || !resource_table->RES_DISPLAY_COG->read()) return;
  const review_geometry& g = *v.g;
  if (g.display_width <= g.client_width && g.display_height <= g.client_height) return;
  const double p = overlay_font_size(v);
  const navigation_box_t b = navigation_box(p, g.display_width, g.display_height, g.client_width,
                                            g.client_height, g.scroll_x, g.scroll_y, invert);
  if (p > 24) glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(p * 0.04));
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

plane_overlays::plane_overlays(int32_t view_index) : view_index_(view_index) {}

plane_overlays::~plane_overlays() = default;

void plane_overlays::set_target(const review_geometry& g, glfont* font, const int viewport[4],
                                const plane_view_state* tools) {
  target_.g = &g;
  target_.font = font;
  target_.viewport = viewport;
  tools_ = tools;
}

std::vector<base_res_t*> plane_overlays::watched_resources() {
  resource_table_t& t = *resource_table;
  std::vector<base_res_t*> out = {t.LANDMARK,     t.FIDUCIAL,      t.RES_TOOL,
                                  t.RES_SEE_MARK, t.RES_SEE_DRAW,  t.RES_SEE_SSM,
                                  t.OBJECT,       t.RES_CALIPERS,  t.RES_DISPLAY_COG,
                                  t.CURVE,        t.RES_GLUT_FONT, t.RES_USE_SCROLLBARS};
  for (base_res_t* s : t.RES_SURFACE) out.push_back(s);
  return out;
}

bool plane_overlays::note_changes(int32_t k) {
  resource_table_t& t = *resource_table;
  bool changed = false;
  for (int j = 0; j < kSections; ++j)
    if (t.RES_SURFACE[j]->changed_in_flush()) {
      sections_[j].reset();
      sections_dirty_ = changed = true;
    }
  if ((k >= 0 && k < 4 && t.redisplay_reslice(k)->changed_in_flush()) ||
      t.OBJECT->changed_in_flush() || t.RES_SEE_DRAW->changed_in_flush() ||
      t.RES_SEE_SSM->changed_in_flush())
    sections_dirty_ = changed = true;
  for (base_res_t* r : watched_resources())
    if (r->changed_in_flush()) changed = true;
  return changed;
}

const frame_contours_t* plane_overlays::section(int k) const {
  return k >= 0 && k < kSections ? sections_[k].get() : nullptr;
}

void plane_overlays::image_to_window(double x, double y, double& wx, double& wy) const {
  target_.g->frame_to_window(x, y, wx, wy);
}

// The objects visited: those in use while contours are shown, then the shape
// model while it is shown. Others keep their sections until visited dirty.
void plane_overlays::cut_sections(int32_t k) {
  resource_table_t& t = *resource_table;
  const reslice_info& plane = t.RESLICE->read()[k];
  const contour_object* objects = t.RES_OBJECT->read();
  const section_plane cut = reslice_section_plane(plane);
  auto cut_one = [&](int j) {
    sections_[j].reset();
    const surface_interp* surface = t.RES_SURFACE[j]->read();
    if (!surface || !objects || !(objects[j].opacity > 0.0)) return;
    std::unique_ptr<frame_contours_t> s = plane_cross_section(*surface, cut, 1, 0.1);
    ++cuts_;
    if (s && !s->contours.empty()) sections_[j] = std::move(s);
  };
  if (t.RES_SEE_DRAW->read()) {
    const int32_t n = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), kSections - 1);
    for (int j = 0; j < n; ++j) cut_one(j);
  }
  if (t.RES_SEE_SSM->read()) cut_one(kSections - 1);
}

void plane_overlays::draw_surface_sections(int32_t k) {
  resource_table_t& t = *resource_table;
  if (!target_.g || k < 0 || k > 3) return;
  const contour_object* objects = t.RES_OBJECT->read();
  if (sections_dirty_) cut_sections(k);
  sections_dirty_ = false;
  if (!objects) return;
  const reslice_info& plane = t.RESLICE->read()[k];
  const double xscale = t.RES_XSCALE->read();
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(font_size() * 0.0625));
  blend_on();
  auto draw_one = [&](int j) {
    const frame_contours_t* s = sections_[j].get();
    if (!s || s->contours.empty()) return;
    const rgba_colour_t& c = objects[j].colour;
    glColor3ub(c.Red(), c.Green(), c.Blue());
    double wx = 0.0, wy = 0.0;
    const surface_interp* surface = t.RES_SURFACE[j]->read();
    double cx = 0.0, cy = 0.0;
    if (surface && t.RES_DISPLAY_COG->read() &&
        centre_of_gravity_on_plane(plane, surface->centroid, xscale, cx, cy)) {
      image_to_window(cx, cy, wx, wy);
      glBegin(GL_LINES);
      glVertex2d(wx - 2, wy);
      glVertex2d(wx + 3, wy);
      glVertex2d(wx, wy - 2);
      glVertex2d(wx, wy + 3);
      glEnd();
    }
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x3333);
    for (const contour_t& contour : s->contours) {
      if (contour.vertices.size() < 2) continue;
      glBegin(contour.closed ? GL_LINE_LOOP : GL_LINE_STRIP);
      for (const vec2_t& v : contour.vertices) {
        image_to_window(v.x, v.y, wx, wy);
        glVertex2d(wx, wy);
      }
      glEnd();
      glFlush();
    }
    glDisable(GL_LINE_STIPPLE);
  };
  if (t.RES_SEE_DRAW->read()) {
    const int32_t n = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), kSections - 1);
    for (int j = 0; j < n; ++j) draw_one(j);
  }
  if (t.RES_SEE_SSM->read()) draw_one(kSections - 1);
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
  glDisable(GL_BLEND);
}

void plane_overlays::draw_landmarks(const reslice_info& plane) {
  const resource_table_t& t = *resource_table;
  const landmarks* list = t.RES_LANDMARKS->read();
  if (!list || !target_.g) return;
  const double xscale = t.RES_XSCALE->read();
  static const plane_view_state no_tools;
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(font_size() * 0.3));
  for (const plane_landmark_t& m : plane_landmarks(plane, xscale, tools_ ? *tools_ : no_tools)) {
    const double ring = xscale != 0.0 ? std::fabs(m.z / xscale) : 0.0;
    draw_landmark_mark(target_, (*list)[m.index], m.x, m.y, ring, false);
  }
  glDisable(GL_POINT_SMOOTH);
  glPointSize(1.0f);
  glFlush();
}

void plane_overlays::draw_landmark_curves(const reslice_info& plane) {
  const double xs = resource_table->RES_XSCALE->read();
  if (!target_.g || !(xs != 0.0)) return;
  draw_curves_near_plane(target_, [&](const curve_point& cp) {
    const vec3_t w{cp.x, cp.y, cp.z};
    vec3_t q;
    plane.world_to_reslice(&w, &q, 1);
    return vec3_t{q.x, q.y, q.z / xs};
  });
}

void plane_overlays::draw_calipers() {
  resource_table_t& t = *resource_table;
  if (!target_.g) return;
  const calipers_t c = t.RES_CALIPERS->read();
  wxString text;
  if (!plane_calipers_text(c, view_index_, t.RES_XSCALE->read(), text)) return;
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
    draw_caliper_line(x1, y1, x2, y2);
  }
  t.RES_ALERT_STRING->write_no_changeprocs(text);
  base_res_t::make_pending_writes_happen();
}

void plane_overlays::draw_navigation_box() {
  if (target_.g) ::draw_navigation_box(target_, false);
}

void plane_overlays::draw_scale_bar() { ::draw_scale_bar(target_); }

#include "visual/track_controls.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <wx/dcclient.h>
#include <wx/log.h>

#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"

bool track_canvas::paint_in_progress = false;

namespace {

constexpr float kClear[3] = {0.8784f, 0.8941f, 0.8784f};
constexpr float kGrey[3] = {0.43137f, 0.43137f, 0.43137f};

// Fixed state of every track control, with an orthographic box of half-size
// extent.
void set_up_gl(double extent) {
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_DITHER);
  glShadeModel(GL_SMOOTH);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  matrix4_t projection;
  matrix4_ortho(projection, -extent, extent, -extent, extent, -extent, extent);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(projection.m);
  glMatrixMode(GL_MODELVIEW);
}

void draw_grid_lines(double offset, bool vertical) {
  for (double at : grid_line_positions(offset)) {
    if (vertical) {
      glVertex2d(at, -4.0);
      glVertex2d(at, 4.0);
    } else {
      glVertex2d(-4.0, at);
      glVertex2d(4.0, at);
    }
  }
}

void begin_grid() {
  glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glColor3fv(kGrey);
  glBegin(GL_LINES);
}

bool is_arrow(int key) { return key >= WXK_LEFT && key <= WXK_DOWN; }

}  // namespace

wxBEGIN_EVENT_TABLE(track_canvas, wxGLCanvas)
  EVT_PAINT(track_canvas::OnPaint)
  EVT_ERASE_BACKGROUND(track_canvas::OnEraseBackground)
  EVT_MOUSE_EVENTS(track_canvas::OnMouse)
  EVT_MAGNIFY(track_canvas::OnMouse)
  EVT_KEY_DOWN(track_canvas::OnKeyDown)
wxEND_EVENT_TABLE()

track_canvas::track_canvas(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos,
                           const wxSize& size, long style, const wxString& name)
    : wxGLCanvas(parent, id, gl_attributes, pos, size, style | wxWANTS_CHARS, name),
      gl_context_(std::make_unique<wxGLContext>(this)),
      reslice_index_(reslice_index) {}

track_canvas::~track_canvas() = default;

reslice_info* track_canvas::plane() const {
  if (!resource_table || reslice_index_ < 0 || reslice_index_ >= resource_table_t::kReslicePlaneCount)
    return nullptr;
  reslice_info* planes = resource_table->RESLICE->read();
  return planes ? &planes[reslice_index_] : nullptr;
}

bool track_canvas::plane_usable() const {
  const reslice_info* p = plane();
  return p && p->defined && p->builder;
}

bool track_canvas::tab_key(wxKeyEvent& event) {
  if (event.GetKeyCode() != WXK_TAB) return false;
  Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward : wxNavigationKeyEvent::IsForward);
  return true;
}

void track_canvas::repaint_now() {
  Refresh();
  Update();
}

void track_canvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  if (paint_in_progress) {
    // Drawn again once the other control has finished.
    Refresh(false);
    return;
  }
  paint_in_progress = true;
  if (!dc.IsOk()) {
    wxLogDebug("DC not OK in %s", GetName());
  } else if (IsShownOnScreen() && gl_context_->IsOK() && SetCurrent(*gl_context_)) {
    if (first_paint_) {
      init_gl();
      first_paint_ = false;
    }
    draw();
    glFlush();
    SwapBuffers();
    ++paints_;
  }
  paint_in_progress = false;
}

void track_canvas::OnMouse(wxMouseEvent& event) {
  SetFocus();
  const wxEventType type = event.GetEventType();
  if (type == wxEVT_LEFT_DOWN)
    begin_drag(event);
  else if (type == wxEVT_ENTER_WINDOW && event.LeftIsDown())
    begin_drag(event);
  else if (type == wxEVT_MOTION && event.LeftIsDown())
    drag(event);
  else if (type == wxEVT_LEFT_UP)
    end_drag();
  else if (type == wxEVT_LEAVE_WINDOW && event.LeftIsDown())
    end_drag();
}

void track_canvas::begin_drag(wxMouseEvent& event) {
  // Reslices take the colour map's coarse steps until the drag ends.
  if (resource_table && colour_map) resource_table->RES_DYNAMIC_UPDATE->write(colour_map->estimate_reslice_step());
  last_mouse_x_ = event.GetX();
  last_mouse_y_ = event.GetY();
}

void track_canvas::end_drag() {
  // One full-quality rebuild follows.
  if (resource_table) resource_table->RES_DYNAMIC_UPDATE->write(false);
}

// ---- trackball

trackball::trackball(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                     long style, const wxString& name)
    : track_canvas(reslice_index, parent, id, pos, size, style, name) {}

trackball::~trackball() {
  if (quadric_) gluDeleteQuadric(quadric_);
}

void trackball::init_gl() { set_up_gl(11.0); }

void trackball::draw() {
  glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  matrix4_t m;
  matrix4_from_quaternion(m, -rotation_.w, rotation_.x, rotation_.y, rotation_.z);
  glLoadMatrixd(m.m);
  if (!quadric_) quadric_ = gluNewQuadric();
  if (!quadric_) return;
  glColor3fv(kClear);
  gluQuadricDrawStyle(quadric_, GLU_FILL);
  gluSphere(quadric_, 10.0, 16, 10);
  // Through the depth test only the near half of the wire sphere shows.
  glColor3fv(kGrey);
  gluQuadricDrawStyle(quadric_, GLU_LINE);
  gluSphere(quadric_, 10.2, 16, 10);
}

void trackball::apply(const track_rotation& q) {
  if (!plane_usable()) return;
  reslice_info& p = *plane();
  matrix4_t view;
  if (view_)
    view = view_->modelview();
  else
    matrix4_identity(view);
  vec3_t normal, up;
  trackball_turn_plane(q, view, p.normal, p.up, normal, up);
  const vec3_t centre = p.centre;
  p.set_plane(normal, centre, up, true);
}

void trackball::drag(wxMouseEvent& event) {
  const wxSize size = GetClientSize();
  double x1, y1, x2, y2;
  trackball_control_point(last_mouse_x_, last_mouse_y_, size.x, size.y, x1, y1);
  trackball_control_point(event.GetX(), event.GetY(), size.x, size.y, x2, y2);
  const track_rotation q = trackball_drag_rotation(x1, y1, x2, y2);
  rotation_ = compose_rotations(q, rotation_);
  repaint_now();
  last_mouse_x_ = event.GetX();
  last_mouse_y_ = event.GetY();
  apply(q);
}

void trackball::OnKeyDown(wxKeyEvent& event) {
  if (tab_key(event)) return;
  const int key = event.GetKeyCode();
  if (!is_arrow(key)) {
    event.Skip();
    return;
  }
  if (!plane_usable()) return;
  const double step = deg_to_rad(static_cast<double>(resource_table->RES_CURSOR_ROTATION->read()));
  if (step == 0.0) return;
  const track_rotation q = trackball_key_increment(key, event.ShiftDown(), step);
  rotation_ = compose_rotations(q, rotation_);
  apply(q);
  repaint_now();
}

// ---- trackgrid

trackgrid::trackgrid(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                     long style, const wxString& name)
    : track_canvas(reslice_index, parent, id, pos, size, style, name) {}

void trackgrid::init_gl() { set_up_gl(4.0); }

void trackgrid::draw() {
  begin_grid();
  draw_grid_lines(grid_offset_x_, true);
  draw_grid_lines(grid_offset_y_, false);
  glEnd();
}

void trackgrid::drag(wxMouseEvent& event) {
  const wxSize size = GetClientSize();
  if (size.x <= 0 || size.y <= 0) return;
  const double fx = static_cast<double>(event.GetX() - last_mouse_x_) / size.x;
  const double fy = static_cast<double>(last_mouse_y_ - event.GetY()) / size.y;
  grid_offset_x_ += 8.0 * fx;
  grid_offset_y_ += 8.0 * fy;
  repaint_now();
  last_mouse_x_ = event.GetX();
  last_mouse_y_ = event.GetY();
  if ((fx == 0.0 && fy == 0.0) || !plane_usable()) return;
  reslice_info& p = *plane();
  p.set_centre(trackgrid_drag_centre(p, fx, fy, resource_table->RES_XSCALE->read()), true);
}

void trackgrid::OnKeyDown(wxKeyEvent& event) {
  if (tab_key(event)) return;
  const int key = event.GetKeyCode();
  if (!is_arrow(key)) {
    event.Skip();
    return;
  }
  if (!plane_usable()) return;
  const resource_table_t& t = *resource_table;
  const double xscale = t.RES_XSCALE->read();
  double a = 0.0, b = 0.0;
  trackgrid_key_step(key, static_cast<double>(t.RES_CURSOR_MOVEMENT->read()), xscale, t.RES_YSCALE->read(), a, b);
  if (a == 0.0 && b == 0.0) return;
  reslice_info& p = *plane();
  p.set_centre(trackgrid_key_centre(p, a, b), true);
  grid_offset_x_ += grid_key_slide(a, p.width, xscale);
  grid_offset_y_ += grid_key_slide(b, p.height, xscale);
  repaint_now();
}

// ---- trackzgrid

trackzgrid::trackzgrid(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos,
                       const wxSize& size, long style, const wxString& name)
    : track_canvas(reslice_index, parent, id, pos, size, style, name) {}

void trackzgrid::init_gl() { set_up_gl(4.0); }

void trackzgrid::draw() {
  begin_grid();
  draw_grid_lines(grid_offset_, true);
  glEnd();
}

void trackzgrid::begin_drag(wxMouseEvent& event) {
  track_canvas::begin_drag(event);
  const reslice_info* p = plane();
  if (p && p->defined) step_vector_ = trackzgrid_step_vector(*p, resource_table->RES_XSCALE->read());
}

void trackzgrid::drag(wxMouseEvent& event) {
  const int w = GetClientSize().x;
  if (w <= 0) return;
  const double fx = static_cast<double>(event.GetX() - last_mouse_x_) / w;
  grid_offset_ += 8.0 * fx;
  repaint_now();
  last_mouse_x_ = event.GetX();
  if (fx == 0.0 || !plane_usable()) return;
  reslice_info& p = *plane();
  p.set_centre(p.centre + fx * step_vector_, true);
}

void trackzgrid::OnKeyDown(wxKeyEvent& event) {
  if (tab_key(event)) return;
  const int key = event.GetKeyCode();
  if (!is_arrow(key)) {
    event.Skip();
    return;
  }
  if (!plane_usable()) return;
  const resource_table_t& t = *resource_table;
  const double xscale = t.RES_XSCALE->read();
  double a = 0.0;
  trackzgrid_key_step(key, static_cast<double>(t.RES_CURSOR_MOVEMENT->read()), xscale, t.RES_YSCALE->read(),
                      t.RES_ZSCALE->read(), a);
  if (a == 0.0) return;
  reslice_info& p = *plane();
  p.set_centre(p.centre + a * p.normal, true);
  grid_offset_ += grid_key_slide(a, p.width + p.height, xscale);
  repaint_now();
}

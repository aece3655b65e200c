#include <GL/glew.h>

#include "views/corner_canvas.h"

#include <algorithm>
#include <cmath>

#include <wx/colour.h>
#include <wx/dcclient.h>
#include <wx/log.h>

#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/gl_view_support.h"
#include "views/glfont.h"
#include "views/plane_view_gl.h"
#include "views/reslice_internals.h"
#include "views/shader.h"
#include "views/view_dump.h"

// clang-format off
wxBEGIN_EVENT_TABLE(corner_canvas, wxGLCanvas)
  EVT_SIZE(corner_canvas::OnSize)
  EVT_PAINT(corner_canvas::OnPaint)
  EVT_ERASE_BACKGROUND(corner_canvas::OnEraseBackground)
  EVT_MOUSE_EVENTS(corner_canvas::OnMouse)
  EVT_MAGNIFY(corner_canvas::OnMouse)
  EVT_KEY_DOWN(corner_canvas::OnKey)
  EVT_SCROLLWIN(corner_canvas::OnScroll)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

constexpr int32_t kPlane = 1;

wxColour background_colour() {
  wxColour c(resource_table->RES_BACKGROUND->read());
  return c.IsOk() ? c : wxColour(128, 128, 128);
}

bool light_background() {
  const wxColour c = background_colour();
  return c.Red() > 220 && c.Green() > 220 && c.Blue() > 220;
}

reslice_info& plane1() { return resource_table->RESLICE->read()[kPlane]; }

reslice_internals* builder1() { return dynamic_cast<reslice_internals*>(plane1().builder); }

}  // namespace

corner_canvas::corner_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size, long style, const wxString& name)
    : wxGLCanvas(parent, id, gl_attributes, pos, size, style, name), tools_(state_, *this) {
  state_.view_index = 2;
  context_ = new wxGLContext(this);
  shaders_ = new shader();
  matrix4_identity(projection_);
  SetBackgroundColour(background_colour());

  resource_table_t& t = *resource_table;
  proc_ = new pmf_functor<corner_canvas>(this, &corner_canvas::changeproc);
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
  if (resource_table)
    for (auto it = watched_.rbegin(); it != watched_.rend(); ++it) (*it)->remove_proc(proc_);
  watched_.clear();
  delete static_cast<pmf_functor<corner_canvas>*>(proc_);
  if (context_ && !needs_gl_init_ && SetCurrent(*context_)) {
    if (texture_) glDeleteTextures(1, &texture_);
    delete font_;
    shaders_->delete_programs();
  }
  delete shaders_;
  delete context_;
}

void corner_canvas::watch(base_res_t* res) {
  if (!res) return;
  res->add_proc(proc_);
  watched_.push_back(res);
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
  if (overlays_.note_changes(kPlane)) repaint = true;
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
  if (changed(t.RES_BACKGROUND)) {
    SetBackgroundColour(background_colour());
    repaint = true;
  }
  const double z = t.RES_CORNER_ZOOM->read();
  if (changed(t.RES_CORNER_ZOOM) && z != g.zoom && z > 0.0 && std::isfinite(z)) {
    t.RES_ALERT_STRING->write_no_changeprocs(wxString::Format("Corner zoom factor %.2lf", z));
    base_res_t::make_pending_writes_happen();
    g.change_zoom(z, 1.0, state_.zoom_positioned);
    state_.zoom_positioned = false;
    g.clamp_scroll();
    refit = repaint = true;
  }
  if (changed(t.FINDING_LOCATION)) {
    bool centred = false;
    if (g.display_width > g.client_width) {
      g.scroll_x = (g.display_width - g.client_width) / 2;
      centred = true;
    }
    if (g.display_height > g.client_height) {
      g.scroll_y = (g.display_height - g.client_height) / 2;
      centred = true;
    }
    if (centred) refit = repaint = true;
  }
  if (refit) fit_to_window(g.client_width, g.client_height);
  if (repaint) {
    Refresh(true);
    Update();
  }
}

void corner_canvas::fit_to_window(int32_t cw, int32_t ch) {
  if (resize_guard_) return;
  resource_table_t& t = *resource_table;
  review_geometry& g = state_.g;
  int ww = 0, wh = 0;
  GetSize(&ww, &wh);
  const bool same = ww == fit_ww_ && wh == fit_wh_ && g.image_width == fit_iw_ &&
                    g.image_height == fit_ih_;
  fit_ww_ = ww;
  fit_wh_ = wh;
  fit_iw_ = g.image_width;
  fit_ih_ = g.image_height;
  if (!t.RES_LOCK_ZOOM->read() && !same) {
    const review_fit_t fit = review_fit(ww, wh, g.image_width, g.image_height, 1.0);
    if (fit.ok) {
      g.set_zoom(fit.zoom, 1.0);
      if (t.RES_CORNER_ZOOM->read() != g.zoom || t.RES_CORNER_ZOOM->pending() != g.zoom)
        t.RES_CORNER_ZOOM->write_no_changeprocs(g.zoom);
    }
    base_res_t::make_pending_writes_happen();
  }
  if (cw != g.client_width || ch != g.client_height) {
    g.client_width = std::max(1, cw);
    g.client_height = std::max(1, ch);
    viewport_changed_ = true;
  }
  g.update_visible();
  bool hbar = false, vbar = false;
  review_needed_bars(g.display_width, g.display_height, ww, wh, g.client_width, g.client_height,
                     hbar, vbar);
  if (t.RES_USE_SCROLLBARS->read() && HasScrollbar(wxHORIZONTAL) && HasScrollbar(wxVERTICAL)) {
    if (hbar)
      SetScrollbar(wxHORIZONTAL, review_scroll_to_bar(g.scroll_x, g.zoom),
                   review_scroll_to_bar(g.client_width, g.zoom),
                   review_scroll_to_bar(g.display_width, g.zoom), true);
    else {
      SetScrollbar(wxHORIZONTAL, 0, 0, 0, true);
      g.scroll_x = 0;
    }
    if (vbar)
      SetScrollbar(wxVERTICAL, review_scroll_to_bar(g.scroll_y, g.zoom),
                   review_scroll_to_bar(g.client_height, g.zoom),
                   review_scroll_to_bar(g.display_height, g.zoom), true);
    else {
      SetScrollbar(wxVERTICAL, 0, 0, 0, true);
      g.scroll_y = 0;
    }
  } else {
    if (!hbar) g.scroll_x = 0;
    if (!vbar) g.scroll_y = 0;
    for (int o : {wxHORIZONTAL, wxVERTICAL})
      if (HasScrollbar(o) && GetScrollRange(o) > 1) SetScrollbar(o, 0, 0, 0, true);
    hbar = vbar = false;
  }
  g.update_scroll_image();
  if (hbar != fit_hbar_ || vbar != fit_vbar_) {
    // A one-pixel nudge makes the toolkit lay the client area out again.
    resize_guard_ = true;
    SetSize(ww + 1, wh);
    Refresh(true);
    SetSize(ww, wh);
    resize_guard_ = false;
    fit_hbar_ = hbar;
    fit_vbar_ = vbar;
  }
}

void corner_canvas::OnSize(wxSizeEvent& event) {
  event.Skip();
  int cw = 0, ch = 0;
  GetClientSize(&cw, &ch);
  fit_to_window(cw, ch);
  Refresh(true);
}

bool corner_canvas::scroll_bar(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb) {
  const int o = horizontal ? wxHORIZONTAL : wxVERTICAL;
  if (!HasScrollbar(o)) return false;
  pos = GetScrollPos(o);
  range = GetScrollRange(o);
  thumb = GetScrollThumb(o);
  return true;
}

void corner_canvas::scroll_thumb_track(bool horizontal, int32_t position) {
  scroll_to(horizontal ? wxHORIZONTAL : wxVERTICAL, position);
}

void corner_canvas::OnScroll(wxScrollWinEvent& event) {
  const int o = event.GetOrientation();
  const wxEventType type = event.GetEventType();
  review_scroll_kind kind = SCROLL_THUMB_RELEASE;
  if (type == wxEVT_SCROLLWIN_TOP)
    kind = SCROLL_TOP;
  else if (type == wxEVT_SCROLLWIN_BOTTOM)
    kind = SCROLL_BOTTOM;
  else if (type == wxEVT_SCROLLWIN_LINEUP)
    kind = SCROLL_LINE_UP;
  else if (type == wxEVT_SCROLLWIN_LINEDOWN)
    kind = SCROLL_LINE_DOWN;
  else if (type == wxEVT_SCROLLWIN_PAGEUP)
    kind = SCROLL_PAGE_UP;
  else if (type == wxEVT_SCROLLWIN_PAGEDOWN)
    kind = SCROLL_PAGE_DOWN;
  else if (type == wxEVT_SCROLLWIN_THUMBTRACK)
    kind = SCROLL_THUMB_TRACK;
  scroll_to(o, review_scroll_position(kind, GetScrollPos(o), GetScrollRange(o),
                                      GetScrollThumb(o), event.GetPosition()));
}

void corner_canvas::scroll_to(int orientation, int32_t position) {
  review_geometry& g = state_.g;
  if (orientation == wxHORIZONTAL)
    g.scroll_x = review_bar_to_scroll(position, g.zoom);
  else
    g.scroll_y = review_bar_to_scroll(position, g.zoom);
  fit_to_window(g.client_width, g.client_height);
  Refresh(true);
  Update();
}

void corner_canvas::OnMouse(wxMouseEvent& event) { tools_.on_mouse(plane_view_mouse_event(event)); }

void corner_canvas::OnKey(wxKeyEvent& event) {
  if (!corner_key(event.GetKeyCode())) event.Skip();
}

bool corner_canvas::dump_window(const wxString& file_name, wxBitmapType type, wxString* why) {
  return dump_view_window(*this, *context_, state_.g, "corner_canvas", [this] { render_scene(); },
                          file_name, type, why);
}

void corner_canvas::image_to_window(double x, double y, double& wx, double& wy) const {
  const review_geometry& g = state_.g;
  wx = (x - g.scroll_x_image) * g.zoom;
  wy = g.client_height - 1 - (y - g.scroll_y_image) * g.zoom;
}

void corner_canvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  if (gl_view_painting) {
    // Another view is painting: ask for a paint of this one afterwards.
    Refresh(false);
    return;
  }
  gl_painting_scope painting;
  if (!dc.IsOk()) {
    wxLogDebug("DC not OK in corner_canvas");
    return;
  }
  if (!SetCurrent(*context_)) return;
  ++paints_;
  render_scene();
  glFlush();
  SwapBuffers();
}

void corner_canvas::render_scene() {
  glDrawBuffer(GL_BACK);
  const review_geometry& g = state_.g;
  if (needs_gl_init_) {
    plane_view_init_gl(shaders_, background_colour(), texture_);
    font_ = new glfont(resource_table->RES_GLUT_FONT->read(), shaders_);
    needs_gl_init_ = false;
  }
  if (viewport_changed_) {
    glViewport(0, 0, g.client_width, g.client_height);
    viewport_[2] = g.client_width;
    viewport_[3] = g.client_height;
    matrix4_ortho(projection_, 0.0, g.client_width, 0.0, g.client_height, -1.0, 1.0);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection_.m);
    viewport_changed_ = false;
  }
  if (font_changed_) {
    delete font_;
    font_ = new glfont(resource_table->RES_GLUT_FONT->read(), shaders_);
    font_changed_ = false;
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const wxColour bg = background_colour();
  glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  reslice_internals* b = builder1();
  if (!state_.image_shown || !b || !plane1().defined) return;
  const uint8_t* image = b->get_image();
  if (!image) return;
  state_.g.update_scroll_image();
  if (plane_view_make_image(image, g, rgba_, texture_)) plane_view_put_image(g, rgba_, texture_);
  draw_outline_and_frame_line();
  const resource_table_t& t = *resource_table;
  const int32_t tool = t.RES_TOOL->read();
  overlays_.set_target(g, font_, viewport_, &state_);
  if (t.RES_SEE_DRAW->read() || t.RES_SEE_SSM->read()) overlays_.draw_surface_sections(kPlane);
  if (t.RES_SEE_MARK->read()) {
    overlays_.draw_landmarks(plane1());
    overlays_.draw_landmark_curves(plane1());
  }
  if (tool == 4) overlays_.draw_calipers();
  if (!t.RES_USE_SCROLLBARS->read()) overlays_.draw_navigation_box();
  if (t.RES_SEE_MARK->read() || tool == 4 || tool == 2) overlays_.draw_scale_bar();
  glFlush();
}

void corner_canvas::draw_outline_and_frame_line() {
  const resource_table_t& t = *resource_table;
  if (t.RES_SEE_OUTLINES->read() == 0) return;
  const review_geometry& g = state_.g;
  double wx = 0.0, wy = 0.0;
  if (light_background())
    glColor3d(0.35, 0.35, 0.35);
  else
    glColor3d(1.0, 1.0, 1.0);
  glBegin(GL_LINE_STRIP);
  const double corners[3][2] = {{static_cast<double>(g.image_width), 0.0},
                                {static_cast<double>(g.image_width), static_cast<double>(g.image_height)},
                                {0.0, static_cast<double>(g.image_height)}};
  for (const auto& c : corners) {
    image_to_window(c[0], c[1], wx, wy);
    glVertex2d(wx, wy);
  }
  glEnd();
  reslice_internals* b = builder1();
  vec2_t p0, p1;
  if (b && b->frame_line(t.RES_BUF_CURRENT_FRAME->read(), p0, p1)) {
    glColor3d(1.0, 0.0, 0.0);
    glBegin(GL_LINES);
    image_to_window(p0.x, p0.y, wx, wy);
    glVertex2d(wx, wy);
    image_to_window(p1.x, p1.y, wx, wy);
    glVertex2d(wx, wy);
    glEnd();
  }
}

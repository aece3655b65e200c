// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/gl_view_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <wx/colour.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/log.h>

#include "data/file_menu_image_wx.h"
#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/gl_view_context.h"
#include "views/gl_view_support.h"
#include "views/glfont.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/shader.h"
#include "views/view_dump.h"

// clang-format off
wxBEGIN_EVENT_TABLE(gl_view_canvas, wxGLCanvas)
  EVT_SIZE(gl_view_canvas::OnSize)
  EVT_PAINT(gl_view_canvas::OnPaint)
  EVT_ERASE_BACKGROUND(gl_view_canvas::OnEraseBackground)
  EVT_SCROLLWIN(gl_view_canvas::OnScroll)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

// The size of text and marks until the view has its font.
constexpr double kDefaultFontSize = 28.0;

}  // namespace

gl_view_canvas::gl_view_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                               long style, const wxString& name, const char* view_name,
                               double_res_t* zoom_resource)
    : wxGLCanvas(parent, id, gl_attributes, pos, size, style, name),
      view_name_(view_name),
      zoom_resource_(zoom_resource),
      gl_(std::make_unique<gl_view_context>(*this)) {
  matrix4_identity(projection_);
  SetBackgroundColour(background_colour());
}

gl_view_canvas::~gl_view_canvas() {
  unwatch_all();
  if (free_proc_) free_proc_();
}

glfont* gl_view_canvas::font() const { return gl_->font(); }

void gl_view_canvas::watch(base_res_t* res) {
  if (!res || !proc_) return;
  res->add_proc(proc_);
  watched_.push_back(res);
}

void gl_view_canvas::unwatch_all() {
  if (resource_table)
    for (auto it = watched_.rbegin(); it != watched_.rend(); ++it) (*it)->remove_proc(proc_);
  watched_.clear();
}

wxColour gl_view_canvas::background_colour() {
  wxColour c(resource_table->RES_BACKGROUND->read());
  return c.IsOk() ? c : wxColour(128, 128, 128);
}

bool gl_view_canvas::light_background() {
  const wxColour c = background_colour();
  return c.Red() > 220 && c.Green() > 220 && c.Blue() > 220;
}

// ---- fit, size and scrolling -----------------------------------------------

void gl_view_canvas::fit_to_window(int32_t cw, int32_t ch) {
  if (resize_guard_) return;
  resource_table_t& t = *resource_table;
  review_geometry& g = geometry();
  int ww = 0, wh = 0;
  GetSize(&ww, &wh);
  const bool same = ww == fit_ww_ && wh == fit_wh_ && g.image_width == fit_iw_ && g.image_height == fit_ih_;
  fit_ww_ = ww;
  fit_wh_ = wh;
  fit_iw_ = g.image_width;
  fit_ih_ = g.image_height;
  if (!t.RES_LOCK_ZOOM->read() && !same) {
    const double aspect = view_aspect();
    const review_fit_t fit = review_fit(ww, wh, g.image_width, g.image_height, aspect);
    if (fit.ok) {
      adopt_fit(fit, aspect);
      if (zoom_resource_->read() != g.zoom || zoom_resource_->pending() != g.zoom)
        zoom_resource_->write_no_changeprocs(g.zoom);
    }
    base_res_t::make_pending_writes_happen();
  }
  if (cw != g.client_width || ch != g.client_height) {
    g.client_width = std::max(1, cw);
    g.client_height = std::max(1, ch);
    viewport_changed_ = true;
  }
  placement_changed();
  g.update_visible();

  bool hbar = false, vbar = false;
  review_needed_bars(g.display_width, g.display_height, ww, wh, g.client_width, g.client_height, hbar, vbar);
  // CanScroll: the window was made with both bars (HasScrollbar would ask
  // whether the virtual size exceeds the client size, never so here).
  if (t.RES_USE_SCROLLBARS->read() && CanScroll(wxHORIZONTAL) && CanScroll(wxVERTICAL)) {
    if (hbar) {
      SetScrollbar(wxHORIZONTAL, review_scroll_to_bar(g.scroll_x, g.zoom),
                   review_scroll_to_bar(g.client_width, g.zoom), review_scroll_to_bar(g.display_width, g.zoom),
                   true);
    } else {
      SetScrollbar(wxHORIZONTAL, 0, 0, 0, true);
      g.scroll_x = 0;
    }
    if (vbar) {
      // An inverted image's bar runs the way the image does.
      const int32_t pos = g.invert ? g.display_height - g.client_height - g.scroll_y : g.scroll_y;
      SetScrollbar(wxVERTICAL, review_scroll_to_bar(pos, g.zoom_y), review_scroll_to_bar(g.client_height, g.zoom_y),
                   review_scroll_to_bar(g.display_height, g.zoom_y), true);
    } else {
      SetScrollbar(wxVERTICAL, 0, 0, 0, true);
      g.scroll_y = 0;
    }
  } else {
    if (!hbar) g.scroll_x = 0;
    if (!vbar) g.scroll_y = 0;
    for (int o : {wxHORIZONTAL, wxVERTICAL})
      if (CanScroll(o) && GetScrollRange(o) > 1) SetScrollbar(o, 0, 0, 0, true);
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

bool gl_view_canvas::follow_zoom_resource(const char* format, bool& positioned) {
  review_geometry& g = geometry();
  const double z = zoom_resource_->read();
  if (!zoom_resource_->changed_in_flush() || z == g.zoom || !(z > 0.0) || !std::isfinite(z)) return false;
  resource_table->RES_ALERT_STRING->write_no_changeprocs(wxString::Format(format, z));
  base_res_t::make_pending_writes_happen();
  g.change_zoom(z, view_aspect(), positioned);
  positioned = false;
  return true;
}

bool gl_view_canvas::centre_display() {
  review_geometry& g = geometry();
  bool moved = false;
  if (g.display_width > g.client_width) {
    g.scroll_x = (g.display_width - g.client_width) / 2;
    moved = true;
  }
  if (g.display_height > g.client_height) {
    g.scroll_y = (g.display_height - g.client_height) / 2;
    moved = true;
  }
  return moved;
}

bool gl_view_canvas::follow_background() {
  if (!resource_table->RES_BACKGROUND->changed_in_flush()) return false;
  SetBackgroundColour(background_colour());
  return true;
}

void gl_view_canvas::apply_changes(bool redraw, bool refit) {
  const review_geometry& g = geometry();
  if (refit) fit_to_window(g.client_width, g.client_height);
  if (redraw) {
    Refresh(true);
    Update();
  }
}

void gl_view_canvas::finish_plane_changes(const char* zoom_format, bool& positioned, bool redraw, bool refit) {
  if (follow_background()) redraw = true;
  if (follow_zoom_resource(zoom_format, positioned)) redraw = refit = true;
  if (resource_table->FINDING_LOCATION->changed_in_flush() && centre_display()) redraw = refit = true;
  apply_changes(redraw, refit);
}

void gl_view_canvas::OnSize(wxSizeEvent& event) {
  event.Skip();
  int cw = 0, ch = 0;
  GetClientSize(&cw, &ch);
  fit_to_window(cw, ch);
  Refresh(true);
}

bool gl_view_canvas::scroll_bar_state(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb) {
  const int o = horizontal ? wxHORIZONTAL : wxVERTICAL;
  if (!CanScroll(o)) return false;
  pos = GetScrollPos(o);
  range = GetScrollRange(o);
  thumb = GetScrollThumb(o);
  return true;
}

void gl_view_canvas::OnScroll(wxScrollWinEvent& event) {
  static const struct {
    wxEventType type;
    review_scroll_kind kind;
  } kinds[] = {{wxEVT_SCROLLWIN_TOP, SCROLL_TOP},           {wxEVT_SCROLLWIN_BOTTOM, SCROLL_BOTTOM},
               {wxEVT_SCROLLWIN_LINEUP, SCROLL_LINE_UP},     {wxEVT_SCROLLWIN_LINEDOWN, SCROLL_LINE_DOWN},
               {wxEVT_SCROLLWIN_PAGEUP, SCROLL_PAGE_UP},     {wxEVT_SCROLLWIN_PAGEDOWN, SCROLL_PAGE_DOWN},
               {wxEVT_SCROLLWIN_THUMBTRACK, SCROLL_THUMB_TRACK}};
  review_scroll_kind kind = SCROLL_THUMB_RELEASE;
  for (const auto& k : kinds)
    if (event.GetEventType() == k.type) kind = k.kind;
  const int o = event.GetOrientation();
  scroll_to(o, review_scroll_position(kind, GetScrollPos(o), GetScrollRange(o), GetScrollThumb(o),
                                      event.GetPosition()));
}

void gl_view_canvas::scroll_to(int orientation, int32_t position) {
  review_geometry& g = geometry();
  if (orientation == wxHORIZONTAL) {
    g.scroll_x = review_bar_to_scroll(position, g.zoom);
  } else {
    g.scroll_y = review_bar_to_scroll(position, g.zoom_y);
    if (g.invert) g.scroll_y = g.display_height - g.client_height - g.scroll_y;
  }
  fit_to_window(g.client_width, g.client_height);
  Refresh(true);
  Update();
}

// ---- OpenGL ----------------------------------------------------------------

void gl_view_canvas::init_gl() {
  glewExperimental = GL_TRUE;
  glewInit();
  for (GLenum cap : {GL_ALPHA_TEST, GL_BLEND, GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LIGHTING, GL_COLOR_LOGIC_OP,
                     GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D})
    glDisable(cap);
  gl_reset_pixel_state();
  const wxColour bg = background_colour();
  glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gl_->mark_set_up();
  image_.init(*gl_);
  // The programs serve the text; without them it is drawn fixed-function.
  if (image_.gl3_path()) gl_->shaders().install_programs(shader::kViewMask);
  gl_->load_font(resource_table->RES_GLUT_FONT->read());
}

void gl_view_canvas::set_viewport_projection() {
  const review_geometry& g = geometry();
  glViewport(0, 0, g.client_width, g.client_height);
  viewport_[0] = viewport_[1] = 0;
  viewport_[2] = g.client_width;
  viewport_[3] = g.client_height;
  matrix4_ortho(projection_, 0.0, g.client_width, 0.0, g.client_height, -1.0, 1.0);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(projection_.m);
  glMatrixMode(GL_MODELVIEW);
}

void gl_view_canvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  if (gl_view_painting) {
    // Another view is painting and the event loop was re-entered: the damage
    // was validated above, so ask for a new paint rather than an update.
    ++deferred_paints_;
    Refresh(false);
    return;
  }
  gl_painting_scope painting;
  if (!dc.IsOk()) {
    wxLogDebug("DC not OK in %s", view_name_);
    return;
  }
  if (!gl_->make_current()) return;
  ++paints_;
  render_scene();
  glFlush();
  SwapBuffers();
}

void gl_view_canvas::render_scene() {
  glDrawBuffer(GL_BACK);
  if (!gl_->set_up()) init_gl();
  if (viewport_changed_) {
    set_viewport_projection();
    viewport_changed_ = false;
  }
  if (font_changed_) {
    gl_->load_font(resource_table->RES_GLUT_FONT->read());
    font_changed_ = false;
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const wxColour bg = background_colour();
  glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  draw_scene();
}

bool gl_view_canvas::save_view(const wxString& file_name, wxBitmapType type, wxString* why) {
  return dump_view_window(*this, gl_->context(), geometry(), view_name_, [this] { render_scene(); }, file_name,
                          type, why);
}

// ---- the plane views' image outline -----------------------------------------

void gl_view_canvas::image_to_window(double x, double y, double& wx, double& wy) const {
  const review_geometry& g = geometry();
  wx = (x - g.scroll_x_image) * g.zoom;
  wy = g.client_height - 1 - (y - g.scroll_y_image) * g.zoom;
}

void gl_view_canvas::draw_image_border(double bottom) {
  const review_geometry& g = geometry();
  if (light_background())
    glColor3d(0.35, 0.35, 0.35);
  else
    glColor3d(1.0, 1.0, 1.0);
  const double corners[3][2] = {{static_cast<double>(g.image_width), 0.0},
                                {static_cast<double>(g.image_width), bottom},
                                {0.0, bottom}};
  glBegin(GL_LINE_STRIP);
  for (const auto& c : corners) {
    double wx = 0.0, wy = 0.0;
    image_to_window(c[0], c[1], wx, wy);
    glVertex2d(wx, wy);
  }
  glEnd();
}

void gl_view_canvas::draw_frame_line(int32_t plane) {
  const reslice_info* planes = resource_table->RESLICE->read();
  const auto* builder = planes ? dynamic_cast<const reslice_internals*>(planes[plane].builder) : nullptr;
  vec2_t p0, p1;
  if (!builder || !builder->frame_line(resource_table->RES_BUF_CURRENT_FRAME->read(), p0, p1)) return;
  double wx = 0.0, wy = 0.0;
  glColor3d(1.0, 0.0, 0.0);
  glBegin(GL_LINES);
  image_to_window(p0.x, p0.y, wx, wy);
  glVertex2d(wx, wy);
  image_to_window(p1.x, p1.y, wx, wy);
  glVertex2d(wx, wy);
  glEnd();
}

// ---- text ------------------------------------------------------------------

double gl_view_canvas::font_size() const {
  const glfont* f = font();
  return f && f->height() > 0 ? f->height() : kDefaultFontSize;
}

void gl_view_canvas::draw_text(const wxString& text, double wx, double wy, double ox, double oy) {
  glfont* f = font();
  if (!f || text.empty()) return;
  const review_geometry& g = geometry();
  double position[3] = {2.0 * wx / g.client_width - 1.0, 2.0 * wy / g.client_height - 1.0, 0.0};
  const double offset[2] = {ox, oy};
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  f->draw_text(text, viewport_, position, offset, colour, false);
}

review_mouse_event gl_view_canvas::mouse_event(const wxMouseEvent& event) {
  review_mouse_event e;
  e.x = event.GetX();
  e.y = event.GetY();
  e.button = event.GetButton() == wxMOUSE_BTN_NONE ? 0 : event.GetButton();
  e.button_held = event.ButtonIsDown(wxMOUSE_BTN_ANY);
  if (event.ButtonDown())
    e.kind = review_mouse_event::PRESS;
  else if (event.ButtonDClick())
    e.kind = review_mouse_event::DOUBLE_CLICK;
  else if (event.ButtonUp())
    e.kind = review_mouse_event::RELEASE;
  else if (event.Entering())
    e.kind = review_mouse_event::ENTER;
  else if (event.Leaving())
    e.kind = review_mouse_event::LEAVE;
  else if (event.GetWheelRotation() != 0)
    e.kind = review_mouse_event::WHEEL;
  else if (event.Dragging() || event.Moving())
    e.kind = review_mouse_event::MOTION;
  e.wheel_rotation = event.GetWheelRotation();
  e.wheel_delta = event.GetWheelDelta();
  return e;
}

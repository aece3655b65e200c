// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/centre_canvas.h"

#include <algorithm>

#include <wx/colour.h>
#include <wx/dcclient.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/log.h>

#include "data/file_menu_image_wx.h"
#include "data/data_line_procs.h"
#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/gl_view_support.h"
#include "views/glfont.h"
#include "views/globcmap.h"
#include "views/glfont.h"
#include "views/shader.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"
#include "views/shader.h"
#include "views/view_dump.h"

// clang-format off
wxBEGIN_EVENT_TABLE(centre_canvas, wxGLCanvas)
  EVT_SIZE(centre_canvas::OnSize)
  EVT_PAINT(centre_canvas::OnPaint)
  EVT_ERASE_BACKGROUND(centre_canvas::OnEraseBackground)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

wxColour background_colour() {
  wxColour c(resource_table->RES_BACKGROUND->read());
  return c.IsOk() ? c : wxColour(128, 128, 128);
}

}  // namespace

centre_canvas::centre_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                             long style, const wxString& name)
    : wxGLCanvas(parent, id, gl_attributes, pos, size, style, name) {
  context_ = new wxGLContext(this);
  SetBackgroundColour(background_colour());
  resource_table_t& t = *resource_table;
  proc_ = new pmf_functor<centre_canvas>(this, &centre_canvas::changeproc);
  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.RES_REDISPLAY_RESLICE0, t.redisplay_reslice(1), t.redisplay_reslice(2), t.redisplay_reslice(3),
           t.RES_REDISPLAY_PANORAMA, t.RES_PANORAMA, t.RES_CURRENT_VISUAL_PAGE, t.RES_CENTRE_ZOOM,
           t.RES_LOCK_ZOOM, t.RES_CMAP_CHANGED, t.RES_BACKGROUND, t.RES_MASKED_DATA, t.RES_CMAP_LABELS,
           t.RES_REDISPLAY_THICKNESS, t.RES_DICOM_UNITS})
    watch(r);
  for (base_res_t* r : plane_overlays::watched_resources()) watch(r);
  const double z = t.RES_CENTRE_ZOOM->read();
  g_.set_zoom(z > 0.0 ? z : 1.0, 1.0);
}

centre_canvas::~centre_canvas() {
  // No commit may reach a view that is gone.
  if (resource_table)
    for (auto it = watched_.rbegin(); it != watched_.rend(); ++it) (*it)->remove_proc(proc_);
  delete static_cast<pmf_functor<centre_canvas>*>(proc_);
  if (font_ && SetCurrent(*context_)) delete font_;
  delete shaders_;
  delete context_;
}

void centre_canvas::watch(base_res_t* res) {
  if (!res) return;
  res->add_proc(proc_);
  watched_.push_back(res);
}

void centre_canvas::changeproc() {
  resource_table_t& t = *resource_table;
  source_ = find_centre_source();
  if (!source_.panorama) overlays_.note_changes(source_.plane);
  int32_t w = 1, h = 1;
  if (source_.panorama) {
    static_cast<panorama_internals*>(t.RES_PANORAMA->read())->get_size(w, h);
  } else if (source_.plane_image) {
    const reslice_info& p = t.RESLICE->read()[source_.plane];
    w = p.width;
    h = p.height;
  }
  image_shown_ = (source_.panorama || source_.plane_image) && w > 0 && h > 0;
  if (!image_shown_) w = h = 1;
  if (w != g_.image_width || h != g_.image_height) {
    g_.image_width = w;
    g_.image_height = h;
  }
  if (t.RES_CENTRE_ZOOM->changed_in_flush() && t.RES_CENTRE_ZOOM->read() > 0.0)
    g_.change_zoom(t.RES_CENTRE_ZOOM->read(), 1.0, false);
  if (t.RES_BACKGROUND->changed_in_flush()) SetBackgroundColour(background_colour());
  // Within a commit the fit only places the image; the size events publish
  // the zoom, so that the procedure never feeds itself.
  fit_image(g_.client_width, g_.client_height);
  Refresh(false);
}

bool centre_canvas::fit_image(int32_t cw, int32_t ch) {
  g_.client_width = std::max(cw, 1);
  g_.client_height = std::max(ch, 1);
  bool fitted = false;
  if (!resource_table->RES_LOCK_ZOOM->read()) {
    const review_fit_t fit = review_fit(g_.client_width, g_.client_height, g_.image_width, g_.image_height, 1.0);
    if (fit.ok) {
      g_.set_zoom(fit.zoom, 1.0);
      fitted = true;
    }
  } else {
    g_.set_zoom(g_.zoom, 1.0);
  }
  g_.clamp_scroll();
  g_.update_visible();
  return fitted;
}

void centre_canvas::fit_to_window(int32_t cw, int32_t ch) {
  resource_table_t& t = *resource_table;
  if (fit_image(cw, ch) && t.RES_CENTRE_ZOOM->read() != g_.zoom) {
    t.RES_CENTRE_ZOOM->write_no_changeprocs(g_.zoom);
    base_res_t::make_pending_writes_happen();
  }
}

void centre_canvas::OnSize(wxSizeEvent& event) {
  event.Skip();
  const wxSize s = GetClientSize();
  fit_to_window(s.x, s.y);
  Refresh(true);
}

void centre_canvas::init_gl() {
  glewExperimental = GL_TRUE;
  glewInit();
  for (GLenum cap : {GL_ALPHA_TEST, GL_BLEND, GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LIGHTING, GL_COLOR_LOGIC_OP,
                     GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D})
    glDisable(cap);
  glPixelZoom(1.0f, 1.0f);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

const uint8_t* centre_canvas::source_pixels() {
  resource_table_t& t = *resource_table;
  if (source_.panorama) return static_cast<panorama_internals*>(t.RES_PANORAMA->read())->get_image();
  if (!source_.plane_image) return nullptr;
  auto* builder = static_cast<reslice_internals*>(t.RESLICE->read()[source_.plane].builder);
  return builder ? builder->get_image() : nullptr;
}

void centre_canvas::render_scene() {
  glDrawBuffer(GL_BACK);
  if (needs_gl_init_) {
    init_gl();
    needs_gl_init_ = false;
    shaders_ = new shader();
    font_number_ = resource_table->RES_GLUT_FONT->read();
    font_ = new glfont(font_number_, shaders_);
  }
  glViewport(0, 0, g_.client_width, g_.client_height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, g_.client_width, 0.0, g_.client_height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const wxColour bg = background_colour();
  glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (!image_shown_ && resource_table->RES_CURRENT_VISUAL_PAGE->read() == 4) draw_thickness_key();
  if (!image_shown_ || !colour_map) return;
  const uint8_t* pixels = source_pixels();
  if (!pixels || g_.visible_width < 1 || g_.visible_height < 1 || g_.image_width < 2 || g_.image_height < 2)
    return;
  g_.update_scroll_image();
  rgba_.assign(static_cast<size_t>(g_.visible_width) * g_.visible_height * 4, 0);
  // Rows bottom-up for OpenGL; 0 is no data.
  colour_map->map_frame(pixels, g_.image_width, g_.image_height, rgba_.data(), g_.visible_width,
                        g_.visible_height, static_cast<float>(g_.scroll_x_image),
                        static_cast<float>(g_.scroll_y_image), static_cast<float>(g_.zoom),
                        static_cast<float>(-g_.zoom), true, 1.0);
  const double y = g_.display_height > g_.client_height ? 0.1 : g_.client_height + 0.1 - g_.display_height;
  glRasterPos2d(0.1, y);
  glDrawPixels(g_.visible_width, g_.visible_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba_.data());
  draw_overlays();
}

void centre_canvas::draw_overlays() {
  const resource_table_t& t = *resource_table;
  if (!font_ || font_number_ != t.RES_GLUT_FONT->read()) {
    delete font_;
    if (!shaders_) shaders_ = new shader();
    font_number_ = t.RES_GLUT_FONT->read();
    font_ = new glfont(font_number_, shaders_);
  }
  viewport_[2] = g_.client_width;
  viewport_[3] = g_.client_height;
  overlays_.set_target(g_, font_, viewport_, nullptr);
  const int32_t tool = t.RES_TOOL->read();
  if (!source_.panorama && source_.plane_image) {
    const reslice_info& plane = t.RESLICE->read()[source_.plane];
    if (t.RES_SEE_DRAW->read() || t.RES_SEE_SSM->read()) overlays_.draw_surface_sections(source_.plane);
    if (t.RES_SEE_MARK->read()) {
      overlays_.draw_landmarks(plane);
      overlays_.draw_landmark_curves(plane);
    }
    if (tool == 4) overlays_.draw_calipers();  // measure
  }
  if (!t.RES_USE_SCROLLBARS->read()) overlays_.draw_navigation_box();
  if (t.RES_SEE_MARK->read() || tool == 2 || tool == 4) overlays_.draw_scale_bar();  // mark, measure
  glFlush();
}

void centre_canvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  if (gl_view_painting) {
    // The damage was validated above: ask for a new paint, not an update.
    Refresh(false);
    return;
  }
  gl_painting_scope painting;
  if (!dc.IsOk()) {
    wxLogDebug("DC not OK in centre_canvas");
    return;
  }
  if (!SetCurrent(*context_)) return;
  ++paints_;
  render_scene();
  glFlush();
  SwapBuffers();
}

bool centre_canvas::dump_window(const wxString& file_name, wxBitmapType type, wxString* why) {
  if (!image_shown_) {
    if (why) *why = "The view shows no image.";
    return false;
  }
  return dump_view_window(*this, *context_, g_, "centre_canvas", [this] { render_scene(); },
                          file_name, type, why);
}

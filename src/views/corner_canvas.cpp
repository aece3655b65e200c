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
#include "views/glfont.h"
#include "views/reslice_internals.h"
#include "views/shader.h"
#include "views/view_tool_numbers.h"

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
  finish_plane_changes("Corner zoom factor %.2lf", state_.zoom_positioned, repaint, refit);
}

void corner_canvas::OnMouse(wxMouseEvent& event) { tools_.on_mouse(mouse_event(event)); }

void corner_canvas::OnKey(wxKeyEvent& event) {
  if (!corner_key(event.GetKeyCode())) event.Skip();
}

bool corner_canvas::dump_window(const wxString& file_name, wxBitmapType type, wxString* why) {
  return save_view(file_name, type, why);
}

void corner_canvas::draw_scene() {
  reslice_internals* b = builder1();
  if (!state_.image_shown || !b || !plane1().defined) return;
  const uint8_t* image = b->get_image();
  if (!image) return;
  review_geometry& g = state_.g;
  g.update_scroll_image();
  if (make_image(image, true)) put_image();
  draw_outline_and_frame_line();
  const resource_table_t& t = *resource_table;
  const int32_t tool = t.RES_TOOL->read();
  overlays_.set_target(g, font(), viewport_, &state_);
  if (t.RES_SEE_DRAW->read() || t.RES_SEE_SSM->read()) overlays_.draw_surface_sections(kPlane);
  if (t.RES_SEE_MARK->read()) {
    overlays_.draw_landmarks(plane1());
    overlays_.draw_landmark_curves(plane1());
  }
  if (tool == TOOL_MEASURE) overlays_.draw_calipers();
  if (!t.RES_USE_SCROLLBARS->read()) overlays_.draw_navigation_box();
  if (t.RES_SEE_MARK->read() || tool == TOOL_MEASURE || tool == TOOL_MARK) overlays_.draw_scale_bar();
  glFlush();
}

void corner_canvas::draw_outline_and_frame_line() {
  if (resource_table->RES_SEE_OUTLINES->read() == 0) return;
  draw_image_border(state_.g.image_height);
  draw_frame_line(kPlane);
}

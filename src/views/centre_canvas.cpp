// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/centre_canvas.h"

#include <algorithm>
#include <cmath>

#include <wx/colour.h>
#include <wx/log.h>

#include "data/objects.h"
#include "data/reslice_info.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/globcmap.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"
#include "views/view_tool_numbers.h"

// clang-format off
// Size, paint, erase-background and scroll events: gl_view_canvas's table.
wxBEGIN_EVENT_TABLE(centre_canvas, gl_view_canvas)
  EVT_MOUSE_EVENTS(centre_canvas::OnMouse)
  EVT_MAGNIFY(centre_canvas::OnMouse)
  EVT_KEY_DOWN(centre_canvas::OnKey)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

panorama_internals* panorama() { return static_cast<panorama_internals*>(resource_table->RES_PANORAMA->read()); }

}  // namespace

centre_canvas::centre_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                             long style, const wxString& name)
    : gl_tool_view(parent, id, pos, size, style, name, "centre_canvas", resource_table->RES_CENTRE_ZOOM),
      tools_(state_, *this) {
  state_.view_index = 1;
  resource_table_t& t = *resource_table;
  review_geometry& g = state_.g;
  source_ = find_centre_source();
  g.image_width = g.image_height = 1;
  if (source_.panorama) {
    panorama()->get_size(g.image_width, g.image_height);
  } else if (source_.plane >= 0) {
    g.image_width = t.RESLICE->read()[source_.plane].width;
    g.image_height = t.RESLICE->read()[source_.plane].height;
  }
  set_changeproc(this, &centre_canvas::changeproc);
  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.RES_BUF_FRAMES, t.RES_CENTRE_ZOOM, t.RES_BACKGROUND, t.IM, t.RES_BUF_CURRENT_FRAME, t.LANDMARK,
           t.FIDUCIAL, t.RES_REDISPLAY_RESLICE0, t.redisplay_reslice(2), t.redisplay_reslice(3),
           t.RES_REDISPLAY_PANORAMA, t.RES_REDISPLAY_THICKNESS, t.RES_TOOL, t.RES_CURRENT_VISUAL_PAGE,
           t.RES_SEE_MARK, t.RES_SEE_DRAW, t.RES_SEE_SSM, t.OBJECT})
    watch(r);
  for (base_res_t* s : t.RES_SURFACE) watch(s);
  // RES_PANORAMA too: a panorama deleted without a redisplay must not stay
  // shown; VOLUME and RES_DICOM_REDRAW keep the Volume panel's handles where
  // their drags put them.
  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.FINDING_LOCATION, t.RES_CMAP_CHANGED, t.RES_CALIPERS, t.RES_DISPLAY_PIXELS, t.RES_DISPLAY_COG,
           t.RES_SEE_OUTLINES, t.RES_GLUT_FONT, t.CURVE, t.RES_USE_SCROLLBARS, t.RES_UPDATE_VOLUME,
           t.RES_UPDATE_VOLUME_MAP, t.RES_DICOM_UNITS, t.RES_PANORAMA, t.VOLUME, t.RES_DICOM_REDRAW})
    watch(r);
  const double z = t.RES_CENTRE_ZOOM->read();
  g.set_zoom(z > 0.0 && std::isfinite(z) ? z : 1.0, 1.0);
}

centre_canvas::~centre_canvas() {
  // No commit may reach a view that is gone.
  unwatch_all();
}

bool centre_canvas::panorama_shown() {
  const panorama_internals* p = panorama();
  return p && p->is_panoramic();
}

void centre_canvas::changeproc() {
  resource_table_t& t = *resource_table;
  review_geometry& g = state_.g;
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  bool redraw = false, refit = false;
  source_ = find_centre_source();
  const int32_t page = t.RES_CURRENT_VISUAL_PAGE->read();

  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.RES_SEE_DRAW, t.RES_SEE_MARK, t.RES_SEE_SSM, t.RES_TOOL, t.RES_CURRENT_VISUAL_PAGE, t.RES_CALIPERS,
           t.RES_BUF_CURRENT_FRAME, t.RES_DISPLAY_PIXELS, t.RES_DISPLAY_COG, t.RES_SEE_OUTLINES, t.RES_PANORAMA,
           t.RES_REDISPLAY_THICKNESS, t.CURVE, t.RES_CMAP_CHANGED})
    if (changed(r)) redraw = true;
  if (changed(t.RES_DICOM_UNITS) && (page == kThicknessVisualPage || page == kVolumeVisualPage)) redraw = true;
  if (source_.panorama) {
    if (changed(t.RES_REDISPLAY_PANORAMA)) redraw = true;
  } else {
    if (source_.plane >= 0 && changed(t.redisplay_reslice(source_.plane))) redraw = true;
    if (changed(t.LANDMARK) || changed(t.FIDUCIAL) || changed(t.OBJECT)) redraw = true;
    if (overlays_.note_changes(source_.plane)) redraw = true;
  }
  if (page == kVolumeVisualPage && (changed(t.RES_UPDATE_VOLUME) || changed(t.RES_UPDATE_VOLUME_MAP) ||
                              changed(t.VOLUME) || changed(t.RES_DICOM_REDRAW)))
    redraw = true;
  if (changed(t.RES_BUF_FRAMES)) histogram_dirty_ = true;
  if (changed(t.RES_GLUT_FONT)) font_changed_ = redraw = true;
  if (changed(t.RES_USE_SCROLLBARS)) redraw = refit = true;

  // The shown image's size; without a builder the stored size stays.
  int32_t w = g.image_width, h = g.image_height;
  bool shown = false;
  if (source_.panorama) {
    panorama()->get_size(w, h);
    shown = true;
  } else if (source_.plane >= 0) {
    const reslice_info& plane = t.RESLICE->read()[source_.plane];
    w = plane.width;
    h = plane.height;
    shown = plane.defined;
  }
  if (w < 1 || h < 1) shown = false;
  if (shown && (w != g.image_width || h != g.image_height)) {
    g.image_width = w;
    g.image_height = h;
    g.set_zoom(g.zoom, 1.0);
    redraw = refit = true;
  }
  if (shown != state_.image_shown) redraw = true;
  state_.image_shown = shown;

  finish_plane_changes("Centre zoom factor %.2lf", state_.zoom_positioned, redraw, refit);
}

void centre_canvas::OnMouse(wxMouseEvent& event) { tools_.on_mouse(mouse_event(event)); }

void centre_canvas::OnKey(wxKeyEvent& event) {
  if (!centre_key(event.GetKeyCode(), event.ShiftDown())) event.Skip();
}

bool centre_canvas::dump_window(const wxString& file_name, wxBitmapType type, wxString* why) {
  if (!state_.image_shown) {
    if (why) *why = "The view shows no image.";
    return false;
  }
  return save_view(file_name, type, why);
}

// ---- paint -----------------------------------------------------------------

void centre_canvas::draw_scene() {
  if (state_.image_shown) {
    draw_shown_image();
  } else if (resource_table->RES_CURRENT_VISUAL_PAGE->read() == kVolumeVisualPage) {
    if (histogram_dirty_) {
      compute_volume_histogram();
      histogram_dirty_ = false;
    }
    draw_volume_histogram();
  } else if (resource_table->RES_CURRENT_VISUAL_PAGE->read() == kThicknessVisualPage) {
    draw_thickness_key();
  }
  glFlush();
}

void centre_canvas::draw_shown_image() {
  const resource_table_t& t = *resource_table;
  review_geometry& g = state_.g;
  // The builders are looked up again: a page may have replaced them since
  // the change procedure ran, and pixels of another size must not be mapped.
  const centre_source source = find_centre_source();
  const uint8_t* pixels = nullptr;
  int32_t w = 0, h = 0;
  if (source.panorama) {
    panorama()->get_size(w, h);
    pixels = panorama()->get_image();
  } else if (source.plane_image) {
    const reslice_info& plane = t.RESLICE->read()[source.plane];
    w = plane.width;
    h = plane.height;
    if (auto* builder = dynamic_cast<reslice_internals*>(plane.builder)) pixels = builder->get_image();
  } else {
    return;
  }
  g.update_scroll_image();
  if (pixels && w == g.image_width && h == g.image_height && make_image(pixels, true)) put_image();
  if (source.panorama) {
    draw_image_border(g.image_height - 1);
    draw_panorama_strip();
  } else if (t.RES_SEE_OUTLINES->read() != 0) {
    draw_image_border(g.image_height);
    draw_frame_line(source.plane);
  }
  draw_overlays(source);
}

void centre_canvas::draw_overlays(const centre_source& source) {
  const resource_table_t& t = *resource_table;
  overlays_.set_target(state_.g, font(), viewport_, &state_);
  const int32_t tool = t.RES_TOOL->read();
  if (!source.panorama && source.plane_image) {
    const reslice_info& plane = t.RESLICE->read()[source.plane];
    if (t.RES_SEE_DRAW->read() || t.RES_SEE_SSM->read()) overlays_.draw_surface_sections(source.plane);
    if (t.RES_SEE_MARK->read()) {
      overlays_.draw_landmarks(plane);
      overlays_.draw_landmark_curves(plane);
    }
    if (tool == TOOL_MEASURE) overlays_.draw_calipers();
  }
  if (!t.RES_USE_SCROLLBARS->read()) overlays_.draw_navigation_box();
  if (t.RES_SEE_MARK->read() || tool == TOOL_MARK || tool == TOOL_MEASURE) overlays_.draw_scale_bar();
}

void centre_canvas::draw_panorama_strip() {
  vec3_t corners[4];
  if (!panorama()->frame_corners(resource_table->RES_BUF_CURRENT_FRAME->read(), corners)) return;
  glColor3d(1.0, 0.0, 0.0);
  glBegin(GL_LINE_LOOP);
  for (const vec3_t& c : corners) {
    double wx = 0.0, wy = 0.0;
    image_to_window(c.x, c.y, wx, wy);
    glVertex2d(wx, wy);
  }
  glEnd();
}


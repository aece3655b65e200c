// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "render3d/outline_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <wx/colour.h>
#include <wx/dcclient.h>
#include <wx/log.h>

#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "medical/dicom_utility.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "render3d/model_drag.h"
#include "views/gl_view_context.h"
#include "views/gl_view_support.h"
#include "views/glfont.h"
#include "views/review_geometry.h"
#include "views/shader.h"

// clang-format off
wxBEGIN_EVENT_TABLE(outline_canvas, wxGLCanvas)
  EVT_SIZE(outline_canvas::OnSize)
  EVT_PAINT(outline_canvas::OnPaint)
  EVT_ERASE_BACKGROUND(outline_canvas::OnEraseBackground)
  EVT_MOUSE_EVENTS(outline_canvas::OnMouse)
  EVT_MAGNIFY(outline_canvas::OnMouse)
  EVT_SCROLLWIN(outline_canvas::OnScroll)
  EVT_KEY_DOWN(outline_canvas::OnKey)
wxEND_EVENT_TABLE()
// clang-format on

namespace {

// The tool to restore after a button override, -1 none.
int32_t restore_tool = -1;

wxColour background_colour() {
  wxColour c(resource_table->RES_BACKGROUND->read());
  return c.IsOk() ? c : wxColour(128, 128, 128);
}

void to_floats(const matrix4_t& m, float out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(m[i]);
}

}  // namespace

int32_t outline_canvas::override_tool() { return restore_tool; }

outline_canvas::outline_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                               long style, const wxString& name)
    : wxGLCanvas(parent, id, gl_attributes, pos, size, style, name) {
  gl_ = std::make_unique<gl_view_context>(*this);
  texture_upload_ = &outline_canvas::gl_texture_upload;
  int cw = 1, ch = 1;
  GetClientSize(&cw, &ch);
  viewport_[2] = cw;
  viewport_[3] = ch;
  matrix4_identity(modelview_);
  matrix4_identity(projection_);
  matrix4_identity(mvp_);

  auto* functor = new pmf_functor<outline_canvas>(this, &outline_canvas::changeproc);
  proc_ = functor;
  free_proc_ = [functor] { delete functor; };
  SetBackgroundColour(background_colour());
  build_calibration();

  resource_table_t& t = *resource_table;
  buf_width_ = t.RES_BUF_WIDTH->read();
  buf_height_ = t.RES_BUF_HEIGHT->read();
  zoom_ = t.RES_OUTLINE_ZOOM->read();
  angle_ = t.RES_OUTLINE_VIEW_ANGLE->read();
  for (base_res_t* r : std::initializer_list<base_res_t*>{
           t.RES_BUF_FRAMES, t.IM, t.RES_POS_REC, t.RES_BUF_CURRENT_FRAME, t.RES_DICOM_REDRAW, t.RES_CMAP_LABELS,
           t.RES_CORRECTED_POS, t.RES_CORRECTED_PRESSURE, t.RES_MASKED_DATA, t.RES_BUF_WIDTH, t.RES_BUF_HEIGHT,
           t.RES_RESLICE_OPACITY, t.RES_DISPLAY_PIXELS, t.RES_DISPLAY_COG, t.RES_SEE_OUTLINES,
           t.RES_USE_SCROLLBARS, t.RES_XTRANS, t.RES_YTRANS, t.RES_ZTRANS, t.RES_AZIMUTH, t.RES_ELEVATION,
           t.RES_ROLL, t.RES_XSCALE, t.RES_YSCALE, t.RES_CMAP_CHANGED, t.RES_BACKGROUND,
           t.RES_BACKGROUND_CONST, t.RES_OUTLINE_ZOOM, t.RES_OUTLINE_VIEW_ANGLE, t.FINDING_LOCATION,
           t.RES_OUTLINE_VIEWX_X, t.RES_OUTLINE_VIEWX_Y, t.RES_OUTLINE_VIEWX_Z, t.RES_OUTLINE_VIEWZ_X,
           t.RES_OUTLINE_VIEWZ_Y, t.RES_OUTLINE_VIEWZ_Z, t.FIDUCIAL, t.LANDMARK,
           t.RES_SPINE_DISP_LANDMARK_NAMES, t.CURVE, t.RES_GLUT_FONT, t.RES_SHADER, t.RES_TRANSLUCENT_LAYERS,
           t.RES_OCCLUSION_RANGE, t.RES_RADIANT_SHADOWS, t.RES_FOCUS_DEPTH, t.RES_FOCUS_RANGE,
           t.RES_LIGHTING_FRONT_SIDE, t.RES_LIGHTING_LEFT_RIGHT, t.RES_LIGHTING_UP_DOWN,
           t.RES_LIGHTING_AMBIENT, t.OBJECT, t.CONT, t.RES_CURRENT_VISUAL_PAGE, t.RES_SEE_DRAW, t.RES_SEE_MARK,
           t.RES_SEE_SSM, t.RES_REDISPLAY_THICKNESS, t.RES_UPDATE_VOLUME, t.RES_UPDATE_VOLUME_MAP,
           t.RES_REDISPLAY_VOLUME, t.RES_ALERT_COLOUR})
    watch(r);
  for (int i = 0; i < kPlanes; ++i) {
    update_plane_tex_[i] = true;
    set_plane_geometry(i);
    watch(t.redisplay_reslice(i));
  }
  for (int i = 0; i < kSurfaceSlots; ++i) watch(t.RES_SURFACE[i]);
  // A view made after data were loaded shows them at its first paint.
  const landmarks* marks = t.RES_LANDMARKS->read();
  content_ = (t.RES_BUF_FRAMES->read() > 0 && t.RES_POS_REC->read()) || (marks && marks->size() > 0);
  update_frame_tex_ = content_;
}

outline_canvas::~outline_canvas() {
  unwatch_all();
  if (free_proc_) free_proc_();
  if (restore_tool >= 0) restore_tool = -1;
}

void outline_canvas::watch(base_res_t* res) {
  if (!res) return;
  res->add_proc(proc_);
  watched_.push_back(res);
}

void outline_canvas::unwatch_all() {
  if (resource_table)
    for (auto it = watched_.rbegin(); it != watched_.rend(); ++it) (*it)->remove_proc(proc_);
  watched_.clear();
}

void outline_canvas::build_calibration() {
  const resource_table_t& t = *resource_table;
  matrix4_from_position(calibration_, t.RES_XTRANS->read(), t.RES_YTRANS->read(), t.RES_ZTRANS->read(),
                        t.RES_AZIMUTH->read(), t.RES_ELEVATION->read(), t.RES_ROLL->read());
}

bool outline_canvas::frame_world(int32_t frame, matrix4_t& world) const {
  if (!frame_store || frame < 0 || static_cast<size_t>(frame) >= frame_store->positions.size()) return false;
  const position_ref& p = frame_store->positions[static_cast<size_t>(frame)];
  if (!p || !p.get()) return false;
  matrix4_t pm;
  matrix4_from_position_t(pm, *p);
  world = outline_frame_transform(pm, calibration_);
  return true;
}

bool outline_canvas::make_current() { return gl_->make_current(); }
const shader& outline_canvas::shader_set() const { return gl_->shaders(); }

void outline_canvas::repaint() {
  ++repaint_requests_;
  Refresh(true);
  Update();
}

// ---- change procedure ------------------------------------------------------

void outline_canvas::changeproc() {
  resource_table_t& t = *resource_table;
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  const int32_t F = t.RES_BUF_FRAMES->read();
  const bool P = t.RES_POS_REC->read();
  const landmarks* marks = t.RES_LANDMARKS->read();
  const bool have_marks = marks && marks->size() > 0;
  bool redraw = false, resize = false;

  if (changed(t.RES_BUF_FRAMES) || changed(t.RES_POS_REC)) {
    if (F > 0 && P) {
      cog_pending_ = matrices_pending_ = content_ = update_frame_tex_ = true;
    } else {
      volume_release_ = true;
      update_frame_tex_ = false;
      content_ = have_marks;
    }
    redraw = true;
  }
  if (F > 0 && P &&
      (changed(t.RES_BUF_CURRENT_FRAME) || changed(t.RES_DICOM_REDRAW) || changed(t.RES_CMAP_LABELS) ||
       changed(t.RES_CORRECTED_POS) || changed(t.RES_CORRECTED_PRESSURE) || changed(t.RES_MASKED_DATA))) {
    update_frame_tex_ = true;
    if (t.RES_SEE_OUTLINES->read() != 0) redraw = true;
  }
  if (t.RES_BUF_WIDTH->read() != buf_width_ || t.RES_BUF_HEIGHT->read() != buf_height_) {
    buf_width_ = t.RES_BUF_WIDTH->read();
    buf_height_ = t.RES_BUF_HEIGHT->read();
    cog_pending_ = rectangle_pending_ = matrices_pending_ = true;
  }
  if (changed(t.RES_RESLICE_OPACITY)) redraw = true;
  for (int i = 0; i < kPlanes; ++i)
    if (changed(t.redisplay_reslice(i))) {
      set_plane_geometry(i);
      update_plane_tex_[i] = true;
      // Volume rendering follows the page, not a plane's redisplay.
      volume_page_ = t.RES_CURRENT_VISUAL_PAGE->read() == 3;
      redraw = true;
    }
  for (int i = 0; i < kSurfaceSlots; ++i)
    if (changed(t.RES_SURFACE[i])) {
      surface_reload_[i] = true;
      redraw = true;
    }
  if (changed(t.RES_DISPLAY_PIXELS) || changed(t.RES_CMAP_CHANGED)) {
    update_frame_tex_ = true;
    update_plane_tex_.fill(true);
    redraw = true;
  }
  if (changed(t.RES_DISPLAY_COG) || changed(t.RES_SEE_OUTLINES)) redraw = true;
  if (changed(t.RES_USE_SCROLLBARS)) {
    resize = true;
    redraw = true;
  }
  if (changed(t.RES_XSCALE) || changed(t.RES_YSCALE)) rectangle_pending_ = true;
  if (changed(t.RES_XTRANS) || changed(t.RES_YTRANS) || changed(t.RES_ZTRANS) || changed(t.RES_AZIMUTH) ||
      changed(t.RES_ELEVATION) || changed(t.RES_ROLL) || changed(t.RES_XSCALE) || changed(t.RES_YSCALE) ||
      changed(t.IM)) {  // IM: the frames were given new locations
    build_calibration();
    cog_pending_ = matrices_pending_ = redraw = true;
  }
  if (changed(t.RES_BACKGROUND) || changed(t.RES_BACKGROUND_CONST)) {
    SetBackgroundColour(background_colour());
    redraw = true;
  }
  follow_view_changes(redraw, resize, have_marks);
  follow_display_changes(redraw);

  if (cog_pending_) {
    cog_pending_ = false;
    find_centre_of_gravity();
  }
  if (resize) update_view_size(client_w_, client_h_);
  if (redraw) repaint();
}

// Zoom, perspective, location, orientation and landmarks.
void outline_canvas::follow_view_changes(bool& redraw, bool& resize, bool have_marks) {
  resource_table_t& t = *resource_table;
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  if (changed(t.RES_OUTLINE_ZOOM) && t.RES_OUTLINE_ZOOM->read() != zoom_) {
    const double z = t.RES_OUTLINE_ZOOM->read();
    zoom_ = z;
    t.RES_ALERT_STRING->write_no_changeprocs(wxString::Format("Outline zoom factor %.2lf", z));
    base_res_t::make_pending_writes_happen();
    matrices_pending_ = resize = redraw = true;
  }
  if (changed(t.RES_OUTLINE_VIEW_ANGLE) && t.RES_OUTLINE_VIEW_ANGLE->read() != angle_) {
    angle_ = t.RES_OUTLINE_VIEW_ANGLE->read();
    t.RES_ALERT_STRING->write_no_changeprocs(angle_ == 0 ? wxString("Outline view is orthographic")
                                                         : wxString::Format("Outline perspective is %li degrees",
                                                                            static_cast<long>(angle_)));
    base_res_t::make_pending_writes_happen();
    matrices_pending_ = redraw = true;
  }
  if (changed(t.FINDING_LOCATION)) {
    const double pixel[2] = {static_cast<double>(t.FIND_LOCATION_X->read()),
                             static_cast<double>(t.FIND_LOCATION_Y->read())};
    double w[3];
    if (frame_to_world_ && frame_to_world_(pixel, w)) cog_ = {w[0], w[1], w[2]};
    resize = matrices_pending_ = redraw = true;
  }
  if (changed(t.RES_OUTLINE_VIEWX_X) || changed(t.RES_OUTLINE_VIEWX_Y) || changed(t.RES_OUTLINE_VIEWX_Z) ||
      changed(t.RES_OUTLINE_VIEWZ_X) || changed(t.RES_OUTLINE_VIEWZ_Y) || changed(t.RES_OUTLINE_VIEWZ_Z))
    matrices_pending_ = redraw = true;
  if (changed(t.FIDUCIAL) || changed(t.LANDMARK)) {
    if (have_marks) content_ = true;
    if (changed(t.FIDUCIAL)) cog_pending_ = true;
    matrices_pending_ = redraw = true;
  }
}

// Font, shaders, effects, lights, objects, contours and the pages.
void outline_canvas::follow_display_changes(bool& redraw) {
  resource_table_t& t = *resource_table;
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  if (changed(t.RES_SPINE_DISP_LANDMARK_NAMES) || changed(t.CURVE)) redraw = true;
  if (changed(t.RES_GLUT_FONT)) font_pending_ = redraw = true;
  if (changed(t.RES_SHADER)) {
    const int32_t s = t.RES_SHADER->read();
    if (s < 0)
      shader_drawing_ = false;
    else if (gl_->shaders().installed_mask != 0)
      shader_drawing_ = s < 4;
    redraw = true;
  }
  if (shader_drawing_ && (changed(t.RES_TRANSLUCENT_LAYERS) || changed(t.RES_OCCLUSION_RANGE) ||
                          changed(t.RES_RADIANT_SHADOWS) || changed(t.RES_FOCUS_DEPTH) || changed(t.RES_FOCUS_RANGE)))
    redraw = true;
  if (changed(t.RES_LIGHTING_FRONT_SIDE) || changed(t.RES_LIGHTING_LEFT_RIGHT) || changed(t.RES_LIGHTING_UP_DOWN) ||
      changed(t.RES_LIGHTING_AMBIENT))
    lights_pending_ = redraw = true;
  if (changed(t.OBJECT)) {
    const int32_t n = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), kSurfaceSlots);
    for (int32_t i = 0; i < n; ++i)
      if (t.RES_SURFACE[i]->read()) surface_appearance_[i] = true;
    redraw = true;
  }
  if (changed(t.CONT)) contours_changed_ = redraw = true;
  if (changed(t.RES_CURRENT_VISUAL_PAGE) || changed(t.RES_SEE_DRAW) || changed(t.RES_SEE_MARK) ||
      changed(t.RES_SEE_SSM) || changed(t.RES_REDISPLAY_THICKNESS)) {
    volume_page_ = t.RES_CURRENT_VISUAL_PAGE->read() == 3;
    if (volume_page_) volume_map_update_ = true;
    redraw = true;
  }
  if (changed(t.RES_UPDATE_VOLUME)) {
    volume_data_update_ = volume_map_update_ = true;
    if (volume_page_) redraw = true;
  }
  if (changed(t.RES_UPDATE_VOLUME_MAP)) {
    volume_map_update_ = true;
    if (volume_page_) redraw = true;
  }
  if (changed(t.RES_REDISPLAY_VOLUME) && volume_page_) redraw = true;
}

// ---- centre of gravity, size and scrolling ------------------------------------

void outline_canvas::find_centre_of_gravity() {
  resource_table_t& t = *resource_table;
  bounds_ = outline_bounds();
  const int32_t F = t.RES_BUF_FRAMES->read();
  const double W = buf_width_ * t.RES_XSCALE->read(), H = buf_height_ * t.RES_YSCALE->read();
  if (t.RES_POS_REC->read())
    for (int32_t f = 0; f < F; ++f) {
      matrix4_t world;
      if (frame_world(f, world)) add_frame_corners(bounds_, world, W, H);
    }
  if (const landmarks* marks = t.RES_LANDMARKS->read())
    for (const landmark_t& l : *marks)
      if (l.kind != LM_2D) bounds_.add({l.x, l.y, l.z});
  bounds_.result(cog_, extent_);
  update_view_size(client_w_, client_h_);
  matrices_pending_ = true;
  ++repaint_requests_;
  Refresh(true);
}

void outline_canvas::update_view_size(int32_t w, int32_t h) {
  if (relayout_guard_) return;
  resource_table_t& t = *resource_table;
  int wf = 0, hf = 0;
  GetSize(&wf, &hf);
  const double xscale = t.RES_XSCALE->read();
  const bool held = dragging_landmark_ || t.RES_LOCK_ZOOM->read();
  if (!held && (wf != last_window_w_ || hf != last_window_h_ || extent_ != last_extent_)) {
    last_window_w_ = wf;
    last_window_h_ = hf;
    last_extent_ = extent_;
    const double z = outline_fit_zoom(wf, hf, xscale, extent_);
    if (z > 0.0 && std::isfinite(z)) {
      zoom_ = z;
      find_centre_of_gravity();
      double_res_t* r = t.RES_OUTLINE_ZOOM;
      if (r->read() != zoom_ || r->pending() != zoom_) r->write_no_changeprocs(zoom_);
      base_res_t::make_pending_writes_happen();
    }
  } else if (held) {
    last_window_w_ = wf;
    last_window_h_ = hf;
    last_extent_ = extent_;
  }
  if (w != client_w_ || h != client_h_) {
    client_w_ = std::max(1, w);
    client_h_ = std::max(1, h);
    matrices_pending_ = true;
  }
  const outline_scroll_layout s =
      outline_scroll(zoom_, extent_, xscale, wf, hf, client_w_, client_h_, scroll_point_[0], scroll_point_[1]);
  const bool bars = t.RES_USE_SCROLLBARS->read() && CanScroll(wxHORIZONTAL) && CanScroll(wxVERTICAL);
  auto apply = [&](int orientation, bool needed, int32_t pos, int32_t client, int32_t& scroll_pos,
                   double& point) -> bool {
    if (needed) {
      scroll_pos = pos;
      if (bars) {
        SetScrollbar(orientation, pos, client, s.length, true);
        return true;
      }
    } else {
      scroll_pos = 0;
      if (!dragging_zoom_) point = 0.5;
    }
    if (CanScroll(orientation) && GetScrollRange(orientation) > 1) SetScrollbar(orientation, 0, 0, 0, true);
    return false;
  };
  const bool hbar = apply(wxHORIZONTAL, s.hbar, s.hpos, client_w_, scroll_pos_x_, scroll_point_[0]);
  const bool vbar = apply(wxVERTICAL, s.vbar, s.vpos, client_h_, scroll_pos_y_, scroll_point_[1]);
  if (hbar != last_hbar_ || vbar != last_vbar_) {
    // A one-pixel nudge makes the toolkit lay the client area out again.
    relayout_guard_ = true;
    SetSize(wf + 1, hf);
    Refresh(true);
    SetSize(wf, hf);
    relayout_guard_ = false;
    last_hbar_ = hbar;
    last_vbar_ = vbar;
  }
}

void outline_canvas::OnSize(wxSizeEvent& event) {
  event.Skip();
  int cw = 1, ch = 1;
  GetClientSize(&cw, &ch);
  update_view_size(cw, ch);
  ++repaint_requests_;
  Refresh(true);
}

void outline_canvas::OnScroll(wxScrollWinEvent& event) {
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
  const int32_t r = GetScrollRange(o), thumb = GetScrollThumb(o);
  const int32_t p = review_scroll_position(kind, GetScrollPos(o), r, thumb, event.GetPosition());
  if (o == wxHORIZONTAL) {
    scroll_pos_x_ = p;
    scroll_point_[0] = outline_scroll_fraction(p, r, client_w_);
  } else {
    scroll_pos_y_ = p;
    scroll_point_[1] = outline_scroll_fraction(p, r, client_h_);
  }
  update_view_size(client_w_, client_h_);
  matrices_pending_ = true;
  repaint();
}

void outline_canvas::set_plane_geometry(int plane) {
  if (plane < 0 || plane >= kPlanes) return;
  const reslice_info* planes = resource_table->RESLICE->read();
  if (!planes || !planes[plane].defined) return;
  outline_plane_vectors(planes[plane], resource_table->RES_XSCALE->read(), plane_hw_[plane], plane_hh_[plane],
                        plane_th_[plane]);
}

// ---- setters -------------------------------------------------------------------

bool outline_canvas::set_orientation(double front[3], double right[3]) {
  vec3_t f{front[0], front[1], front[2]}, r{right[0], right[1], right[2]};
  if (!orthonormalise_orientation(f, r)) return false;
  front[0] = f.x, front[1] = f.y, front[2] = f.z;
  right[0] = r.x, right[1] = r.y, right[2] = r.z;
  resource_table_t& t = *resource_table;
  double_res_t* res[6] = {t.RES_OUTLINE_VIEWZ_X, t.RES_OUTLINE_VIEWZ_Y, t.RES_OUTLINE_VIEWZ_Z,
                          t.RES_OUTLINE_VIEWX_X, t.RES_OUTLINE_VIEWX_Y, t.RES_OUTLINE_VIEWX_Z};
  const double v[6] = {f.x, f.y, f.z, r.x, r.y, r.z};
  for (int i = 0; i < 6; ++i)
    if (res[i]->read() != v[i] || res[i]->pending() != v[i]) res[i]->write_no_changeprocs(v[i]);
  base_res_t::make_pending_writes_happen();
  return true;
}

void outline_canvas::get_orientation(double front[3], double right[3]) const {
  const resource_table_t& t = *resource_table;
  vec3_t f{t.RES_OUTLINE_VIEWZ_X->read(), t.RES_OUTLINE_VIEWZ_Y->read(), t.RES_OUTLINE_VIEWZ_Z->read()};
  vec3_t r{t.RES_OUTLINE_VIEWX_X->read(), t.RES_OUTLINE_VIEWX_Y->read(), t.RES_OUTLINE_VIEWX_Z->read()};
  // Stored orientations are refused when degenerate; a damaged pair reads as the default.
  if (!orthonormalise_orientation(f, r)) {
    f = {0.0, 0.0, 1.0};
    r = {1.0, 0.0, 0.0};
  }
  front[0] = f.x, front[1] = f.y, front[2] = f.z;
  right[0] = r.x, right[1] = r.y, right[2] = r.z;
}

void outline_canvas::set_centre_of_gravity(const double p[3]) {
  cog_ = {p[0], p[1], p[2]};
  matrices_pending_ = true;
  repaint();
}

void outline_canvas::set_scroll_point(double x, double y) {
  scroll_point_[0] = std::clamp(x, 0.0, 1.0);
  scroll_point_[1] = std::clamp(y, 0.0, 1.0);
  const double L = zoom_ * extent_ / resource_table->RES_XSCALE->read();
  const int32_t length = std::isfinite(L) && std::fabs(L) < 2e9 ? static_cast<int32_t>(L) : 0;
  scroll_pos_x_ = outline_scroll_offset(length, client_w_, scroll_point_[0]);
  scroll_pos_y_ = outline_scroll_offset(length, client_h_, scroll_point_[1]);
  matrices_pending_ = true;
  repaint();
}

// ---- mouse and keys --------------------------------------------------------------

void outline_canvas::OnMouse(wxMouseEvent& event) {
  resource_table_t& t = *resource_table;
  const bool press = event.ButtonDown();
  const bool release = event.ButtonUp() || event.Leaving();
  if (release && restore_tool >= 0) {
    if (select_tool_) select_tool_(restore_tool);
    restore_tool = -1;
  }
  if (press && restore_tool < 0) {
    int32_t tool = 0;
    if (event.RightDown()) tool = t.RES_MOUSE_RIGHT_OVERRIDE->read();
    if (event.MiddleDown()) tool = t.RES_MOUSE_MIDDLE_OVERRIDE->read();
    if (tool > 0 && select_tool_) restore_tool = select_tool_(tool - 1);
  }
  SetFocus();
  if (press) {
    if (volume_page_) t.RES_DYNAMIC_VOLUME->write(true);
    out_buttonpress_event(event);
  }
  if (release) {
    if (volume_page_) t.RES_DYNAMIC_VOLUME->write(false);
    out_buttonrelease_event(event);
  }
  if (event.Dragging() && event.ButtonIsDown(wxMOUSE_BTN_ANY)) out_motion_event(event);
  if (press || release || event.ButtonDClick() || event.Dragging() || event.Entering() ||
      event.GetWheelRotation() == 0)
    return;
  const int32_t S = t.RES_SCROLL_ZOOM->read();
  const int32_t r = event.GetWheelRotation(), d = event.GetWheelDelta();
  if (event.ShiftDown()) {
    const int32_t a = outline_wheel_angle(angle_, S, r, d);
    if (t.RES_OUTLINE_VIEW_ANGLE->read() != a || t.RES_OUTLINE_VIEW_ANGLE->pending() != a)
      t.RES_OUTLINE_VIEW_ANGLE->write_no_changeprocs(a);
    base_res_t::make_pending_writes_happen();
  } else if (event.ControlDown() && t.RES_CURRENT_TASK_PAGE->read() == 1) {
    fit_model& f = *t.RES_FIT_MODEL->read();
    f.set_scaled_registration_matrix(f.registration, model_wheel_factor(r, d));
  } else {
    const double z = outline_wheel_zoom(t.RES_OUTLINE_ZOOM->read(), S, r, d);
    if (!(z > 0.0) || !std::isfinite(z)) return;
    t.RES_OUTLINE_ZOOM->write(z);
    if (t.RES_LOCK_ZOOM->read()) {
      t.RES_CENTRE_ZOOM->write(z);
      t.RES_CORNER_ZOOM->write(z);
      t.RES_REVIEW_ZOOM->write(z);
    }
  }
}

// ---- paint ---------------------------------------------------------------------

void outline_canvas::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  if (gl_view_painting) {
    // Another view is painting and the damage was validated above: ask for
    // a new paint so that this one is not lost.
    ++deferred_paints_;
    Refresh(false);
    return;
  }
  gl_painting_scope painting;
  if (!dc.IsOk()) {
    wxLogDebug("DC not OK in outline_canvas");
    return;
  }
  if (!gl_->make_current()) return;
  ++paints_;
  render_scene();
  SwapBuffers();
}

void outline_canvas::render_scene() {
  resource_table_t& t = *resource_table;
  if (gl_setup_pending_) {
    init_gl();
    gl_setup_pending_ = false;
  }
  if (lights_pending_) {
    set_lights();
    lights_pending_ = false;
  }
  if (rectangle_pending_) {
    upload_frame_rectangle();
    rectangle_pending_ = false;
  }
  if (matrices_pending_) {
    set_projection();
    matrices_pending_ = false;
  }
  if (font_pending_) {
    gl_->load_font(t.RES_GLUT_FONT->read());
    font_pending_ = false;
  }
  if (volume_release_) {
    volume_render(false, false, true);
    volume_release_ = false;
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixd(modelview_.m);
  stopwatch_.Start();
  const wxColour bg = background_colour();
  glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (content_) {
    if (update_frame_tex_) {
      generate_bscan_texture(t.RES_BUF_CURRENT_FRAME->read());
      update_frame_tex_ = false;
    }
    for (int i = 0; i < kPlanes; ++i)
      if (update_plane_tex_[i]) generate_reslice_texture(i);
    draw_background(false);
    if (t.RES_BUF_DICOM->read() && t.RES_DISPLAY_COG->read() && dicom_utility::patient_coordinates)
      draw_orientation_marker();
    effects_.contour_lines = effects_.all_outlines = effects_.landmarks = effects_.current_frame = false;
    const int32_t see_outlines = t.RES_SEE_OUTLINES->read();
    if (see_outlines != 0 || t.RES_SEE_DRAW->read()) draw_frames();
    if (t.RES_SEE_DRAW->read()) draw_curves();
    if (t.RES_SEE_MARK->read()) draw_landmarks();
    if (t.RES_CURRENT_VISUAL_PAGE->read() == 4) draw_thickness_line();
    const double opacity = t.RES_RESLICE_OPACITY->read();
    if (opacity == 1.0) {
      if (see_outlines != 0) draw_frame_image(t.RES_BUF_CURRENT_FRAME->read(), false);
      for (int i = 0; i < kPlanes; ++i) draw_reslice_plane(i, false);
    }
    effects_.surfaces = effects_.translucent_planes = false;
    if (t.RES_SEE_DRAW->read() || t.RES_SEE_SSM->read() || volume_page_) {
      draw_surfaces();
      if (volume_page_) {
        volume_render(volume_data_update_, volume_map_update_, false);
        volume_data_update_ = volume_map_update_ = false;
      }
    }
    if (!volume_page_ && !effects_.translucent_planes && opacity < 1.0) {
      if (see_outlines != 0) draw_frame_image(t.RES_BUF_CURRENT_FRAME->read(), false);
      for (int i = 0; i < kPlanes; ++i) draw_reslice_plane(i, false);
    }
    if (effects_.surfaces ||
        (volume_page_ && t.RES_RADIANT_SHADOWS->read() && (lights_.back > 0.0f || lights_.direction[2] >= 0.0f)))
      depth_of_field();
  }
  if (volume_page_)
    glFinish();
  else
    glFlush();
  if (volume_page_ && !t.RES_DYNAMIC_VOLUME->read()) paint_duration_ = stopwatch_.TimeInMicro().ToDouble() / 1000.0;
}

void outline_canvas::init_gl() {
  glewExperimental = GL_TRUE;
  glewInit();
  gl_->mark_set_up();
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glClearDepth(1.0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  const GLfloat headlight[4] = {0.0f, 0.0f, 1.0f, 0.0f};
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glLightfv(GL_LIGHT0, GL_POSITION, headlight);
  glLightfv(GL_LIGHT2, GL_POSITION, headlight);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glDisable(GL_LIGHT1);
  glDisable(GL_LIGHT2);
  glEnable(GL_NORMALIZE);
  glShadeModel(GL_SMOOTH);
  glDisable(GL_CULL_FACE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f}, none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
  glColorMaterial(GL_FRONT_AND_BACK, GL_EMISSION);
  glEnable(GL_COLOR_MATERIAL);
  for (GLenum cap : {GL_ALPHA_TEST, GL_DITHER, GL_FOG, GL_COLOR_LOGIC_OP, GL_STENCIL_TEST}) glDisable(cap);
  gl_reset_pixel_state();
  const wxColour bg = background_colour();
  glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_2D);

  frame_tex_.name = gl_->new_texture();
  for (texture_state& p : plane_tex_) p.name = gl_->new_texture();
  shader_drawing_ = false;
  gl_->new_buffers(kSurfaceSlots, vertex_buffers_.data());
  gl_->new_buffers(kSurfaceSlots, index_buffers_.data());
  // Surfaces that existed before the first paint fill the fresh buffers.
  surface_reload_.fill(true);
  gl_->new_buffers(1, &contour_buffer_);
  gl_->new_buffers(1, &curve_buffer_);
  gl_->new_buffers(1, &rectangle_buffer_);
  contour_vertex_count_ = 0;
  // Contours are uploaded into the fresh buffer at the first frame pass.
  contours_changed_ = true;

  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (version && version[0] != '2' && gl_->shaders().install_programs(shader::kAllMask)) {
    const int32_t s = resource_table->RES_SHADER->read();
    shader_drawing_ = static_cast<uint32_t>(s) <= 3u;
  }
  gl_->load_font(resource_table->RES_GLUT_FONT->read());
  matrix4_identity(modelview_);
  to_floats(modelview_, modelview_f_);
  find_centre_of_gravity();
}

void outline_canvas::set_lights() {
  const resource_table_t& t = *resource_table;
  lights_ = outline_lights(t.RES_LIGHTING_FRONT_SIDE->read(), t.RES_LIGHTING_LEFT_RIGHT->read(),
                           t.RES_LIGHTING_UP_DOWN->read(), t.RES_LIGHTING_AMBIENT->read());
  const float a = lights_.headlight;
  const GLfloat zero[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const GLfloat diffuse0[4] = {a, a, a, 1.0f}, specular0[4] = {0.35f, 0.35f, 0.35f, 1.0f};
  glLightfv(GL_LIGHT0, GL_AMBIENT, zero);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse0);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular0);
  const GLfloat amb[4] = {lights_.ambient, lights_.ambient, lights_.ambient, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb);
  const GLfloat d1[4] = {lights_.front, lights_.front, lights_.front, 1.0f};
  glLightfv(GL_LIGHT1, GL_AMBIENT, zero);
  glLightfv(GL_LIGHT1, GL_SPECULAR, zero);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, d1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glLightfv(GL_LIGHT1, GL_POSITION, lights_.direction);
  glPopMatrix();
  const GLfloat d2[4] = {lights_.back, lights_.back, lights_.back, 1.0f};
  glLightfv(GL_LIGHT2, GL_AMBIENT, zero);
  glLightfv(GL_LIGHT2, GL_SPECULAR, zero);
  glLightfv(GL_LIGHT2, GL_DIFFUSE, d2);
}

void outline_canvas::set_projection() {
  const double zoom = zoom_ / resource_table->RES_XSCALE->read();
  bool viewport_changed = false;
  if (client_w_ != last_viewport_w_ || client_h_ != last_viewport_h_) {
    glViewport(0, 0, client_w_, client_h_);
    viewport_[0] = viewport_[1] = 0;
    viewport_[2] = client_w_;
    viewport_[3] = client_h_;
    last_viewport_w_ = client_w_;
    last_viewport_h_ = client_h_;
    viewport_changed = true;
  }
  const outline_projection_t p =
      outline_projection(zoom, extent_, client_w_, client_h_, scroll_pos_x_, scroll_pos_y_, angle_);
  projection_ = p.projection;
  to_floats(projection_, projection_f_);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMultMatrixd(projection_.m);
  glMatrixMode(GL_MODELVIEW);
  double front[3], right[3];
  get_orientation(front, right);
  modelview_ = outline_modelview(p.eye_distance, cog_, {front[0], front[1], front[2]},
                                 {right[0], right[1], right[2]});
  eye_distance_ = p.eye_distance;
  applied_cog_ = cog_;
  to_floats(modelview_, modelview_f_);
  matrix4_multiply(projection_, mvp_, modelview_);
  to_floats(mvp_, mvp_f_);
  glDrawBuffer(GL_BACK);
  if (viewport_changed) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void outline_canvas::upload_frame_rectangle() {
  const resource_table_t& t = *resource_table;
  const float W = static_cast<float>(buf_width_ * t.RES_XSCALE->read());
  const float H = static_cast<float>(buf_height_ * t.RES_YSCALE->read());
  const float v[8] = {0.0f, H, 0.0f, 0.0f, W, 0.0f, W, H};
  glBindBuffer(GL_ARRAY_BUFFER, rectangle_buffer_);
  glBufferData(GL_ARRAY_BUFFER, sizeof v, v, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

double outline_canvas::font_height() const {
  const glfont* f = gl_->font();
  return f ? f->height() : 0.0;
}

double outline_canvas::marker_radius(const vec3_t& p) const {
  vec3_t e;
  matrix4_transform_point(e, modelview_, p);
  return outline_marker_radius(font_height(), resource_table->RES_XSCALE->read(), zoom_, angle_ != 0, e.z,
                               eye_distance_);
}

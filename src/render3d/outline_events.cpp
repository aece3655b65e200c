// The 3D view's keys, view dialogs and window dump, and its mouse tools:
// turning, spinning, panning and zooming by drags, the thickness probe, and
// landmarks placed, dragged and erased by mouse.
#include <GL/glew.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/textdlg.h>

#include "data/file_menu_image_wx.h"
#include "data/landmarks.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "models/fit_model.h"
#include "render3d/model_drag.h"
#include "render3d/outline_canvas.h"
#include "surfaces/surface_interp.h"
#include "thickness/thickness.h"
#include "views/gl_view_context.h"
#include "views/gl_view_support.h"
#include "views/view_dump.h"

namespace {

// Tools of RES_TOOL that the 3D view serves.
enum outline_tool : int32_t {
  TOOL_DRAG = 0,
  TOOL_SELECT = 1,
  TOOL_MARK = 2,
  TOOL_DRAW = 3,
  TOOL_MEASURE = 4,
  TOOL_ERASE = 5,
  TOOL_DRAG_ZOOM = 6,
};

constexpr long kShapeModelPage = 1;
constexpr long kSpinePage = 6;
constexpr long kVolumePage = 3;
constexpr long kThicknessPage = 4;

bool ask_text(wxWindow* parent, const wxString& caption, const wxString& prompt, wxString& text) {
  wxTextEntryDialog dialog(parent, prompt, caption, text, wxOK | wxCANCEL | wxCENTRE);
  if (dialog.ShowModal() != wxID_OK) return false;
  text = dialog.GetValue();
  return true;
}

// Writes a double resource only when it would change, as drags write many.
void write_if_changed(double_res_t* r, double v) {
  if (r->read() != v || r->pending() != v) r->write_no_changeprocs(v);
}

}  // namespace

// ---- keys --------------------------------------------------------------------

void outline_canvas::OnKey(wxKeyEvent& event) {
  resource_table_t& t = *resource_table;
  const int code = event.GetKeyCode();
  // Letters with Control or Alt are menu shortcuts, not the view's.
  const bool letter = code < 128 && std::isalpha(code);
  if ((letter || code == WXK_SPACE) && (event.ControlDown() || event.AltDown())) {
    event.Skip();
    return;
  }
  switch (letter ? std::toupper(code) : code) {
    case WXK_SPACE:
    case 'G':
      t.RES_DISPLAY_COG->write(!t.RES_DISPLAY_COG->read());
      return;
    case 'P':
      t.RES_DISPLAY_PIXELS->write(!t.RES_DISPLAY_PIXELS->read());
      return;
    case 'L':
      wireframe_ = !wireframe_;
      repaint();
      return;
    case 'C':
    case 'S':
    case 'V':
      view_dialog(static_cast<wxChar>(std::toupper(code)));
      return;
    case 'R':
      if (t.RES_CURRENT_TASK_PAGE->read() == kShapeModelPage) t.RES_FIT_MODEL->read()->reflect_registration_matrix();
      return;
    case WXK_LEFT:
      arrow_key_press(arrow_key::left, event.ShiftDown(), event.ControlDown());
      return;
    case WXK_RIGHT:
      arrow_key_press(arrow_key::right, event.ShiftDown(), event.ControlDown());
      return;
    case WXK_UP:
      arrow_key_press(arrow_key::up, event.ShiftDown(), event.ControlDown());
      return;
    case WXK_DOWN:
      arrow_key_press(arrow_key::down, event.ShiftDown(), event.ControlDown());
      return;
    default:
      event.Skip();
  }
}

void outline_canvas::view_dialog(wxChar key) {
  auto ask = [this](const wxString& caption, const wxString& prompt, wxString& text) {
    return text_entry_ ? text_entry_(caption, prompt, text) : ask_text(this, caption, prompt, text);
  };
  if (key == 'C') {
    wxString text = wxString::Format("%.3lf %.3lf %.3lf", applied_cog_.x, applied_cog_.y, applied_cog_.z);
    double v[3] = {applied_cog_.x, applied_cog_.y, applied_cog_.z};
    if (!ask("Centre of gravity in 3D window", "Current centre of gravity (x y z).\nEdit if you want to change this.",
             text) ||
        !parse_view_numbers(text, 3, v))
      return;
    set_centre_of_gravity(v);
  } else if (key == 'S') {
    wxString text = wxString::Format("%.3lf %.3lf", scroll_point_[0], scroll_point_[1]);
    double v[2] = {scroll_point_[0], scroll_point_[1]};
    if (!ask("Scroll point in 3D window", "Current scroll point (x y).\nEdit if you want to change this.", text) ||
        !parse_view_numbers(text, 2, v))
      return;
    set_scroll_point(v[0], v[1]);
  } else if (key == 'V') {
    double front[3], right[3];
    get_orientation(front, right);
    wxString text = wxString::Format("%.3lf %.3lf %.3lf %.3lf %.3lf %.3lf", right[0], right[1], right[2], front[0],
                                     front[1], front[2]);
    double v[6] = {right[0], right[1], right[2], front[0], front[1], front[2]};
    if (!ask("Orientation in 3D window",
             "Current view vectors - right (x y z) then front (x y z).\nEdit if you want to change these.", text) ||
        !parse_view_numbers(text, 6, v))
      return;
    const vec3_t r = vec3_normalise({v[0], v[1], v[2]}), f = vec3_normalise({v[3], v[4], v[5]});
    double fr[3] = {f.x, f.y, f.z}, rr[3] = {r.x, r.y, r.z};
    set_orientation(fr, rr);
  }
}

void outline_canvas::arrow_key_press(arrow_key key, bool shift, bool control) {
  const resource_table_t& t = *resource_table;
  const double r = t.RES_CURSOR_ROTATION->read();
  const double d = (t.RES_XSCALE->read() + t.RES_YSCALE->read()) * t.RES_CURSOR_MOVEMENT->read() * 0.5;
  const view_step step = ::arrow_key_step(key, shift, control, r, d);
  if (step.none()) return;
  double front[3], right[3];
  get_orientation(front, right);
  vec3_t f{front[0], front[1], front[2]}, g{right[0], right[1], right[2]}, centre = applied_cog_;
  apply_view_step(step, f, g, centre);
  cog_ = centre;
  double f2[3] = {f.x, f.y, f.z}, g2[3] = {g.x, g.y, g.z};
  set_orientation(f2, g2);
  // A pan shows even when the orientation is unchanged.
  matrices_pending_ = true;
  repaint();
}

// ---- window dump ---------------------------------------------------------------

bool outline_canvas::dump_window(const wxString& file_name, wxBitmapType type, wxString* why) {
  wxString reason;
  const bool saved = [&] {
    if (type != wxBITMAP_TYPE_BMP && type != wxBITMAP_TYPE_TIFF && type != wxBITMAP_TYPE_PNG &&
        type != wxBITMAP_TYPE_JPEG) {
      reason = "Views are saved as BMP, TIFF, PNG or JPEG images only.";
      return false;
    }
    const bool alpha =
        (type == wxBITMAP_TYPE_TIFF || type == wxBITMAP_TYPE_PNG) && resource_table->RES_BACKGROUND_CONST->read();
    wxClientDC dc(this);
    if (!dc.IsOk() || !gl_->make_current()) {
      wxLogDebug("DC not OK in outline_canvas dump");
      reason = "The 3D window cannot be read.";
      return false;
    }
    const int32_t w = client_w_, h = client_h_;
    if (w < 1 || h < 1) {
      reason = "The 3D window shows nothing.";
      return false;
    }
    // A fresh paint into the back buffer: the front buffer of a covered or
    // hidden window does not hold the view.
    {
      gl_painting_scope painting;
      render_scene();
    }
    glFinish();
    std::vector<uint8_t> read(dump_row_bytes(w, alpha) * size_t(h));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, w, h, alpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, read.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<uint8_t> rgb, a;
    dump_pixels_top_down(read.data(), w, h, alpha, rgb, a);
    wxImage image(w, h, false);
    std::memcpy(image.GetData(), rgb.data(), rgb.size());
    if (alpha) {
      image.SetAlpha();
      std::memcpy(image.GetAlpha(), a.data(), a.size());
    }
    if (type == wxBITMAP_TYPE_JPEG) image.SetOption(wxIMAGE_OPTION_QUALITY, 95);
    if (!view_image_handler(type)) {
      reason = "Views are saved as BMP, TIFF, PNG or JPEG images only.";
      return false;
    }
    wxLogNull quiet;  // the toolkit's own complaints would open a box: the caller reports
    return save_wx_image_file(file_name, image, type, &reason);
  }();
  if (!saved) {
    if (why)
      *why = reason;
    else
      wxLogError("%s", reason);
  }
  return saved;
}

// ---- window and world ------------------------------------------------------------

bool outline_canvas::click_to_world(vec3_t& out, double x, double y, double depth) {
  if (depth == -1.0) {
    float d = 1.0f;
    if (depth_reader_) {
      if (!depth_reader_(static_cast<int32_t>(x), static_cast<int32_t>(y), d)) return false;
    } else {
      wxClientDC dc(this);
      if (!dc.IsOk()) {
        wxLogDebug("DC not OK in outline_canvas motion");
        return false;
      }
      if (!gl_->make_current()) return false;
      glReadPixels(static_cast<GLint>(x), viewport_[3] - static_cast<GLint>(y) - 1, 1, 1, GL_DEPTH_COMPONENT,
                   GL_FLOAT, &d);
    }
    if (!drawn_depth(d)) return false;
    depth = d;
  }
  out = window_to_world(projection_, modelview_, viewport_, x, y, depth);
  return true;
}

bool outline_canvas::world_to_window(const vec3_t& p, vec2_t& out) const {
  out = world_to_window_point(mvp_, viewport_, p);
  return true;
}

bool outline_canvas::pointer_line(const wxMouseEvent& event, vec3_t& depth_point, vec3_t& far_point) {
  return click_to_world(depth_point, event.GetX(), event.GetY(), -1.0) &&
         click_to_world(far_point, event.GetX(), event.GetY(), 1.0);
}

double outline_canvas::current_pick_radius() const {
  const resource_table_t& t = *resource_table;
  return pick_radius(t.RES_MOUSE_SENSITIVITY->read(), t.RES_XSCALE->read(), zoom_);
}

void outline_canvas::update_pick_cycle(const wxMouseEvent& event) {
  if (event.ControlDown() || event.ShiftDown() || event.AltDown() || event.MetaDown())
    ++pick_cycle_;
  else
    pick_cycle_ = 0;
}

// ---- press, motion and release ------------------------------------------------------

void outline_canvas::out_buttonpress_event(wxMouseEvent& event) {
  resource_table_t& t = *resource_table;
  const int32_t x = event.GetX(), y = event.GetY();
  switch (static_cast<int32_t>(t.RES_TOOL->read())) {
    case TOOL_DRAG:
      if (event.ControlDown() && t.RES_CURRENT_TASK_PAGE->read() == kShapeModelPage) {
        dragging_model_ = true;
      } else if (event.LeftDown() || event.MiddleDown() || event.RightDown()) {
        dragging_view_ = true;
      } else {
        return;
      }
      last_pointer_[0] = x, last_pointer_[1] = y;
      return;
    case TOOL_MARK:
      if (t.RES_SEE_MARK->read()) mark_press(event);
      return;
    case TOOL_MEASURE:
      thickness_probe(event);
      return;
    case TOOL_ERASE: {
      vec3_t p;
      if (!click_to_world(p, x, y, -1.0)) return;
      if (t.RES_SEE_MARK->read()) erase_landmark(p);
      return;
    }
    case TOOL_DRAG_ZOOM:
      if (event.ShiftDown()) {
        dragging_perspective_ = true;
      } else {
        dragging_zoom_ = true;
        zoom_at_press_ = zoom_;
      }
      last_pointer_[0] = x, last_pointer_[1] = y;
      return;
    default:
      return;
  }
}

void outline_canvas::out_motion_event(wxMouseEvent& event) {
  resource_table_t& t = *resource_table;
  const bool zoom_tool = static_cast<int32_t>(t.RES_TOOL->read()) == TOOL_DRAG_ZOOM;
  if (dragging_view_) {
    view_drag_motion(event);
  } else if (dragging_zoom_) {
    if (zoom_tool) t.RES_OUTLINE_ZOOM->write(drag_zoom(zoom_at_press_, last_pointer_[0], event.GetX()));
  } else if (dragging_perspective_) {
    if (!zoom_tool) return;
    const int32_t a = drag_angle(angle_, last_pointer_[0], event.GetX());
    long_res_t* r = t.RES_OUTLINE_VIEW_ANGLE;
    if (r->read() != a || r->pending() != a) r->write_no_changeprocs(a);
    base_res_t::make_pending_writes_happen();
  } else if (dragging_model_) {
    model_drag_motion(event);
  } else if (dragging_landmark_) {
    landmark_motion(event);
  }
}

void outline_canvas::model_drag_motion(const wxMouseEvent& event) {
  fit_model& f = *resource_table->RES_FIT_MODEL->read();
  const int32_t x = event.GetX(), y = event.GetY();
  model_drag_step step;
  step.dx = static_cast<float>(x - last_pointer_[0]), step.dy = static_cast<float>(y - last_pointer_[1]);
  step.left = event.LeftIsDown(), step.middle = event.MiddleIsDown(), step.right = event.RightIsDown();
  step.shift = event.ShiftDown();
  step.xscale = resource_table->RES_XSCALE->read();
  step.zoom = zoom_;
  last_pointer_[0] = x, last_pointer_[1] = y;
  // The twist axis runs from the first fitting landmark to the second (an
  // electrode array: to its tip).
  const vec3_t *a = nullptr, *b = nullptr;
  if (f.fitting_landmarks.size() >= 2) {
    const size_t first = static_cast<size_t>(f.fitting_landmarks.front().vertex);
    const size_t second = static_cast<size_t>((f.implant ? f.fitting_landmarks.back() : f.fitting_landmarks[1]).vertex);
    if (first < f.model.points.size() && second < f.model.points.size())
      a = &f.model.points[first], b = &f.model.points[second];
  }
  double front[3], right[3];
  get_orientation(front, right);
  const matrix4_t mv = outline_modelview(eye_distance_, applied_cog_, {front[0], front[1], front[2]},
                                         {right[0], right[1], right[2]});
  const matrix4_t g = model_drag_registration(f.registration, f.model.to_centroid, mv, a, b, step, model_drag_axis_);
  f.set_scaled_registration_matrix(g, 1.0);
}

void outline_canvas::view_drag_motion(const wxMouseEvent& event) {
  const int32_t x = event.GetX(), y = event.GetY();
  if (x == last_pointer_[0] && y == last_pointer_[1]) return;
  const float dx = static_cast<float>(x - last_pointer_[0]), dy = static_cast<float>(y - last_pointer_[1]);
  last_pointer_[0] = x, last_pointer_[1] = y;
  if (event.RightIsDown()) {
    pan_view(dx, dy);
    return;
  }
  const bool left = event.LeftIsDown(), middle = event.MiddleIsDown();
  if (!left && !middle) return;
  // The modelview of the orientation as it stands: several motions may come
  // before the next paint.
  double front[3], right[3];
  get_orientation(front, right);
  const matrix4_t mv = outline_modelview(eye_distance_, applied_cog_, {front[0], front[1], front[2]},
                                         {right[0], right[1], right[2]});
  vec3_t vz, vx;
  drag_orientation(mv, eye_distance_, dx, dy, left, middle, vz, vx);
  resource_table_t& t = *resource_table;
  write_if_changed(t.RES_OUTLINE_VIEWZ_X, vz.x);
  write_if_changed(t.RES_OUTLINE_VIEWZ_Y, vz.y);
  write_if_changed(t.RES_OUTLINE_VIEWZ_Z, vz.z);
  write_if_changed(t.RES_OUTLINE_VIEWX_X, vx.x);
  write_if_changed(t.RES_OUTLINE_VIEWX_Y, vx.y);
  write_if_changed(t.RES_OUTLINE_VIEWX_Z, vx.z);
  base_res_t::make_pending_writes_happen();
}

void outline_canvas::pan_view(float dx, float dy) {
  if (!resource_table->RES_USE_SCROLLBARS->read()) {
    pan_state s;
    s.hoff = scroll_pos_x_, s.voff = scroll_pos_y_;
    s.hpoint = scroll_point_[0], s.vpoint = scroll_point_[1];
    if (!drag_pan(extent_, zoom_, resource_table->RES_XSCALE->read(), client_w_, client_h_, dx, dy, s)) return;
    scroll_pos_x_ = s.hoff, scroll_pos_y_ = s.voff;
    scroll_point_[0] = s.hpoint, scroll_point_[1] = s.vpoint;
    matrices_pending_ = true;
    repaint();
    return;
  }
  for (int o : {wxHORIZONTAL, wxVERTICAL}) {
    if (!CanScroll(o) || GetScrollRange(o) <= 1) continue;
    const double p = std::round(GetScrollPos(o) - (o == wxHORIZONTAL ? dx : dy));
    if (static_cast<int32_t>(p) == 0) continue;
    wxScrollWinEvent scroll(wxEVT_SCROLLWIN_THUMBTRACK, static_cast<int>(p), o);
    OnScroll(scroll);
  }
}

void outline_canvas::out_buttonrelease_event(wxMouseEvent& event) {
  if (dragging_view_) {
    dragging_view_ = false;
    repaint();
  } else if (dragging_model_) {
    dragging_model_ = false;
  } else if (dragging_zoom_) {
    fit_on_click(event);
    dragging_zoom_ = false;
    int cw = 1, ch = 1;
    GetClientSize(&cw, &ch);
    update_view_size(cw, ch);
    repaint();
  } else if (dragging_perspective_) {
    dragging_perspective_ = false;
    repaint();
  } else if (dragging_landmark_) {
    landmark_release();
  }
}

void outline_canvas::fit_on_click(const wxMouseEvent& event) {
  resource_table_t& t = *resource_table;
  if (static_cast<int32_t>(t.RES_TOOL->read()) != TOOL_DRAG_ZOOM) return;
  if (std::abs(last_pointer_[0] - event.GetX()) + std::abs(last_pointer_[1] - event.GetY()) == 0) {
    int w = 1, h = 1;
    GetClientSize(&w, &h);
    const double xs = t.RES_XSCALE->read();
    const double zoom = std::min(w * xs / extent_, h * xs / extent_);
    find_centre_of_gravity();
    if (zoom > 0.0 && std::isfinite(zoom)) t.RES_OUTLINE_ZOOM->write(zoom);
  }
  if (t.RES_LOCK_ZOOM->read()) {
    const double z = t.RES_OUTLINE_ZOOM->read();
    t.RES_CENTRE_ZOOM->write(z);
    t.RES_CORNER_ZOOM->write(z);
    t.RES_REVIEW_ZOOM->write(z);
  }
}

// ---- thickness probe ------------------------------------------------------------------

void outline_canvas::thickness_probe(const wxMouseEvent& event) {
  resource_table_t& t = *resource_table;
  update_pick_cycle(event);
  vec3_t P, F;
  if (!pointer_line(event, P, F)) return;
  line_probe_hits hits;
  probe_visible_surfaces(P, F, hits);
  if (hits.empty()) return;
  const size_t k = static_cast<size_t>(pick_cycle_) % hits.size();
  const int32_t o = hits.objects[k];
  const surface_interp* s = o >= 0 && o < kSurfaceSlots ? t.RES_SURFACE[o]->read() : nullptr;
  if (t.RES_CURRENT_VISUAL_PAGE->read() == kThicknessPage && s) {
    const vec3_t& H = hits.points[k];
    const vec3_t& m = hits.directions[k];
    line_probe_hits along;
    s->query_line(H, t.RES_THICKNESS_REVERSE->read() ? H + m : H - m, along, 0.0);
    const double range = probe_range(along.depths);
    const int32_t frames = t.RES_BUF_FRAMES->read();
    std::vector<matrix4_t> to_frame(size_t(std::max(0, frames)));
    std::vector<const matrix4_t*> refs(to_frame.size(), nullptr);
    for (int32_t j = 0; j < frames; ++j) {
      matrix4_t world;
      if (!frame_world(j, world)) continue;
      matrix4_rigid_inverse(world, to_frame[size_t(j)]);
      refs[size_t(j)] = &to_frame[size_t(j)];
    }
    probe_measurement at;
    if (thickness_probe_measurement(refs, H, hits.normals[k], m, t.RES_XSCALE->read(), t.RES_YSCALE->read(), at)) {
      bool measured = false;
      if (thickness_measure_) {
        measured = thickness_measure_(at, range);
      } else if (thickness* engine = t.RES_THICKNESS->read()) {
        double point[3] = {at.point[0], at.point[1], at.point[2]};
        double dir[3] = {at.direction[0], at.direction[1], at.direction[2]};
        double second[3] = {at.second[0], at.second[1], at.second[2]};
        engine->measure(at.frame, point, dir, false, range, second, 1e10);
        measured = engine->sampled;
      }
      if (measured) t.RES_REDISPLAY_THICKNESS->write_no_changeprocs();
    }
  }
  t.RES_ALERT_STRING->write_no_changeprocs(hits.texts[k]);
  base_res_t::make_pending_writes_happen();
}

// ---- landmarks ----------------------------------------------------------------------

void outline_canvas::mark_press(const wxMouseEvent& event) {
  resource_table_t& t = *resource_table;
  landmarks* marks = t.RES_LANDMARKS->read();
  vec3_t P;
  if (!marks || !click_to_world(P, event.GetX(), event.GetY(), -1.0)) return;
  const double radius = current_pick_radius();
  const int64_t near = landmark_near(*marks, P, radius);
  if (near >= 0) {
    const landmark_t& l = (*marks)[size_t(near)];
    landmark_drag_ = landmark_drag_copy();
    landmark_drag_.target = size_t(near);
    landmark_drag_.position = {l.x, l.y, l.z};
    if (l.kind == LM_SURFACE) {
      landmark_drag_.normal = {l.nx, l.ny, l.nz};
      landmark_drag_.object = l.object;
    }
    dragging_landmark_ = true;
    return;
  }
  line_probe_hits hits;
  vec3_t F;
  if (click_to_world(F, event.GetX(), event.GetY(), 1.0)) probe_visible_surfaces(P, F, hits);
  update_pick_cycle(event);
  landmark_click click;
  click.p = P;
  click.pick_cycle = pick_cycle_;
  click.spine_page = t.RES_CURRENT_TASK_PAGE->read() == kSpinePage;
  click.volume_page = t.RES_CURRENT_VISUAL_PAGE->read() == kVolumePage;
  if (spine_request_) {
    click.spine_part = spine_request_->part;
    click.spine_level = spine_request_->level;
  }
  click.radius = radius;
  if (place_landmark(*marks, click, hits, landmark_drag_) >= marks->size()) return;
  dragging_landmark_ = true;
  t.LANDMARK->write();
}

void outline_canvas::landmark_motion(const wxMouseEvent& event) {
  landmarks* marks = resource_table->RES_LANDMARKS->read();
  vec3_t P;
  if (!marks || landmark_drag_.target >= marks->size() || !click_to_world(P, event.GetX(), event.GetY(), -1.0))
    return;
  landmark_t& l = (*marks)[landmark_drag_.target];
  if (l.kind == LM_SURFACE) {
    vec3_t F;
    line_probe_hits hits;
    if (click_to_world(F, event.GetX(), event.GetY(), 1.0)) probe_visible_surfaces(P, F, hits);
    if (hits.empty()) return;
    const size_t k = static_cast<size_t>(pick_cycle_) % hits.size();
    landmark_drag_.position = hits.points[k];
    landmark_drag_.normal = hits.normals[k];
    landmark_drag_.object = l.object = hits.objects[k];
  } else {
    landmark_drag_.position = P;
  }
  repaint();
}

void outline_canvas::landmark_release() {
  dragging_landmark_ = false;
  resource_table_t& t = *resource_table;
  landmarks* marks = t.RES_LANDMARKS->read();
  if (!marks || landmark_drag_.target >= marks->size()) return;
  landmark_t& l = (*marks)[landmark_drag_.target];
  l.x = landmark_drag_.position.x, l.y = landmark_drag_.position.y, l.z = landmark_drag_.position.z;
  if (l.kind == LM_FIDUCIAL) {
    t.FIDUCIAL->write();
    return;
  }
  if (l.kind == LM_SURFACE) l.nx = landmark_drag_.normal.x, l.ny = landmark_drag_.normal.y, l.nz = landmark_drag_.normal.z;
  t.LANDMARK->write();
}

bool outline_canvas::erase_landmark(const vec3_t& p) {
  resource_table_t& t = *resource_table;
  landmarks* marks = t.RES_LANDMARKS->read();
  if (!marks) return false;
  const int64_t k = landmark_near(*marks, p, current_pick_radius());
  if (k < 0) return false;
  const bool fiducial = (*marks)[size_t(k)].kind == LM_FIDUCIAL;
  marks->items.erase(marks->items.begin() + k);
  (fiducial ? t.FIDUCIAL : t.LANDMARK)->write();
  return true;
}

#include "views/contour_editor.h"

#include <algorithm>
#include <cmath>

#include "data/objects.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/review_overlay_math.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kCircleVertices = 32;

vec2_t sub(const vec2_t& a, const vec2_t& b) { return {a.x - b.x, a.y - b.y}; }
double dot(const vec2_t& a, const vec2_t& b) { return a.x * b.x + a.y * b.y; }
double dist2(const vec2_t& a, const vec2_t& b) { return dot(sub(a, b), sub(a, b)); }
vec2_t unit(const vec2_t& v) {
  const double l = std::sqrt(dot(v, v));
  return l > 0.0 ? vec2_t{v.x / l, v.y / l} : vec2_t{0.0, 0.0};
}
size_t next_of(size_t i, size_t n) { return (i + 1) % n; }
size_t prev_of(size_t i, size_t n) { return (i + n - 1) % n; }

double simplify_tolerance() { return resource_table->RES_SIMPLIFY_THRESH->read() / 10.0; }

// The first vertex within r of p, in vertex order.
bool vertex_near(const contour_t& c, const vec2_t& p, double r, size_t& index) {
  for (size_t i = 0; i < c.vertices.size(); ++i)
    if (contour_t::hit_test(p, &c.vertices[i], nullptr, r) == 1) {
      index = i;
      return true;
    }
  return false;
}

}  // namespace

contour_t circle_through(const vec2_t& centre, const vec2_t& through) {
  contour_t c;
  const double d = std::sqrt(dist2(centre, through));
  for (int k = 0; k < kCircleVertices; ++k) {
    const double a = 2.0 * kPi * k / kCircleVertices;
    c.vertices.push_back({centre.x + d * std::cos(a), centre.y + d * std::sin(a)});
  }
  c.closed = true;
  return c;
}

// ---- objects, entries and surfaces -------------------------------------------

contour_object* contour_editor::objects() const { return resource_table->RES_OBJECT->read(); }

int32_t contour_editor::object_count() const {
  return std::max(0, std::min<int32_t>(resource_table->CURRENT_MAX_OBJECTS->read(),
                                       NUM_USER_OBJECTS));
}

int32_t contour_editor::current_frame() const {
  return resource_table->RES_BUF_CURRENT_FRAME->read();
}

frame_contours_t* contour_editor::entry(int32_t object, int32_t frame) const {
  contour_object* o = objects();
  if (!o || object < 0 || object >= NUM_OBJECTS) return nullptr;
  return o[object].find_frame(frame);
}

contour_t* contour_editor::contour_at(const contour_ref& c) const {
  frame_contours_t* e = entry(c.object, current_frame());
  return e && c.index < e->contours.size() ? &e->contours[c.index] : nullptr;
}

// The existing contour being dragged or followed; null when the objects no
// longer hold it (they may change while a question is open).
contour_t* contour_editor::edited_existing() const {
  frame_contours_t* e = entry(edit_object_, edit_frame_);
  if (!e || edit_contour_ >= e->contours.size()) return nullptr;
  contour_t* c = &e->contours[edit_contour_];
  return s_.continuation_vertex < c->vertices.size() ? c : nullptr;
}

void contour_editor::delete_surface(int32_t object) {
  if (object < 0 || object >= resource_table_t::kSurfaceCount) return;
  genflag_res_t<surface_interp*>* res = resource_table->RES_SURFACE[object];
  if (surface_interp* surface = res->pending()) {
    ::delete_surface(surface);
    res->write_no_changeprocs(nullptr);
  }
}

void contour_editor::add_to_object(int32_t object, int32_t frame, const contour_t& c) {
  contour_object* o = objects();
  // A point the view could not place (a degenerate zoom) makes no contour.
  if (!o || object < 0 || object >= NUM_OBJECTS || !c.finite()) return;
  o[object].add_contour(frame, c);
}

// ---- presses -------------------------------------------------------------------

bool contour_editor::ask(const wxString& caption, const wxString& question) {
  asking_ = true;
  const bool yes = ui_.ask(caption, question);
  asking_ = false;
  return yes;
}

void contour_editor::draw_press(double x, double y, double r, bool select_tool) {
  const resource_table_t& t = *resource_table;
  if (asking_) return;
  check_click_mode();
  if (select_tool && !s_.mask_outline) {
    // Masking works on display bytes only: not on 16-bit data, nor without frames.
    if (t.RES_BUF_FRAMES->read() < 1 || (t.RES_BUF_DICOM->read() && dicom_utility::data_16bit))
      return;
    s_.mask_outline = true;
  }
  if (!s_.click_drawing) {
    if (!s_.mask_outline) start_vertex_edit(x, y, r);
    if (vertex_editing_) return;
    if (!s_.edited_contour) s_.edited_contour = std::make_unique<contour_t>();
    s_.edited_contour->vertices.push_back({x, y});
    s_.freehand_drawing = true;
    ui_.refresh();
  } else {
    if (s_.continued_object < 0)
      click_press(x, y, r);
    else
      follow_press(x, y, r);
    ui_.refresh();
  }
  if (!s_.click_drawing && !s_.freehand_drawing) s_.mask_outline = false;
}

void contour_editor::start_vertex_edit(double x, double y, double r) {
  const vec2_t p{x, y};
  const int32_t frame = current_frame();
  for (int32_t k = 0; k < object_count(); ++k) {
    frame_contours_t* e = entry(k, frame);
    if (!e) continue;
    for (size_t i = 0; i < e->contours.size(); ++i) {
      contour_t& c = e->contours[i];
      size_t a = 0, b = 0;
      if (c.vertices.empty() || !c.find_near_segment(p, a, b, r)) continue;
      if (a == b) {
        s_.continuation_vertex = a;
      } else {
        // Edge (a, a + 1), or the closing edge (n - 1, 0): the new vertex goes after a.
        const size_t at = a + 1;
        c.vertices.insert(c.vertices.begin() + static_cast<std::ptrdiff_t>(at), p);
        if (!c.values.empty()) c.values.clear();
        s_.continuation_vertex = at;
      }
      vertex_editing_ = true;
      edit_object_ = k;
      edit_frame_ = frame;
      edit_contour_ = i;
      s_.continued_object = k;
      s_.continuation_direction = 0;
      delete_surface(k);
      resource_table->CURRENT_OBJECT->write(k);
      return;
    }
  }
}

bool contour_editor::check_click_mode() {
  if (!s_.click_drawing) return false;
  const resource_table_t& t = *resource_table;
  if (click_frame_ == current_frame() && click_object_ == t.CURRENT_OBJECT->read()) return false;
  s_.click_drawing = false;
  s_.edited_contour.reset();
  s_.continued_object = -1;
  s_.continued_contour = nullptr;
  s_.mask_outline = false;
  ui_.refresh();
  return true;
}

void contour_editor::objects_changed() {
  if (s_.continued_object >= 0) {
    s_.continued_contour = edited_existing();
    if (!s_.continued_contour) s_.continued_object = -1;
  }
  show_selection();
}

void contour_editor::click_press(double x, double y, double r) {
  contour_t& c = *s_.edited_contour;
  if (c.trim_to_point({x, y}, r)) {
    close_polygon();
    return;
  }
  pick_followed_vertex(x, y, r);
  if (s_.continued_object < 0) c.vertices.push_back({x, y});
}

void contour_editor::close_polygon() {
  const resource_table_t& t = *resource_table;
  contour_t* c = s_.edited_contour.get();
  c->closed = true;
  s_.click_drawing = false;
  if (s_.mask_outline) {
    // The masking reads the outline while it is still the edited contour.
    if (c->vertices.size() >= 3) ui_.mask_data(nullptr, c);
    s_.edited_contour.reset();
    ui_.refresh();
    s_.mask_outline = false;
    return;
  }
  if (c->vertices.size() == 2) *c = circle_through(c->vertices[0], c->vertices[1]);
  if (c->vertices.size() >= 3) {
    const int32_t object = t.CURRENT_OBJECT->read();
    add_to_object(object, click_frame_, *c);
    delete_surface(object);
    s_.edited_contour.reset();
    t.CONT->write();
  }
  s_.edited_contour.reset();
}

void contour_editor::pick_followed_vertex(double x, double y, double r) {
  const vec2_t p{x, y};
  const int32_t frame = current_frame();
  const contour_t& drawn = *s_.edited_contour;
  for (int32_t k = 0; k < object_count(); ++k) {
    frame_contours_t* e = entry(k, frame);
    if (!e) continue;
    for (size_t i = 0; i < e->contours.size(); ++i) {
      contour_t& c = e->contours[i];
      size_t v = 0;
      if (c.vertices.empty() || !vertex_near(c, p, r, v)) continue;
      const size_t n = c.vertices.size();
      const vec2_t u = unit(sub(p, drawn.vertices.back()));
      const vec2_t a = unit(sub(c.vertices[next_of(v, n)], c.vertices[v]));
      const vec2_t b = unit(sub(c.vertices[prev_of(v, n)], c.vertices[v]));
      s_.continuation_direction = dot(u, a) > dot(u, b) ? 1 : -1;
      s_.continuation_vertex = v;
      s_.continued_object = k;
      s_.continued_contour = &c;
      edit_object_ = k;
      edit_frame_ = frame;
      edit_contour_ = i;
      return;
    }
  }
}

void contour_editor::follow_press(double x, double y, double r) {
  s_.continued_object = -1;
  s_.continued_contour = nullptr;
  const contour_t* c = edited_existing();
  if (!c) return;
  size_t a = 0, b = 0;
  if (!c->find_near_segment({x, y}, a, b, r)) return;
  const size_t n = c->vertices.size();
  size_t v = s_.continuation_vertex;
  for (size_t steps = 0; v != a && steps < n; ++steps) {
    s_.edited_contour->vertices.push_back(c->vertices[v]);
    v = s_.continuation_direction > 0 ? next_of(v, n) : prev_of(v, n);
  }
  s_.edited_contour->vertices.push_back(c->vertices[a]);
  s_.continuation_vertex = a;
}

// ---- a stroke or a vertex drag in progress ---------------------------------------

void contour_editor::on_event(const review_mouse_event& e, double x, double y, double r) {
  if (asking_) return;
  if (group_selecting_) {
    group_event(e, x, y, r);
    return;
  }
  const bool press = e.kind == review_mouse_event::PRESS || e.kind == review_mouse_event::DOUBLE_CLICK;
  if (press) {
    if (vertex_editing_) second_button(x, y);
    return;
  }
  if (e.kind == review_mouse_event::MOTION && e.button_held) {
    if (vertex_editing_) {
      if (contour_t* c = edited_existing()) c->vertices[s_.continuation_vertex] = {x, y};
    } else if (s_.edited_contour) {
      s_.edited_contour->vertices.push_back({x, y});
    }
    ui_.refresh();
    return;
  }
  const bool ends = (e.kind == review_mouse_event::RELEASE && !e.button_held) ||
                    e.kind == review_mouse_event::LEAVE;
  if (!ends) return;
  s_.freehand_drawing = false;
  if (vertex_editing_)
    finish_vertex_edit(x, y, r);
  else
    finish_freehand(x, y, r);
}

void contour_editor::second_button(double x, double y) {
  contour_t* c = edited_existing();
  if (!c) return;
  const size_t n = c->vertices.size();
  const size_t j = s_.continuation_vertex;
  if (s_.continuation_direction == 0 && n >= 3) {
    const vec2_t& P = c->vertices[j];
    const vec2_t& A = c->vertices[prev_of(j, n)];
    const vec2_t& A2 = c->vertices[prev_of(prev_of(j, n), n)];
    const vec2_t& B = c->vertices[next_of(j, n)];
    const vec2_t& B2 = c->vertices[next_of(next_of(j, n), n)];
    const double through_a = dot(unit(sub(A, A2)), unit(sub(P, A)));
    const double through_b = dot(unit(sub(B, B2)), unit(sub(P, B)));
    s_.continuation_direction = through_a > through_b ? -1 : 1;
  } else if (s_.continuation_direction == 0) {
    s_.continuation_direction = 1;
  }
  const size_t at = s_.continuation_direction < 0 ? j : j + 1;
  c->vertices.insert(c->vertices.begin() + static_cast<std::ptrdiff_t>(at), vec2_t{x, y});
  c->values.clear();
  if (s_.continuation_direction < 0) s_.continuation_vertex = j + 1;
}

void contour_editor::finish_vertex_edit(double x, double y, double r) {
  vertex_editing_ = false;
  s_.continued_object = -1;
  s_.continued_contour = nullptr;
  if (contour_t* c = edited_existing()) {
    const size_t n = c->vertices.size();
    const size_t j = s_.continuation_vertex;
    if (!c->closed && n >= 2 && (j == 0 || j == n - 1) &&
        dist2(c->vertices.front(), c->vertices.back()) < 4.0 * r * r) {
      // Dropping one end on the other closes the contour; the dragged vertex
      // goes, and the split and merge tests have no vertex to work on.
      c->vertices.erase(c->vertices.begin() + static_cast<std::ptrdiff_t>(j));
      c->closed = true;
    } else {
      c->vertices[j] = {x, y};
      if (!split(r)) merge(x, y, r);
    }
  }
  if (frame_contours_t* e = entry(edit_object_, edit_frame_)) {
    e->area = -1.0;
    for (contour_t& c : e->contours) c.values.clear();
  }
  resource_table->CONT->write();
}

bool contour_editor::split(double r) {
  const resource_table_t& t = *resource_table;
  contour_t* c = edited_existing();
  if (!c || !c->closed) return false;
  const size_t n = c->vertices.size();
  const size_t j = s_.continuation_vertex;
  size_t i = 0, b = 0;
  if (!c->find_near_segment_excluding(j, i, b, r) || i != b) return false;
  if ((j + n - i) % n <= 2 || (i + n - j) % n <= 2) return false;
  if (!t.RES_EXPERT_MODE->read() && !ask("Contour split", "Split the contour at this point ?"))
    return false;
  c = edited_existing();  // the question ran a nested event loop
  if (!c || c->vertices.size() != n) return true;
  c->vertices[j] = c->vertices[i];
  const size_t lo = std::min(i, j), hi = std::max(i, j);
  contour_t part;
  part.vertices.assign(c->vertices.begin() + static_cast<std::ptrdiff_t>(lo),
                       c->vertices.begin() + static_cast<std::ptrdiff_t>(hi));
  part.closed = true;
  c->vertices.erase(c->vertices.begin() + static_cast<std::ptrdiff_t>(lo),
                    c->vertices.begin() + static_cast<std::ptrdiff_t>(hi));
  c->values.clear();
  add_to_object(edit_object_, edit_frame_, part);
  return true;
}

void contour_editor::merge(double x, double y, double r) {
  const resource_table_t& t = *resource_table;
  const vec2_t p{x, y};
  for (size_t k = 0;; ++k) {
    frame_contours_t* e = entry(edit_object_, edit_frame_);
    if (!e || k >= e->contours.size() || !edited_existing()) return;
    if (k == edit_contour_) continue;
    const contour_t& other = e->contours[k];
    size_t w = 0, b = 0;
    if (other.vertices.empty() || !other.find_near_segment(p, w, b, r) || w != b) continue;
    if (!t.RES_EXPERT_MODE->read() && !ask("Contour merge", "Merge contours at this point ?"))
      continue;
    e = entry(edit_object_, edit_frame_);  // the question ran a nested event loop
    contour_t* c = edited_existing();
    if (!e || !c || k >= e->contours.size() || w >= e->contours[k].vertices.size()) return;
    contour_t& C = e->contours[k];
    const size_t n = c->vertices.size(), m = C.vertices.size();
    const size_t j = s_.continuation_vertex;
    c->vertices[j] = C.vertices[w];
    const vec2_t Pp = c->vertices[prev_of(j, n)], Pn = c->vertices[next_of(j, n)];
    const vec2_t Wp = C.vertices[prev_of(w, m)], Wn = C.vertices[next_of(w, m)];
    contour_t q1, q2;
    q1.vertices = {Pp, Pn, Wp, Wn};
    q2.vertices = {Pp, Pn, Wn, Wp};
    q1.closed = q2.closed = true;
    const int step = std::fabs(q1.area()) > std::fabs(q2.area()) ? 1 : -1;
    std::vector<vec2_t> run;
    for (size_t v = j, s = 0; s < n; ++s) {
      run.push_back(c->vertices[v]);
      v = step > 0 ? next_of(v, n) : prev_of(v, n);
    }
    C.vertices.insert(C.vertices.begin() + static_cast<std::ptrdiff_t>(w), run.begin(), run.end());
    C.values.clear();
    e->contours.erase(e->contours.begin() + static_cast<std::ptrdiff_t>(edit_contour_));
    return;
  }
}

void contour_editor::finish_freehand(double x, double y, double r) {
  const resource_table_t& t = *resource_table;
  if (!s_.edited_contour) return;
  contour_t& c = *s_.edited_contour;
  if (c.vertices.size() == 1 || !s_.moved) {
    c.vertices.resize(1);
    single_click();
    return;
  }
  const vec2_t last = c.vertices.back();
  c.trim_to_point(last, 2.0 * r);
  if (c.closed) c.vertices.pop_back();
  c.closed = true;
  c.simplify(simplify_tolerance());
  if (s_.mask_outline) {
    if (c.vertices.size() >= 3) ui_.mask_data(nullptr, &c);
    s_.mask_outline = false;
    s_.edited_contour.reset();
  } else if (c.vertices.size() >= 3) {
    const int32_t object = t.CURRENT_OBJECT->read();
    add_to_object(object, current_frame(), c);
    delete_surface(object);
    s_.edited_contour.reset();
    t.CONT->write();
  }
  s_.edited_contour.reset();
  ui_.refresh();
}

void contour_editor::single_click() {
  const resource_table_t& t = *resource_table;
  const vec2_t at = s_.edited_contour->vertices[0];
  const int32_t cx = static_cast<int32_t>(at.x), cy = static_cast<int32_t>(at.y);
  const uint8_t* display = frame_image_t::display_data(s_.frame);
  if (!display || !(t.RES_CMAP_BINARY->read() || t.RES_CMAP_LABELS->read())) {
    s_.click_drawing = true;
    s_.continued_object = -1;
    s_.continued_contour = nullptr;
    click_frame_ = current_frame();
    click_object_ = t.CURRENT_OBJECT->read();
    ui_.refresh();
    return;
  }
  const int32_t w = s_.g.image_width, h = s_.g.image_height;
  const bool inside = at.x >= 0.0 && at.y >= 0.0 && cx < w && cy < h &&
                      static_cast<int64_t>(cy) * w + cx < s_.frame->size;
  const int32_t object = t.CURRENT_OBJECT->read();
  const int32_t frame = current_frame();
  const int32_t jump = t.RES_JUMP_THRESH->read();
  if (segmenter_ && inside) {
    const int64_t k = static_cast<int64_t>(cy) * w + cx;
    if (t.RES_CMAP_LABELS->read()) {
      const bool raw16 = t.RES_BUF_DICOM->read() && s_.frame->raw;
      const int32_t label = raw16 ? s_.frame->raw[k] : display[k];
      if (label != 0) segmenter_->contours_from_label(label, object, frame, t.RES_SEGMENT_FRAME->read());
    } else if (t.RES_SEGMENT_FRAME->read() < 1) {
      if (s_.mask_outline) {
        frame_contours_t region = segmenter_->segment(display, w, h, cx, cy, jump, 0.0);
        if (!region.contours.empty()) ui_.mask_data(&region, nullptr);
      } else {
        frame_contours_t found =
            segmenter_->segment(display, w, h, cx, cy, jump, simplify_tolerance());
        for (const contour_t& c : found.contours) add_to_object(object, frame, c);
        if (!found.contours.empty()) delete_surface(object);
      }
    } else {
      segmenter_->segment3(frame, cx, cy, jump, simplify_tolerance());
    }
  }
  if (!s_.mask_outline) t.CONT->write();
  s_.edited_contour.reset();
  s_.mask_outline = false;
  ui_.refresh();
}

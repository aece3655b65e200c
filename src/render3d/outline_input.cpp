#include "render3d/outline_input.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "data/landmarks.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

// ---- view dialogs ------------------------------------------------------------

bool parse_view_numbers(const wxString& text, int count, double values[]) {
  std::vector<std::string> tokens;
  std::string token;
  const std::string bytes = text.ToStdString(wxConvUTF8);
  for (char ch : bytes) {
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == ',' || ch == ';') {
      if (!token.empty()) tokens.push_back(token);
      token.clear();
    } else {
      token += ch;
    }
  }
  if (!token.empty()) tokens.push_back(token);
  if (static_cast<int>(tokens.size()) != count) return false;
  for (int i = 0; i < count; ++i) {
    const char* s = tokens[size_t(i)].c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s, &end);
    if (end != s && errno != ERANGE && std::isfinite(v)) values[i] = v;
  }
  return true;
}

// ---- window dump -------------------------------------------------------------

void dump_pixels_top_down(const uint8_t* read, int32_t w, int32_t h, bool alpha, std::vector<uint8_t>& rgb,
                          std::vector<uint8_t>& a) {
  const size_t stride = dump_row_bytes(w, alpha), step = alpha ? 4 : 3;
  rgb.assign(size_t(w) * size_t(h) * 3, 0);
  a.assign(alpha ? size_t(w) * size_t(h) : 0, 0);
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* row = read + size_t(h - 1 - r) * stride;
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = row + size_t(x) * step;
      const size_t o = size_t(r) * size_t(w) + size_t(x);
      rgb[o * 3] = p[0];
      rgb[o * 3 + 1] = p[1];
      rgb[o * 3 + 2] = p[2];
      if (alpha) a[o] = p[3];
    }
  }
}

// ---- arrow keys --------------------------------------------------------------

view_step arrow_key_step(arrow_key key, bool shift, bool control, double r, double d) {
  view_step s;
  const bool positive = key == arrow_key::up || key == arrow_key::right;
  const double sr = positive ? r : -r, sd = positive ? d : -d;
  const bool vertical = key == arrow_key::up || key == arrow_key::down;
  if (control)
    (vertical ? s.up : s.right) = sd;
  else if (shift)
    s.roll = sr;
  else
    (vertical ? s.pitch : s.yaw) = sr;
  return s;
}

void apply_view_step(const view_step& step, vec3_t& front, vec3_t& right, vec3_t& centre) {
  const double a = deg_to_rad(step.pitch), b = deg_to_rad(step.yaw), c = deg_to_rad(step.roll);
  const vec3_t f = front, g = right;
  const vec3_t u = vec3_cross(f, g);
  const vec3_t f1 = vec3_normalise(f * std::cos(a) - u * std::sin(a));
  const vec3_t f2 = vec3_normalise(f1 * std::cos(b) - g * std::sin(b));
  const vec3_t u2 = vec3_normalise(u * std::cos(c) - vec3_cross(u, f2) * std::sin(c));
  // A pitch leaves the up vector behind the new front: the cross product
  // then has the length cos a.
  const vec3_t g2 = vec3_normalise(vec3_cross(u2, f2));
  centre = centre - u2 * step.up - g2 * step.right;
  front = f2;
  right = g2;
}

// ---- mouse drags -------------------------------------------------------------

void drag_orientation(const matrix4_t& modelview, double d, float dx, float dy, bool left, bool middle,
                      vec3_t& view_z, vec3_t& view_x) {
  float s = std::sqrt(dx * dx + dy * dy);
  if (dx + dy < 0.0f) s = -s;
  matrix4_t M, t;
  matrix4_identity(M);
  matrix4_post_translate(M, {0.0, 0.0, -d});
  if (left) {
    matrix4_t R;
    matrix4_rotation_about_axis(R, {0.0, 0.0, 0.0}, {double(dy), double(dx), 0.0}, std::fabs(double(s)));
    matrix4_multiply(M, t, R);
    M = t;
  }
  if (middle) {
    matrix4_t S;
    matrix4_from_position(S, 0.0, 0.0, 0.0, double(s), 0.0, 0.0);
    matrix4_multiply(M, t, S);
    M = t;
  }
  matrix4_post_translate(M, {0.0, 0.0, d});
  matrix4_t V;
  matrix4_multiply(M, V, modelview);
  view_z = {V[2], V[6], V[10]};
  view_x = {V[0], V[4], V[8]};
}

double drag_zoom(double zoom_at_press, int32_t press_x, int32_t x) {
  const double k = (press_x - x) / 100.0;
  return k < 0.0 ? (1.0 - k) * zoom_at_press : zoom_at_press / (1.0 + k);
}

int32_t drag_angle(int32_t angle, int32_t press_x, int32_t x) {
  const int32_t q = (press_x - x) / 3;  // truncated towards zero
  return std::clamp<int32_t>(angle - q, 0, 90);
}

bool drag_pan(double extent, double zoom, double xscale, int32_t w, int32_t h, double dx, double dy, pan_state& s) {
  const double e = extent * zoom / xscale;
  if (!std::isfinite(e) || std::fabs(e) > 2e9) return false;
  const int32_t E = static_cast<int32_t>(e);
  auto move = [E](int32_t window, double delta, int32_t& offset, double& point) {
    if (E <= window) return false;
    const double moved = std::trunc(offset - std::round(delta));
    offset = static_cast<int32_t>(std::clamp(moved, 0.0, double(E - window)));
    point = static_cast<float>(offset) / static_cast<float>(E - window);
    return true;
  };
  const bool h_moved = move(w, dx, s.hoff, s.hpoint);
  const bool v_moved = move(h, dy, s.voff, s.vpoint);
  return h_moved || v_moved;
}

// ---- window and world --------------------------------------------------------

vec3_t window_to_world(const matrix4_t& projection, const matrix4_t& modelview, const int viewport[4], double x,
                       double y, double depth) {
  const double nx = ((x - viewport[0]) / viewport[2] - 0.5) * 2.0;
  const double ny = ((viewport[3] - y - 1.0 - viewport[1]) / viewport[3] - 0.5) * 2.0;
  const double nz = (depth - 0.5) * 2.0;
  matrix4_t pi, mi;
  matrix4_inverse(projection, pi);
  matrix4_rigid_inverse(modelview, mi);
  vec3_t eye, world;
  matrix4_transform_point(eye, pi, {nx, ny, nz});
  matrix4_transform_point(world, mi, eye);
  return world;
}

vec2_t world_to_window_point(const matrix4_t& projection_modelview, const int viewport[4], const vec3_t& p) {
  vec3_t c;
  matrix4_transform_point(c, projection_modelview, p);
  const double x = (c.x * 0.5 + 0.5) * viewport[2] + viewport[0];
  const double y = viewport[3] - ((c.y * 0.5 + 0.5) * viewport[3] + viewport[1]) - 1.0;
  return {x, y};
}

// ---- probes ------------------------------------------------------------------

void probe_visible_surfaces(const vec3_t& a, const vec3_t& b, line_probe_hits& hits) {
  if (!resource_table) return;
  resource_table_t& t = *resource_table;
  const contour_object* objects = t.RES_OBJECT->read();
  const int32_t n = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), NUM_OBJECTS);
  for (int32_t i = 0; i < n; ++i) {
    const surface_interp* s = t.RES_SURFACE[i]->read();
    if (!s || !objects || !(objects[i].opacity > 0.0)) continue;
    s->query_line(a, b, hits, 0.0);
  }
}

double probe_range(const std::vector<double>& d) {
  if (d.empty()) return 0.0;
  size_t i = 0;
  while (i + 1 < d.size() && std::fabs(d[i + 1]) < std::fabs(d[i])) ++i;
  return i + 1 < d.size() ? (d[i + 1] - d[i]) / 10.0 : 0.0;
}

bool thickness_probe_measurement(const std::vector<const matrix4_t*>& to_frame, const vec3_t& h,
                                 const vec3_t& n, const vec3_t& m, double xscale, double yscale,
                                 probe_measurement& out) {
  double best = 1e10;
  int32_t frame = -1;
  for (size_t j = 0; j < to_frame.size(); ++j) {
    if (!to_frame[j]) continue;
    vec3_t q;
    matrix4_transform_point(q, *to_frame[j], h);
    if (std::fabs(q.z) < best) {
      best = std::fabs(q.z);
      frame = static_cast<int32_t>(j);
    }
  }
  if (frame < 0) return false;
  // The way frame numbers grow along the planes' normal; with one frame (or
  // a first pair without positions) there is nothing to compare, and the
  // first frame is taken to lie above the next as in a stack.
  double s = 1.0;
  if (to_frame.size() > 1 && to_frame[0] && to_frame[1]) s = (*to_frame[1])[14] - (*to_frame[0])[14];
  const matrix4_t& W = *to_frame[size_t(frame)];
  vec3_t q, nb, mb;
  matrix4_transform_point(q, W, h);
  const vec3_t origin = matrix4_get_translation(W);
  matrix4_transform_point(nb, W, n);
  matrix4_transform_point(mb, W, m);
  nb = nb - origin;
  mb = mb - origin;
  double pz = q.z / xscale;
  if (s > 0.0) {
    pz = -pz;
    nb.z = -nb.z;
    mb.z = -mb.z;
  }
  out.frame = frame;
  out.point[0] = q.x / xscale;
  out.point[1] = q.y / yscale;
  out.point[2] = pz;
  const bool same = mb.x == nb.x && mb.y == nb.y && mb.z == nb.z;
  const vec3_t dir = same ? nb : mb;
  out.direction[0] = dir.x, out.direction[1] = dir.y, out.direction[2] = dir.z;
  const vec3_t second = same ? vec3_t{} : nb;
  out.second[0] = second.x, out.second[1] = second.y, out.second[2] = second.z;
  return true;
}

// ---- landmarks ---------------------------------------------------------------

int64_t landmark_near(const landmarks& marks, const vec3_t& p, double radius) {
  for (size_t i = 0; i < marks.size(); ++i) {
    const landmark_t& l = marks[i];
    if (l.kind == LM_2D) continue;
    if (vec3_length(vec3_t{l.x, l.y, l.z} - p) < radius) return static_cast<int64_t>(i);
  }
  return -1;
}

size_t place_landmark(landmarks& marks, const landmark_click& click, const line_probe_hits& hits,
                      landmark_drag_copy& drag) {
  const vec3_t& P = click.p;
  drag = landmark_drag_copy();
  if (click.spine_page && click.spine_part >= 0) {
    marks.set_spine_landmark(P, click.spine_part, click.spine_level);
    size_t pos = marks.size();
    marks.find_spine_landmark(click.spine_part, click.spine_level, pos);
    drag.target = pos;
    drag.position = P;
    return pos;
  }
  if (!hits.empty()) {
    const size_t k = static_cast<size_t>(click.pick_cycle) % hits.size();
    const vec3_t& H = hits.points[k];
    if (!(click.volume_page && vec3_length(H - P) > click.radius)) {
      marks.add_default_surface_landmark(H, hits.normals[k], hits.objects[k]);
      drag.target = marks.size() - 1;
      drag.position = H;
      drag.normal = hits.normals[k];
      drag.object = hits.objects[k];
      return drag.target;
    }
  }
  marks.add_default_landmark(P, LM_DATA);
  drag.target = marks.size() - 1;
  drag.position = P;
  return drag.target;
}

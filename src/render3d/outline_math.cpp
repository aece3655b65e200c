#include "render3d/outline_math.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/contour.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "thickness/thickness.h"

// ---- lights ------------------------------------------------------------------

outline_lighting outline_lights(double front_side, double left_right, double up_down, double ambient) {
  outline_lighting l;
  const double a = 1.0 - ambient;
  double d[3] = {std::sin(left_right * NV_PI), -std::sin(up_down * NV_PI / 2.0),
                 std::cos(up_down * NV_PI / 2.0) * std::cos(left_right * NV_PI)};
  const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (len != 0.0)
    for (double& v : d) v /= len;
  for (int i = 0; i < 3; ++i) l.direction[i] = static_cast<float>(d[i]);
  l.direction[3] = 0.0f;
  double front = a * front_side;
  if (d[2] < 0.0) front *= 1.0 - d[2];
  l.front = static_cast<float>(front);
  l.back = static_cast<float>((1.0 - front_side) * a);
  l.specular = static_cast<float>(a * 0.35 / 0.8);
  l.ambient = static_cast<float>(ambient);
  l.headlight = static_cast<float>(a);
  return l;
}

// ---- projection and modelview ------------------------------------------------

outline_projection_t outline_projection(double zoom, double extent, int32_t w, int32_t h, int32_t sx,
                                        int32_t sy, int32_t angle) {
  outline_projection_t p;
  const double half = extent / 2.0;
  const double cw = w / zoom, ch = h / zoom;
  if (extent > cw) {
    p.left = sx / zoom - half;
    p.right = p.left + cw;
  } else {
    p.left = -cw / 2.0;
    p.right = cw / 2.0;
  }
  if (extent > ch) {
    p.top = half - sy / zoom;
    p.bottom = p.top - ch;
  } else {
    p.top = ch / 2.0;
    p.bottom = -ch / 2.0;
  }
  if (angle != 0) {
    const double d = half / std::tan(angle * NV_PI / 360.0);
    p.k = d / 16.0 > d - half ? 16.0 : d / (d - half);
    p.eye_distance = d;
    p.near_plane = d / p.k;
    p.far_plane = half + d;
    matrix4_frustum(p.projection, p.left / p.k, p.right / p.k, p.bottom / p.k, p.top / p.k, p.near_plane,
                    p.far_plane);
  } else {
    p.eye_distance = half;
    p.near_plane = 0.0;
    p.far_plane = extent;
    matrix4_ortho(p.projection, p.left, p.right, p.bottom, p.top, 0.0, extent);
  }
  return p;
}

matrix4_t outline_modelview(double d, const vec3_t& c, const vec3_t& front, const vec3_t& right) {
  const vec3_t up = vec3_cross(front, right);
  // Rows right, up, front; OpenGL element order is column-major.
  const vec3_t rows[3] = {right, up, front};
  matrix4_t m;
  matrix4_identity(m);
  for (int r = 0; r < 3; ++r) {
    m[0 * 4 + r] = rows[r].x;
    m[1 * 4 + r] = rows[r].y;
    m[2 * 4 + r] = rows[r].z;
    m[12 + r] = -vec3_dot(rows[r], c);
  }
  m[14] -= d;
  return m;
}

bool orthonormalise_orientation(vec3_t& front, vec3_t& right) {
  const double rl = vec3_length(right);
  if (!(rl > 0.0) || !std::isfinite(rl)) return false;
  const vec3_t r = (1.0 / rl) * right;
  const vec3_t f = front - vec3_dot(front, r) * r;
  const double fl = vec3_length(f);
  // A front along the right vector leaves nothing to turn the view by.
  if (!(fl > 1e-12 * std::max(1.0, vec3_length(front))) || !std::isfinite(fl)) return false;
  right = r;
  front = (1.0 / fl) * f;
  return true;
}

// ---- scene bounds ------------------------------------------------------------

void outline_bounds::add(const vec3_t& p) {
  sum += p;
  max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
  min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
  ++count;
}

void outline_bounds::result(vec3_t& centre, double& extent) const {
  if (count == 0) {
    centre = {0.0, 0.0, 0.0};
    extent = 10.0;
    return;
  }
  centre = (1.0 / static_cast<double>(count)) * sum;
  const double dx = std::max(std::fabs(max.x - centre.x), std::fabs(min.x - centre.x));
  const double dy = std::max(std::fabs(max.y - centre.y), std::fabs(min.y - centre.y));
  const double dz = std::max(std::fabs(max.z - centre.z), std::fabs(min.z - centre.z));
  extent = 3.0 * std::sqrt(dx * dx + dy * dy + dz * dz);
  if (extent == 0.0) extent = 10.0;
}

matrix4_t outline_frame_transform(const matrix4_t& position, const matrix4_t& calibration) {
  matrix4_t m;
  matrix4_multiply(position, m, calibration);
  return m;
}

void add_frame_corners(outline_bounds& b, const matrix4_t& world, double W, double H) {
  const vec3_t corners[4] = {{0.0, H, 0.0}, {0.0, 0.0, 0.0}, {W, 0.0, 0.0}, {W, H, 0.0}};
  for (const vec3_t& c : corners) {
    vec3_t p;
    b.add(matrix4_transform_point(p, world, c));
  }
}

// ---- zoom and scroll bars ----------------------------------------------------

double outline_fit_zoom(int32_t wf, int32_t hf, double xscale, double extent) {
  return 1.5 * std::min(wf * xscale / extent, hf * xscale / extent);
}

outline_scroll_layout outline_scroll(double zoom, double extent, double xscale, int32_t wf, int32_t hf,
                                     int32_t w, int32_t h, double scroll_x, double scroll_y) {
  outline_scroll_layout s;
  const double L = zoom * extent / xscale;
  s.length = std::isfinite(L) && L < 2e9 && L > -2e9 ? static_cast<int32_t>(L) : 0;
  s.hpos = static_cast<int32_t>((s.length - w) * scroll_x + 0.5);
  s.vpos = static_cast<int32_t>((s.length - h) * scroll_y + 0.5);
  s.hbar = wf < s.length || (hf < s.length && w < s.length);
  s.vbar = hf < s.length || (wf < s.length && h < s.length);
  return s;
}

double outline_scroll_fraction(int32_t p, int32_t r, int32_t c) {
  if (r <= c) return 0.5;
  return static_cast<double>(static_cast<float>(p) / static_cast<float>(r - c));
}

int32_t outline_scroll_offset(int32_t L, int32_t c, double f) {
  return c < L ? static_cast<int32_t>((L - c) * f) : 0;
}

double outline_wheel_zoom(double zoom, int32_t S, int32_t r, int32_t d) {
  if (d == 0) return zoom;
  const double step = static_cast<double>(S) * r / (100.0 * d);
  return r < 0 ? zoom / (1.0 - step) : zoom * (1.0 + step);
}

int32_t outline_wheel_angle(int32_t angle, int32_t S, int32_t r, int32_t d) {
  if (d == 0) return std::clamp(angle, 0, 90);
  return std::clamp(angle - static_cast<int32_t>(static_cast<double>(S) * r / d), 0, 90);
}

// ---- reslice planes ----------------------------------------------------------

namespace {

vec3_t scaled_to(const vec3_t& v, double length) {
  const double l = vec3_length(v);
  return l > 0.0 ? (length / l) * v : vec3_t{0.0, 0.0, 0.0};
}

}  // namespace

void outline_plane_vectors(const reslice_info& plane, double xscale, vec3_t& half_width, vec3_t& half_height,
                           vec3_t& thickness) {
  half_height = scaled_to(plane.up, plane.height * 0.5 * xscale);
  half_width = scaled_to(vec3_cross(half_height, plane.normal), plane.width * 0.5 * xscale);
  thickness = scaled_to(plane.normal, plane.half_thickness);
}

// ---- textures ----------------------------------------------------------------

int32_t texture_padded_size(int32_t n) {
  int32_t p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

void shrink_texture_once(uint8_t* texels, int32_t& w, int32_t& h, const uint8_t padding[4]) {
  auto pad_row = [&](int32_t row, int32_t width) {
    for (int32_t x = 0; x < width; ++x) std::memcpy(texels + (static_cast<size_t>(row) * width + x) * 4, padding, 4);
  };
  if (h > w) {
    h = std::max(1, h / 2);
    pad_row(h - 1, w);
    return;
  }
  const int32_t old_w = w;
  w = std::max(1, w / 2);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* dst = texels + static_cast<size_t>(y) * w * 4;
    const uint8_t* src = texels + static_cast<size_t>(y) * old_w * 4;
    std::memmove(dst, src, static_cast<size_t>(w - 1) * 4);
    std::memcpy(dst + static_cast<size_t>(w - 1) * 4, padding, 4);
  }
  if (h == 2 * w) {
    h = w;
    pad_row(h - 1, w);
  }
}

texture_upload_result upload_texture_with_retry(const std::function<bool(int32_t, int32_t, const uint8_t*)>& upload,
                                                std::vector<uint8_t>& texels, int32_t& w, int32_t& h,
                                                const uint8_t padding[4]) {
  if (upload(w, h, texels.data())) return texture_upload_result::full;
  shrink_texture_once(texels.data(), w, h, padding);
  return upload(w, h, texels.data()) ? texture_upload_result::partial : texture_upload_result::failed;
}

// ---- contours ----------------------------------------------------------------

void walk_contours(const contour_object* objects, int32_t object_count, int32_t frames,
                   const std::function<void(int32_t, int32_t, const contour_t&, int32_t)>& visit) {
  if (!objects || frames <= 0) return;
  // Each object's entries by frame, found in one pass over its list.
  std::vector<std::vector<const frame_contours_t*>> by_frame(static_cast<size_t>(std::max(0, object_count)));
  for (int32_t o = 0; o < object_count; ++o)
    for (const frame_contours_t& entry : objects[o].frames) {
      if (entry.frame < 0 || entry.frame >= frames) continue;
      auto& slots = by_frame[static_cast<size_t>(o)];
      if (slots.empty()) slots.assign(static_cast<size_t>(frames), nullptr);
      // The first entry of a frame is the one the object's lookup finds.
      if (!slots[static_cast<size_t>(entry.frame)]) slots[static_cast<size_t>(entry.frame)] = &entry;
    }
  int32_t first = 0;
  for (int32_t f = 0; f < frames; ++f)
    for (int32_t o = 0; o < object_count; ++o) {
      const auto& slots = by_frame[static_cast<size_t>(o)];
      const frame_contours_t* entry = slots.empty() ? nullptr : slots[static_cast<size_t>(f)];
      if (!entry) continue;
      for (const contour_t& c : entry->contours) {
        visit(f, o, c, first);
        first += static_cast<int32_t>(c.vertices.size());
      }
    }
}

std::vector<float> contour_buffer_vertices(const contour_object* objects, int32_t object_count, int32_t frames,
                                           double xscale, double yscale) {
  size_t count = 0;
  walk_contours(objects, object_count, frames,
                [&](int32_t, int32_t, const contour_t& c, int32_t) { count += c.vertices.size(); });
  std::vector<float> out;
  out.reserve(2 * count);
  walk_contours(objects, object_count, frames, [&](int32_t, int32_t, const contour_t& c, int32_t) {
    for (const vec2_t& v : c.vertices) {
      out.push_back(static_cast<float>(v.x * xscale));
      out.push_back(static_cast<float>(v.y * yscale));
    }
  });
  return out;
}

// ---- marks -------------------------------------------------------------------

double outline_marker_radius(double font_height, double xscale, double zoom, bool perspective, double eye_z,
                             double eye_distance) {
  double r = font_height * xscale / 10.0 / zoom;
  if (perspective && eye_distance != 0.0) r *= std::fabs(eye_z) / eye_distance;
  return r;
}

void outline_soft_colour(const double rgb[3], double out[3]) {
  const bool light = rgb[0] + rgb[1] + rgb[2] >= 2.5;
  for (int i = 0; i < 3; ++i) out[i] = light ? rgb[i] / 1.5 : (rgb[i] + 2.0) / 3.0;
}

outline_thickness_geometry outline_thickness_line(const thickness& e, const matrix4_t& world, bool flip,
                                                  double xscale, double yscale) {
  outline_thickness_geometry g;
  const double pz = flip ? -e.point[2] : e.point[2];
  const vec3_t q{e.point[0] * xscale, e.point[1] * yscale, pz * xscale};
  vec3_t c;
  matrix4_transform_point(c, world, q);
  const double dz = flip ? -e.direction[2] : e.direction[2];
  const vec3_t dl{e.direction[0], e.direction[1], dz};
  const vec3_t d{world[0] * dl.x + world[4] * dl.y + world[8] * dl.z,
                 world[1] * dl.x + world[5] * dl.y + world[9] * dl.z,
                 world[2] * dl.x + world[6] * dl.y + world[10] * dl.z};
  const double L = e.line_length, f = e.inside_fraction;
  g.shown = true;
  const int32_t n = e.line_width;
  if (n > 0) {
    const vec3_t u1 = vec3_normalise(vec3_cross(d, vec3_t{0.0, 0.0, 1.0}));
    const vec3_t u2 = vec3_normalise(vec3_cross(d, u1));
    for (int32_t i = -n; i <= n; ++i)
      for (int32_t j = -n; j <= n; ++j) {
        if (i * i + j * j > n * n) continue;
        const vec3_t m = c + (i * xscale) * u1 + (j * xscale) * u2;
        g.side_lines.push_back({m + (L * f) * d, m - (L * (1.0 - f)) * d});
      }
  }
  g.main = {c + (L * f) * d, c - (L * (1.0 - f)) * d};
  if (e.valid) {
    const vec3_t end = c + (L * f) * d;
    auto mark = [&](double p, bool pink) { g.markers.push_back({end - p * d, pink}); };
    if (e.outer_layer) {
      mark(e.outer_layer_end, false);
      mark(e.outer_gap_edge, false);
    }
    mark(e.outer_edge, false);
    if (e.endo_end > e.inner_edge) {
      mark(e.inner_edge, true);
      mark(e.endo_end, true);
    } else {
      mark(e.inner_edge, false);
    }
    if (e.inner_layer) {
      mark(e.inner_gap_edge, false);
      mark(e.inner_layer_end, false);
    }
  }
  return g;
}

outline_spine_geometry outline_spine(const landmarks& marks, int32_t end_level_a, int32_t end_level_b) {
  outline_spine_geometry g;
  for (int32_t level = 0; level < SPINE_LEVELS; ++level) {
    const landmark_t* part[SPINE_PARTS] = {nullptr, nullptr, nullptr};
    for (const landmark_t& l : marks)
      if (l.kind == LM_SPINE && l.level == level && l.part >= 0 && l.part < SPINE_PARTS && !part[l.part])
        part[l.part] = &l;
    auto at = [](const landmark_t* l) { return vec3_t{l->x, l->y, l->z}; };
    vec3_t label;
    if (part[0] && part[1] && part[2]) {
      const vec3_t p0 = at(part[0]), p1 = at(part[1]), p2 = at(part[2]);
      const vec3_t d = vec3_normalise(p2 - p0);
      const vec3_t m = p0 + vec3_dot(p1 - p0, d) * d;
      g.lines.push_back({p0, p2});
      g.lines.push_back({p1, m});
      g.polyline.push_back(m);
      label = m;
      if (level == end_level_a) {
        g.have_a = true;
        g.a = m;
      }
      if (level == end_level_b) {
        g.have_b = true;
        g.b = m;
      }
    } else if (part[0] && part[2]) {
      label = 0.5 * (at(part[0]) + at(part[2]));
    } else if (part[1]) {
      label = at(part[1]);
    } else {
      continue;
    }
    g.labels.push_back({label, level});
  }
  return g;
}

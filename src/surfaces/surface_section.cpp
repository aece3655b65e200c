#include "surfaces/surface_section.h"

#include <algorithm>
#include <cmath>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_sources.h"

namespace {

struct segment {
  vec2_t p[2];
  uint64_t key[2];
  bool taken = false;
};

uint64_t edge_key(int32_t a, int32_t b) {
  const uint64_t hi = uint64_t(std::max(a, b)), lo = uint64_t(std::min(a, b));
  return (hi << 32) | lo;
}

double dist2(const vec2_t& a, const vec2_t& b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

// The two crossing points of a cut triangle, as world points and edge keys;
// false when all three corners lie on one side.
bool cut_triangle(const surface_mesh& m, const surface_triangle& t, const section_plane& plane,
                  vec3_t out[2], uint64_t keys[2]) {
  const int32_t v[3] = {t.a, t.b, t.c};
  vec3_t p[3];
  double s[3];
  for (int k = 0; k < 3; ++k) {
    p[k] = vec3_t{m.points[v[k]].x, m.points[v[k]].y, m.points[v[k]].z};
    s[k] = vec3_dot(plane.normal, p[k]) + plane.d;
  }
  const int code = 4 * (s[0] > 0) + 2 * (s[1] > 0) + (s[2] > 0);
  if (code == 0 || code == 7) return false;
  // Edges: 0 A-B, 1 A-C, 2 B-C.
  static const int ends[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  int first, second;
  if (code == 1 || code == 6) first = 1, second = 2;
  else if (code == 2 || code == 5) first = 0, second = 2;
  else first = 0, second = 1;
  const int which[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    const int a = ends[which[i]][0], b = ends[which[i]][1];
    const double q = s[a] / (s[a] - s[b]);
    out[i] = p[a] + (p[b] - p[a]) * q;
    keys[i] = edge_key(v[a], v[b]);
  }
  return true;
}

}  // namespace

bool frame_section_plane(int frame, section_plane& out) {
  if (!resource_table || !frame_store) return false;
  const resource_table_t& t = *resource_table;
  if (frame == -1) {
    if (t.RES_BUF_FRAMES->read() == 0 || !t.RES_POS_REC->read()) return false;
    frame = int(t.RES_BUF_CURRENT_FRAME->read());
  }
  if (frame < 0 || size_t(frame) >= frame_store->positions.size()) return false;
  const position_t* pos = frame_store->positions[size_t(frame)].get();
  if (!pos) return false;
  matrix4_t m, T, inverse;
  matrix4_from_position_t(m, *pos);
  matrix4_multiply(m, T, surface_calibration_from_resources());
  matrix4_rigid_inverse(T, inverse);
  out.normal = vec3_normalise(matrix4_get_z_axis(T));
  out.d = -vec3_dot(out.normal, matrix4_get_translation(T));
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  out.to_pixels = [inverse, xs, ys](const vec3_t& p) {
    vec3_t q;
    matrix4_transform_point(q, inverse, p);
    return vec2_t{q.x / xs, q.y / ys};
  };
  return true;
}

std::unique_ptr<frame_contours_t> plane_cross_section(const surface_interp& s,
                                                      const section_plane& plane, int divisor,
                                                      double tolerance) {
  auto result = std::make_unique<frame_contours_t>();
  result->frame = -1;
  const surface_mesh& m = s.mesh;
  if (!m.points || !m.triangles || !plane.to_pixels) return result;
  if (divisor < 1) divisor = 1;
  std::vector<segment> segs;
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    vec3_t w[2];
    segment g;
    if (!cut_triangle(m, m.triangles[i], plane, w, g.key)) continue;
    for (int k = 0; k < 2; ++k) {
      const vec2_t px = plane.to_pixels(w[k]);
      g.p[k] = vec2_t{px.x / divisor, px.y / divisor};
    }
    segs.push_back(g);
  }

  size_t taken_since = 0;
  // The first segment not yet taken that has the key, and which of its ends.
  auto find_key = [&](uint64_t key, int& end) -> segment* {
    for (segment& g : segs) {
      if (g.taken) continue;
      if (g.key[0] == key) return end = 0, &g;
      if (g.key[1] == key) return end = 1, &g;
    }
    return nullptr;
  };
  for (;;) {
    auto first = std::find_if(segs.begin(), segs.end(), [](const segment& g) { return !g.taken; });
    if (first == segs.end()) break;
    contour_t poly;
    poly.vertices.push_back(first->p[0]);
    vec2_t pending = first->p[1];
    const uint64_t start_key = first->key[0];
    uint64_t cur = first->key[1];
    first->taken = true;
    ++taken_since;
    bool closed = false;
    for (;;) {
      int end;
      if (segment* g = find_key(cur, end)) {
        poly.vertices.push_back(g->p[end]);
        pending = g->p[1 - end];
        cur = g->key[1 - end];
        g->taken = true;
        ++taken_since;
        continue;
      }
      if (cur == start_key) {
        closed = true;
        break;
      }
      segment* near = nullptr;
      for (segment& g : segs) {
        if (g.taken) continue;
        for (int k = 0; k < 2 && !near; ++k)
          if (dist2(g.p[k], pending) < 1e-15) near = &g, end = k;
        if (near) break;
      }
      if (near) {
        poly.vertices.push_back(near->p[end]);
        pending = near->p[1 - end];
        cur = near->key[1 - end];
        near->taken = true;
        ++taken_since;
        continue;
      }
      if (dist2(pending, poly.vertices.front()) < 1e-15) {
        closed = true;
        break;
      }
      poly.vertices.push_back(pending);
      // Open: extend backwards from the start by edge keys.
      std::vector<vec2_t> before;
      uint64_t back = start_key;
      bool found_any = false;
      vec2_t far_end;
      while (segment* g = find_key(back, end)) {
        if (found_any) before.push_back(g->p[end]);
        far_end = g->p[1 - end];
        back = g->key[1 - end];
        g->taken = true;
        ++taken_since;
        found_any = true;
      }
      if (found_any) before.push_back(far_end);
      poly.vertices.insert(poly.vertices.begin(), before.rbegin(), before.rend());
      break;
    }
    poly.closed = closed;
    poly.simplify(tolerance);
    const size_t n = poly.vertices.size();
    if (n >= 3 || (n >= 2 && !closed)) result->contours.push_back(std::move(poly));
    if (taken_since < segs.size() && taken_since > segs.size() / 8) {
      segs.erase(std::remove_if(segs.begin(), segs.end(), [](const segment& g) { return g.taken; }),
                 segs.end());
      taken_since = 0;
    }
  }
  return result;
}

std::unique_ptr<frame_contours_t> plane_cross_section(const surface_interp& s, int frame,
                                                      int divisor, double tolerance) {
  section_plane plane;
  if (!frame_section_plane(frame, plane)) {
    auto empty = std::make_unique<frame_contours_t>();
    empty->frame = -1;
    return empty;
  }
  return plane_cross_section(s, plane, divisor, tolerance);
}

std::vector<std::vector<int32_t>> scanline_crossings(const surface_interp& s,
                                                     const section_plane& plane, int rows, int b) {
  if (b < 1) b = 1;
  if (rows < 0) rows = 0;
  std::vector<std::vector<int32_t>> out(static_cast<size_t>(rows));
  const surface_mesh& m = s.mesh;
  if (!m.points || !m.triangles || !plane.to_pixels || rows == 0) return out;
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    vec3_t w[2];
    uint64_t keys[2];
    if (!cut_triangle(m, m.triangles[i], plane, w, keys)) continue;
    vec2_t p1 = plane.to_pixels(w[0]), p2 = plane.to_pixels(w[1]);
    p1.x -= 0.5, p1.y -= 0.5, p2.x -= 0.5, p2.y -= 0.5;
    if (p2.y < p1.y) std::swap(p1, p2);
    if (!std::isfinite(p1.y) || !std::isfinite(p2.y)) continue;
    // Only the rows that exist: a surface far off the plane's image costs nothing.
    const double lo = std::max(std::ceil(p1.y), 0.0);
    const double hi = std::min(std::floor(p2.y), double(rows - 1) * b);
    for (long k = long(std::ceil(lo / b)) * b; k <= long(hi); k += b) {
      const double t = p2.y == p1.y ? 0.5 : (k - p1.y) / (p2.y - p1.y);
      const double x = ((1 - t) * p1.x + t * p2.x) / b + 0.5;
      if (!(std::fabs(x) < 2e9)) continue;
      out[size_t(k / b)].push_back(int32_t(std::trunc(x)));
    }
  }
  for (size_t r = 0; r < out.size(); ++r) {
    std::vector<int32_t>& row = out[r];
    std::sort(row.begin(), row.end());
    if (row.size() % 2 == 0) continue;
    auto twin = std::adjacent_find(row.begin(), row.end());
    if (twin != row.end())
      row.erase(twin + 1);
    else if (r == 0)
      row.clear();
    else
      row = out[r - 1];
  }
  return out;
}

bool scanline_crossings(const surface_interp& s, int frame, int b,
                        std::vector<std::vector<int32_t>>& rows) {
  section_plane plane;
  if (frame < -1 || !frame_section_plane(frame, plane)) return false;
  if (b < 1) b = 1;
  const long height = resource_table->RES_BUF_HEIGHT->read();
  rows = scanline_crossings(s, plane, int((height - 1) / b + 1), b);
  return true;
}

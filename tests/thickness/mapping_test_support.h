// Surfaces for the mapping tests: a tube mesh laid on the frames of the
// tube phantom (tests/data/make_tube_phantom.py) with its analytic normals,
// and progress hooks on a fake clock.
#pragma once

#include <cmath>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "data/dynabuf.h"
#include "data/geometry.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_sources.h"
#include "thickness/surface_mapping.h"

namespace mapping_test {

constexpr double kPi = 3.14159265358979323846;

// The phantom's defaults: axis at pixel (80, 80) (centre 80.5 along the
// engine's lines), outer radius 48 pixels of 0.25 mm, wall 0.6 mm towards +x
// to 3 mm towards -x.
struct tube_geometry {
  double cx = 80.5, cy = 80.5, radius_px = 48.0;
  double wall_min = 0.6, wall_max = 3.0;
  double wall(double theta) const {
    return wall_min + (wall_max - wall_min) * (1 - std::cos(theta)) / 2;
  }
};

inline void set_mesh(surface_interp& s, const std::vector<surface_point>& points,
                     const std::vector<surface_triangle>& triangles) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(points.size());
  s.mesh.points = new surface_point[points.size()];
  std::copy(points.begin(), points.end(), s.mesh.points);
  s.mesh.n_triangles = int32_t(triangles.size());
  s.mesh.triangles = new surface_triangle[triangles.size()];
  std::copy(triangles.begin(), triangles.end(), s.mesh.triangles);
}

// A ring of `segments` vertices on the outer surface in each of the given
// frames, in world coordinates through the frames' positions and the
// calibration; vertex k of ring r is index r * segments + k at angle
// 2 pi k / segments.
inline void tube_mesh(surface_interp& s, const tube_geometry& g, const std::vector<int>& frames,
                      int segments, double xscale) {
  const matrix4_t C = surface_calibration_from_resources();
  s.calibration = C;
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  for (size_t r = 0; r < frames.size(); ++r) {
    matrix4_t P, F;
    matrix4_from_position_t(P, *frame_store->positions[size_t(frames[r])]);
    matrix4_multiply(P, F, C);
    for (int k = 0; k < segments; ++k) {
      const double th = 2 * kPi * k / segments;
      const vec3_t local{(g.cx + g.radius_px * std::cos(th)) * xscale,
                         (g.cy + g.radius_px * std::sin(th)) * xscale, 0.0};
      vec3_t w, tip;
      matrix4_transform_point(w, F, local);
      matrix4_transform_point(tip, F, local + vec3_t{std::cos(th), std::sin(th), 0.0});
      const vec3_t n = tip - w;
      surface_point p;
      p.x = w.x, p.y = w.y, p.z = w.z;
      p.nx = n.x, p.ny = n.y, p.nz = n.z;
      p.type = 3;
      pts.push_back(p);
    }
  }
  for (int r = 0; r + 1 < int(frames.size()); ++r)
    for (int k = 0; k < segments; ++k) {
      const int a = r * segments + k, b = r * segments + (k + 1) % segments;
      tris.push_back({a, b, b + segments, 1});
      tris.push_back({a, b + segments, a + segments, 1});
    }
  set_mesh(s, pts, tris);
}

// Progress hooks on a clock that advances 250 ms at every look, so that
// every vertex updates the progress; update returns false once `cancel_at`
// is reached (never when negative) and runs `on_refresh` at each refresh.
class fake_hooks : public thickness_mapping_hooks {
 public:
  void open(const wxString& t, const wxString& m, int r) override {
    title = t, first_message = m, range = r, ++opened;
  }
  bool update(int value, const wxString& message) override {
    last_value = value, last_message = message, ++updates;
    return cancel_at < 0 || value < cancel_at;
  }
  void close() override { ++closed; }
  void refresh_views() override {
    ++refreshes;
    if (on_refresh) on_refresh();
  }
  int64_t now_ms() override { return clock += 250; }

  wxString title, first_message, last_message;
  int range = 0, last_value = -1, opened = 0, closed = 0, updates = 0, refreshes = 0;
  int cancel_at = -1;
  int64_t clock = 0;
  std::function<void()> on_refresh;
};

}  // namespace mapping_test

namespace mapping_test {

inline surface_point vertex(double x, double y, double z, double nx, double ny, double nz,
                            int32_t type = 3) {
  surface_point p;
  p.x = x, p.y = y, p.z = z, p.nx = nx, p.ny = ny, p.nz = nz, p.type = type;
  return p;
}

// A sphere of `radius` cm about the origin: rings between the poles, outward
// unit normals, outward triangles.
inline void sphere_mesh(surface_interp& s, double radius, int rings, int segments) {
  std::vector<surface_point> pts;
  pts.push_back(vertex(0, 0, radius, 0, 0, 1));
  for (int r = 1; r < rings; ++r)
    for (int k = 0; k < segments; ++k) {
      const double th = kPi * r / rings, ph = 2 * kPi * k / segments;
      const double ux = std::sin(th) * std::cos(ph), uy = std::sin(th) * std::sin(ph),
                   uz = std::cos(th);
      pts.push_back(vertex(radius * ux, radius * uy, radius * uz, ux, uy, uz));
    }
  pts.push_back(vertex(0, 0, -radius, 0, 0, -1));
  const int south = int(pts.size()) - 1;
  auto at = [&](int r, int k) { return 1 + (r - 1) * segments + (k % segments); };
  std::vector<surface_triangle> tris;
  for (int k = 0; k < segments; ++k) {
    tris.push_back({0, at(1, k), at(1, k + 1), 1});
    for (int r = 1; r + 1 < rings; ++r) {
      tris.push_back({at(r, k), at(r + 1, k), at(r + 1, k + 1), 1});
      tris.push_back({at(r, k), at(r + 1, k + 1), at(r, k + 1), 1});
    }
    tris.push_back({at(rings - 1, k), south, at(rings - 1, k + 1), 1});
  }
  set_mesh(s, pts, tris);
}

// A plate of side x side vertices `spacing` cm apart in z = 0 with normals
// along +z; boundary vertices of type 4, the rest of type 3.
inline void plate_mesh(surface_interp& s, int side, double spacing) {
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const bool edge = x == 0 || y == 0 || x == side - 1 || y == side - 1;
      pts.push_back(vertex(spacing * x, spacing * y, 0, 0, 0, 1, edge ? 4 : 3));
    }
  for (int y = 0; y + 1 < side; ++y)
    for (int x = 0; x + 1 < side; ++x) {
      const int a = y * side + x;
      tris.push_back({a, a + 1, a + side + 1, 1});
      tris.push_back({a, a + side + 1, a + side, 1});
    }
  set_mesh(s, pts, tris);
}

}  // namespace mapping_test

namespace mapping_test {

// An icosphere of `radius` cm: an icosahedron with each triangle split into
// four `levels` times, projected onto the sphere; outward unit normals and
// outward triangles, every vertex of type 3.
inline void icosphere_mesh(surface_interp& s, double radius, int levels) {
  const double g = (1 + std::sqrt(5.0)) / 2;
  std::vector<vec3_t> v = {{-1, g, 0}, {1, g, 0},  {-1, -g, 0}, {1, -g, 0},
                           {0, -1, g}, {0, 1, g},  {0, -1, -g}, {0, 1, -g},
                           {g, 0, -1}, {g, 0, 1},  {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<int, 3>> f = {
      {0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
      {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
      {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  for (vec3_t& p : v) p = vec3_normalise(p);
  for (int l = 0; l < levels; ++l) {
    std::map<std::pair<int, int>, int> middle;
    auto mid = [&](int a, int b) {
      const std::pair<int, int> key{std::min(a, b), std::max(a, b)};
      auto it = middle.find(key);
      if (it != middle.end()) return it->second;
      v.push_back(vec3_normalise(v[size_t(a)] + v[size_t(b)]));
      return middle[key] = int(v.size()) - 1;
    };
    std::vector<std::array<int, 3>> next;
    for (const auto& t : f) {
      const int ab = mid(t[0], t[1]), bc = mid(t[1], t[2]), ca = mid(t[2], t[0]);
      next.push_back({t[0], ab, ca});
      next.push_back({t[1], bc, ab});
      next.push_back({t[2], ca, bc});
      next.push_back({ab, bc, ca});
    }
    f.swap(next);
  }
  std::vector<surface_point> pts;
  for (const vec3_t& p : v) pts.push_back(vertex(radius * p.x, radius * p.y, radius * p.z, p.x, p.y, p.z));
  std::vector<surface_triangle> tris;
  for (const auto& t : f) {
    // Counter-clockwise seen from outside: (b - a) x (c - b) along the radius.
    const vec3_t& a = v[size_t(t[0])];
    const vec3_t n = vec3_cross(v[size_t(t[1])] - a, v[size_t(t[2])] - v[size_t(t[1])]);
    if (vec3_dot(n, a) >= 0)
      tris.push_back({t[0], t[1], t[2], 1});
    else
      tris.push_back({t[0], t[2], t[1], 1});
  }
  set_mesh(s, pts, tris);
}

}  // namespace mapping_test

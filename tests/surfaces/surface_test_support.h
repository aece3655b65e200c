// Contours cut from known solids, the frames that cut them, and checks on
// the meshes built from them.
#pragma once

#include <cmath>
#include <fstream>
#include <list>
#include <sstream>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "data/contour.h"
#include "surfaces/surface_interp.h"

namespace surface_test {

constexpr double PI = 3.141592653589793;

// Closed polygon of n vertices on a circle, in pixels.
inline contour_t circle(double cx, double cy, double r, int n = 96) {
  contour_t c;
  c.closed = true;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * PI * i / n;
    c.vertices.push_back(vec2_t{cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return c;
}

// Area of that polygon, which the mesh samples rather than the circle itself.
inline double polygon_area(double r, int n = 96) { return 0.5 * n * r * r * std::sin(2 * PI / n); }

// Plane transform: x axis ex, y axis ey, origin o (centimetres).
inline matrix4_t frame(const vec3_t& ex, const vec3_t& ey, const vec3_t& o) {
  matrix4_t m;
  matrix4_identity(m);
  const vec3_t ez = vec3_cross(ex, ey);
  m[0] = ex.x, m[1] = ex.y, m[2] = ex.z;
  m[4] = ey.x, m[5] = ey.y, m[6] = ey.z;
  m[8] = ez.x, m[9] = ez.y, m[10] = ez.z;
  m[12] = o.x, m[13] = o.y, m[14] = o.z;
  return m;
}

// Frames and their contours; the list keeps entries in place.
struct solid_cut {
  std::list<frame_contours_t> entries;
  std::vector<plane_source> planes;

  frame_contours_t& add(const matrix4_t& transform, int frame) {
    entries.emplace_back();
    entries.back().frame = frame;
    planes.push_back(plane_source{&entries.back(), transform});
    return entries.back();
  }
  void add_empty(const matrix4_t& transform) { planes.push_back(plane_source{nullptr, transform}); }
};

struct mesh_report {
  int open_edges = 0;          // undirected edges not used by exactly two triangles
  int misoriented_edges = 0;   // directed edges used twice
  int degenerate = 0;          // triangles with repeated or invalid indices
  double signed_volume = 0.0;  // with outward order: positive when the normals point out
};

// Cap rims hold a vertex twice (side and cap); the checks weld vertices at
// exactly the same place into the first of them.
inline mesh_report check_mesh(const surface_interp& s) {
  const surface_mesh& m = s.mesh;
  mesh_report r;
  std::map<std::tuple<double, double, double>, int> first_at;
  std::vector<int> weld(size_t(m.n_points));
  for (int32_t i = 0; i < m.n_points; ++i)
    weld[i] = first_at.emplace(std::make_tuple(m.points[i].x, m.points[i].y, m.points[i].z), i)
                  .first->second;
  std::map<std::pair<int, int>, int> undirected, directed;
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    int32_t v[3];
    s.outward_order(m.triangles[i], v[0], v[1], v[2]);
    bool bad = false;
    for (int k = 0; k < 3; ++k)
      if (v[k] < 0 || v[k] >= m.n_points) bad = true;
    if (!bad)
      for (int k = 0; k < 3; ++k) v[k] = weld[v[k]];
    for (int k = 0; k < 3; ++k)
      if (v[k] == v[(k + 1) % 3]) bad = true;
    if (bad) {
      ++r.degenerate;
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      const int a = v[k], b = v[(k + 1) % 3];
      ++undirected[{std::min(a, b), std::max(a, b)}];
      ++directed[{a, b}];
    }
    const surface_point &p0 = m.points[v[0]], &p1 = m.points[v[1]], &p2 = m.points[v[2]];
    // Signed tetrahedron volumes against the origin.
    r.signed_volume += (p0.x * (p1.y * p2.z - p1.z * p2.y) - p0.y * (p1.x * p2.z - p1.z * p2.x) +
                        p0.z * (p1.x * p2.y - p1.y * p2.x)) /
                       6.0;
  }
  for (const auto& e : undirected)
    if (e.second != 2) ++r.open_edges;
  for (const auto& e : directed)
    if (e.second != 1) ++r.misoriented_edges;
  return r;
}

// A data file with its frames: `frames` frames of 100 x 100 px, 0.01 cm
// pixels, frame k at z = spacing_cm * k; the contours go to `object`.
inline void write_stack_file(const std::string& hm_path, int frames, double spacing_cm,
                             const std::vector<std::pair<int, contour_t>>& contours,
                             int object = 2, const std::string& extra_lines = "") {
  const std::string qzi = hm_path.substr(0, hm_path.size() - 2) + "qzi";
  std::ostringstream hm;
  hm.precision(10);
  hm << "RES_BUF_FRAMES " << frames
     << "\nRES_BUF_WIDTH 100\nRES_BUF_HEIGHT 100\nRES_POS_REC true\nRES_END_HEADER\n"
        "RES_XSCALE 0.01\nRES_YSCALE 0.01\nRES_BIN_IM_FILENAME "
     << qzi.substr(qzi.find_last_of('/') + 1) << "\n" << extra_lines;
  for (int f = 0; f < frames; ++f) hm << "IM " << 100 * f << " 0 0 " << spacing_cm * f << " 0 0 0\n";
  for (const auto& fc : contours) {
    hm << "CONT " << object << " " << fc.first << " " << (fc.second.closed ? 1 : 0);
    for (const vec2_t& v : fc.second.vertices) hm << " " << v.x << " " << v.y;
    hm << "\n";
  }
  std::ofstream(hm_path, std::ios::binary) << hm.str();
  std::ofstream(qzi, std::ios::binary) << std::string(size_t(frames) * 100 * 100, '\x40');
}

// Sections of a sphere of radius 20 px centred at pixel (50, 50) on frame 4,
// drawn on frames 1..7 of 9 frames 6 px apart.
inline std::vector<std::pair<int, contour_t>> sphere_sections() {
  std::vector<std::pair<int, contour_t>> out;
  for (int f = 1; f <= 7; ++f) {
    const double z = 6.0 * (f - 4);
    out.emplace_back(f, circle(50, 50, std::sqrt(400 - z * z)));
  }
  return out;
}

}  // namespace surface_test

// Meshes for the surface file and vertex buffer tests, and reading back what
// the surface writer wrote.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "data/ply_file.h"
#include "surfaces/surface_interp.h"

namespace surface_files_test {

inline void set_mesh(surface_interp& s, const std::vector<surface_point>& points,
                     const std::vector<surface_triangle>& triangles) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(points.size());
  s.mesh.points = points.empty() ? nullptr : new surface_point[points.size()];
  for (size_t i = 0; i < points.size(); ++i) s.mesh.points[i] = points[i];
  s.mesh.n_triangles = int32_t(triangles.size());
  s.mesh.triangles = triangles.empty() ? nullptr : new surface_triangle[triangles.size()];
  for (size_t i = 0; i < triangles.size(); ++i) s.mesh.triangles[i] = triangles[i];
}

inline surface_point point(double x, double y, double z, double nx, double ny, double nz,
                           int32_t type = 3, uint8_t colour = 0) {
  surface_point p;
  p.x = x, p.y = y, p.z = z, p.nx = nx, p.ny = ny, p.nz = nz, p.type = type, p.colour = colour;
  return p;
}

// A sphere of `radius` cm about the origin: rings of points between the
// poles, normals along the radius but `normal_length` long.
inline void set_sphere(surface_interp& s, double radius, int rings = 12, int segments = 24,
                       double normal_length = 1.0) {
  const double pi = 3.141592653589793;
  std::vector<surface_point> pts;
  pts.push_back(point(0, 0, radius, 0, 0, normal_length));
  for (int r = 1; r < rings; ++r)
    for (int k = 0; k < segments; ++k) {
      const double th = pi * r / rings, ph = 2 * pi * k / segments;
      const double ux = std::sin(th) * std::cos(ph), uy = std::sin(th) * std::sin(ph),
                   uz = std::cos(th);
      pts.push_back(point(radius * ux, radius * uy, radius * uz, normal_length * ux,
                          normal_length * uy, normal_length * uz));
    }
  pts.push_back(point(0, 0, -radius, 0, 0, -normal_length));
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

// A PLY file as its vertex rows (every property of "vertex", in order) and
// face index lists.
struct ply_content {
  std::vector<std::string> comments;
  std::vector<std::vector<double>> vertices;
  std::vector<std::vector<double>> faces;
  std::string error;
};

inline ply_content read_ply(const std::string& bytes) {
  ply_content c;
  ply_reader r;
  if (!r.open_memory(bytes.data(), bytes.size())) {
    c.error = r.error().ToStdString();
    return c;
  }
  c.comments = r.comments();
  if (const ply_element* v = r.find_element("vertex")) {
    c.vertices.assign(size_t(v->count), {});
    for (const ply_property& p : v->properties)
      r.set_callback("vertex", p.name, [&c](const ply_value& x) {
        c.vertices[size_t(x.instance)].push_back(x.value);
        return true;
      });
  }
  if (const ply_element* f = r.find_element("face")) {
    c.faces.assign(size_t(f->count), {});
    r.set_callback("face", "vertex_indices", [&c](const ply_value& x) {
      if (x.value_index >= 0) c.faces[size_t(x.instance)].push_back(x.value);
      return true;
    });
  }
  if (!r.read()) c.error = r.error().ToStdString();
  return c;
}

}  // namespace surface_files_test

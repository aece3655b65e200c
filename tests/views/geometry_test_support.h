// Geometry of the view tests: an axis-aligned cube as a surface mesh and a
// rotation computed independently of the code under test.
#pragma once

#include <cmath>

#include "data/geometry.h"
#include "surfaces/surface_interp.h"

// A cube of side 1 cm centred at c, as a surface mesh of twelve cap
// triangles; the caller owns it.
inline surface_interp* new_cube_mesh(const vec3_t& c) {
  static const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                                   {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
  auto* s = new surface_interp;
  s->mesh.n_points = 8;
  s->mesh.points = new surface_point[8];
  for (int k = 0; k < 8; ++k) {
    const int x = (k == 1 || k == 2 || k == 5 || k == 6), y = (k == 2 || k == 3 || k == 6 || k == 7);
    s->mesh.points[k].x = c.x + x - 0.5;
    s->mesh.points[k].y = c.y + y - 0.5;
    s->mesh.points[k].z = c.z + (k >= 4) - 0.5;
  }
  s->mesh.n_triangles = 12;
  s->mesh.triangles = new surface_triangle[12];
  for (int f = 0; f < 12; ++f) s->mesh.triangles[f] = {faces[f][0], faces[f][1], faces[f][2], 2};
  return s;
}

// Right-handed rotation of v by deg degrees about the unit axis k (Rodrigues).
inline vec3_t rotated(const vec3_t& v, const vec3_t& k, double deg) {
  const double a = deg * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
  const double kv = k.x * v.x + k.y * v.y + k.z * v.z;
  const vec3_t kxv{k.y * v.z - k.z * v.y, k.z * v.x - k.x * v.z, k.x * v.y - k.y * v.x};
  return {v.x * c + kxv.x * s + k.x * kv * (1 - c), v.y * c + kxv.y * s + k.y * kv * (1 - c),
          v.z * c + kxv.z * s + k.z * kv * (1 - c)};
}

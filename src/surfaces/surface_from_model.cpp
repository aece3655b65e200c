#include "surfaces/surface_from_model.h"

#include <cmath>
#include <new>

#include <wx/log.h>

#include "surfaces/surface_interp.h"

bool surface_from_model(surface_interp& s, const std::vector<vec3_t>& points,
                        const std::vector<vec3_t>& normals,
                        const std::vector<std::array<int32_t, 3>>& triangles,
                        const matrix4_t& registration) {
  surface_mesh& mesh = *s.get_mesh();
  s.source_object = -1;
  const int32_t n_points = static_cast<int32_t>(points.size());
  int32_t n_triangles = 0;
  for (const auto& t : triangles)
    n_triangles += t[0] >= 0 && t[1] >= 0 && t[2] >= 0 && t[0] < n_points && t[1] < n_points &&
                   t[2] < n_points;
  surface_point* p = new (std::nothrow) surface_point[n_points > 0 ? n_points : 1];
  if (!p) {
    wxLogError("Not able to malloc point list for surface interpolation");
    return false;
  }
  surface_triangle* tri = new (std::nothrow) surface_triangle[n_triangles > 0 ? n_triangles : 1];
  if (!tri) {
    delete[] p;
    wxLogError("Not able to malloc triangle list for surface interpolation");
    return false;
  }
  matrix4_t rotation = registration;
  rotation[12] = rotation[13] = rotation[14] = 0.0;
  // Determinant of the linear part (column-major elements).
  const matrix4_t& r = rotation;
  const double det = r[0] * (r[5] * r[10] - r[9] * r[6]) - r[4] * (r[1] * r[10] - r[9] * r[2]) +
                     r[8] * (r[1] * r[6] - r[5] * r[2]);
  int32_t k = 0;
  for (const auto& t : triangles) {
    if (t[0] < 0 || t[1] < 0 || t[2] < 0 || t[0] >= n_points || t[1] >= n_points ||
        t[2] >= n_points)
      continue;
    tri[k].a = t[0];
    tri[k].b = det < 0 ? t[2] : t[1];
    tri[k].c = det < 0 ? t[1] : t[2];
    tri[k].type = 0;
    ++k;
  }
  for (int32_t i = 0; i < n_points; ++i) {
    vec3_t q, n;
    matrix4_transform_point(q, registration, points[i]);
    p[i].x = q.x / 10.0;
    p[i].y = q.y / 10.0;
    p[i].z = q.z / 10.0;
    if (static_cast<size_t>(i) < normals.size()) {
      matrix4_transform_point(n, rotation, normals[i]);
      const double len = vec3_length(n);
      if (len != 0.0) n = vec3_scalar_mul(1.0 / len, n);
      p[i].nx = n.x;
      p[i].ny = n.y;
      p[i].nz = n.z;
    }
    p[i].type = POINT_ORDINARY;
    p[i].colour = 0;
  }
  delete[] mesh.points;
  delete[] mesh.triangles;
  mesh.points = p;
  mesh.n_points = n_points;
  mesh.triangles = tri;
  mesh.n_triangles = n_triangles;
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

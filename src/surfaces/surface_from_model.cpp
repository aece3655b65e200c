#include "surfaces/surface_from_model.h"

#include <cmath>
#include <new>

#include <wx/log.h>

#include "surfaces/surface_interp.h"

namespace {

// Determinant of the linear part of a column-major matrix.
double linear_determinant(const matrix4_t& r) {
  return r[0] * (r[5] * r[10] - r[9] * r[6]) - r[4] * (r[1] * r[10] - r[9] * r[2]) +
         r[8] * (r[1] * r[6] - r[5] * r[2]);
}

bool valid_triangle(const std::array<int32_t, 3>& t, int32_t n_points) {
  return t[0] >= 0 && t[1] >= 0 && t[2] >= 0 && t[0] < n_points && t[1] < n_points &&
         t[2] < n_points;
}

// Gives s a mesh of n_points zeroed ordinary points and the valid triangles,
// with the last two corners swapped when flip. False, with the error logged
// and s untouched, when memory cannot be had.
bool install_mesh(surface_interp& s, int32_t n_points,
                  const std::vector<std::array<int32_t, 3>>& triangles, bool flip) {
  int32_t n_triangles = 0;
  for (const auto& t : triangles) n_triangles += valid_triangle(t, n_points);
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
  int32_t k = 0;
  for (const auto& t : triangles) {
    if (!valid_triangle(t, n_points)) continue;
    tri[k].a = t[0];
    tri[k].b = flip ? t[2] : t[1];
    tri[k].c = flip ? t[1] : t[2];
    tri[k].type = 0;
    ++k;
  }
  for (int32_t i = 0; i < n_points; ++i) {
    p[i].type = POINT_ORDINARY;
    p[i].colour = 0;
  }
  surface_mesh& mesh = *s.get_mesh();
  delete[] mesh.points;
  delete[] mesh.triangles;
  mesh.points = p;
  mesh.n_points = n_points;
  mesh.triangles = tri;
  mesh.n_triangles = n_triangles;
  s.source_object = -1;
  return true;
}

void set_position(surface_point& p, const vec3_t& q) {
  p.x = q.x;
  p.y = q.y;
  p.z = q.z;
}

void set_unit_normal(surface_point& p, vec3_t n) {
  const double len = vec3_length(n);
  if (len != 0.0) n = vec3_scalar_mul(1.0 / len, n);
  p.nx = n.x;
  p.ny = n.y;
  p.nz = n.z;
}

}  // namespace

bool surface_from_model(surface_interp& s, const std::vector<vec3_t>& points,
                        const std::vector<vec3_t>& normals,
                        const std::vector<std::array<int32_t, 3>>& triangles,
                        const matrix4_t& registration) {
  matrix4_t rotation = registration;
  rotation[12] = rotation[13] = rotation[14] = 0.0;
  const int32_t n_points = static_cast<int32_t>(points.size());
  if (!install_mesh(s, n_points, triangles, linear_determinant(rotation) < 0)) return false;
  surface_point* p = s.get_mesh()->points;
  for (int32_t i = 0; i < n_points; ++i) {
    vec3_t q;
    matrix4_transform_point(q, registration, points[i]);
    set_position(p[i], vec3_scalar_mul(0.1, q));
    if (static_cast<size_t>(i) < normals.size()) {
      vec3_t n;
      matrix4_transform_point(n, rotation, normals[i]);
      set_unit_normal(p[i], n);
    }
  }
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

bool surface_from_reference(surface_interp& s, const std::vector<vec3_t>& points,
                            const std::vector<vec3_t>& normals,
                            const std::vector<std::array<int32_t, 3>>& triangles) {
  const int32_t n_points = static_cast<int32_t>(points.size());
  if (!install_mesh(s, n_points, triangles, false)) return false;
  surface_mesh& mesh = *s.get_mesh();
  const bool file_normals = normals.size() == points.size();
  for (int32_t i = 0; i < n_points; ++i) {
    set_position(mesh.points[i], vec3_scalar_mul(0.1, points[i]));
    if (file_normals) set_unit_normal(mesh.points[i], normals[i]);
  }
  if (!file_normals) s.compute_normals();
  // A derived cortical layer saved with both its layers holds the second
  // layer's triangles as the first's shifted by half the points.
  const int32_t h = mesh.n_triangles / 2, step = std::max(1, mesh.n_triangles / 200);
  bool sampled = false, shifted = true;
  for (int32_t j = 0; j < h; j += step) {
    sampled = true;
    if (mesh.triangles[j + h].c != mesh.triangles[j].c + n_points / 2) {
      shifted = false;
      break;
    }
  }
  s.double_layer = sampled && shifted;
  s.mark_boundary_vertices();
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

bool surface_from_substructure(surface_interp& s, const std::vector<vec3_t>& points,
                               const std::vector<std::array<int32_t, 3>>& triangles,
                               const matrix4_t& registration, bool mirrored) {
  double det = linear_determinant(registration);
  if (mirrored) det = -det;
  const int32_t n_points = static_cast<int32_t>(points.size());
  if (!install_mesh(s, n_points, triangles, det < 0)) return false;
  surface_point* p = s.get_mesh()->points;
  for (int32_t i = 0; i < n_points; ++i) set_position(p[i], points[i]);
  s.compute_normals();
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

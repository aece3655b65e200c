#include "surfaces/surface_from_model.h"

#include <algorithm>
#include <cmath>
#include <new>

#include <wx/log.h>

#include "surfaces/surface_interp.h"

namespace {

bool valid(const std::array<int32_t, 3>& t, int32_t n) {
  return t[0] >= 0 && t[1] >= 0 && t[2] >= 0 && t[0] < n && t[1] < n && t[2] < n;
}

// Determinant of the linear part of m (column-major elements).
double linear_determinant(const matrix4_t& r) {
  return r[0] * (r[5] * r[10] - r[9] * r[6]) - r[4] * (r[1] * r[10] - r[9] * r[2]) +
         r[8] * (r[1] * r[6] - r[5] * r[2]);
}

// New point and triangle arrays for n_points and the valid triangles, every
// point of type POINT_ORDINARY and zero, every triangle of type 0, with b and
// c swapped when flip; false, with the error logged, when they cannot be had.
bool allocate(int32_t n_points, const std::vector<std::array<int32_t, 3>>& triangles, bool flip,
              surface_point*& p, surface_triangle*& tri, int32_t& n_triangles) {
  n_triangles = 0;
  for (const auto& t : triangles) n_triangles += valid(t, n_points);
  p = new (std::nothrow) surface_point[n_points > 0 ? n_points : 1];
  if (!p) {
    wxLogError("Not able to malloc point list for surface interpolation");
    return false;
  }
  tri = new (std::nothrow) surface_triangle[n_triangles > 0 ? n_triangles : 1];
  if (!tri) {
    delete[] p;
    p = nullptr;
    wxLogError("Not able to malloc triangle list for surface interpolation");
    return false;
  }
  int32_t k = 0;
  for (const auto& t : triangles) {
    if (!valid(t, n_points)) continue;
    tri[k] = surface_triangle{t[0], flip ? t[2] : t[1], flip ? t[1] : t[2], 0};
    ++k;
  }
  for (int32_t i = 0; i < n_points; ++i) p[i].type = POINT_ORDINARY;
  return true;
}

void install(surface_interp& s, surface_point* p, int32_t n_points, surface_triangle* tri,
             int32_t n_triangles) {
  surface_mesh& mesh = *s.get_mesh();
  delete[] mesh.points;
  delete[] mesh.triangles;
  mesh.points = p;
  mesh.n_points = n_points;
  mesh.triangles = tri;
  mesh.n_triangles = n_triangles;
}

}  // namespace

bool surface_from_model(surface_interp& s, const std::vector<vec3_t>& points,
                        const std::vector<vec3_t>& normals,
                        const std::vector<std::array<int32_t, 3>>& triangles,
                        const matrix4_t& registration) {
  s.source_object = -1;
  const int32_t n_points = static_cast<int32_t>(points.size());
  matrix4_t rotation = registration;
  rotation[12] = rotation[13] = rotation[14] = 0.0;
  // A mirroring registration would turn the triangles inwards.
  const double det = linear_determinant(rotation);
  surface_point* p;
  surface_triangle* tri;
  int32_t n_triangles;
  if (!allocate(n_points, triangles, det < 0, p, tri, n_triangles)) return false;
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
  }
  install(s, p, n_points, tri, n_triangles);
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

bool surface_from_reference(surface_interp& s, const std::vector<vec3_t>& points,
                            const std::vector<vec3_t>& normals,
                            const std::vector<std::array<int32_t, 3>>& triangles) {
  s.source_object = -1;
  const int32_t n_points = static_cast<int32_t>(points.size());
  surface_point* p;
  surface_triangle* tri;
  int32_t n_triangles;
  if (!allocate(n_points, triangles, false, p, tri, n_triangles)) return false;
  const bool file_normals = normals.size() == points.size();
  for (int32_t i = 0; i < n_points; ++i) {
    p[i].x = points[size_t(i)].x / 10.0;
    p[i].y = points[size_t(i)].y / 10.0;
    p[i].z = points[size_t(i)].z / 10.0;
    if (file_normals) {
      vec3_t n = normals[size_t(i)];
      const double len = vec3_length(n);
      if (len != 0.0) n = vec3_scalar_mul(1.0 / len, n);
      p[i].nx = n.x, p[i].ny = n.y, p[i].nz = n.z;
    }
  }
  install(s, p, n_points, tri, n_triangles);
  if (!file_normals) s.compute_normals();
  // A derived cortical layer with both layers: triangle j + h is triangle j
  // of the inner layer, its points half the points further on.
  const int32_t half = n_triangles / 2, stride = std::max(1, n_triangles / 200);
  bool double_layer = half > 0;
  for (int32_t j = 0; j < half && double_layer; j += stride)
    double_layer = tri[j + half].c == tri[j].c + n_points / 2;
  s.double_layer = double_layer;
  s.mark_boundary_vertices();
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

bool surface_from_substructure(surface_interp& s, const std::vector<vec3_t>& points,
                               const std::vector<std::array<int32_t, 3>>& triangles,
                               const matrix4_t& registration, bool mirrored) {
  s.source_object = -1;
  const int32_t n_points = static_cast<int32_t>(points.size());
  double det = linear_determinant(registration);
  if (mirrored) det = -det;
  surface_point* p;
  surface_triangle* tri;
  int32_t n_triangles;
  if (!allocate(n_points, triangles, det < 0, p, tri, n_triangles)) return false;
  for (int32_t i = 0; i < n_points; ++i) {
    p[i].x = points[size_t(i)].x;
    p[i].y = points[size_t(i)].y;
    p[i].z = points[size_t(i)].z;
  }
  install(s, p, n_points, tri, n_triangles);
  s.compute_normals();
  s.triangle_volume();
  s.map_curves_to_surface(true);
  return true;
}

// Meshes for the bin grid and compounding tests: a UV sphere, a torus and a
// flat disc with known normals, owned by a small holder.
#pragma once

#include <cmath>
#include <vector>

#include "surfaces/surface_types.h"

namespace bin_grid_test {

constexpr double PI = 3.141592653589793;

struct owned_mesh {
  std::vector<surface_point> points;
  std::vector<surface_triangle> triangles;
  surface_mesh mesh;

  surface_mesh* get() {
    mesh.n_points = int32_t(points.size());
    mesh.points = points.data();
    mesh.n_triangles = int32_t(triangles.size());
    mesh.triangles = triangles.data();
    return &mesh;
  }
  void add_point(double x, double y, double z, double nx, double ny, double nz,
                 int32_t type = POINT_ORDINARY) {
    surface_point p;
    p.x = x, p.y = y, p.z = z, p.nx = nx, p.ny = ny, p.nz = nz, p.type = type;
    points.push_back(p);
  }
  void add_triangle(int32_t a, int32_t b, int32_t c, int32_t type = 1) {
    triangles.push_back(surface_triangle{a, b, c, type});
  }
};

// Grid of nu x nv parameter cells wrapped in u (and in v when wrap_v),
// with poles when not; f gives position and normal of (u, v) in [0, 1].
template <typename F>
void parametric(owned_mesh& m, int nu, int nv, bool wrap_v, F f) {
  const int rows = wrap_v ? nv : nv + 1;
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < nu; ++i) {
      double p[3], n[3];
      f(double(i) / nu, double(j) / nv, p, n);
      m.add_point(p[0], p[1], p[2], n[0], n[1], n[2]);
    }
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i) {
      const int j1 = wrap_v ? (j + 1) % nv : j + 1;
      const int a = j * nu + i, b = j * nu + (i + 1) % nu, c = j1 * nu + (i + 1) % nu,
                d = j1 * nu + i;
      m.add_triangle(a, b, c);
      m.add_triangle(a, c, d);
    }
}

// Sphere of radius r about c; the pole rows repeat one point, which gives
// degenerate triangles there as a real mesh may have.
inline owned_mesh sphere(double cx, double cy, double cz, double r, int nu = 96, int nv = 64) {
  owned_mesh m;
  parametric(m, nu, nv, false, [&](double u, double v, double* p, double* n) {
    const double th = PI * v, ph = 2 * PI * u;
    n[0] = std::sin(th) * std::cos(ph), n[1] = std::sin(th) * std::sin(ph), n[2] = std::cos(th);
    p[0] = cx + r * n[0], p[1] = cy + r * n[1], p[2] = cz + r * n[2];
  });
  return m;
}

inline owned_mesh torus(double R, double r, int nu = 120, int nv = 48) {
  owned_mesh m;
  parametric(m, nu, nv, true, [&](double u, double v, double* p, double* n) {
    const double a = 2 * PI * u, b = 2 * PI * v;
    n[0] = std::cos(b) * std::cos(a), n[1] = std::cos(b) * std::sin(a), n[2] = std::sin(b);
    p[0] = (R + r * std::cos(b)) * std::cos(a), p[1] = (R + r * std::cos(b)) * std::sin(a);
    p[2] = r * std::sin(b);
  });
  return m;
}

// Flat disc of radius r in the plane z = z0, rings of triangles about a
// centre vertex; the outer ring is marked as boundary.
inline owned_mesh disc(double r, double z0, int rings = 30, int sectors = 80) {
  owned_mesh m;
  m.add_point(0, 0, z0, 0, 0, 1);
  for (int k = 1; k <= rings; ++k)
    for (int i = 0; i < sectors; ++i) {
      const double a = 2 * PI * (i + 0.5 * (k % 2)) / sectors, q = r * k / rings;
      m.add_point(q * std::cos(a), q * std::sin(a), z0, 0, 0, 1,
                  k == rings ? POINT_BOUNDARY : POINT_ORDINARY);
    }
  auto at = [&](int k, int i) { return k == 0 ? 0 : 1 + (k - 1) * sectors + (i % sectors); };
  for (int i = 0; i < sectors; ++i) m.add_triangle(0, at(1, i), at(1, i + 1));
  for (int k = 1; k < rings; ++k)
    for (int i = 0; i < sectors; ++i) {
      m.add_triangle(at(k, i), at(k + 1, i), at(k + 1, i + 1));
      m.add_triangle(at(k, i), at(k + 1, i + 1), at(k, i + 1));
    }
  return m;
}

}  // namespace bin_grid_test

// Meshes interpolated from contours cut from known solids: closed, wound one
// way, and enclosing the solid's volume.
#include <gtest/gtest.h>

#include "surfaces/surface_interp.h"
#include "surface_test_support.h"

using namespace surface_test;

namespace {

constexpr double PIXEL = 0.01;  // cm

matrix4_t frame_at_z(double z_cm) { return frame({1, 0, 0}, {0, 1, 0}, {0, 0, z_cm}); }

// Volume between parallel circular sections whose radius changes linearly
// from plane to plane: a stack of frusta (pixels^3).
double frusta_volume(const std::vector<std::pair<double, double>>& z_r) {
  double v = 0.0;
  for (size_t i = 1; i < z_r.size(); ++i) {
    const double h = z_r[i].first - z_r[i - 1].first, a = z_r[i - 1].second, b = z_r[i].second;
    v += PI * h / 3 * (a * a + a * b + b * b);
  }
  return v;
}

}  // namespace

TEST(SurfaceSolids, SphereByParallelFrames) {
  const double R = 30, dz = 6;
  solid_cut cut;
  std::vector<std::pair<double, double>> z_r;
  int f = 0;
  for (double z = -R + dz / 2; z < R; z += dz, ++f) {
    const double r = std::sqrt(R * R - z * z);
    cut.add(frame_at_z(z * PIXEL), f).contours.push_back(circle(100, 100, r));
    z_r.emplace_back(z, r);
  }
  interp_settings set;
  set.x_scale = set.y_scale = PIXEL;
  set.z_scale = dz * PIXEL;
  set.step = 2;
  surface_interp s;
  ASSERT_TRUE(s.interpolate(cut.planes, set));
  const mesh_report r = check_mesh(s);
  const double expected = frusta_volume(z_r) * PIXEL * PIXEL * PIXEL;
  printf("points %d triangles %d open %d misoriented %d degenerate %d volume %g signed %g expected %g closed %d osum %d\n",
         s.mesh.n_points, s.mesh.n_triangles, r.open_edges, r.misoriented_edges, r.degenerate,
         s.volume, r.signed_volume, expected, s.closed, s.orientation_sum);
  EXPECT_EQ(r.open_edges, 0);
  EXPECT_EQ(r.misoriented_edges, 0);
  EXPECT_NEAR(s.volume, expected, 0.03 * expected);
}

// Mesh volume, centroid, closed flag and box of hand-made meshes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "common/log_capture.h"
#include "surfaces/surface_interp.h"

namespace {

// Unit cube at (ox, oy, oz), wound counter-clockwise seen from outside.
const int CUBE_FACES[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                               {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};

void set_mesh(surface_interp& s, const std::vector<vec3_t>& pts,
              const std::vector<std::array<int, 3>>& tris, int type) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(pts.size());
  s.mesh.points = new surface_point[pts.size()];
  for (size_t i = 0; i < pts.size(); ++i) {
    s.mesh.points[i].x = pts[i].x, s.mesh.points[i].y = pts[i].y, s.mesh.points[i].z = pts[i].z;
  }
  s.mesh.n_triangles = int32_t(tris.size());
  s.mesh.triangles = new surface_triangle[std::max<size_t>(tris.size(), 1)];
  for (size_t i = 0; i < tris.size(); ++i)
    s.mesh.triangles[i] = surface_triangle{tris[i][0], tris[i][1], tris[i][2], type};
}

void set_cube(surface_interp& s, vec3_t o, int skip_face = -1, int type = 2) {
  std::vector<vec3_t> pts;
  for (int k = 0; k < 8; ++k) {
    const int x = (k == 1 || k == 2 || k == 5 || k == 6), y = (k == 2 || k == 3 || k == 6 || k == 7);
    pts.push_back(vec3_t{o.x + x, o.y + y, o.z + (k >= 4)});
  }
  std::vector<std::array<int, 3>> tris;
  for (int f = 0; f < 12; ++f)
    if (f / 2 != skip_face) tris.push_back({CUBE_FACES[f][0], CUBE_FACES[f][1], CUBE_FACES[f][2]});
  set_mesh(s, pts, tris, type);
}

}  // namespace

TEST(SurfaceVolume, ClosedCubeAndItsCentroidAndBox) {
  surface_interp s;
  set_cube(s, {2, 3, 4});
  s.triangle_volume();
  EXPECT_NEAR(s.volume, 1.0, 1e-12);
  EXPECT_TRUE(s.closed);
  EXPECT_NEAR(s.centroid.x, 2.5, 1e-12);
  EXPECT_NEAR(s.centroid.y, 3.5, 1e-12);
  EXPECT_NEAR(s.centroid.z, 4.5, 1e-12);
  EXPECT_DOUBLE_EQ(s.box_centre.x, 2.5);
  EXPECT_DOUBLE_EQ(s.box_centre.z, 4.5);
  EXPECT_NEAR(s.box_radius, std::sqrt(0.75), 1e-12);
}

TEST(SurfaceVolume, OpenOrFlatMeshesAreNotTrusted) {
  surface_interp s;
  // Top face missing: the z estimate loses it, the y estimate does not.
  set_cube(s, {2, 3, 4}, 1);
  s.triangle_volume();
  EXPECT_EQ(s.volume, 1e-5);
  EXPECT_FALSE(s.closed);
  // Mean of the ten triangle centroids.
  double mx = 0;
  for (int f = 0; f < 12; ++f)
    if (f / 2 != 1) {
      for (int k = 0; k < 3; ++k) {
        const int v = CUBE_FACES[f][k];
        mx += 2 + (v == 1 || v == 2 || v == 5 || v == 6);
      }
    }
  EXPECT_NEAR(s.centroid.x, mx / 30, 1e-12);

  // A mesh in the plane z = 1: no y component in any area vector.
  set_mesh(s, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, {{{0, 1, 2}}, {{0, 2, 3}}}, 2);
  s.triangle_volume();
  EXPECT_EQ(s.volume, 0.0);
  EXPECT_FALSE(s.closed);

  set_mesh(s, {}, {}, 2);
  s.triangle_volume();
  EXPECT_EQ(s.volume, 0.0);
  EXPECT_FALSE(s.closed);
}

TEST(SurfaceVolume, LatticeTrianglesFollowTheOrientationSum) {
  struct row {
    int type, orientation_sum;
    bool warned;
  };
  // Stored counter-clockwise: types 1 (sum > 0) and 0 (sum <= 0) are taken
  // as stored; the others are turned, which marks a self-intersection.
  const row rows[] = {{1, 5, false}, {0, -5, false}, {0, 0, false}, {1, -5, true}, {0, 5, true}};
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.type) + " " + std::to_string(r.orientation_sum));
    surface_interp s;
    set_cube(s, {0, 0, 0}, -1, r.type);
    s.orientation_sum = r.orientation_sum;
    log_capture log;
    s.triangle_volume();
    s.triangle_volume();  // once per surface
    EXPECT_NEAR(s.volume, 1.0, 1e-12);  // all turned alike: still the cube
    EXPECT_EQ(log.count(wxLOG_Warning), r.warned ? 1 : 0);
    if (r.warned) {
      EXPECT_TRUE(log.has(wxLOG_Warning, " contains self-intersecting regions.\n\n"));
    }
  }
}

TEST(SurfaceVolume, SinglePointHasNoBox) {
  surface_interp s;
  set_mesh(s, {{3, 4, 5}}, {}, 2);
  s.triangle_volume();
  EXPECT_EQ(s.box_radius, 0.0);
  EXPECT_EQ(s.box_centre.x, 0.0);
  EXPECT_EQ(s.box_centre.z, 0.0);
}

// A shell of two cubes' surfaces, the inner one (half size, same centre,
// triangles wound the other way) pairing triangle for triangle.
TEST(SurfaceVolume, DoubleLayerShell) {
  surface_interp s;
  std::vector<vec3_t> pts;
  std::vector<std::array<int, 3>> tris;
  for (double scale : {2.0, 1.0}) {
    const size_t base = pts.size();
    for (int k = 0; k < 8; ++k) {
      const int x = (k == 1 || k == 2 || k == 5 || k == 6), y = (k == 2 || k == 3 || k == 6 || k == 7);
      pts.push_back(vec3_t{scale * (x - 0.5), scale * (y - 0.5), scale * ((k >= 4) - 0.5)});
    }
    for (const auto& f : CUBE_FACES)
      tris.push_back({int(base) + f[scale == 2.0 ? 0 : 1], int(base) + f[scale == 2.0 ? 1 : 0],
                      int(base) + f[2]});
  }
  set_mesh(s, pts, tris, 0);
  s.double_layer = true;
  s.triangle_volume();
  EXPECT_FALSE(s.closed);
  EXPECT_NEAR(s.centroid.x, 0.0, 1e-12);
  // Each face pair counts the mean of its two areas times their separation:
  // 6 faces x (4 + 1) / 2 x 0.5 = 7.5 (the shell itself holds 8 - 1 = 7).
  EXPECT_NEAR(s.volume, 7.5, 1e-12);
}

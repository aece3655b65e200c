// Ray picking on a mesh and landmark curves laid onto a surface.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "surface_test_support.h"
#include "tools/headless_session.h"

using namespace surface_test;

namespace {

// Two triangles of the square (0,0,0)-(1,1,0) sharing the diagonal 0-2.
void set_square(surface_interp& s, double z = 0) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = 4;
  s.mesh.points = new surface_point[4];
  const double xy[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int k = 0; k < 4; ++k) {
    s.mesh.points[k].x = xy[k][0], s.mesh.points[k].y = xy[k][1], s.mesh.points[k].z = z;
    s.mesh.points[k].nz = 1;
  }
  s.mesh.n_triangles = 2;
  s.mesh.triangles = new surface_triangle[2]{{0, 1, 2, 2}, {0, 2, 3, 2}};
}

}  // namespace

TEST(SurfaceCurves, RayPicking) {
  surface_interp s;
  set_square(s, 0.5);
  struct row {
    const char* name;
    vec3_t o, p;
    bool hit;
    vec3_t at;
    double distance_mm;
    int vertex;
  };
  const row rows[] = {
      // Down onto (0.8, 0.3): nearest corner by weight is vertex 1 (1, 0).
      {"from above", {0.8, 0.3, 2}, {0.8, 0.3, 1}, true, {0.8, 0.3, 0.5}, 15, 1},
      // The surface behind the origin counts like one in front.
      {"behind the origin", {0.2, 0.7, 1}, {0.2, 0.7, 3}, true, {0.2, 0.7, 0.5}, 5, 3},
      // Through the shared diagonal: both triangles at the same distance,
      // the first keeps it (its vertices 0, 1, 2; equal weights on 0 and 2 -> 0).
      {"on the shared edge", {0.5, 0.5, 1}, {0.5, 0.5, 0}, true, {0.5, 0.5, 0.5}, 5, 0},
      {"parallel to the square", {0, 0.5, 0.5}, {1, 0.5, 0.5}, false, {}, 0, 0},
      {"beside the square", {3, 3, 1}, {3, 3, 0}, false, {}, 0, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    curve_point hit;
    double d = -1;
    ASSERT_EQ(s.ray_intersection(r.o, r.p, hit, d), r.hit);
    if (!r.hit) continue;
    EXPECT_NEAR(hit.x, r.at.x, 1e-12);
    EXPECT_NEAR(hit.y, r.at.y, 1e-12);
    EXPECT_NEAR(hit.z, r.at.z, 1e-12);
    EXPECT_NEAR(d, r.distance_mm, 1e-9);
    EXPECT_EQ(hit.tag, r.vertex);
    EXPECT_NEAR(hit.nz, 1.0, 1e-12);
  }
}

// Two squares one above the other (z 0.5, listed first, and z 1.5): a ray
// through both takes the nearer crossing, whichever way it comes.
TEST(SurfaceCurves, RayPickingTakesTheNearerOfTwoHits) {
  surface_interp s;
  set_square(s, 0.5);
  surface_point* points = new surface_point[8];
  for (int k = 0; k < 8; ++k) {
    points[k] = s.mesh.points[k % 4];
    if (k >= 4) points[k].z = 1.5;
  }
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.points = points;
  s.mesh.n_points = 8;
  s.mesh.n_triangles = 4;
  s.mesh.triangles = new surface_triangle[4]{{0, 1, 2, 2}, {0, 2, 3, 2}, {4, 5, 6, 2}, {4, 6, 7, 2}};
  struct row {
    vec3_t o, p;
    double z, distance_mm;
  };
  for (const row& r : {row{{0.3, 0.6, 2}, {0.3, 0.6, 1.9}, 1.5, 5},
                       row{{0.3, 0.6, -1}, {0.3, 0.6, -0.9}, 0.5, 15},
                       row{{0.3, 0.6, 1.1}, {0.3, 0.6, 1.2}, 1.5, 4}}) {
    SCOPED_TRACE(r.o.z);
    curve_point hit;
    double d = -1;
    ASSERT_TRUE(s.ray_intersection(r.o, r.p, hit, d));
    EXPECT_NEAR(hit.z, r.z, 1e-12);
    EXPECT_NEAR(d, r.distance_mm, 1e-9);
  }
}

// A closed curve around the interpolated sphere (its equator, points placed
// just outside with normals pointing in) is laid onto the mesh as a path of
// mesh vertices that closes on its first vertex; a curve of another object
// gets nothing, a curve of two points is projected but not traced.
TEST(SurfaceCurves, CurvesOfTheObjectAreLaidOntoTheSurface) {
  headless_session session;
  solid_cut cut;
  for (int f = 0; f < 11; ++f) {
    const double z = 6.0 * (f - 5);
    cut.add(frame({1, 0, 0}, {0, 1, 0}, {0, 0, z * 0.01}), f)
        .contours.push_back(circle(100, 100, std::sqrt(40 * 40 - z * z)));
  }
  interp_settings set;
  set.z_scale = 0.06;
  set.expert_mode = true;
  surface_interp s(4);
  ASSERT_TRUE(s.interpolate(cut.planes, set));

  curve_set& curves = *resource_table->RES_CURVE->read();
  curve_t ring, other, two;
  ring.closed = true;
  ring.object = 4;
  for (int i = 0; i < 24; ++i) {
    const double a = 2 * PI * i / 24;
    curve_point q;
    q.x = (100 + 45 * std::cos(a)) * 0.01, q.y = (100 + 45 * std::sin(a)) * 0.01, q.z = 0.001;
    q.nx = -std::cos(a), q.ny = -std::sin(a);
    ring.points.push_back(q);
  }
  other = ring;
  other.object = 5;
  two = ring;
  two.closed = false;
  two.points.resize(2);
  two.on_surface = true;  // split earlier: cleared by a forced rebuild
  curves.curves = {ring, other, two};

  s.map_curves_to_surface(true);
  ASSERT_EQ(s.surface_curves.size(), 2u);
  const curve_t& path = s.surface_curves[0];
  ASSERT_GT(path.points.size(), 24u);
  for (const curve_point& p : path.points) {
    ASSERT_GE(p.tag, 0);
    // On the sphere's equator band: about 40 px from the axis, near z = 0.
    EXPECT_NEAR(std::hypot(p.x - 1.0, p.y - 1.0), 0.40, 0.02);
    EXPECT_NEAR(p.z, 0.0, 0.04);
  }
  // The projections' vertices were written back into the landmark curve.
  EXPECT_EQ(curves[0].points[0].tag, path.points[0].tag);
  const curve_t& short_curve = s.surface_curves[1];
  EXPECT_EQ(short_curve.points.size(), 2u);
  EXPECT_FALSE(curves[2].on_surface);

  // Without force a split curve gets an empty path and keeps its flag.
  curves[2].on_surface = true;
  s.map_curves_to_surface(false);
  EXPECT_TRUE(s.surface_curves[1].points.empty());
  EXPECT_TRUE(s.surface_curves[1].on_surface);

  // Given to object 5, the surface carries object 5's curve.
  s.set_object(5);
  ASSERT_EQ(s.surface_curves.size(), 1u);
  EXPECT_EQ(s.surface_curves[0].object, 5);
  EXPECT_GT(s.surface_curves[0].points.size(), 24u);
  s.set_object(4);

  // Deleting a surface clears the split flags of its object's curves only.
  curves[1].on_surface = true;
  {
    surface_interp doomed(4);
  }
  EXPECT_FALSE(curves[2].on_surface);
  EXPECT_TRUE(curves[1].on_surface);
  curves.curves.clear();
}

// Mapping directions: normals kept on a sphere, a sheared layer on a plate
// unfolded, and the fresh start from projected normals.
#include <gtest/gtest.h>

#include <cmath>

#include "mapping_test_support.h"
#include "tools/headless_session.h"

using namespace mapping_test;

namespace {

class MapDirections : public ::testing::Test {
 protected:
  void mode(long m) {
    t.RES_THICKNESS_MAP_DIRECTION->write(m);
    base_res_t::make_pending_writes_happen();
  }
  static double angle_to_normal(const surface_interp& s, int32_t i) {
    const surface_point& p = s.mesh.points[i];
    const vec3_t& d = s.directions[size_t(i)];
    const double c = (d.x * p.nx + d.y * p.ny + d.z * p.nz) / vec3_length(d);
    return std::acos(std::min(1.0, c)) * 180.0 / kPi;
  }

  headless_session session;
  resource_table_t& t = *resource_table;
};

// A measured shell 2 mm thick lying 0.5 mm outside an icosphere, measured
// along the normals. At the twelve vertices of the icosahedron, whose
// neighbourhoods are symmetric, the directions stay on the normals; elsewhere
// the uneven triangles pull them off a little, under 2 degrees after the full
// 100 iterations, under one after the first.
TEST_F(MapDirections, DirectionsStayNearTheNormalsOfASphericalShell) {
  for (long m : {1L, 2L}) {
    SCOPED_TRACE(m);
    mode(m);
    surface_interp s;
    icosphere_mesh(s, 1.5, 3);
    const size_t n = size_t(s.mesh.n_points);
    s.cortical_thickness.assign(n, 2.0);
    s.surface_offset.assign(n, 0.5);
    s.fit_error.assign(n, 0.1);
    for (int limit : {1, 100}) {
      s.directions.resize(n);
      for (size_t i = 0; i < n; ++i)
        s.directions[i] = {s.mesh.points[i].nx, s.mesh.points[i].ny, s.mesh.points[i].nz};
      s.update_map_directions(limit, 0.6);
      ASSERT_EQ(s.directions.size(), n);
      EXPECT_EQ(s.direction_folds, 0);
      double worst = 0.0;
      for (int32_t i = 0; i < s.mesh.n_points; ++i) worst = std::max(worst, angle_to_normal(s, i));
      EXPECT_LT(worst, limit == 1 ? 1.0 : 2.0);
      for (int32_t i = 0; i < 12; ++i) EXPECT_LT(angle_to_normal(s, i), 1e-4) << i;
    }
  }
}

// Directions on a plate leaning 15 degrees one way and the other in
// alternate columns put the inner edge points 1 cm down in reversed order;
// both modes turn them until no triangle is folded.
TEST_F(MapDirections, ASheardLayerOnAPlateUnfolds) {
  for (long m : {1L, 2L}) {
    SCOPED_TRACE(m);
    mode(m);
    surface_interp s;
    plate_mesh(s, 16, 0.1);
    const size_t n = size_t(s.mesh.n_points);
    const double lean = 15.0 * kPi / 180.0;
    s.directions.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const double sign = (i % 16) % 2 ? 1.0 : -1.0;
      s.directions[i] = {sign * std::sin(lean), 0.0, std::cos(lean)};
    }
    s.cortical_thickness.assign(n, 10.0);
    s.surface_offset.assign(n, 0.0);
    const std::vector<vec3_t> start = s.directions;
    s.update_map_directions(1, 0.6);
    const int32_t folded = s.direction_folds;
    EXPECT_GT(folded, 100);
    s.directions = start;
    s.update_map_directions(100, 0.6);
    EXPECT_EQ(s.direction_folds, 0);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_NEAR(vec3_length(s.directions[i]), 1.0, 1e-12);
      EXPECT_GE(s.directions[i].z, 0.5);
    }
  }
}

TEST_F(MapDirections, FreshStartAndSwitchingOff) {
  // Rim vertices with normals 37 and 73 degrees from the axis: the first
  // leans into the frame's plane, the second keeps its normal (its
  // projection would lie more than 60 degrees from it).
  surface_interp s;
  set_mesh(s,
           {vertex(0, 0, 0, 0.6, 0, 0.8, 1), vertex(1, 0, 0, 0.3, 0, std::sqrt(1 - 0.09), 1),
            vertex(0, 1, 0, 0, 0.6, 0.8, 3), vertex(1, 1, 0, 0, 0, 1, 1)},
           {{0, 1, 2, 1}, {1, 3, 2, 1}});
  s.segment_length.assign(4, 2.0);
  mode(1);
  s.update_map_directions(0, 0.6);
  ASSERT_EQ(s.directions.size(), 4u);
  EXPECT_TRUE(s.segment_length.empty());
  EXPECT_NEAR(s.directions[0].x, 1.0, 1e-12);
  EXPECT_NEAR(s.directions[0].z, 0.0, 1e-12);
  EXPECT_NEAR(s.directions[1].x, 0.3, 1e-12);
  EXPECT_NEAR(s.directions[2].y, 0.6, 1e-12);  // not a rim vertex: its normal
  EXPECT_NEAR(s.directions[3].z, 1.0, 1e-12);  // along the axis: its normal
  for (long off : {0L, 3L}) {
    s.directions.assign(4, vec3_t{0, 0, 1});
    mode(off);
    s.update_map_directions(100, 0.6);
    EXPECT_TRUE(s.directions.empty());
  }
  // Back to "Smoothed": a fresh start, not the old directions.
  mode(1);
  s.update_map_directions(0, 0.6);
  EXPECT_NEAR(s.directions[0].x, 1.0, 1e-12);
}

}  // namespace

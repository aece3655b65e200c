// The reference object made into a surface: the mesh moves into the surface
// and the reference object is left empty.
#include <gtest/gtest.h>

#include "data/curves.h"
#include "models/wrl_object.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

TEST(WrlObject, MakeSurfaceEmptiesTheReferenceObject) {
  headless_session session;
  wrl_object& ref = *resource_table->RES_WRL_OBJECT->read();
  ref.points = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
  ref.normals = {{-1, -1, -1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  ref.triangles = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  surface_interp s;
  ASSERT_TRUE(ref.make_surface(s));
  EXPECT_EQ(int32_t(ref.points.size()), 0);
  EXPECT_EQ(int32_t(ref.normals.size()), 0);
  EXPECT_EQ(int32_t(ref.triangles.size()), 0);
  ASSERT_EQ(s.get_mesh()->n_points, 4);
  ASSERT_EQ(s.get_mesh()->n_triangles, 4);
  EXPECT_DOUBLE_EQ(s.get_mesh()->points[1].x, 1.0);
  EXPECT_NEAR(s.volume, 1.0 / 6.0, 1e-12);  // the corner tetrahedron of the unit cube
}

// A region taken from a surface replaces what the reference object held; a
// refused one leaves both as they were.
TEST(WrlObject, TakeRegionReplacesTheContents) {
  headless_session session;
  wrl_object& ref = *resource_table->RES_WRL_OBJECT->read();
  ref.points = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
  ref.triangles = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  surface_interp s;
  ASSERT_TRUE(ref.make_surface(s));
  ref.points = {{5, 5, 5}};  // held before the region is taken
  curve_point hit;
  hit.tag = 4;  // no such vertex
  EXPECT_FALSE(ref.take_region(s, hit));
  EXPECT_EQ(int32_t(ref.points.size()), 1);
  EXPECT_EQ(s.get_mesh()->n_points, 4);
  hit.tag = 2;
  ASSERT_TRUE(ref.take_region(s, hit));
  ASSERT_EQ(int32_t(ref.points.size()), 4);
  EXPECT_EQ(int32_t(ref.normals.size()), 4);
  EXPECT_EQ(int32_t(ref.triangles.size()), 4);
  EXPECT_DOUBLE_EQ(ref.points[3].z, 10.0);
  EXPECT_EQ(s.get_mesh()->n_points, 0);
}

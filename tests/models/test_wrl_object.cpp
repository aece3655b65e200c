// The reference object made into a surface: the mesh moves into the surface
// and the reference object is left empty.
#include <gtest/gtest.h>

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
  EXPECT_EQ(ref.point_count(), 0);
  EXPECT_EQ(ref.normal_count(), 0);
  EXPECT_EQ(ref.triangle_count(), 0);
  ASSERT_EQ(s.get_mesh()->n_points, 4);
  ASSERT_EQ(s.get_mesh()->n_triangles, 4);
  EXPECT_DOUBLE_EQ(s.get_mesh()->points[1].x, 1.0);
  EXPECT_NEAR(s.volume, 1.0 / 6.0, 1e-12);  // the corner tetrahedron of the unit cube
}

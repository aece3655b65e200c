// Surfaces from ready meshes: the fitted model under a mirroring
// registration, the reference object (file units, normals, double layers,
// open edges) and a sub-structure under the model's mirrored flag.
#include <gtest/gtest.h>

#include <cmath>

#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"

namespace {

using tri = std::array<int32_t, 3>;

// A tetrahedron with outward-facing triangles (file units).
const std::vector<vec3_t> kTetra = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
const std::vector<tri> kTetraFaces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

vec3_t position(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t normal(const surface_point& p) { return {p.nx, p.ny, p.nz}; }

// Every vertex normal points away from the mesh's centroid.
void expect_outward(const surface_mesh& m) {
  vec3_t c;
  for (int i = 0; i < m.n_points; ++i) c = c + vec3_scalar_mul(1.0 / m.n_points, position(m.points[i]));
  for (int i = 0; i < m.n_points; ++i) EXPECT_GT(vec3_dot(normal(m.points[i]), position(m.points[i]) - c), 0) << i;
}

matrix4_t mirror_x() {
  matrix4_t m;
  matrix4_identity(m);
  m[0] = -1.0;
  return m;
}

TEST(SurfaceFromMesh, MirroringRegistrationSwapsCornersAndKeepsNormalsOutward) {
  surface_interp s(200);
  std::vector<vec3_t> normals;
  for (const vec3_t& p : kTetra) normals.push_back(vec3_normalise(p - vec3_t{2.5, 2.5, 2.5}));
  ASSERT_TRUE(surface_from_model(s, kTetra, normals, kTetraFaces, mirror_x()));
  const surface_mesh& m = *s.get_mesh();
  ASSERT_EQ(m.n_triangles, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(m.triangles[i].a, kTetraFaces[size_t(i)][0]);
    EXPECT_EQ(m.triangles[i].b, kTetraFaces[size_t(i)][2]);
    EXPECT_EQ(m.triangles[i].c, kTetraFaces[size_t(i)][1]);
  }
  EXPECT_DOUBLE_EQ(m.points[1].x, -1.0);
  expect_outward(m);
  EXPECT_NEAR(s.volume, 1000.0 / 6.0 / 1000.0, 1e-12);
}

TEST(SurfaceFromMesh, ReferenceObjectInCentimetresWithItsOwnOrComputedNormals) {
  // One normal per point: made unit; positions divided by 10.
  std::vector<vec3_t> normals = {{0, 0, -3}, {4, 0, 0}, {0, 5, 0}, {0, 0, 0}};
  surface_interp a(3);
  ASSERT_TRUE(surface_from_reference(a, kTetra, normals, kTetraFaces));
  const surface_mesh& m = *a.get_mesh();
  EXPECT_DOUBLE_EQ(m.points[2].y, 1.0);
  EXPECT_DOUBLE_EQ(m.points[0].nz, -1.0);
  EXPECT_DOUBLE_EQ(m.points[1].nx, 1.0);
  EXPECT_DOUBLE_EQ(m.points[3].nx, 0.0);  // a zero normal stays zero
  EXPECT_EQ(m.triangles[3].b, 2);
  EXPECT_FALSE(a.double_layer);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m.points[i].type, POINT_ORDINARY);

  // Normals of another count: computed from the triangles, facing out.
  normals.pop_back();
  surface_interp b(3);
  ASSERT_TRUE(surface_from_reference(b, kTetra, normals, kTetraFaces));
  expect_outward(*b.get_mesh());
}

TEST(SurfaceFromMesh, DoubleLayerIsFoundOnlyInTheDerivedLayerLayout) {
  // Two tetrahedra, the second's triangles the first's shifted by 4 points.
  std::vector<vec3_t> points = kTetra;
  for (const vec3_t& p : kTetra) points.push_back(vec3_scalar_mul(0.5, p));
  std::vector<tri> faces = kTetraFaces;
  for (const tri& t : kTetraFaces) faces.push_back({t[0] + 4, t[1] + 4, t[2] + 4});
  for (int changed = -1; changed < 4; ++changed) {
    SCOPED_TRACE(changed);
    std::vector<tri> f = faces;
    // Any sampled triangle of the second half with another c breaks it.
    if (changed >= 0) f[size_t(4 + changed)] = {f[size_t(4 + changed)][0], f[size_t(4 + changed)][2], f[size_t(4 + changed)][1]};
    surface_interp s(3);
    ASSERT_TRUE(surface_from_reference(s, points, {}, f));
    EXPECT_EQ(s.double_layer, changed < 0);
  }
  surface_interp one(3);
  ASSERT_TRUE(surface_from_reference(one, kTetra, {}, {kTetraFaces[0]}));
  EXPECT_FALSE(one.double_layer);
}

TEST(SurfaceFromMesh, OpenEdgesMarkTheirVertices) {
  // A square pyramid without its base: the four base corners lie on the rim.
  const std::vector<vec3_t> points = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {5, 5, 10}};
  const std::vector<tri> faces = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
  surface_interp s(3);
  ASSERT_TRUE(surface_from_reference(s, points, {}, faces));
  const surface_mesh& m = *s.get_mesh();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m.points[i].type, POINT_BOUNDARY) << i;
  EXPECT_EQ(m.points[4].type, POINT_ORDINARY);
}

TEST(SurfaceFromMesh, SubstructureCornersFollowTheMirroredFlag) {
  std::vector<vec3_t> cm;
  for (const vec3_t& p : kTetra) cm.push_back(vec3_scalar_mul(0.1, p));
  matrix4_t rotation;
  matrix4_identity(rotation);
  for (bool mirrored : {false, true}) {
    SCOPED_TRACE(mirrored);
    surface_interp s(4);
    // A mirroring registration with the flag set is not reversed again.
    for (bool mirroring : {false, true}) {
      ASSERT_TRUE(surface_from_substructure(s, cm, kTetraFaces, mirroring ? mirror_x() : rotation, mirrored));
      const surface_mesh& m = *s.get_mesh();
      const bool swapped = mirrored != mirroring;
      EXPECT_EQ(m.triangles[0].b, kTetraFaces[0][swapped ? 2 : 1]);
      EXPECT_DOUBLE_EQ(m.points[3].z, 1.0);  // points are taken as they are
      // Normals from the stored triangles: outward unless swapped.
      vec3_t c{0.25, 0.25, 0.25};
      EXPECT_EQ(vec3_dot(normal(m.points[3]), position(m.points[3]) - c) > 0, !swapped);
    }
  }
}

}  // namespace

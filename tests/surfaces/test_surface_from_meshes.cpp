// Surfaces taken from ready meshes: the shape model under a mirroring
// registration, the reference object (file units, ten times centimetres) and
// the model's sub-structure, checked against positions, windings, normals and
// rims worked out here from the input meshes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

using tri_list = std::vector<std::array<int32_t, 3>>;

// Octahedron of radius r about c, wound outwards.
struct octahedron {
  std::vector<vec3_t> points;
  tri_list triangles;
  octahedron(double r, vec3_t c = {}) {
    points = {{c.x + r, c.y, c.z}, {c.x - r, c.y, c.z}, {c.x, c.y + r, c.z},
              {c.x, c.y - r, c.z}, {c.x, c.y, c.z + r}, {c.x, c.y, c.z - r}};
    for (int sx : {0, 1})
      for (int sy : {2, 3})
        for (int sz : {4, 5}) {
          const bool even = (sx == 0) == (sy == 2) ? sz == 4 : sz == 5;
          triangles.push_back(even ? std::array<int32_t, 3>{sx, sy, sz}
                                   : std::array<int32_t, 3>{sx, sz, sy});
        }
  }
};

vec3_t position(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t normal(const surface_point& p) { return {p.nx, p.ny, p.nz}; }

// Every vertex normal is unit length and points away from c.
void expect_outward_normals(const surface_mesh& m, const vec3_t& c) {
  for (int32_t i = 0; i < m.n_points; ++i) {
    EXPECT_NEAR(vec3_length(normal(m.points[i])), 1.0, 1e-12) << i;
    EXPECT_GT(vec3_dot(normal(m.points[i]), position(m.points[i]) - c), 0.0) << i;
  }
}

// Every triangle's own winding faces away from c.
void expect_outward_triangles(const surface_mesh& m, const vec3_t& c) {
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    const vec3_t a = position(m.points[t.a]), b = position(m.points[t.b]),
                 d = position(m.points[t.c]);
    EXPECT_GT(vec3_dot(vec3_cross(b - a, d - b), (a + b + d) * (1.0 / 3.0) - c), 0.0) << i;
  }
}

class surface_from_meshes : public ::testing::Test {
 protected:
  headless_session session;
};

}  // namespace

// A mirroring registration: points M p / 10, every triangle's last two
// indices swapped, so that the mesh still faces outwards with a positive volume.
TEST_F(surface_from_meshes, ModelUnderMirroringRegistration) {
  const octahedron o(10.0);
  std::vector<vec3_t> normals;
  for (const vec3_t& p : o.points) normals.push_back(p * 0.1);
  matrix4_t m;
  matrix4_identity(m);
  m[0] = -2.0;  // mirror and stretch x
  m[12] = 30.0, m[13] = 40.0, m[14] = 50.0;
  surface_interp s;
  ASSERT_TRUE(surface_from_model(s, o.points, normals, o.triangles, m));
  const surface_mesh& mesh = *s.get_mesh();
  ASSERT_EQ(mesh.n_points, 6);
  ASSERT_EQ(mesh.n_triangles, 8);
  for (int i = 0; i < 6; ++i) {
    const vec3_t want{(-2.0 * o.points[i].x + 30.0) / 10, (o.points[i].y + 40.0) / 10,
                      (o.points[i].z + 50.0) / 10};
    EXPECT_NEAR(vec3_length(position(mesh.points[i]) - want), 0.0, 1e-12) << i;
  }
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(mesh.triangles[i].a, o.triangles[i][0]);
    EXPECT_EQ(mesh.triangles[i].b, o.triangles[i][2]);
    EXPECT_EQ(mesh.triangles[i].c, o.triangles[i][1]);
  }
  const vec3_t centre{3.0, 4.0, 5.0};
  expect_outward_triangles(mesh, centre);
  expect_outward_normals(mesh, centre);
  EXPECT_NEAR(s.volume, 2.0 * 4.0 / 3.0, 1e-9);  // the octahedron, twice as wide
}

// The reference object: points / 10, triangles unchanged, normals from the
// triangles when the file's do not come one per point, and a closed mesh
// keeps every vertex ordinary.
TEST_F(surface_from_meshes, ReferenceObject) {
  const octahedron o(10.0, {20.0, 0.0, 0.0});
  struct row {
    const char* name;
    std::vector<vec3_t> normals;
  };
  std::vector<vec3_t> file_normals;
  for (const vec3_t& p : o.points) file_normals.push_back((p - vec3_t{20.0, 0.0, 0.0}) * 3.0);
  const row rows[] = {{"no normals", {}},
                      {"one normal too few", {file_normals.begin(), file_normals.end() - 1}},
                      {"one normal per point", file_normals}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    surface_interp s;
    ASSERT_TRUE(surface_from_reference(s, o.points, r.normals, o.triangles));
    const surface_mesh& mesh = *s.get_mesh();
    ASSERT_EQ(mesh.n_points, 6);
    ASSERT_EQ(mesh.n_triangles, 8);
    for (int i = 0; i < 6; ++i) {
      EXPECT_NEAR(vec3_length(position(mesh.points[i]) - o.points[i] * 0.1), 0.0, 1e-12);
      EXPECT_EQ(mesh.points[i].type, POINT_ORDINARY);
    }
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ((std::array<int32_t, 3>{mesh.triangles[i].a, mesh.triangles[i].b,
                                        mesh.triangles[i].c}),
                o.triangles[i]);
    expect_outward_normals(mesh, {2.0, 0.0, 0.0});
    if (r.normals.empty()) {
      // The normal at a vertex is the mean of its four faces' unit normals.
      EXPECT_NEAR(mesh.points[0].nx, 1.0, 1e-12);
    }
    EXPECT_FALSE(s.double_layer);
    EXPECT_TRUE(s.closed);
    EXPECT_NEAR(s.volume, 4.0 / 3.0, 1e-9);
  }
}

// Two copies of one triangle list, the second shifted by half the points,
// make a double layer; changing any sampled c index of the second half, or
// fewer than two triangles, does not.
TEST_F(surface_from_meshes, DoubleLayerBySampledTriangles) {
  const int half_points = 300, half_triangles = 500;  // 1000 triangles: every 5th sampled
  std::vector<vec3_t> points;
  for (int i = 0; i < 2 * half_points; ++i) points.push_back({double(i % 17), double(i % 5), double(i)});
  tri_list triangles;
  for (int j = 0; j < half_triangles; ++j)
    triangles.push_back({j % half_points, (j + 1) % half_points, (j + 7) % half_points});
  for (int j = 0; j < half_triangles; ++j) {
    const auto& t = triangles[size_t(j)];
    triangles.push_back({t[0] + half_points, t[1] + half_points, t[2] + half_points});
  }
  {
    surface_interp s;
    ASSERT_TRUE(surface_from_reference(s, points, {}, triangles));
    EXPECT_TRUE(s.double_layer);
  }
  for (int j = 0; j < half_triangles; j += 5) {
    tri_list changed = triangles;
    changed[size_t(half_triangles + j)][2] = (changed[size_t(half_triangles + j)][2] + 1) % 600;
    surface_interp s;
    ASSERT_TRUE(surface_from_reference(s, points, {}, changed));
    EXPECT_FALSE(s.double_layer) << "sample " << j;
  }
  for (size_t n : {size_t(0), size_t(1)}) {
    surface_interp s;
    ASSERT_TRUE(surface_from_reference(s, points, {}, tri_list(triangles.begin(), triangles.begin() + n)));
    EXPECT_FALSE(s.double_layer) << n << " triangles";
  }
}

// A mesh with a hole: the vertices on edges that only one triangle uses get
// type 4, every other vertex keeps type 3.
TEST_F(surface_from_meshes, ReferenceObjectRimIsMarked) {
  const octahedron o(10.0);
  tri_list open = o.triangles;
  open.erase(open.begin() + 3);
  std::map<std::pair<int32_t, int32_t>, int> uses;
  for (const auto& t : open)
    for (int e = 0; e < 3; ++e)
      ++uses[std::minmax(t[size_t(e)], t[size_t((e + 1) % 3)])];
  std::set<int32_t> rim;
  for (const auto& [edge, n] : uses)
    if (n == 1) rim.insert(edge.first), rim.insert(edge.second);
  ASSERT_EQ(rim.size(), 3u);
  surface_interp s;
  ASSERT_TRUE(surface_from_reference(s, o.points, {}, open));
  const surface_mesh& mesh = *s.get_mesh();
  for (int32_t i = 0; i < mesh.n_points; ++i)
    EXPECT_EQ(mesh.points[i].type, rim.count(i) ? POINT_BOUNDARY : POINT_ORDINARY) << i;
}

// The sub-structure keeps its world coordinates; the mirrored flag with a
// proper rotation, or a mirroring registration alone, swaps the windings.
TEST_F(surface_from_meshes, SubstructureWinding) {
  const octahedron o(1.0, {1.0, 2.0, 3.0});
  tri_list inward;
  for (const auto& t : o.triangles) inward.push_back({t[0], t[2], t[1]});
  matrix4_t rotation, mirror;
  matrix4_identity(rotation);
  rotation[0] = rotation[5] = 0.0, rotation[1] = 1.0, rotation[4] = -1.0;  // 90 degrees about z
  rotation[12] = 7.0;
  matrix4_identity(mirror);
  mirror[10] = -1.0;
  struct row {
    const char* name;
    const tri_list* given;
    const matrix4_t* registration;
    bool mirrored;
  };
  const row rows[] = {{"proper rotation", &o.triangles, &rotation, false},
                      {"mirrored flag", &inward, &rotation, true},
                      {"mirroring registration", &inward, &mirror, false},
                      {"both", &o.triangles, &mirror, true}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    surface_interp s;
    ASSERT_TRUE(surface_from_substructure(s, o.points, *r.given, *r.registration, r.mirrored));
    const surface_mesh& mesh = *s.get_mesh();
    ASSERT_EQ(mesh.n_points, 6);
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(vec3_length(position(mesh.points[i]) - o.points[i]), 0.0);
    expect_outward_triangles(mesh, {1.0, 2.0, 3.0});
    expect_outward_normals(mesh, {1.0, 2.0, 3.0});
    EXPECT_NEAR(s.volume, 4.0 / 3.0, 1e-9);
  }
}

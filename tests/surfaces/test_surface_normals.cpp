// Vertex normals, their averaging, smoothing along the normals and the open
// edges of hand-made meshes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

// Unit cube centred on the origin, wound counter-clockwise seen from outside.
const int CUBE_FACES[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                               {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};

vec3_t cube_corner(int k) {
  const int x = (k == 1 || k == 2 || k == 5 || k == 6), y = (k == 2 || k == 3 || k == 6 || k == 7);
  return vec3_t{x - 0.5, y - 0.5, (k >= 4) - 0.5};
}

void set_mesh(surface_interp& s, const std::vector<vec3_t>& pts,
              const std::vector<std::array<int, 3>>& tris, int32_t type = POINT_ORDINARY) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(pts.size());
  s.mesh.points = new surface_point[std::max<size_t>(pts.size(), 1)];
  for (size_t i = 0; i < pts.size(); ++i) {
    s.mesh.points[i].x = pts[i].x, s.mesh.points[i].y = pts[i].y, s.mesh.points[i].z = pts[i].z;
    s.mesh.points[i].type = type;
  }
  s.mesh.n_triangles = int32_t(tris.size());
  s.mesh.triangles = new surface_triangle[std::max<size_t>(tris.size(), 1)];
  for (size_t i = 0; i < tris.size(); ++i)
    s.mesh.triangles[i] = surface_triangle{tris[i][0], tris[i][1], tris[i][2], 2};
}

void set_cube(surface_interp& s, int skip_face = -1) {
  std::vector<vec3_t> pts;
  for (int k = 0; k < 8; ++k) pts.push_back(cube_corner(k));
  std::vector<std::array<int, 3>> tris;
  for (int f = 0; f < 12; ++f)
    if (f / 2 != skip_face) tris.push_back({CUBE_FACES[f][0], CUBE_FACES[f][1], CUBE_FACES[f][2]});
  set_mesh(s, pts, tris);
}

vec3_t normal(const surface_interp& s, int i) {
  const surface_point& p = s.mesh.points[i];
  return {p.nx, p.ny, p.nz};
}
vec3_t position(const surface_interp& s, int i) {
  const surface_point& p = s.mesh.points[i];
  return {p.x, p.y, p.z};
}

}  // namespace

// Each corner of the cube is used by 3 faces, one of them twice (split
// diagonal) or not: the unit face normals are summed per triangle, so the
// corner normal is the normalised sum over its triangles, pointing outwards.
TEST(SurfaceNormals, CubeCornerNormalsPointOut) {
  surface_interp s;
  set_cube(s);
  s.compute_normals();
  for (int k = 0; k < 8; ++k) {
    vec3_t expected;
    for (const auto& f : CUBE_FACES)
      if (f[0] == k || f[1] == k || f[2] == k) {
        const vec3_t a = cube_corner(f[0]), b = cube_corner(f[1]), c = cube_corner(f[2]);
        expected += vec3_normalise(vec3_cross(b - a, c - b));
      }
    expected = vec3_normalise(expected);
    const vec3_t n = normal(s, k);
    EXPECT_NEAR(n.x, expected.x, 1e-12);
    EXPECT_NEAR(n.y, expected.y, 1e-12);
    EXPECT_NEAR(n.z, expected.z, 1e-12);
    EXPECT_GT(vec3_dot(n, cube_corner(k)), 0.5);  // outwards
  }
}

TEST(SurfaceNormals, UnusedVertexAndEmptyRequests) {
  surface_interp s;
  set_cube(s);
  s.mesh.points[0].x += 0;  // keep
  std::vector<vec3_t> pts;
  for (int k = 0; k < 8; ++k) pts.push_back(cube_corner(k));
  pts.push_back({5, 5, 5});  // used by no triangle
  std::vector<std::array<int, 3>> tris;
  for (const auto& f : CUBE_FACES) tris.push_back({f[0], f[1], f[2]});
  set_mesh(s, pts, tris);
  s.compute_normals();
  EXPECT_EQ(vec3_length(normal(s, 8)), 0.0);
  s.smooth_surface(3);
  EXPECT_EQ(position(s, 8).x, 5.0);
  // Zero passes change nothing.
  const vec3_t before = position(s, 0), n_before = normal(s, 0);
  s.smooth_surface(0);
  s.smooth_normals(0);
  EXPECT_EQ(position(s, 0).x, before.x);
  EXPECT_EQ(normal(s, 0).x, n_before.x);
}

// One pass on the cube moves each corner along its own normal only.
TEST(SurfaceNormals, SmoothingMovesAlongTheNormals) {
  surface_interp s;
  set_cube(s);
  s.compute_normals();
  std::vector<vec3_t> before, normals;
  for (int k = 0; k < 8; ++k) before.push_back(position(s, k)), normals.push_back(normal(s, k));
  s.smooth_surface(1);
  double moved = 0;
  for (int k = 0; k < 8; ++k) {
    const vec3_t move = position(s, k) - before[k];
    EXPECT_NEAR(vec3_length(vec3_cross(move, normals[k])), 0.0, 1e-12);
    moved += vec3_length(move);
  }
  EXPECT_GT(moved, 1e-3);
}

// On an ordinary surface rim (1) and duplicate (2) vertices never move, and
// their normals are not averaged; a rim vertex accepts no edge to ordinary
// vertices, while the ordinary vertices accept theirs.
// One pass over a lone triangle whose corners face along the three axes:
// each corner sums its own normal twice and the two others once, so corner
// 0 turns to (2, 1, 1) / sqrt(6); two passes go on from those.
TEST(SurfaceNormals, AveragingWeighsTheOwnNormalTwice) {
  surface_interp s;
  s.mesh.n_points = 3;
  s.mesh.points = new surface_point[3];
  const double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int k = 0; k < 3; ++k) {
    s.mesh.points[k].x = axes[k][0], s.mesh.points[k].y = axes[k][1], s.mesh.points[k].z = axes[k][2];
    s.mesh.points[k].nx = axes[k][0], s.mesh.points[k].ny = axes[k][1], s.mesh.points[k].nz = axes[k][2];
  }
  s.mesh.n_triangles = 1;
  s.mesh.triangles = new surface_triangle[1]{{0, 1, 2, 1}};
  s.smooth_normals(1);
  const double r6 = std::sqrt(6.0);
  EXPECT_NEAR(s.mesh.points[0].nx, 2 / r6, 1e-12);
  EXPECT_NEAR(s.mesh.points[0].ny, 1 / r6, 1e-12);
  EXPECT_NEAR(s.mesh.points[2].nz, 2 / r6, 1e-12);
  // Second pass: corner 0 sums 2 (2,1,1) + (1,2,1) + (1,1,2) = (6,5,5), over sqrt(6).
  s.smooth_normals(1);
  const double r86 = std::sqrt(86.0);
  EXPECT_NEAR(s.mesh.points[0].nx, 6 / r86, 1e-12);
  EXPECT_NEAR(s.mesh.points[0].ny, 5 / r86, 1e-12);
  EXPECT_NEAR(s.mesh.points[0].nz, 5 / r86, 1e-12);
}

TEST(SurfaceNormals, RimAndDuplicateVerticesStay) {
  surface_interp s;
  set_cube(s);
  s.mesh.points[0].type = POINT_RIM;
  s.mesh.points[6].type = POINT_DUPLICATE;
  s.compute_normals();
  const vec3_t n0 = normal(s, 0), n6 = normal(s, 6);
  s.smooth_normals(2);
  EXPECT_EQ(normal(s, 0).x, n0.x);
  EXPECT_EQ(normal(s, 6).z, n6.z);
  s.smooth_surface(4);
  EXPECT_EQ(position(s, 0).x, -0.5);
  EXPECT_EQ(position(s, 6).x, 0.5);
  EXPECT_NE(position(s, 1).x, 0.5);
}

TEST(SurfaceNormals, BoundaryLoopsAndBoundaryVertices) {
  surface_interp s;
  set_cube(s);
  s.mark_boundary_vertices();
  for (int k = 0; k < 8; ++k) EXPECT_EQ(s.mesh.points[k].type, POINT_ORDINARY);
  // Without its top face (4, 5, 6, 7) the cube has one hole.
  set_cube(s, 1);
  s.mark_boundary_vertices();
  for (int k = 0; k < 8; ++k) EXPECT_EQ(s.mesh.points[k].type, k >= 4 ? POINT_BOUNDARY : POINT_ORDINARY);
  std::vector<std::vector<int32_t>> loops;
  s.find_boundary_loops(loops, false);
  ASSERT_EQ(loops.size(), 1u);
  // Open edges run with the triangles: 4 -> 7 (left), 7 -> 6, 6 -> 5, 5 -> 4.
  EXPECT_EQ(loops[0], (std::vector<int32_t>{4, 7, 6, 5}));

  // A single triangle of boundary vertices: one loop A, B, C.
  set_mesh(s, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}}, POINT_BOUNDARY);
  s.find_boundary_loops(loops, false);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_EQ(loops[0], (std::vector<int32_t>{0, 1, 2}));
  // Two triangles sharing an edge between rim vertices: no boundary there.
  set_mesh(s, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{{0, 1, 2}}, {{2, 1, 3}}}, POINT_RIM);
  s.find_boundary_loops(loops, false);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_EQ(loops[0], (std::vector<int32_t>{0, 1, 3, 2}));
}

// With per-vertex errors (a derived layer's), vertices without data are
// filled first from their neighbours with data, then the smoothing passes
// follow; the errors come back as 1 / sqrt(weight).
TEST(SurfaceNormals, SmoothingWithErrorsFillsMissingVertices) {
  {
    SCOPED_TRACE("nothing missing: one pass is the fill pass and moves nothing");
    surface_interp s;
    set_cube(s);
    s.compute_normals();
    s.fit_error.assign(8, 0.5);
    const vec3_t before = position(s, 3);
    s.smooth_surface(1);
    EXPECT_EQ(position(s, 3).x, before.x);
    EXPECT_EQ(position(s, 3).z, before.z);
    for (double e : s.fit_error) EXPECT_NEAR(e, 0.5, 1e-12);  // 1 / sqrt(1 / 0.5^2)
  }
  {
    SCOPED_TRACE("a missing vertex (error 0) takes its neighbours' weight");
    surface_interp s;
    set_cube(s);
    s.compute_normals();
    s.fit_error.assign(8, 0.5);
    s.fit_error[6] = 0.0;
    s.smooth_surface(1);
    // Each accepting edge adds W = 0 + 4 to the weight sum; the mean is 4.
    EXPECT_NEAR(s.fit_error[6], 0.5, 1e-12);
    EXPECT_NEAR(s.fit_error[0], 0.5, 1e-12);
  }
  {
    SCOPED_TRACE("no neighbour with data: stays missing");
    surface_interp s;
    // Two separate triangles; the second has no data at all.
    set_mesh(s, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 0, 0}, {6, 0, 0}, {5, 1, 0}},
             {{{0, 1, 2}}, {{3, 4, 5}}});
    s.compute_normals();
    s.fit_error = {1, 1, 1, 1e10, 0, 1e10};
    s.smooth_surface(3);
    EXPECT_EQ(s.fit_error[3], 1e10);
    EXPECT_EQ(s.fit_error[4], 1e10);
    // Two fill passes (the count of missing vertices stops changing), then two
    // smoothing passes, each of which sets the weight to the mean edge weight
    // sum: 1 -> 2 -> 4, so the error ends 1 / sqrt(4).
    EXPECT_NEAR(s.fit_error[0], 0.5, 1e-12);
  }
}

// The cell-case tables, checked by their geometry rather than entry by entry:
// on a reference tetrahedron (and triangle) every sign pattern must give the
// number of triangles its crossings need, use exactly the crossed edges, cut
// off the inside part, and face the same way from inside to outside.
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <set>

#include "surfaces/surface_interp.h"

namespace {

const vec3_t TET[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // a, b, c, d
// Edge slots in the order the table takes them: ab, bc, ac, ad, bd, cd.
const int EDGE_ENDS[6][2] = {{0, 1}, {1, 2}, {0, 2}, {0, 3}, {1, 3}, {2, 3}};

struct made_triangle {
  int32_t v[3];
  int32_t type;
};

std::vector<made_triangle> triangles_of(surface_interp& s) {
  std::vector<made_triangle> out;
  for (int32_t i = 0; i < s.triangle_count; ++i) {
    const surface_triangle& t = s.triangle_at(i);
    out.push_back({{t.a, t.b, t.c}, t.type});
  }
  return out;
}

vec3_t position(surface_interp& s, int32_t i) {
  const surface_point& p = s.point_at(i);
  return vec3_t{p.x, p.y, p.z};
}

vec3_t normal_of(surface_interp& s, const made_triangle& t) {
  const vec3_t p0 = position(s, t.v[0]), p1 = position(s, t.v[1]), p2 = position(s, t.v[2]);
  return vec3_cross(p1 - p0, p2 - p1);
}

// Builds the six edge points of the tetrahedron and runs one pattern.
std::vector<made_triangle> run_tetrahedron(surface_interp& s, const int values[4], bool flip,
                                           int32_t slots[6]) {
  s.point_count = s.triangle_count = 0;
  for (int e = 0; e < 6; ++e) {
    const vec3_t m = (TET[EDGE_ENDS[e][0]] + TET[EDGE_ENDS[e][1]]) * 0.5;
    surface_point p;
    p.x = m.x, p.y = m.y, p.z = m.z;
    slots[e] = s.new_point(p);
  }
  const int32_t* ptr[6] = {&slots[0], &slots[1], &slots[2], &slots[3], &slots[4], &slots[5]};
  s.tetrahedron_triangles(values[0], values[1], values[2], values[3], ptr, flip);
  return triangles_of(s);
}

}  // namespace

TEST(SurfaceCells, EveryTetrahedronPatternCutsOffItsInsideFacingOneWay) {
  surface_interp s;
  s.point_chunk = s.triangle_chunk = 64;
  // Every order of four magnitudes, so that both diagonals of the
  // two-triangle cases occur.
  std::array<int, 4> mags = {10, 20, 40, 80};
  int facing = 0;  // sign of (outside - inside) . normal seen so far
  std::set<std::pair<int, int>> diagonals_seen;
  do
    for (int pattern = 0; pattern < 16; ++pattern)
      for (bool flip : {false, true}) {
        SCOPED_TRACE("pattern " + std::to_string(pattern) + (flip ? " flipped" : ""));
        int values[4];
        bool inside[4];
        for (int k = 0; k < 4; ++k) {
          inside[k] = pattern & (8 >> k);
          values[k] = inside[k] ? mags[k] : -mags[k];
        }
        int32_t slots[6];
        const std::vector<made_triangle> tris = run_tetrahedron(s, values, flip, slots);
        const int n_in = inside[0] + inside[1] + inside[2] + inside[3];
        const size_t expected = (n_in == 0 || n_in == 4) ? 0 : (n_in == 2 ? 2 : 1);
        ASSERT_EQ(tris.size(), expected);

        std::set<int32_t> crossed, used;
        for (int e = 0; e < 6; ++e)
          if (inside[EDGE_ENDS[e][0]] != inside[EDGE_ENDS[e][1]]) crossed.insert(slots[e]);
        vec3_t in_mean, out_mean;
        for (int k = 0; k < 4; ++k) (inside[k] ? in_mean : out_mean) += TET[k] * (1.0 / (inside[k] ? n_in : 4 - n_in));
        for (const made_triangle& t : tris) {
          EXPECT_EQ(t.type, flip ? 0 : 1);
          for (int32_t v : t.v) used.insert(v);
          const double d = vec3_dot(normal_of(s, t), out_mean - in_mean);
          ASSERT_NE(d, 0.0);
          const int sign = (d > 0 ? 1 : -1) * (flip ? -1 : 1);
          if (facing == 0) facing = sign;
          EXPECT_EQ(sign, facing);
        }
        EXPECT_EQ(used, crossed);
        if (tris.size() == 2) {
          // The shared edge of the pair is the diagonal chosen.
          std::set<int32_t> a(tris[0].v, tris[0].v + 3), shared;
          for (int32_t v : tris[1].v)
            if (a.count(v)) shared.insert(v);
          ASSERT_EQ(shared.size(), 2u);
          diagonals_seen.insert({pattern, *shared.begin() * 8 + *shared.rbegin()});
        }
      }
  while (std::next_permutation(mags.begin(), mags.end()));
  // Each of the six two-triangle patterns split both ways across the sets.
  EXPECT_EQ(diagonals_seen.size(), 12u);
}

TEST(SurfaceCells, CapPatternsCoverTheInsidePartOfTheTriangle) {
  surface_interp s;
  s.point_chunk = s.triangle_chunk = 64;
  const vec3_t corner[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  // Area of the inside part with crossings at edge midpoints: the whole
  // triangle, a quarter per single corner, three quarters for two.
  const double full = 0.5;
  for (const auto& mags : {std::array<int, 3>{10, 20, 30}, std::array<int, 3>{30, 20, 10}})
    for (int u = 0; u < 8; ++u)
      for (bool flip : {false, true}) {
        SCOPED_TRACE("pattern " + std::to_string(u) + (flip ? " flipped" : ""));
        s.point_count = s.triangle_count = 0;
        int32_t idx[6];  // pA, pB, pC, AB, BC, AC
        const vec3_t at[6] = {corner[0], corner[1], corner[2], (corner[0] + corner[1]) * 0.5,
                              (corner[1] + corner[2]) * 0.5, (corner[0] + corner[2]) * 0.5};
        for (int k = 0; k < 6; ++k) {
          surface_point p;
          p.x = at[k].x, p.y = at[k].y, p.z = at[k].z;
          idx[k] = s.new_point(p);
        }
        bool in[3];
        int v[3];
        for (int k = 0; k < 3; ++k) {
          in[k] = u & (4 >> k);
          v[k] = in[k] ? mags[k] : -mags[k];
        }
        s.cap_triangles(v[0], v[1], v[2], idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], flip);
        const int n_in = in[0] + in[1] + in[2];
        const double expected = n_in == 0 ? 0 : n_in == 3 ? full : n_in == 1 ? full / 4 : 3 * full / 4;
        double area = 0;
        for (const made_triangle& t : triangles_of(s)) {
          EXPECT_EQ(t.type, 2);
          const double z = normal_of(s, t).z;
          EXPECT_EQ(z > 0, !flip);  // counter-clockwise like A, B, C unless flipped
          area += std::fabs(z) / 2;
        }
        EXPECT_NEAR(area, expected, 1e-12);
      }
}

TEST(SurfaceCells, TrianglesWithARepeatedPointAreDropped) {
  surface_interp s;
  s.point_chunk = s.triangle_chunk = 64;
  for (int k = 0; k < 3; ++k) s.new_point(surface_point());
  // Two crossings merged into one point: only the proper triangle stays.
  EXPECT_EQ(s.add_triangle(0, 1, 1, 1, false), 0);
  EXPECT_EQ(s.add_triangle(0, 1, 2, 1, true), 0);
  ASSERT_EQ(s.triangle_count, 1);
  const surface_triangle& t = s.triangle_at(0);
  EXPECT_EQ(t.a, 2);  // reversed: first and third swapped
  EXPECT_EQ(t.b, 1);
  EXPECT_EQ(t.c, 0);
  // A slot never written names no point.
  EXPECT_EQ(s.add_triangle(0, 1, -1, 1, false), 0);
  EXPECT_EQ(s.add_triangle(0, 1, 7, 1, false), 0);
  EXPECT_EQ(s.triangle_count, 1);
}

namespace {

// A 5 x 7 grid around node X = (2, 3), every neighbour outside (-100) in
// this and the previous layer; X inside (+100) with orientation +1.
struct node_fixture {
  surface_interp s;
  const vec3_t n{0, 0, 1};
  node_fixture() {
    s.grid_nx = 5;
    s.grid_ny = 7;
    s.nodes.assign(35, interp_node_t());
    s.point_chunk = s.triangle_chunk = 64;
    for (int j = 0; j < 7; ++j)
      for (int x = 0; x < 5; ++x) {
        interp_node_t& m = s.node(x, j);
        m.value = m.previous_value = -100;
        m.orientation = 1;
        m.position = m.previous_position = vec3_t{double(x), double(j), 0.0};
      }
    X().value = 100;
  }
  interp_node_t& X() { return s.node(2, 3); }
};

}  // namespace

TEST(SurfaceCells, EdgePointsOfOneNode) {
  {
    SCOPED_TRACE("inside, first layer, no crossings: one cap point");
    node_fixture f;
    f.s.make_edge_points(2, 3, 0, f.n);
    ASSERT_EQ(f.s.point_count, 1);
    EXPECT_EQ(f.X().point, 0);
    EXPECT_EQ(f.s.point_at(0).type, POINT_DUPLICATE);
    EXPECT_EQ(f.s.point_at(0).x, 2.0);
  }
  {
    SCOPED_TRACE("crossings on all 14 edges: 14 points");
    node_fixture f;
    f.X().crossings = 0x3FFF;
    f.s.make_edge_points(2, 3, 2, f.n);
    ASSERT_EQ(f.s.point_count, 14);
    // Edge 8 reaches (2, 5); its slot is that node's edge 1 slot, and the
    // point lies halfway (values +100 and -100).
    EXPECT_EQ(f.s.node(2, 5).edge_points[1], 8);
    EXPECT_EQ(f.s.point_at(8).y, 4.0);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(f.s.point_at(i).type, POINT_ORDINARY);
  }
  {
    SCOPED_TRACE("two separate groups: two points");
    node_fixture f;
    f.X().crossings = (1u << 0) | (1u << 10);  // edges 0 and 10 are not adjacent
    f.s.make_edge_points(2, 3, 2, f.n);
    ASSERT_EQ(f.s.point_count, 2);
    EXPECT_EQ(f.X().edge_points[0], 0);
    EXPECT_EQ(f.s.node(1, 3).edge_points[3], 1);  // edge 10 is (x-1, j)'s edge 3
  }
  {
    SCOPED_TRACE("rim crossing in the last layer: side point and cap duplicate");
    node_fixture f;
    f.X().crossings = 1u << 1;
    f.s.make_edge_points(2, 3, 3, f.n);
    ASSERT_EQ(f.s.point_count, 2);
    const surface_point &rim = f.s.point_at(0), &cap = f.s.point_at(1);
    EXPECT_EQ(rim.type, POINT_RIM);
    EXPECT_EQ(cap.type, POINT_DUPLICATE);
    EXPECT_EQ(rim.y, 2.0);  // halfway to (2, 1)
    EXPECT_EQ(cap.y, rim.y);
    EXPECT_EQ(cap.nz, 1.0);  // orientation +1: along the plane normal
    EXPECT_EQ(f.X().point, 1);  // the cap uses the duplicate
  }
}

// The first layer's cap normal follows the node before X in its row, a node
// of the following layer; at the row's start there is none and the node
// after X stands in.
TEST(SurfaceCells, FirstLayerCapNormalAtTheStartOfARow) {
  for (int following : {-1, 1}) {
    node_fixture f;
    f.s.node(0, 3).value = 100;
    f.s.node(1, 3).orientation = int8_t(following);
    f.s.make_cap_point(0, 3, 0, f.n);
    ASSERT_EQ(f.s.point_count, 1);
    EXPECT_EQ(f.s.point_at(0).nz, following < 0 ? 1.0 : -1.0);
  }
}

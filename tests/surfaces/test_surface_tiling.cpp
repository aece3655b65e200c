// Sampling a plane's field, node values and the layers between two planes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "surface_test_support.h"

using namespace surface_test;

namespace {

constexpr double SQRT2 = 1.4142135623730951;

// A plane over an 8 x 8 raster at (x0, y0) whose cells are f(u, v).
template <typename F>
struct synthetic_plane {
  frame_contours_t entry;
  interp_plane_t plane;
  synthetic_plane(int x0, int y0, F f, int w = 8, int h = 8) {
    entry.box_x = x0, entry.box_y = y0, entry.box_width = w, entry.box_height = h;
    plane.contours = &entry;
    plane.field = new int16_t[size_t(w) * h];
    for (int v = 0; v < h; ++v)
      for (int u = 0; u < w; ++u) plane.field[v * w + u] = int16_t(f(u, v));
  }
  ~synthetic_plane() { delete[] plane.field; }
};
template <typename F>
synthetic_plane(int, int, F) -> synthetic_plane<F>;

}  // namespace

TEST(SurfaceSampling, ValuesInsideBeyondAndWithoutARaster) {
  surface_interp s;
  struct row {
    const char* name;
    int x0;
    double x, y;
    int expected;  // sixteenths
  };
  // Cells f(u, v) = 10 u^2 + 100 v: bilinear inside, so that a weight taken
  // from the wrong cell shows.
  auto f = [](int u, int v) { return 10 * u * u + 100 * v; };
  const row rows[] = {
      // u + fx = 2.25, v + fy = 3.5: 0.75*40 + 0.25*90 + 350 = 402.5
      {"inside", 10, 12.25, 23.5, 6440},
      // box left of pixel 0: x = -3.75 is cell 1 + 0.25 (10*0.75 + 40*0.25 = 17.5), row 0
      {"inside, box at negative x", -5, -3.75, 20.0, 280},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    synthetic_plane p(r.x0, 20, f);
    double x = r.x, y = r.y;
    EXPECT_EQ(s.sample_field(p.plane, x, y, 0, 0), r.expected);
    EXPECT_EQ(x, r.x);
  }
}

TEST(SurfaceSampling, ExtrapolationBeyondTheRaster) {
  surface_interp s;
  // Left of a raster of 100s: x = x0 - 3 is 4 cells from edge column 1,
  // A = 12*4 - 100, h = -A: 16 * (100 - 48).
  synthetic_plane full(10, 20, [](int, int) { return 100; });
  double x = 7.0, y = 23.0;
  EXPECT_EQ(s.sample_field(full.plane, x, y, 0, 0), 16 * (100 - 48));
  // Above a raster of -100s whose edge row holds +30 at column 5: from
  // column 3, two rows above row 0 (k = 3), the search finds
  // c(2, 3) - 30 = 46 - 30 = 16 two columns on; h = -16.
  synthetic_plane ridge(10, 20, [](int u, int v) { return (v == 1 && u == 5) ? 30 : -100; });
  x = 13.0, y = 18.0;
  EXPECT_EQ(ridge.plane.field[1 * 8 + 5], 30);
  EXPECT_EQ(s.sample_field(ridge.plane, x, y, 0, 0), -256);
  // Large values clamp instead of wrapping.
  synthetic_plane high(10, 20, [](int, int) { return 32700; });
  x = 13.5, y = 23.5;
  EXPECT_EQ(s.sample_field(high.plane, x, y, 0, 0), 32700);
}

TEST(SurfaceSampling, PlaneWithoutRasterSamplesAsFarOutside) {
  surface_interp s;
  interp_plane_t empty;
  empty.box_x0 = -24, empty.box_x1 = 24, empty.box_y0 = 8, empty.box_y1 = 60;
  double x = 0, y = 0;
  EXPECT_EQ(s.sample_field(empty, x, y, 2, 1.4), -48 * 48);
  empty.box_x1 = 2000;
  EXPECT_EQ(s.sample_field(empty, x, y, 0, 0), -48 * 52);
  empty.box_y1 = 2000, empty.box_y0 = -2000;
  EXPECT_EQ(s.sample_field(empty, x, y, 0, 0), -32700);
}

// Snapping onto ridge corners reads probe cells two snap sizes away; near the
// raster's edge they must stay on the raster. Every point of a field with
// corners is sampled; a snapped point lands on a raster cell and takes its value.
TEST(SurfaceSampling, SnappingStaysOnTheRaster) {
  frame_contours_t entry;
  contour_t square;
  square.closed = true;
  square.vertices = {{20, 20}, {40, 20}, {40, 40}, {20, 40}};
  entry.contours = {square, circle(60, 30, 8, 64)};
  interp_plane_t p;
  p.contours = &entry;
  p.field = entry.measure(3, false).release();
  surface_interp s;
  s.chamfer_code(p);
  s.segment_valleys = true;
  const int w = entry.box_width, h = entry.box_height;
  int snapped = 0;
  for (double y = entry.box_y - 2; y < entry.box_y + h + 2; y += 0.5)
    for (double x = entry.box_x - 2; x < entry.box_x + w + 2; x += 0.5) {
      double sx = x, sy = y;
      const int v = s.sample_field(p, sx, sy, 2, 2 / SQRT2);
      ASSERT_LE(std::abs(v), 32700);
      if (sx == x && sy == y) continue;
      ++snapped;
      const int c = int(sx) - entry.box_x, r = int(sy) - entry.box_y;
      ASSERT_EQ(sx, std::floor(sx));
      ASSERT_TRUE(c >= 0 && c < w && r >= 0 && r < h);
      EXPECT_EQ(v, std::clamp(16 * p.field[r * w + c], -32700, 32700));
    }
  EXPECT_GT(snapped, 0);
  delete[] p.field;
}

TEST(SurfaceSampling, NodeValuesClampInsteadOfWrapping) {
  struct row {
    double v;
    int16_t expected;
  } rows[] = {{123.9, 123}, {-123.9, -123}, {32700.5, 32700}, {40000, 32700},
              {-40000, -32700}, {1e12, 32700}, {std::nan(""), -32700}};
  for (const row& r : rows) EXPECT_EQ(surface_interp::node_value(r.v), r.expected) << r.v;
}

// Concentric circles of radius 10 and 20 px on parallel planes 4 px apart
// (two layers at step 2). Without peak processing every node looks straight
// down the stack, and the middle layer blends the planes' distances half and
// half: its nodes are inside exactly within radius 15 (give or take the
// chamfer's rounding near the rim).
TEST(SurfaceTiling, ParallelStackNodesBlendTheTwoPlanes) {
  solid_cut cut;
  cut.add(frame({1, 0, 0}, {0, 1, 0}, {0, 0, 0}), 0).contours.push_back(circle(50.5, 50.5, 10, 180));
  cut.add(frame({1, 0, 0}, {0, 1, 0}, {0, 0, 0.04}), 1).contours.push_back(circle(50.5, 50.5, 20, 180));
  surface_interp s;
  s.x_scale = s.y_scale = 0.01;
  s.z_scale = 0.04;
  s.step = 2;
  for (plane_source& ps : cut.planes) {
    ps.contours->measure(6, true);
    interp_plane_t p;
    p.transform = ps.transform;
    p.contours = ps.contours;
    p.field = PLANE_FIELD_PENDING;
    s.planes.push_back(p);
  }
  s.plane_count = 2;
  ASSERT_TRUE(s.initialise_interp_sequence());
  ASSERT_EQ(s.planes[1].layers, 2);
  for (int k = 0; k < 2; ++k) {
    interp_plane_t& q = s.planes[k];
    q.field = q.contours->measure(6, false).release();
    s.chamfer_code(q);
    s.grid_normal = matrix4_get_z_axis(q.grid_transform);
    s.plane_normal = matrix4_get_z_axis(q.transform);
    s.tile_slab(k);
  }
  EXPECT_EQ(s.layers_done, 3);
  // The middle layer is the one with the parity before the last.
  int checked = 0;
  for (int j = 0; j < s.grid_ny; ++j)
    for (int x = 0; x < s.grid_nx; ++x) {
      const interp_node_t& n = s.node(x, j);
      const double gx = 2.0 * x + s.grid_x0, gy = 2.0 * j + s.grid_y0;
      ASSERT_EQ(n.orientation, 1);
      ASSERT_EQ(n.cur_x, gx);
      ASSERT_DOUBLE_EQ(n.cur_y, gy / SQRT2);
      ASSERT_EQ(n.prev_x, n.cur_x);
      // Radius from the circles' centre of the node's pixel centre.
      const double rho = std::hypot(gx + 0.5 - 50.5, gy / SQRT2 + 0.5 - 50.5);
      const bool middle = (x + j) % 2 == s.layer_parity;  // not visited by the last layer
      const double rim = middle ? 15 : 20;
      if (std::fabs(rho - rim) < 1.0) continue;
      EXPECT_EQ(n.value >= 0, rho < rim) << x << "," << j << " rho " << rho;
      // Positions: the middle layer halfway up, the last on plane 1.
      EXPECT_NEAR(n.position.z, middle ? 0.02 : 0.04, 1e-12);
      ++checked;
    }
  EXPECT_GT(checked, 500);
}

// Peak overlap of a peak at (10, 20) on one plane and one at (20, 20) on the
// plane 1 mm above, over fields of constant value: the chamfer length D is
// 120, and S and V are D less how far each peak's value is from the field of
// the other plane at its carried position. They match when both values have
// one sign and both exceed the larger of S and V.
TEST(SurfaceTiling, PeakOverlapMatchesByTheLargerOfBothMeasures) {
  struct row {
    const char* name;
    int vp, vq;  // peak values
    int fp, fq;  // constant fields of the two planes
    int match;
  };
  const row rows[] = {
      {"both values just above the chamfer length", 121, 121, 121, 121, 1},
      {"both values equal to it", 120, 120, 120, 120, 0},
      // S = 120, V = 90: above the smaller but not the larger.
      {"between the two measures", 110, 110, 110, 80, 0},
      {"outside peaks", -121, -121, -121, -121, -1},
      {"opposite signs", 121, -121, 121, -121, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    synthetic_plane p(0, 0, [&](int, int) { return r.fp; }, 40, 40);
    synthetic_plane q(0, 0, [&](int, int) { return r.fq; }, 40, 40);
    matrix4_identity(p.plane.transform);
    matrix4_identity(q.plane.transform);
    q.plane.transform[14] = 0.1;
    peak_t pp{10, 20, int16_t(r.vp), 0}, qp{20, 20, int16_t(r.vq), 0};
    double pv[2] = {7, 7}, qv[2] = {7, 7};
    p.plane.peaks = &pp, p.plane.peak_vectors = pv, p.plane.peak_count = 1;
    q.plane.peaks = &qp, q.plane.peak_vectors = qv, q.plane.peak_count = 1;
    surface_interp s;
    s.x_scale = s.y_scale = 0.01;
    s.peak_overlap(p.plane, q.plane);
    EXPECT_EQ(pp.match, r.match);
    EXPECT_EQ(qp.match, r.match);
    // A match moves both peaks by the displacement between them, else none.
    EXPECT_NEAR(pv[0], r.match ? 10.0 : 0.0, 1e-9);
    EXPECT_NEAR(qv[0], r.match ? 10.0 : 0.0, 1e-9);
    EXPECT_NEAR(pv[1], 0.0, 1e-9);
    p.plane.peaks = q.plane.peaks = nullptr;
    p.plane.peak_vectors = q.plane.peak_vectors = nullptr;
  }
}

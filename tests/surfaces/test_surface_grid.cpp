// The plane sequence and its grid: boxes, layers, grid size and crossing
// lines against values worked out by hand (the working is in the comments).
#include <gtest/gtest.h>

#include <cmath>
#include <list>

#include "common/log_capture.h"
#include "surface_test_support.h"

using namespace surface_test;

namespace {

constexpr double SQRT2 = 1.4142135623730951;

struct box_t {
  int x0, y0, x1, y1, nx, ny, layers;
};

// A surface whose planes carry raster boxes set by hand (no contours needed).
struct grid_fixture {
  std::list<frame_contours_t> entries;
  surface_interp s;

  grid_fixture(double z_scale, int step) {
    s.x_scale = s.y_scale = 0.01;
    s.z_scale = z_scale;
    s.step = step;
  }
  void add(const matrix4_t& t, int x0, int y0, int w, int h) {
    entries.emplace_back();
    frame_contours_t& e = entries.back();
    e.box_x = x0, e.box_y = y0, e.box_width = w, e.box_height = h;
    interp_plane_t p;
    p.transform = t;
    p.contours = &e;
    p.field = PLANE_FIELD_PENDING;
    s.planes.push_back(p);
    s.plane_count = int32_t(s.planes.size());
  }
  void add_empty(const matrix4_t& t) {
    interp_plane_t p;
    p.transform = t;
    s.planes.push_back(p);
    s.plane_count = int32_t(s.planes.size());
  }
};

void expect_box(const interp_plane_t& p, const box_t& b) {
  EXPECT_EQ(p.box_x0, b.x0);
  EXPECT_EQ(p.box_y0, b.y0);
  EXPECT_EQ(p.box_x1, b.x1);
  EXPECT_EQ(p.box_y1, b.y1);
  EXPECT_EQ(p.box_nx, b.nx);
  EXPECT_EQ(p.box_ny, b.ny);
  EXPECT_EQ(p.layers, b.layers);
}

matrix4_t at_z(double z_px) { return frame({1, 0, 0}, {0, 1, 0}, {0, 0, z_px * 0.01}); }

}  // namespace

// Step 2, so boxes fall on multiples of 4: x1 = trunc(xmax/4 + 1.5)*4,
// x0 = trunc(xmin/4 - 1.5)*4, y likewise on y*sqrt(2).
TEST(SurfaceGrid, ParallelStackBoxesLayersAndGrid) {
  grid_fixture g(0.05, 2);
  g.add(at_z(0), 10, 20, 30, 20);  // x 10..40, y 28.28..56.57
  g.add(at_z(5), 5, 25, 30, 30);   // 5 px on: layers trunc(2.5 + 0.5) = 3
  g.add(at_z(5.6), 12, 22, 10, 10);  // 0.6 px on (0.3 step): 1 layer, no warning
  log_capture log;
  ASSERT_TRUE(g.s.initialise_interp_sequence());
  // Plane 0: own box (4, 20)..(44, 60) = 21 x 21 nodes, widened by plane 1's
  // box to (0, 20)..(44, 80) without new node counts.
  expect_box(g.s.planes[0], {0, 20, 44, 80, 21, 21, 1});
  // Plane 1: x 5..40, y 28.28..77.78 -> x0 = trunc(-0.25)*4 = 0, y1 = 80;
  // widened by plane 2's box, which it already covers.
  expect_box(g.s.planes[1], {0, 20, 44, 80, 23, 31, 3});
  // Plane 2: x 5..35, y 31.11..77.78 -> (0, 24)..(40, 80).
  expect_box(g.s.planes[2], {0, 24, 40, 80, 21, 29, 1});
  EXPECT_EQ(g.s.grid_x0, 0);
  EXPECT_EQ(g.s.grid_y0, 20);
  EXPECT_EQ(g.s.grid_x1, 44);
  EXPECT_EQ(g.s.grid_y1, 80);
  EXPECT_EQ(g.s.grid_nx, 23);
  EXPECT_EQ(g.s.grid_ny, 31);
  EXPECT_EQ(g.s.grid_layers, 1 + 1 + 3 + 1);
  EXPECT_EQ(g.s.nodes.size(), 23u * 31u);
  // 6 * 31 * 23 / 8192 is below the least chunk.
  EXPECT_EQ(g.s.point_chunk, 2048);
  EXPECT_EQ(g.s.triangle_chunk, 4096);
  EXPECT_EQ(log.records().size(), 0u);
  // Every slab shares plane 0's grid frame: its transform, y axis over sqrt(2).
  for (const interp_plane_t& p : g.s.planes) {
    EXPECT_DOUBLE_EQ(p.grid_transform[5], 1 / SQRT2);
    EXPECT_DOUBLE_EQ(p.grid_transform[0], 1.0);
    EXPECT_DOUBLE_EQ(p.grid_transform[14], 0.0);
    EXPECT_EQ(p.crossing_valid, 0);
  }
}

// P is the plane z = 0; Q is P turned by a = 0.3 rad about the world y axis.
// With s = sin(a/2), c = cos(a/2), the slab's normal is n = (-s, 0, c), its
// grid x axis (c^2, 0, s c) and y axis (0, 1/sqrt2, 0) through the origin, so
// a corner at pixel x of P has grid x = x and height -s x, one of Q has grid
// x = x and height s x. Both boxes span x -20..20, y 10..40:
// thickness C = s (20 + 20) = 5.9775 px -> layers trunc(5.9775/2 + 0.5) = 3.
// h at a grid corner is -2 s x (times the pixel size): the planes cross on
// the grid line x = 0, from (0, box_y0) upwards.
TEST(SurfaceGrid, TiltedFreehandSlab) {
  const double a = 0.3;
  grid_fixture g(0.0, 2);
  g.add(frame({1, 0, 0}, {0, 1, 0}, {0, 0, 0}), -20, 10, 40, 30);
  g.add(frame({std::cos(a), 0, std::sin(a)}, {0, 1, 0}, {0, 0, 0}), -20, 10, 40, 30);
  ASSERT_TRUE(g.s.initialise_interp_sequence());
  // x -20..20 -> -24..24; y 14.14..56.57 -> trunc(2.04)*4 = 8 .. trunc(15.64)*4 = 60.
  expect_box(g.s.planes[0], {-24, 8, 24, 60, 25, 27, 1});
  expect_box(g.s.planes[1], {-24, 8, 24, 60, 25, 27, 3});
  EXPECT_EQ(g.s.grid_layers, 5);
  EXPECT_EQ(g.s.grid_nx, 25);
  EXPECT_EQ(g.s.grid_ny, 27);

  const matrix4_t& q = g.s.planes[1].grid_transform;
  const double s = std::sin(a / 2), c = std::cos(a / 2);
  const double expected[16] = {c * c, 0, s * c, 0, 0, 1 / SQRT2, 0, 0, -s, 0, c, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(q[i], expected[i], 1e-12) << "element " << i;

  const interp_plane_t& p = g.s.planes[0];
  ASSERT_EQ(p.crossing_valid, 1);
  EXPECT_NEAR(p.crossing_x, 0.0, 1e-9);
  EXPECT_NEAR(p.crossing_y, 8.0, 1e-9);
  EXPECT_NEAR(p.crossing_dx, 0.0, 1e-12);
  EXPECT_NEAR(p.crossing_dy, 1.0, 1e-12);
}

TEST(SurfaceGrid, ParallelFreehandPlanesHaveNoCrossingLine) {
  grid_fixture g(0.0, 2);
  g.add(at_z(0), 0, 0, 20, 20);
  g.add(at_z(4), 0, 0, 20, 20);
  ASSERT_TRUE(g.s.initialise_interp_sequence());
  EXPECT_EQ(g.s.planes[0].crossing_valid, 0);
  EXPECT_EQ(g.s.planes[1].layers, 2);  // 4 px / step 2
}

// Planes that cross exactly through one corner of the box: both crossing
// points found are that corner. A direction cannot be made from them, so no
// line is kept (rather than a marker that the tiling would use as one).
TEST(SurfaceGrid, CrossingThroughOneCornerGivesNoLine) {
  surface_interp s;
  s.x_scale = s.y_scale = 1.0;
  interp_plane_t p, q;
  matrix4_identity(q.transform);
  matrix4_identity(q.grid_transform);
  q.box_x0 = q.box_y0 = 0;
  q.box_x1 = q.box_y1 = 4;
  // P: the plane z = x + y, which meets z = 0 only at (0, 0) within the box.
  matrix4_identity(p.transform);
  p.transform[2] = 1;  // x axis (1, 0, 1)
  p.transform[6] = 1;  // y axis (0, 1, 1)
  p.crossing_valid = 1;
  s.plane_crossing_line(p, q);
  EXPECT_EQ(p.crossing_valid, 0);
}

TEST(SurfaceGrid, ThinSlabsWarnOncePerSurfaceUnlessExpertOrScript) {
  struct row {
    double gap_px;  // step 2
    bool expert, script;
    bool warned;
  };
  const row rows[] = {
      {0.4, false, false, true},   // 0.2 step: below a quarter step
      {0.4, true, false, false},   // expert mode
      {0.4, false, true, false},   // in a script
      {0.6, false, false, false},  // 0.3 step: one layer, no warning
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.gap_px);
    grid_fixture g(r.gap_px * 0.01, 2);
    g.s.expert_mode = r.expert;
    g.s.in_script = r.script;
    for (int k = 0; k < 3; ++k) g.add(at_z(k * r.gap_px), 0, 0, 20, 20);
    log_capture log;
    ASSERT_TRUE(g.s.initialise_interp_sequence());
    EXPECT_EQ(g.s.planes[1].layers, 1);
    EXPECT_EQ(g.s.planes[2].layers, 1);
    EXPECT_EQ(log.count(wxLOG_Warning), r.warned ? 1 : 0);
    if (r.warned) {
      EXPECT_TRUE(log.has(wxLOG_Warning,
                          "This surface resolution is too low for the current set of contours.\n"
                          "Either increase the resolution, or increase contour frame spacing."));
    }
  }
}

// Box edges on even multiples of the step; an extent of exactly 0 gives
// -s2..s2, and empty end planes take the slab's box and widen nothing.
TEST(SurfaceGrid, ZeroExtentAndEmptyEndPlanes) {
  grid_fixture g(0.0, 3);
  g.add_empty(at_z(-3));
  g.add(at_z(0), 0, 0, 0, 0);
  g.add(at_z(3), 0, 0, 0, 0);
  g.add_empty(at_z(6));
  ASSERT_TRUE(g.s.initialise_interp_sequence());
  // Extent 0..0: x1 = trunc(1.5)*6 = 6, x0 = trunc(-1.5)*6 = -6.
  for (int k = 1; k < 4; ++k) {
    EXPECT_EQ(g.s.planes[k].box_x0, -6);
    EXPECT_EQ(g.s.planes[k].box_x1, 6);
  }
  EXPECT_EQ(g.s.planes[0].box_x0, -6);  // widened from the empty box by plane 1's
  EXPECT_EQ(g.s.grid_x0, -6);
  EXPECT_EQ(g.s.grid_x1, 6);
  EXPECT_EQ(g.s.grid_nx, 5);
  EXPECT_EQ(g.s.planes[3].layers, 1);  // 3 px / step 3
}

// Contours too far out for the grid's 16-bit coordinates are refused with a
// message, and the surface stays empty.
TEST(SurfaceGrid, GridBeyondItsWordsIsRefused) {
  solid_cut cut;
  cut.add(at_z(0), 0).contours.push_back(circle(40000, 100, 10));
  cut.add(at_z(4), 1).contours.push_back(circle(40000, 100, 10));
  interp_settings set;
  set.x_scale = set.y_scale = 0.01;
  set.z_scale = 0.04;
  log_capture log;
  surface_interp s;
  EXPECT_FALSE(s.interpolate(cut.planes, set));
  EXPECT_TRUE(log.has(wxLOG_Error, "more than the interpolation grid can hold"));
  EXPECT_EQ(s.mesh.n_points, 0);
  EXPECT_EQ(s.mesh.n_triangles, 0);
  EXPECT_TRUE(s.planes.empty());
  EXPECT_TRUE(s.nodes.empty());
}

TEST(SurfaceGrid, FewerThanTwoPlanesGiveAnEmptySurface) {
  solid_cut cut;
  cut.add(at_z(0), 0).contours.push_back(circle(50, 50, 10));
  contour_t open = circle(50, 50, 10);
  open.closed = false;
  cut.add(at_z(4), 1).contours.push_back(open);  // open contours only: no plane
  interp_settings set;
  set.z_scale = 0.04;
  surface_interp s;
  EXPECT_TRUE(s.interpolate(cut.planes, set));
  EXPECT_EQ(s.mesh.n_points, 0);
  EXPECT_EQ(s.volume, 0.0);
}

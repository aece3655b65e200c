// The arithmetic of the review view's overlays.
#include <gtest/gtest.h>

#include "views/review_overlay_math.h"

namespace {

TEST(ReviewOverlays, ContourLineLeavesOutVerticesAtOrAboveTheThreshold) {
  contour_t c;
  c.vertices = {{0, 0}, {1, 0}, {1, 1}};
  c.values = {5, 12, 7};
  EXPECT_EQ(contour_line_vertices(c, 10.0), (std::vector<size_t>{0, 2}));
  c.values = {5, 10, 7};  // equal to the threshold is left out too
  EXPECT_EQ(contour_line_vertices(c, 10.0), (std::vector<size_t>{0, 2}));
  c.closed = true;
  EXPECT_EQ(contour_line_vertices(c, 10.0), (std::vector<size_t>{0, 2, 0}));
  c.values = {5, 12};  // not one value per vertex: no filtering
  EXPECT_EQ(contour_line_vertices(c, 10.0), (std::vector<size_t>{0, 1, 2, 0}));
  contour_t single;
  single.vertices = {{3, 3}};
  EXPECT_TRUE(contour_line_vertices(single, 10.0).empty());  // a point, no line
}

TEST(ReviewOverlays, VertexPointColours) {
  struct colour_case {
    uint8_t in[3], out[3];
  } cases[] = {
      {{250, 240, 200}, {125, 120, 100}},
      {{250, 240, 150}, {255, 255, 255}},
      {{193, 193, 193}, {96, 96, 96}},
      {{192, 255, 255}, {255, 255, 255}},
  };
  for (const colour_case& c : cases) {
    uint8_t out[3];
    vertex_point_colour(c.in[0], c.in[1], c.in[2], out);
    EXPECT_EQ(out[0], c.out[0]);
    EXPECT_EQ(out[1], c.out[1]);
    EXPECT_EQ(out[2], c.out[2]);
  }
}

TEST(ReviewOverlays, LandmarksNearTheFrame) {
  EXPECT_DOUBLE_EQ(landmark_tolerance(0.01, 0.01, 0.6), 0.3);
  EXPECT_DOUBLE_EQ(landmark_tolerance(0.01, 0.03, 0.0), 0.01);
  struct near_case {
    int32_t kind;
    double d;
    int32_t current;
    bool shown;
  } cases[] = {
      {LM_2D, 7.0, 7, true},   {LM_2D, 7.0, 6, false},     {LM_2D, 6.5, 7, true},
      {LM_2D, -0.5, -1, true}, {LM_DATA, 0.4, 0, false},   {LM_DATA, 0.29, 0, true},
      {LM_SURFACE, 0.4, 0, true}, {LM_SURFACE, 1.2, 0, false}, {LM_FIDUCIAL, -0.29, 0, true},
  };
  for (const near_case& c : cases)
    EXPECT_EQ(landmark_near_frame(c.kind, c.d, 0.3, c.current), c.shown)
        << "kind " << c.kind << " d " << c.d;
}

TEST(ReviewOverlays, LandmarkShadeLightensDarkAndDarkensLightColours) {
  const double light[3] = {0.9, 0.9, 0.9};
  const double dark[3] = {0.4, 0.1, 0.1};
  double out[3];
  landmark_shade(light, out);
  EXPECT_DOUBLE_EQ(out[0], 0.6);
  landmark_shade(dark, out);
  EXPECT_DOUBLE_EQ(out[0], 0.8);
  EXPECT_DOUBLE_EQ(out[1], 0.7);
}

TEST(ReviewOverlays, CaliperDistanceInMillimetres) {
  // (3, 4) pixels of 0.1 mm: 0.5 mm.
  EXPECT_EQ(caliper_distance_text(10, 10, 13, 14, 0.01, 0.01), "Distance measurement is 0.5 mm");
  EXPECT_EQ(caliper_distance_text(0, 0, 0, 100, 0.01, 0.02), "Distance measurement is 20.0 mm");
}

TEST(ReviewOverlays, NavigationBoxShowsTheVisiblePart) {
  // Display 800 x 400 in a 200 x 100 client area scrolled to (400, 100); P = 20.
  const navigation_box_t b = navigation_box(20.0, 800, 400, 200, 100, 400, 100, false);
  EXPECT_DOUBLE_EQ(b.box_left, 200 - 37.5);
  EXPECT_DOUBLE_EQ(b.box_right, 200 - 7.5);
  EXPECT_DOUBLE_EQ(b.box_bottom, 3.75);  // box height 30 x 400 / 800 = 15
  EXPECT_DOUBLE_EQ(b.box_top, 18.75);
  EXPECT_DOUBLE_EQ(b.view_width, 7.5);   // a quarter of the box
  EXPECT_DOUBLE_EQ(b.view_height, 3.75);
  EXPECT_DOUBLE_EQ(b.view_left, 162.5 + 15.0);
  EXPECT_DOUBLE_EQ(b.view_top, 3.75 + 15 - 3.75);
}

}  // namespace

namespace {

TEST(ReviewOverlays, CurveSegmentsNearThePlane) {
  // Running 3 pixels above the plane: drawn, faded to alpha 0.4.
  curve_piece_t p = clip_curve_segment({0, 0, 3}, {10, 0, 3});
  ASSERT_TRUE(p.drawn);
  EXPECT_FALSE(p.crossing);
  EXPECT_NEAR(p.alpha1, 0.4, 1e-12);
  EXPECT_NEAR(p.alpha2, 0.4, 1e-12);
  // 6 pixels away on either side: not drawn.
  EXPECT_FALSE(clip_curve_segment({0, 0, 6}, {10, 0, 6}).drawn);
  EXPECT_FALSE(clip_curve_segment({0, 0, -6}, {10, 0, -7}).drawn);
  // Crossing from -2 to +2: the crossing point halfway, both ends at alpha 0.6.
  p = clip_curve_segment({0, 0, -2}, {10, 4, 2});
  ASSERT_TRUE(p.crossing);
  EXPECT_NEAR(p.cx, 5.0, 1e-12);
  EXPECT_NEAR(p.cy, 2.0, 1e-12);
  EXPECT_NEAR(p.alpha1, 0.6, 1e-12);
  // An end beyond the band moves to the band's edge: from z 15 to z -5 the
  // end at 15 comes to z 5, half-way along, with alpha 0.
  p = clip_curve_segment({0, 0, 15}, {20, 0, -5});
  ASSERT_TRUE(p.drawn);
  EXPECT_NEAR(p.x2, 10.0, 1e-12);
  EXPECT_NEAR(p.alpha2, 0.0, 1e-12);
  EXPECT_NEAR(p.x1, 20.0, 1e-12);
  EXPECT_NEAR(p.cx, 15.0, 1e-12);  // z 0 three quarters of the way
}

}  // namespace

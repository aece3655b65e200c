// The overlays' arithmetic without a display: the scale bar's round value,
// unit and length, the walk of a landmark curve near a plane, and where a
// reslice plane cuts a surface, all against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "data/contour.h"
#include "geometry_test_support.h"
#include "data/reslice_info.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "tools/headless_session.h"
#include "views/overlay_math.h"

namespace {

// Each row: nominal length g = P x 3.3 x 10 x xscale / zoom mm, its unit u,
// b = g / u, the smallest round value c >= b and t = u c zoom 0.1 / xscale.
TEST(ScaleBar, RoundValueUnitAndLengthByHand) {
  const struct {
    double p, xscale, zoom;
    double value;
    bool fifths;
    double length;
    const char* unit;
  } cases[] = {
      {16, 0.01, 1.0, 10, false, 100, "mm"},           // g 5.28 mm
      {16, 0.012, 1.0, 10, false, 1000 / 12.0, "mm"},  // g 6.336 mm
      {16, 0.006, 1.0, 5, true, 500 / 6.0, "mm"},      // g 3.168 mm in fifths
      {20, 500, 1.0, 500, true, 100, "m"},             // g 330 m
      {20, 500, 2.2, 200, false, 88, "m"},             // g 150 m
      {20, 1, 2.2, 50, true, 110, "cm"},               // g 300 mm: 30 cm
      {20, 1, 1.0, 100, false, 100, "cm"},             // g 660 mm: 66 cm
      {20, 1e-6, 1.0, 1, false, 100, "um"},            // g 0.66 um
      {20, 1e-9, 1.0, 1, false, 100, "nm"},            // g 0.66 nm
      {20, 1000, 1.0, 1, false, 100, "km"},            // g 0.66 km
      {20, 1e6, 1.0, 1, false, 100, "??"},             // g 6.6e8 mm: beyond the named units
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "P " << c.p << " xscale " << c.xscale << " zoom " << c.zoom);
    const scale_bar_t b = plane_scale_bar(c.p, c.xscale, c.zoom);
    ASSERT_TRUE(b.ok);
    EXPECT_DOUBLE_EQ(b.value, c.value);
    EXPECT_EQ(b.fifths, c.fifths);
    EXPECT_NEAR(b.length, c.length, 1e-9 * c.length);
    EXPECT_EQ(b.unit_name, c.unit);
  }
  // A negative pixel size or an infinite zoom gives nothing to show.
  EXPECT_FALSE(plane_scale_bar(16, -0.01, 1.0).ok);
  EXPECT_FALSE(plane_scale_bar(16, 0.01, INFINITY).ok);
}

TEST(CurveWalk, OpenCurveStartsAtItsFirstPointClosedAtItsLast) {
  // A square in the plane (z 0) at the corners (0,0) (10,0) (10,10) (0,10).
  const std::vector<vec3_t> square = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
  const std::vector<curve_piece_t> open = curve_pieces(square, false);
  ASSERT_EQ(open.size(), 4u);
  // The first segment of an open curve runs from its first point to itself.
  EXPECT_EQ(open[0].x1, 0);
  EXPECT_EQ(open[0].x2, 0);
  EXPECT_EQ(open[0].y2, 0);
  EXPECT_EQ(open[3].x1, 0);  // current point (0, 10), previous (10, 10)
  EXPECT_EQ(open[3].y1, 10);
  EXPECT_EQ(open[3].x2, 10);
  const std::vector<curve_piece_t> closed = curve_pieces(square, true);
  ASSERT_EQ(closed.size(), 4u);
  // That of a closed curve joins its last point to its first.
  EXPECT_EQ(closed[0].x1, 0);
  EXPECT_EQ(closed[0].y1, 0);
  EXPECT_EQ(closed[0].x2, 0);
  EXPECT_EQ(closed[0].y2, 10);
  for (const curve_piece_t& p : closed) {
    EXPECT_FALSE(p.crossing);
    EXPECT_EQ(p.alpha1, 1.0);
  }
}

TEST(CurveWalk, OnlySegmentsWithinTheBandAreDrawn) {
  // From 8 px above the plane down through it to 8 px below, then away.
  const std::vector<vec3_t> points = {{0, 0, 8}, {16, 0, -8}, {16, 16, -20}};
  const std::vector<curve_piece_t> pieces = curve_pieces(points, false);
  // The first point's own segment lies 8 px away: not drawn. The crossing
  // segment is cut to z 5 .. -5 (x 3 .. 13) and crosses at x 8; the last one
  // lies wholly below the band.
  ASSERT_EQ(pieces.size(), 1u);
  const curve_piece_t& p = pieces[0];
  EXPECT_TRUE(p.crossing);
  EXPECT_NEAR(p.x2, 3.0, 1e-12);
  EXPECT_NEAR(p.x1, 13.0, 1e-12);
  EXPECT_NEAR(p.cx, 8.0, 1e-12);
  EXPECT_NEAR(p.alpha1, 0.0, 1e-12);
  EXPECT_NEAR(p.alpha2, 0.0, 1e-12);
  // Distances without a pixel size are not drawn.
  EXPECT_TRUE(curve_pieces({{0, 0, NAN}, {1, 0, 0}}, false).empty());
  EXPECT_FALSE(clip_curve_segment({0, 0, NAN}, {1, 0, 0}).drawn);
}

class ResliceSections : public ::testing::Test {
 protected:
  void SetUp() override {
    resource_table->RES_XSCALE->write(0.05);
    resource_table->RES_YSCALE->write(0.05);
  }
  headless_session session_;
};

// Plane x = 2.1 cm facing +x with up +z: image x runs along world y (up x
// normal), image y along world z, 0.05 cm a pixel, the centre (2.1, 1, 3) at
// pixel (24, 16). The cube centred (2, 1.3, 3.4) cuts it in the square of
// world y 0.8 .. 1.8, z 2.9 .. 3.9: pixels x 20 .. 40, y 14 .. 34.
TEST_F(ResliceSections, CubeSectionLiesOnTheHandComputedSquare) {
  reslice_info plane;
  plane.width = 48;
  plane.height = 32;
  plane.set_plane({1, 0, 0}, {2.1, 1, 3}, {0, 0, 1}, false);
  const std::unique_ptr<surface_interp> cube(new_cube_mesh({2.0, 1.3, 3.4}));
  const auto section = plane_cross_section(*cube, reslice_section_plane(plane), 1, 0.1);
  ASSERT_EQ(section->contours.size(), 1u);
  const contour_t& c = section->contours[0];
  EXPECT_TRUE(c.closed);
  EXPECT_NEAR(std::fabs(c.area()), 400.0, 1e-6);
  for (const vec2_t& v : c.vertices) {
    const double dx = std::fabs(v.x - 30), dy = std::fabs(v.y - 24);
    EXPECT_NEAR(std::max(dx, dy), 10.0, 1e-9) << v.x << "," << v.y;
  }
  // A plane past the cube cuts nothing.
  plane.set_centre({2.6, 1, 3}, false);
  EXPECT_TRUE(plane_cross_section(*cube, reslice_section_plane(plane), 1, 0.1)->contours.empty());
}

TEST_F(ResliceSections, CentreOfGravityMarkedWithinHalfAPixel) {
  reslice_info plane;
  plane.width = 48;
  plane.height = 32;
  plane.set_plane({1, 0, 0}, {2.1, 1, 3}, {0, 0, 1}, false);
  double x = 0, y = 0;
  // 0.02 cm from the plane, within half a pixel (0.025 cm), at pixel (30, 24).
  EXPECT_TRUE(centre_of_gravity_on_plane(plane, {2.12, 1.3, 3.4}, 0.05, x, y));
  EXPECT_NEAR(x, 30.0, 1e-9);
  EXPECT_NEAR(y, 24.0, 1e-9);
  EXPECT_FALSE(centre_of_gravity_on_plane(plane, {2.07, 1.3, 3.4}, 0.05, x, y));
}

}  // namespace

// The plot geometry without a display: world <-> screen transforms, fitting,
// zooming about a pixel, rectangle zoom, panning, wheel scrolling, centring
// and the scroll-bar sums.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/plot_math.h"
#include "plot_test_support.h"

namespace {

TEST(PlotView, PixelsTruncateTowardZeroAndRoundTrip) {
  struct row {
    double scale_x, scale_y, pos_x, pos_y;
  };
  const row rows[] = {{1, 1, 0, 0},         {69, 64, -1.16, 5.47}, {1e-4, 2e-4, -3e6, 2e6},
                      {3e6, 7e5, 1e-6, -1e-6}, {0.37, 12.5, 123.4, -77.7}};
  for (const row& r : rows) {
    mpView v;
    v.scale_x = r.scale_x;
    v.scale_y = r.scale_y;
    v.pos_x = r.pos_x;
    v.pos_y = r.pos_y;
    for (int p : {0, 1, 17, 399, 800}) {
      // A pixel's data point maps back onto the pixel (or, by rounding, its neighbour).
      EXPECT_NEAR(v.x2p(v.p2x(p)), p, 1) << r.scale_x;
      EXPECT_NEAR(v.y2p(v.p2y(p)), p, 1) << r.scale_y;
      // The data of a pixel lies within one pixel of the data of its mapping.
      const double x = v.p2x(p) + 0.3 / r.scale_x;
      EXPECT_NEAR(v.p2x(v.x2p(x)), x, 1.0 / r.scale_x);
    }
  }
  mpView v;
  v.scale_x = 10;
  v.pos_x = 0;
  EXPECT_EQ(v.x2p(0.39), 3);
  EXPECT_EQ(v.x2p(-0.39), -3);  // toward zero, not down
  v.scale_y = 10;
  v.pos_y = 0;
  EXPECT_EQ(v.y2p(-0.39), 3);
}

TEST(PlotView, PixelsOfFarPointsStayRepresentable) {
  mpView v;
  v.scale_x = 1e300;
  EXPECT_GT(v.x2p(1e10), 100000000);
  EXPECT_LT(v.x2p(-1e10), -100000000);
  EXPECT_LT(v.x2p(std::nan("")), -100000000);
}

TEST(PlotView, FitPutsTheRangeOnThePlotArea) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  EXPECT_DOUBLE_EQ(v.scale_x, 69.0);  // 690 pixels over 10 units
  EXPECT_DOUBLE_EQ(v.scale_y, 64.0);  // 320 pixels over 5 units
  // Conversions truncate, so a border can land one pixel short by rounding.
  EXPECT_NEAR(v.x2p(0), 80, 1);
  EXPECT_NEAR(v.x2p(10), 770, 1);
  EXPECT_NEAR(v.y2p(5), 30, 1);
  EXPECT_NEAR(v.y2p(0), 350, 1);
  EXPECT_NEAR(v.p2x(80), 0, 1e-12);
  EXPECT_NEAR(v.p2y(350), 0, 1e-12);
  EXPECT_EQ(v.x_from, 0);
  EXPECT_EQ(v.x_to, 10);
}

TEST(PlotView, ZeroWidthRangeUsesScaleOneAndCentresIt) {
  mpView v = graph_view();
  v.fit_range(3, 3, -2, -2);
  EXPECT_EQ(v.scale_x, 1.0);
  EXPECT_EQ(v.scale_y, 1.0);
  EXPECT_TRUE(std::isfinite(v.pos_x) && std::isfinite(v.pos_y));
  EXPECT_EQ(v.x2p(3), 425);  // 80 + 690 / 2
  EXPECT_EQ(v.y2p(-2), 190);  // 30 + 320 / 2
}

TEST(PlotView, AspectLockTakesTheSmallerScale) {
  mpView v = graph_view();
  v.aspect_lock = true;
  v.fit_range(0, 4, 0, 4);
  EXPECT_DOUBLE_EQ(v.scale_x, 80.0);  // 320-pixel height over 4 units
  EXPECT_DOUBLE_EQ(v.scale_y, 80.0);
  EXPECT_EQ(v.x2p(2), 425);
}

TEST(PlotView, PlotAreaSmallerThanTheMarginsKeepsFiniteScales) {
  mpView v = graph_view();
  v.width = 100;  // less than left + right margins
  v.fit_range(0, 10, 0, 5);
  EXPECT_GT(v.scale_x, 0);
  EXPECT_TRUE(std::isfinite(v.pos_x));
}

// The data point under each pixel, worked out from the fitted view: scale x
// 690 / 10 = 69, scale y 320 / 3e-3; position x 2 - 425 / 69, position y
// 190 / scale y + 0.5e-3.
TEST(PlotView, ZoomKeepsThePointUnderThePixel) {
  struct probe_t {
    int column, row;
    double x, y;
  };
  const probe_t probes[] = {{80, 30, -3, 2e-3},
                            {413, 211, 1.82608695652174, 0.000303125},
                            {769, 349, 6.98550724637681, -0.000990625},
                            {0, 0, -4.15942028985507, 0.00228125}};
  for (const probe_t& p : probes) {
    mpView v = graph_view();
    v.fit_range(-3, 7, -1e-3, 2e-3);
    EXPECT_NEAR(v.p2x(p.column), p.x, 1e-12);
    EXPECT_NEAR(v.p2y(p.row), p.y, 1e-15);
    v.zoom_at(p.column, p.row, true);
    EXPECT_DOUBLE_EQ(v.scale_x, 103.5);
    EXPECT_DOUBLE_EQ(v.scale_y, 1.6e5);
    EXPECT_NEAR(v.p2x(p.column), p.x, 1e-9);
    EXPECT_NEAR(v.p2y(p.row), p.y, 1e-12);
    // The view range is what the plot area now shows: 690 / 103.5 data units
    // wide, 320 / 1.6e5 high, placed by the kept point.
    EXPECT_NEAR(v.x_from, p.x - (p.column - 80) / 103.5, 1e-9);
    EXPECT_NEAR(v.x_to, p.x + (770 - p.column) / 103.5, 1e-9);
    EXPECT_NEAR(v.y_to, p.y + (p.row - 30) / 1.6e5, 1e-12);
    EXPECT_NEAR(v.y_from, p.y - (350 - p.row) / 1.6e5, 1e-12);
    v.zoom_at(p.column, p.row, false);
    EXPECT_NEAR(v.scale_x, 69, 1e-9);
    EXPECT_NEAR(v.scale_y, 320 / 3e-3, 1e-6);
    EXPECT_NEAR(v.p2x(p.column), p.x, 1e-9);
  }
}

// The view fitted to 0..10 x 0..5: scale x 69, scale y 64, position x
// 5 - 425 / 69, position y 190 / 64 + 2.5.
TEST(PlotView, OneAxisZoomLeavesTheOtherAlone) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  const mpView before = v;
  v.zoom_horizontal_at(300, true);
  EXPECT_DOUBLE_EQ(v.scale_x, 103.5);
  EXPECT_DOUBLE_EQ(v.scale_y, 64);
  EXPECT_DOUBLE_EQ(v.pos_y, before.pos_y);
  EXPECT_EQ(v.y_from, 0);
  EXPECT_NEAR(v.p2x(300), 3.18840579710145, 1e-12);
  v.zoom_vertical_at(100, false);
  EXPECT_DOUBLE_EQ(v.scale_y, 64 / 1.5);
  EXPECT_NEAR(v.p2y(100), 3.90625, 1e-12);
}

TEST(PlotView, RectangleZoomShowsTheRectangleOnThePlotArea) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  // Columns 200 and 500, rows 300 and 100 of the fitted view.
  const double x0 = 1.73913043478261, x1 = 6.08695652173913, y0 = 0.78125, y1 = 3.90625;
  v.zoom_to_pixel_rect(500, 100, 200, 300);  // corners in either order
  EXPECT_NEAR(v.x_from, x0, 1e-12);
  EXPECT_NEAR(v.x_to, x1, 1e-12);
  EXPECT_NEAR(v.y_from, y0, 1e-12);
  EXPECT_NEAR(v.y_to, y1, 1e-12);
  EXPECT_NEAR(v.scale_x, 690 / (x1 - x0), 1e-9);
  EXPECT_NEAR(v.scale_y, 320 / (y1 - y0), 1e-9);
  EXPECT_NEAR(v.p2x(v.left), x0, 1e-9);
  EXPECT_NEAR(v.p2x(v.width - v.right), x1, 1e-9);
  EXPECT_NEAR(v.p2y(v.top), y1, 1e-9);
  EXPECT_NEAR(v.p2y(v.height - v.bottom), y0, 1e-9);
}

// Fitted to -2..8 x -3..5: scale x 69, scale y 40; x = 1 at column 287 and
// y = 2 at row 150.
TEST(PlotView, DragMovesTheDrawingWithThePointer) {
  const int moves[][2] = {{25, -13}, {-300, 0}, {0, 120}};
  for (const auto& d : moves) {
    mpView v = graph_view();
    v.fit_range(-2, 8, -3, 5);
    ASSERT_EQ(v.x2p(1.0), 287);
    ASSERT_EQ(v.y2p(2.0), 150);
    v.drag(400, 200, 400 + d[0], 200 + d[1]);
    EXPECT_NEAR(v.x2p(1.0), 287 + d[0], 1);
    EXPECT_NEAR(v.y2p(2.0), 150 + d[1], 1);
    EXPECT_NEAR(v.x_from, -2 - d[0] / 69.0, 1e-12);
    EXPECT_NEAR(v.x_to, 8 - d[0] / 69.0, 1e-12);
    EXPECT_NEAR(v.y_to, 5 + d[1] / 40.0, 1e-12);
  }
}

TEST(PlotView, WheelScrollsByTheRotationInPixels) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  ASSERT_EQ(v.y2p(2.5), 190);
  ASSERT_EQ(v.x2p(4.0), 356);
  v.wheel_scroll(120, false);
  EXPECT_NEAR(v.y2p(2.5), 310, 1);
  EXPECT_NEAR(v.y_from, 1.875, 1e-12);  // 120 pixels of 64 per unit
  EXPECT_EQ(v.x2p(4.0), 356);
  v.wheel_scroll(120, true);
  EXPECT_NEAR(v.x2p(4.0), 476, 1);
  EXPECT_NEAR(v.x_from, -1.73913043478261, 1e-12);  // 120 pixels of 69 per unit
}

TEST(PlotView, CentreMovesThePointToThePlotAreaCentre) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  v.centre_on(150, 60);  // data (1.01449275362319, 4.53125)
  EXPECT_NEAR(v.p2x(425), 1.01449275362319, 1e-12);
  EXPECT_NEAR(v.p2y(190), 4.53125, 1e-12);
  EXPECT_EQ(v.x_from, 0);  // the view range stays
}

// Fitted to -2..3 x -1..1 (scale x 138, scale y 160) inside the extent
// -10..10 x -4..4.
TEST(PlotView, ScrollBarsMatchTheViewAndScrollingBackRestoresIt) {
  mpView v = graph_view();
  const mpExtent e{-10, 10, -4, 4};
  v.fit_range(-2, 3, -1, 1);
  const mpScrollBar h = v.horizontal_bar(e), vb = v.vertical_bar(e);
  EXPECT_EQ(h.thumb, 690);
  EXPECT_EQ(vb.thumb, 320);
  EXPECT_EQ(h.position, 1104);  // 8 units of 138 pixels
  EXPECT_EQ(h.range, 2760);     // 20 units
  EXPECT_EQ(vb.position, 480);  // 3 units of 160 pixels
  EXPECT_EQ(vb.range, 1280);    // 8 units
  const double px = v.pos_x, py = v.pos_y;
  v.scroll_to(e, h.position, false);
  v.scroll_to(e, vb.position, true);
  EXPECT_NEAR(v.pos_x, px, 1.0 / 138);
  EXPECT_NEAR(v.pos_y, py, 1.0 / 160);
  v.scroll_to(e, 0, false);
  EXPECT_NEAR(v.p2x(v.left), -10, 1e-9);
}

TEST(PlotView, ExtentUnionWidensOnly) {
  mpExtent e{99, 99, 99, 99};
  mp_extent_add(e, true, 0, 1, 2, 3);
  mp_extent_add(e, false, 0.5, 4, -1, 2.5);
  EXPECT_EQ(e.min_x, 0);
  EXPECT_EQ(e.max_x, 4);
  EXPECT_EQ(e.min_y, -1);
  EXPECT_EQ(e.max_y, 3);
}

TEST(PlotView, BoundsAreThePlotAreaOrTheWholeWindow) {
  const mpView v = graph_view();
  const mpBounds in = v.bounds(false), out = v.bounds(true);
  EXPECT_EQ(in.min_x, 80);
  EXPECT_EQ(in.max_x, 770);
  EXPECT_EQ(in.min_y, 30);
  EXPECT_EQ(in.max_y, 350);
  EXPECT_EQ(out.max_x, 800);
  EXPECT_EQ(out.max_y, 400);
  EXPECT_TRUE(in.contains(770, 350));
  EXPECT_FALSE(in.contains(771, 350));
}

TEST(PlotPage, PrintAreaIsInsetFiftyPixels) {
  const mpPageLayout p = mp_page_layout(900, 500);
  EXPECT_TRUE(p.usable);
  EXPECT_EQ(p.origin_x, 50);
  EXPECT_EQ(p.origin_y, 50);
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 400);
  EXPECT_FALSE(mp_page_layout(100, 500).usable);
  EXPECT_FALSE(mp_page_layout(500, 60).usable);
}

}  // namespace

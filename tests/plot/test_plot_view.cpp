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
  EXPECT_EQ(v.x2p(3), v.centre_column());
  EXPECT_EQ(v.y2p(-2), v.centre_row());
}

TEST(PlotView, AspectLockTakesTheSmallerScale) {
  mpView v = graph_view();
  v.aspect_lock = true;
  v.fit_range(0, 4, 0, 4);
  EXPECT_DOUBLE_EQ(v.scale_x, 80.0);  // 320-pixel height over 4 units
  EXPECT_DOUBLE_EQ(v.scale_y, 80.0);
  EXPECT_EQ(v.x2p(2), v.centre_column());
}

TEST(PlotView, PlotAreaSmallerThanTheMarginsKeepsFiniteScales) {
  mpView v = graph_view();
  v.width = 100;  // less than left + right margins
  v.fit_range(0, 10, 0, 5);
  EXPECT_GT(v.scale_x, 0);
  EXPECT_TRUE(std::isfinite(v.pos_x));
}

TEST(PlotView, ZoomKeepsThePointUnderThePixel) {
  const int pixels[][2] = {{80, 30}, {413, 211}, {769, 349}, {0, 0}};
  for (const auto& px : pixels) {
    mpView v = graph_view();
    v.fit_range(-3, 7, -1e-3, 2e-3);
    const double x = v.p2x(px[0]), y = v.p2y(px[1]);
    const double sx = v.scale_x, sy = v.scale_y;
    v.zoom_at(px[0], px[1], true);
    EXPECT_DOUBLE_EQ(v.scale_x, sx * 1.5);
    EXPECT_NEAR(v.p2x(px[0]), x, 1e-9 * std::fabs(x) + 1e-12);
    EXPECT_NEAR(v.p2y(px[1]), y, 1e-9);
    // The view range is what the plot area now shows.
    EXPECT_NEAR(v.x_from, v.p2x(v.left), 1e-9);
    EXPECT_NEAR(v.x_to, v.p2x(v.width - v.right), 1e-9);
    EXPECT_NEAR(v.y_to, v.p2y(v.top), 1e-12);
    EXPECT_NEAR(v.y_from, v.p2y(v.height - v.bottom), 1e-12);
    v.zoom_at(px[0], px[1], false);
    EXPECT_NEAR(v.scale_x, sx, 1e-9 * sx);
    EXPECT_NEAR(v.scale_y, sy, 1e-9 * sy);
    EXPECT_NEAR(v.p2x(px[0]), x, 1e-9 * std::fabs(x) + 1e-12);
  }
}

TEST(PlotView, OneAxisZoomLeavesTheOtherAlone) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  const mpView before = v;
  const double x = v.p2x(300);
  v.zoom_horizontal_at(300, true);
  EXPECT_DOUBLE_EQ(v.scale_y, before.scale_y);
  EXPECT_DOUBLE_EQ(v.pos_y, before.pos_y);
  EXPECT_EQ(v.y_from, before.y_from);
  EXPECT_NEAR(v.p2x(300), x, 1e-12);
  v.zoom_vertical_at(100, false);
  EXPECT_DOUBLE_EQ(v.scale_y, before.scale_y / 1.5);
  EXPECT_NEAR(v.p2y(100), before.p2y(100), 1e-12);
}

TEST(PlotView, RectangleZoomShowsTheRectangleOnThePlotArea) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  const double x0 = v.p2x(200), x1 = v.p2x(500), y0 = v.p2y(300), y1 = v.p2y(100);
  v.zoom_to_pixel_rect(500, 100, 200, 300);  // corners in either order
  EXPECT_DOUBLE_EQ(v.x_from, x0);
  EXPECT_DOUBLE_EQ(v.x_to, x1);
  EXPECT_DOUBLE_EQ(v.y_from, y0);
  EXPECT_DOUBLE_EQ(v.y_to, y1);
  EXPECT_NEAR(v.p2x(v.left), x0, 1e-9);
  EXPECT_NEAR(v.p2x(v.width - v.right), x1, 1e-9);
  EXPECT_NEAR(v.p2y(v.top), y1, 1e-9);
  EXPECT_NEAR(v.p2y(v.height - v.bottom), y0, 1e-9);
}

TEST(PlotView, DragMovesTheDrawingWithThePointer) {
  const int moves[][2] = {{25, -13}, {-300, 0}, {0, 120}};
  for (const auto& d : moves) {
    mpView v = graph_view();
    v.fit_range(-2, 8, -3, 5);
    const int c = v.x2p(1.0), r = v.y2p(2.0);
    const double xf = v.x_from, yt = v.y_to;
    v.drag(400, 200, 400 + d[0], 200 + d[1]);
    EXPECT_NEAR(v.x2p(1.0), c + d[0], 1);
    EXPECT_NEAR(v.y2p(2.0), r + d[1], 1);
    EXPECT_NEAR(v.x_from, xf - d[0] / v.scale_x, 1e-12);
    EXPECT_NEAR(v.y_to, yt + d[1] / v.scale_y, 1e-12);
  }
}

TEST(PlotView, WheelScrollsByTheRotationInPixels) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  const int r = v.y2p(2.5), c = v.x2p(4.0);
  const double yf = v.y_from, xf = v.x_from;
  v.wheel_scroll(120, false);
  EXPECT_NEAR(v.y2p(2.5), r + 120, 1);
  EXPECT_NEAR(v.y_from, yf + 120 / v.scale_y, 1e-12);
  EXPECT_NEAR(v.x2p(4.0), c, 0);
  v.wheel_scroll(120, true);
  EXPECT_NEAR(v.x2p(4.0), c + 120, 1);
  EXPECT_NEAR(v.x_from, xf - 120 / v.scale_x, 1e-12);
}

TEST(PlotView, CentreMovesThePointToThePlotAreaCentre) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 5);
  const double x = v.p2x(150), y = v.p2y(60);
  const double xf = v.x_from;
  v.centre_on(150, 60);
  EXPECT_NEAR(v.p2x(v.centre_column()), x, 1e-9);
  EXPECT_NEAR(v.p2y(v.centre_row()), y, 1e-9);
  EXPECT_EQ(v.x_from, xf);  // the view range stays
}

TEST(PlotView, ScrollBarsMatchTheViewAndScrollingBackRestoresIt) {
  mpView v = graph_view();
  const mpExtent e{-10, 10, -4, 4};
  v.fit_range(-2, 3, -1, 1);
  const mpScrollBar h = v.horizontal_bar(e), vb = v.vertical_bar(e);
  EXPECT_EQ(h.thumb, 690);
  EXPECT_EQ(vb.thumb, 320);
  EXPECT_EQ(h.position, static_cast<int>((-2 - -10) * v.scale_x));
  EXPECT_EQ(h.range, static_cast<int>((10 - -10) * v.scale_x));
  EXPECT_EQ(vb.position, static_cast<int>((4 - 1) * v.scale_y));
  const double px = v.pos_x, py = v.pos_y;
  v.scroll_to(e, h.position, false);
  v.scroll_to(e, vb.position, true);
  EXPECT_NEAR(v.pos_x, px, 1.0 / v.scale_x);
  EXPECT_NEAR(v.pos_y, py, 1.0 / v.scale_y);
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

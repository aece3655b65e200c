// Layer arithmetic without a display: clipping of joined series, text
// placement, legend and info-box layout, covariance ellipses and the part of
// a bitmap layer that is drawn.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/plot_math.h"
#include "plot_test_support.h"

namespace {

const mpBounds plot_area{80, 770, 30, 350};

TEST(PlotClip, SegmentsReachTheBorderWhereTheTrueLineCrossesIt) {
  struct row {
    int in[4];
    bool drawn;
    int out[4];
  };
  const row rows[] = {
      // Rising above the top and coming back: both end at the top row.
      {{100, 200, 200, 0}, true, {100, 200, 185, 30}},
      {{200, 0, 300, 200}, true, {215, 30, 300, 200}},
      // Leaving to the right and below.
      {{700, 100, 900, 300}, true, {700, 100, 770, 170}},
      {{400, 300, 500, 500}, true, {400, 300, 425, 350}},
      // Entering from the left.
      {{0, 100, 160, 260}, true, {80, 180, 160, 260}},
      // Wholly outside.
      {{10, 100, 60, 120}, false, {}},
      {{100, 10, 300, 20}, false, {}},
      {{100, 360, 300, 390}, false, {}},
      // A single point in the bounds is a segment of length zero.
      {{400, 200, 400, 200}, true, {400, 200, 400, 200}},
      // Running leftward: clipped as its mirror, not dropped.
      {{900, 100, 700, 100}, true, {770, 100, 700, 100}},
      {{300, 200, 200, 0}, true, {300, 200, 215, 30}},
      {{100, 100, 0, 100}, true, {100, 100, 80, 100}},
  };
  for (const row& r : rows) {
    int c0 = r.in[0], r0 = r.in[1], c1 = r.in[2], r1 = r.in[3];
    SCOPED_TRACE(testing::Message() << c0 << "," << r0 << " -> " << c1 << "," << r1);
    ASSERT_EQ(mp_clip_segment(c0, r0, c1, r1, plot_area), r.drawn);
    if (!r.drawn) continue;
    EXPECT_EQ(c0, r.out[0]);
    EXPECT_EQ(r0, r.out[1]);
    EXPECT_EQ(c1, r.out[2]);
    EXPECT_EQ(r1, r.out[3]);
  }
}

TEST(PlotClip, RatiosAreSinglePrecisionAndProductsTruncate) {
  // 170 / 300 * 100 = 56.67 -> 56 (truncated, not rounded).
  int c0 = 100, r0 = 200, c1 = 200, r1 = -100;
  ASSERT_TRUE(mp_clip_segment(c0, r0, c1, r1, plot_area));
  EXPECT_EQ(c1, 156);
  EXPECT_EQ(r1, 30);
}

TEST(PlotText, PercentOffsetsOfThePlotAreaFromTheTopLeft) {
  const mpView v = graph_view();
  int x, y;
  mp_text_position(v, 15, 2, &x, &y);
  EXPECT_EQ(x, 690 * 15 / 100);
  EXPECT_EQ(y, 320 * 2 / 100);
  mp_text_position(v, 100, 100, &x, &y);
  EXPECT_EQ(x, 690);
  EXPECT_EQ(y, 320);
}

TEST(PlotLegend, BoxFitsTheWidestNameAndStacksTheRows) {
  mpLegendLayout l = mp_legend_layout({{50, 14}, {53, 14}});
  EXPECT_EQ(l.width, 75);
  EXPECT_EQ(l.height, 38);
  ASSERT_EQ(l.sample_rows.size(), 2u);
  EXPECT_EQ(l.sample_rows[0], 12);
  EXPECT_EQ(l.sample_rows[1], 26);
  EXPECT_EQ(l.text_rows[1], 19);

  l = mp_legend_layout({{2, 10}});
  EXPECT_EQ(l.width, 27);  // 20 <= 22, so 2 + 25
  l = mp_legend_layout({});
  EXPECT_EQ(l.height, 0);
  EXPECT_TRUE(l.sample_rows.empty());
}

TEST(PlotInfo, BoxesKeepTheirRelativePlaceOnResize) {
  mpInfoPlace p{600, 100, 1, 1};
  EXPECT_FALSE(mp_info_rescale(p, 800, 400));  // first drawing only records
  EXPECT_EQ(p.x, 600);
  EXPECT_TRUE(mp_info_rescale(p, 400, 200));
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(p.y, 50);
  EXPECT_FALSE(mp_info_rescale(p, 400, 200));
  EXPECT_TRUE(mp_info_rescale(p, 0, 0));  // a zero size counts as 1
  EXPECT_EQ(p.recorded_w, 1);
  EXPECT_EQ(p.x, 0);
}

TEST(PlotEllipse, AxisAlignedCovarianceGivesPointsOnTheAxes) {
  std::vector<double> xs, ys;
  ASSERT_EQ(mp_covariance_ellipse(4, 1, 0, 2, 5, xs, ys), "");
  const double want[][2] = {{4, 0}, {0, 2}, {-4, 0}, {0, -2}, {4, 0}};
  ASSERT_EQ(xs.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(xs[i], want[i][0], 1e-8) << i;
    EXPECT_NEAR(ys[i], want[i][1], 1e-8) << i;
  }
  ASSERT_EQ(mp_covariance_ellipse(1, 4, 0, 1, 5, xs, ys), "");
  EXPECT_NEAR(std::fabs(ys[0]), 2, 1e-9);  // the long axis follows the larger variance
  EXPECT_NEAR(xs[0], 0, 1e-9);
}

TEST(PlotEllipse, IsotropicAndCorrelatedShapesLieOnTheEllipse) {
  struct row {
    double c00, c11, c01, q;
  };
  const row rows[] = {{1, 1, 0, 1}, {2, 2, 0, 3}, {2, 3, 1.2, 1.5}, {5, 1, -2, 2}, {1, 1, 1e-20, 1}};
  for (const row& r : rows) {
    std::vector<double> xs, ys;
    ASSERT_EQ(mp_covariance_ellipse(r.c00, r.c11, r.c01, r.q, 33, xs, ys), "");
    const double det = r.c00 * r.c11 - r.c01 * r.c01;
    for (size_t i = 0; i < xs.size(); ++i) {
      ASSERT_TRUE(std::isfinite(xs[i]) && std::isfinite(ys[i]));
      // x' C^-1 x = q^2 on the ellipse.
      const double m = (r.c11 * xs[i] * xs[i] - 2 * r.c01 * xs[i] * ys[i] + r.c00 * ys[i] * ys[i]) / det;
      EXPECT_NEAR(m, r.q * r.q, 1e-6) << r.c00 << " " << r.c11 << " " << r.c01 << " i=" << i;
    }
    EXPECT_NEAR(xs.front(), xs.back(), 1e-8);  // the turn is 6.283185308, not quite 2 pi
    EXPECT_NEAR(ys.front(), ys.back(), 1e-8);
  }
}

TEST(PlotEllipse, BadMatricesAreRefusedWithTheirMessage) {
  struct row {
    double c00, c11, c01, q;
    const char* message;
  };
  const row rows[] = {
      {1, 1, 0, -1, "[mpCovarianceEllipse] Error: quantiles must be non-negative"},
      {-1, 1, 0, 1, "[mpCovarianceEllipse] Error: cov(0,0) must be non-negative"},
      {1, -1, 0, 1, "[mpCovarianceEllipse] Error: cov(1,1) must be non-negative"},
      {1, 1, 5, 1, "[mpCovarianceEllipse] Error: cov is not positive definite"},
  };
  for (const row& r : rows) {
    std::vector<double> xs{7}, ys{8};
    EXPECT_EQ(mp_covariance_ellipse(r.c00, r.c11, r.c01, r.q, 9, xs, ys), r.message);
    EXPECT_EQ(xs, std::vector<double>{7});  // untouched
  }
}

TEST(PlotEllipse, FewerThanTwoSegmentsStillClose) {
  std::vector<double> xs, ys;
  ASSERT_EQ(mp_covariance_ellipse(4, 1, 0, 1, 1, xs, ys), "");
  ASSERT_EQ(xs.size(), 2u);
  EXPECT_NEAR(xs[0], 2, 1e-9);
  EXPECT_NEAR(xs[1], 2, 1e-9);
}

TEST(PlotBitmapPlan, VisiblePartAndItsSourcePixels) {
  mpView v = graph_view();
  v.fit_range(0, 10, 0, 10);
  mpBitmapPlan p = mp_bitmap_plan(v, 0, 10, 0, 10, 10, 10);
  ASSERT_TRUE(p.draw);
  EXPECT_EQ(p.left, v.x2p(0));
  EXPECT_EQ(p.top, v.y2p(10));
  EXPECT_EQ(p.width, v.x2p(10) - v.x2p(0) + 1);
  EXPECT_EQ(p.height, v.y2p(0) - v.y2p(10) + 1);
  EXPECT_NEAR(p.width, 691, 1);
  EXPECT_EQ(p.src_x, 0);
  EXPECT_EQ(p.src_w, 10);
  EXPECT_EQ(p.src_h, 10);

  // Hanging over the left edge: starts one image pixel's width left of it.
  p = mp_bitmap_plan(v, -5, 5, 0, 10, 10, 10);
  ASSERT_TRUE(p.draw);
  EXPECT_EQ(p.left, -70);  // -(int)(69 + 1)
  EXPECT_GE(p.src_x, 0);
  EXPECT_LE(p.src_x + p.src_w, 10);

  // Wholly left of the window, or degenerate: nothing.
  EXPECT_FALSE(mp_bitmap_plan(v, -100, -50, 0, 10, 10, 10).draw);
  EXPECT_FALSE(mp_bitmap_plan(v, 0, 10, 0, 10, 0, 10).draw);
  EXPECT_FALSE(mp_bitmap_plan(v, 5, 5.001, 0, 10, 10, 10).draw);
}

}  // namespace

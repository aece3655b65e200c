// Zoom, fit, scroll bars and the frame/window mapping of the review view.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "views/review_geometry.h"

namespace {

review_geometry frame_in_window(int iw, int ih, int cw, int ch, double zoom, bool invert) {
  review_geometry g;
  g.image_width = iw;
  g.image_height = ih;
  g.client_width = cw;
  g.client_height = ch;
  g.invert = invert;
  g.set_zoom(zoom, 1.0);
  g.update_scroll_image();
  return g;
}

TEST(ReviewFit, FitsTheLimitingDirection) {
  struct fit_case {
    int ww, wh, iw, ih;
    double aspect, zoom, zoom_y;
    int dw, dh;
  } cases[] = {
      // 600 x 400 window, 300 x 400 frame: the height limits.
      {600, 400, 300, 400, 1.0, 1.0, 1.0, 300, 400},
      // Rows twice as tall as columns are wide.
      {600, 400, 300, 400, 2.0, 0.5, 1.0, 150, 400},
      // The width limits.
      {300, 900, 600, 400, 1.0, 0.5, 0.5, 300, 200},
  };
  for (const fit_case& c : cases) {
    const review_fit_t f = review_fit(c.ww, c.wh, c.iw, c.ih, c.aspect);
    ASSERT_TRUE(f.ok);
    EXPECT_DOUBLE_EQ(f.zoom, c.zoom) << c.ww << "x" << c.wh;
    EXPECT_DOUBLE_EQ(f.zoom * c.aspect, c.zoom_y);
    EXPECT_EQ(f.display_width, c.dw);
    EXPECT_EQ(f.display_height, c.dh);
  }
}

// Guards against an infinite or NaN zoom from an empty frame or window.
TEST(ReviewFit, EmptySizesLeaveTheZoomAlone) {
  EXPECT_FALSE(review_fit(600, 400, 0, 400, 1.0).ok);
  EXPECT_FALSE(review_fit(600, 400, 300, 0, 1.0).ok);
  EXPECT_FALSE(review_fit(0, 400, 300, 400, 1.0).ok);
  EXPECT_FALSE(review_fit(600, 400, 300, 400, 0.0).ok);
  EXPECT_DOUBLE_EQ(review_aspect(0.0, 0.1), 1.0);
  EXPECT_DOUBLE_EQ(review_aspect(0.1, 0.0), 1.0);
  EXPECT_DOUBLE_EQ(review_aspect(0.01, 0.02), 2.0);
}

TEST(ReviewZoom, ChangeKeepsTheMiddleOfTheClientArea) {
  review_geometry g = frame_in_window(400, 400, 200, 100, 1.0, false);
  g.scroll_x = 50;
  g.scroll_y = 30;
  // Frame point in the middle before: (100 + 50, 50 + 30).
  g.change_zoom(1.5, 1.0, false);
  EXPECT_EQ(g.scroll_x, 125);  // int(1.5 * 150 - 100)
  EXPECT_EQ(g.scroll_y, 70);   // int(1.5 * 80 - 50)
  EXPECT_DOUBLE_EQ((100 + g.scroll_x) / g.zoom, 150.0);
  EXPECT_DOUBLE_EQ((50 + g.scroll_y) / g.zoom_y, 80.0);
  EXPECT_EQ(g.display_width, 600);

  // Zooming out until the display fits brings both offsets to 0.
  g.change_zoom(0.2, 1.0, false);
  EXPECT_EQ(g.scroll_x, 0);
  EXPECT_EQ(g.scroll_y, 0);

  // Offsets placed by a tool are kept (only clamped).
  g.scroll_x = 77;
  g.change_zoom(2.0, 1.0, true);
  EXPECT_EQ(g.scroll_x, 77);
}

TEST(ReviewMapping, ScreenRowsWithAndWithoutInversion) {
  // A 50-row frame in a 100-row client area sits at the top.
  review_geometry g = frame_in_window(40, 50, 80, 100, 1.0, false);
  EXPECT_DOUBLE_EQ(g.screen_y(0), 99);  // row 0 at the top
  g.invert = true;
  EXPECT_DOUBLE_EQ(g.screen_y(0), 50);  // row 0 at the bottom of the frame, still touching the top
  EXPECT_DOUBLE_EQ(g.screen_y(49), 99);
  // A frame taller than the client area.
  review_geometry tall = frame_in_window(40, 500, 80, 100, 1.0, true);
  EXPECT_DOUBLE_EQ(tall.screen_y(7), 7);
}

TEST(ReviewMapping, MouseAndWindowMappingsAreInverse) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> mouse(0, 44);
  for (bool invert : {false, true}) {
    for (double zoom : {0.5, 1.0, 2.5}) {
      review_geometry g = frame_in_window(64, 48, 100, 90, zoom, invert);
      g.scroll_x = zoom > 1 ? 20 : 0;
      g.scroll_y = zoom > 1 ? 10 : 0;
      g.update_scroll_image();
      for (int i = 0; i < 20; ++i) {
        const int mx = mouse(rng), my = mouse(rng);
        double x, y, wx, wy;
        g.mouse_to_image(mx, my, x, y);
        g.frame_to_window(x, y, wx, wy);
        // Mouse rows count from the top, GL rows from the bottom.
        EXPECT_NEAR(wx, mx, 1e-9);
        EXPECT_NEAR(g.client_height - 1 - wy, my, 1e-9) << "invert " << invert << " zoom " << zoom;
      }
    }
  }
}

TEST(ReviewScroll, BarEventsStayInRange) {
  struct scroll_case {
    review_scroll_kind kind;
    int pos, range, thumb, event_pos, expected;
  } cases[] = {
      {SCROLL_LINE_DOWN, 80, 100, 20, 0, 80},  // at the end stays at range - thumb
      {SCROLL_LINE_DOWN, 10, 100, 20, 0, 11},
      {SCROLL_LINE_UP, 0, 100, 20, 0, 0},  // at 0 stays at 0
      {SCROLL_LINE_UP, 5, 100, 20, 0, 4},
      {SCROLL_PAGE_DOWN, 10, 100, 20, 0, 30},
      {SCROLL_PAGE_DOWN, 61, 100, 20, 0, 80},
      {SCROLL_PAGE_UP, 30, 100, 20, 0, 10},
      {SCROLL_PAGE_UP, 15, 100, 20, 0, 0},
      {SCROLL_TOP, 50, 100, 20, 0, 0},
      {SCROLL_BOTTOM, 50, 100, 20, 0, 80},
      {SCROLL_THUMB_TRACK, 50, 100, 20, 33, 33},
      {SCROLL_THUMB_RELEASE, 50, 100, 20, 33, 50},
  };
  for (const scroll_case& c : cases)
    EXPECT_EQ(review_scroll_position(c.kind, c.pos, c.range, c.thumb, c.event_pos), c.expected)
        << "kind " << c.kind;
  // Bars count frame pixels above zoom 1.
  EXPECT_EQ(review_bar_to_scroll(10, 2.5), 25);
  EXPECT_EQ(review_scroll_to_bar(25, 2.5), 10);
  EXPECT_EQ(review_bar_to_scroll(10, 0.5), 10);
}

TEST(ReviewScroll, NeededBarsTakeRoomFromEachOther) {
  bool h, v;
  review_needed_bars(500, 300, 400, 400, 385, 385, h, v);
  EXPECT_TRUE(h);
  EXPECT_FALSE(v);
  review_needed_bars(500, 390, 400, 400, 385, 385, h, v);  // the horizontal bar eats the height
  EXPECT_TRUE(h);
  EXPECT_TRUE(v);
  review_needed_bars(300, 300, 400, 400, 385, 385, h, v);
  EXPECT_FALSE(h);
  EXPECT_FALSE(v);
}

TEST(ReviewScroll, FindLocationCentresThePointWithinTheRange) {
  review_geometry g = frame_in_window(400, 300, 100, 80, 2.0, false);
  ASSERT_TRUE(g.centre_on(200, 150));
  EXPECT_EQ(g.scroll_x, 350);  // 400 - 50
  EXPECT_EQ(g.scroll_y, 260);  // 300 - 40
  ASSERT_TRUE(g.centre_on(399, 299));
  EXPECT_EQ(g.scroll_x, 700);  // display 800 - client 100
  EXPECT_EQ(g.scroll_y, 520);
  review_geometry small = frame_in_window(40, 30, 100, 80, 1.0, false);
  EXPECT_FALSE(small.centre_on(20, 15));
}

}  // namespace

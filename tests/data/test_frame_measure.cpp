// Measurement of a frame entry: raster box, area with holes, centroid and the
// signed distance map, checked against distances computed here directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "contour_test_support.h"
#include "data/contour.h"
#include "data/frame_measure.h"

namespace {

contour_t diamond(double cx, double cy, double r, bool reversed) {
  std::vector<vec2_t> v = {{cx + r, cy}, {cx, cy + r}, {cx - r, cy}, {cx, cy - r}};
  if (reversed) std::reverse(v.begin(), v.end());
  return make_contour(v);
}

double segment_distance(const vec2_t& p, const vec2_t& a, const vec2_t& b) {
  double vx = b.x - a.x, vy = b.y - a.y;
  double t = ((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy);
  t = std::max(0.0, std::min(1.0, t));
  double dx = a.x + t * vx - p.x, dy = a.y + t * vy - p.y;
  return std::sqrt(dx * dx + dy * dy);
}

double polygon_distance(const std::vector<contour_t>& cs, const vec2_t& p) {
  double best = 1e300;
  for (const contour_t& c : cs) {
    size_t n = c.vertices.size();
    for (size_t k = 0; k < n; ++k)
      best = std::min(best, segment_distance(p, c.vertices[k], c.vertices[(k + 1) % n]));
  }
  return best;
}

// Every cell of the map against the exact Euclidean distance from the pixel
// centre to the contours and the inside test given by the fixture.
void expect_map_matches(const frame_contours_t& e, const int16_t* map,
                        const std::function<bool(const vec2_t&)>& inside) {
  int checked_band = 0;
  for (int i = 0; i < e.box_height; ++i) {
    for (int j = 0; j < e.box_width; ++j) {
      vec2_t centre{e.box_x + j + 0.5, e.box_y + i + 0.5};
      double d = polygon_distance(e.contours, centre);
      double frac = 12 * d - std::floor(12 * d);
      // Skip cells on a rounding or band boundary, where the last bit decides.
      if (d < 1e-9 || std::fabs(d - 1.0) < 1e-9 || std::fabs(frac - 0.5) < 1e-9) continue;
      bool in = inside(centre);
      int v = map[i * e.box_width + j];
      SCOPED_TRACE(testing::Message() << "pixel " << e.box_x + j << "," << e.box_y + i);
      if (d <= 1.0) {
        long g = std::lround(12 * d);
        if (g == 0) g = 1;
        EXPECT_EQ(v, in ? g : -g);
        ++checked_band;
      } else {
        EXPECT_EQ(v, in ? MAP_INSIDE : MAP_OUTSIDE);
      }
    }
  }
  EXPECT_GT(checked_band, 0);
}

}  // namespace

TEST(FrameMeasure, SquareWithHoleEveryOrderAndDirection) {
  auto inside = [](const vec2_t& p) {
    bool outer = p.x > 10 && p.x < 20 && p.y > 10 && p.y < 20;
    bool hole = p.x > 13 && p.x < 17 && p.y > 13 && p.y < 17;
    return outer && !hole;
  };
  for (int mask = 0; mask < 8; ++mask) {
    bool outer_rev = mask & 1, hole_rev = mask & 2, hole_first = mask & 4;
    SCOPED_TRACE(testing::Message() << "outer reversed " << outer_rev << ", hole reversed "
                                    << hole_rev << ", hole first " << hole_first);
    frame_contours_t e;
    contour_t outer = pixel_square(10, 10, 20, 20, outer_rev);
    contour_t hole = pixel_square(13, 13, 17, 17, hole_rev);
    e.contours.push_back(hole_first ? hole : outer);
    e.contours.push_back(hole_first ? outer : hole);
    std::unique_ptr<int16_t[]> map = e.measure(1, false);
    ASSERT_TRUE(map);
    EXPECT_EQ(e.box_x, 8);
    EXPECT_EQ(e.box_y, 8);
    EXPECT_EQ(e.box_width, 14);
    EXPECT_EQ(e.box_height, 14);
    EXPECT_NEAR(e.area, 84.0, 1e-9);
    EXPECT_NEAR(e.centroid_x, 15.0, 1e-9);
    EXPECT_NEAR(e.centroid_y, 15.0, 1e-9);
    EXPECT_EQ(e.seed_x, -1);
    EXPECT_EQ(e.seed_y, -1);
    auto cell = [&](int px, int py) { return map[(py - e.box_y) * e.box_width + (px - e.box_x)]; };
    EXPECT_EQ(cell(10, 15), 6);    // inside, half a pixel from the outer edge
    EXPECT_EQ(cell(9, 15), -6);
    EXPECT_EQ(cell(9, 9), -8);     // outside the corner
    EXPECT_EQ(cell(12, 12), 8);    // by the hole's corner
    EXPECT_EQ(cell(11, 15), MAP_INSIDE);
    EXPECT_EQ(cell(14, 15), MAP_OUTSIDE);  // in the hole
    EXPECT_EQ(cell(8, 8), MAP_OUTSIDE);
    expect_map_matches(e, map.get(), inside);
  }
}

TEST(FrameMeasure, SlantedEdgesMatchTheEuclideanDistance) {
  const double cx = 50.3, cy = 40.7, r = 20.0, hcx = 52.1, hcy = 39.4, hr = 6.0;
  frame_contours_t e;
  e.contours.push_back(diamond(cx, cy, r, false));
  e.contours.push_back(diamond(hcx, hcy, hr, false));  // same direction as the outer one
  std::unique_ptr<int16_t[]> map = e.measure(2, false);
  ASSERT_TRUE(map);
  EXPECT_EQ(e.seed_x, -1);
  const double outer_area = 2 * r * r, hole_area = 2 * hr * hr;
  EXPECT_NEAR(e.area, outer_area - hole_area, 1e-9);
  EXPECT_NEAR(e.centroid_x, (outer_area * cx - hole_area * hcx) / (outer_area - hole_area), 1e-9);
  EXPECT_NEAR(e.centroid_y, (outer_area * cy - hole_area * hcy) / (outer_area - hole_area), 1e-9);
  expect_map_matches(e, map.get(), [&](const vec2_t& p) {
    return std::fabs(p.x - cx) + std::fabs(p.y - cy) < r &&
           !(std::fabs(p.x - hcx) + std::fabs(p.y - hcy) < hr);
  });
}

TEST(FrameMeasure, ConcaveAndSelfTouchingAreas) {
  struct row {
    const char* what;
    std::vector<contour_t> contours;
    double area;
    vec2_t centroid;
  } rows[] = {
      {"concave L", {make_contour({{0, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 20}, {0, 20}})}, 300,
       {25.0 / 3, 25.0 / 3}},
      {"two squares touching at a corner",
       {make_contour({{0, 0}, {10, 0}, {10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}, {0, 10}})}, 200,
       {10, 10}},
      {"square of side 10 around a square of side 4, hole added first",
       {make_contour({{13, 13}, {17, 13}, {17, 17}, {13, 17}}),
        make_contour({{10, 10}, {20, 10}, {20, 20}, {10, 20}})},
       84, {15, 15}},
      {"two separate squares",
       {make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
        make_contour({{20, 0}, {20, 10}, {30, 10}, {30, 0}})},
       200, {15, 5}},
      // A contour that starts on another one's outline is not inside it,
      // however the rounding of the even-odd test falls there.
      {"a triangle touching another one's slanted edge with its corner",
       {make_contour({{0, 0}, {10, 0}, {0, 10}}),
        make_contour({{1.0 / 3, 10 - 1.0 / 3}, {10, 5}, {10, 10}})},
       50 + (25 - 2.5 / 3),
       {(50 * 10.0 / 3 + (25 - 2.5 / 3) * (1.0 / 3 + 20) / 3) / (75 - 2.5 / 3),
        (50 * 10.0 / 3 + (25 - 2.5 / 3) * (10 - 1.0 / 3 + 15) / 3) / (75 - 2.5 / 3)}},
      {"a contour with a coordinate that is not a number is left out",
       {make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
        make_contour({{20, 0}, {20, std::nan("")}, {30, 10}, {30, 0}})},
       100, {5, 5}},
  };
  for (row& r : rows) {
    SCOPED_TRACE(r.what);
    frame_contours_t e;
    e.contours = r.contours;
    EXPECT_EQ(e.measure(1, true), nullptr);
    EXPECT_NEAR(e.area, r.area, 1e-9);
    EXPECT_NEAR(e.centroid_x, r.centroid.x, 1e-9);
    EXPECT_NEAR(e.centroid_y, r.centroid.y, 1e-9);
    // The map marks the same area inside, to within its edge cells.
    const auto map = e.measure(1, false);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(e.seed_x, -1);
    EXPECT_NEAR(map_inside_area(map.get(), e.box_width, e.box_height), r.area, 0.05 * r.area);
  }
  // Only contours with coordinates that are not numbers: no box, no map.
  frame_contours_t e;
  e.contours = {make_contour({{0, 0}, {std::numeric_limits<double>::infinity(), 0}, {0, 10}})};
  EXPECT_EQ(e.measure(1, false), nullptr);
  EXPECT_EQ(e.box_width, 0);
  EXPECT_EQ(e.area, 0.0);
}

TEST(FrameMeasure, BoxAndDegenerateEntries) {
  frame_contours_t e;
  e.contours.push_back(pixel_square(10, 10, 20, 20, false));
  e.measure(0, true);
  EXPECT_EQ(e.box_x, 9);
  EXPECT_EQ(e.box_width, 12);
  int w0 = e.box_width, h0 = e.box_height;
  e.measure(3, true);
  EXPECT_EQ(e.box_width, w0 + 6);
  EXPECT_EQ(e.box_height, h0 + 6);
  EXPECT_EQ(e.box_x, 6);
  EXPECT_EQ(e.box_y, 6);

  // Only open contours: an empty box, no area and no map.
  frame_contours_t open;
  open.contours.push_back(make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, false));
  open.box_width = 5;
  EXPECT_EQ(open.measure(1, false), nullptr);
  EXPECT_EQ(open.box_width, 0);
  EXPECT_EQ(open.box_height, 0);
  EXPECT_EQ(open.area, 0.0);

  // No contours at all: no map and the box as it was.
  frame_contours_t none;
  none.box_x = 4;
  none.box_width = 7;
  none.area = -1.0;
  EXPECT_EQ(none.measure(1, false), nullptr);
  EXPECT_EQ(none.box_x, 4);
  EXPECT_EQ(none.box_width, 7);
  EXPECT_EQ(none.area, 0.0);

  // A closed contour of zero area adds nothing to the map.
  frame_contours_t flat;
  flat.contours.push_back(make_contour({{0, 0}, {5, 0}, {10, 0}}));
  std::unique_ptr<int16_t[]> map = flat.measure(1, false);
  ASSERT_TRUE(map);
  for (int k = 0; k < flat.box_width * flat.box_height; ++k) EXPECT_EQ(map[k], MAP_OUTSIDE);
}

TEST(FrameMeasure, CrossedContourIsRepairedOnTheMapOnly) {
  // A bow tie whose lobes (360 and 160 square pixels) run opposite ways, so
  // that the smaller lobe's distances come out with the wrong sign.
  frame_contours_t e;
  e.contours.push_back(make_contour({{10, 10}, {50, 40}, {50, 20}, {10, 40}}));
  const std::vector<vec2_t> before = e.contours[0].vertices;
  std::unique_ptr<int16_t[]> map = e.measure(1, false);
  ASSERT_TRUE(map);
  EXPECT_NE(e.seed_x, -1);
  EXPECT_NE(e.seed_y, -1);
  const int W = e.box_width, H = e.box_height;
  for (int j = 0; j < W; ++j) {
    EXPECT_EQ(map[j], MAP_OUTSIDE);
    EXPECT_EQ(map[(H - 1) * W + j], MAP_OUTSIDE);
  }
  for (int i = 0; i < H; ++i) {
    EXPECT_EQ(map[i * W], MAP_OUTSIDE);
    EXPECT_EQ(map[i * W + W - 1], MAP_OUTSIDE);
  }
  auto cell = [&](int px, int py) { return map[(py - e.box_y) * W + (px - e.box_x)]; };
  EXPECT_EQ(cell(16, 25), MAP_INSIDE);  // deep in the large lobe
  EXPECT_EQ(cell(46, 30), MAP_INSIDE);  // deep in the small lobe
  EXPECT_EQ(cell(30, 15), MAP_OUTSIDE);
  EXPECT_EQ(cell(30, 36), MAP_OUTSIDE);

  // The area is now the pixels' coverage, close to both lobes together.
  double cover = 0.0, sx = 0.0;
  for (int i = 0; i < H; ++i)
    for (int j = 0; j < W; ++j) {
      int v = map[i * W + j];
      if (v > -6) {
        double c = std::min(1.0, (v + 6) / 12.0);
        cover += c;
        sx += (e.box_x + j + 0.5) * c;
      }
    }
  EXPECT_NEAR(e.area, cover, 1e-9);
  EXPECT_NEAR(e.area, 520.0, 30.0);
  EXPECT_NEAR(e.centroid_x, sx / cover, 1e-9);
  // The lobes' centroids are at x 18 and 44.67: the map's lies between them.
  EXPECT_NEAR(e.centroid_x, (360 * 18.0 + 160 * (134.0 / 3)) / 520.0, 1.0);

  ASSERT_EQ(e.contours.size(), 1u);
  ASSERT_EQ(e.contours[0].vertices.size(), before.size());
  for (size_t k = 0; k < before.size(); ++k) {
    EXPECT_EQ(e.contours[0].vertices[k].x, before[k].x);
    EXPECT_EQ(e.contours[0].vertices[k].y, before[k].y);
  }
}

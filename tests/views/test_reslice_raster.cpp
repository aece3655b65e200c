// The rasterisation geometry: which samples of a slice a frame's box covers,
// against brute force, and the span lists that crop an image.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>

#include "views/reslice_raster.h"

namespace {

using namespace reslice_raster;

vec3_t random_unit(std::mt19937& rng) {
  std::normal_distribution<double> n(0.0, 1.0);
  for (;;) {
    vec3_t v{n(rng), n(rng), n(rng)};
    if (vec3_length(v) > 1e-3) return vec3_normalise(v);
  }
}

// Distance from a point inside or near the box to its nearest face, in cm.
double distance_to_surface(const vec3_t& p, const frame_box& b) {
  const double dx = std::min(std::fabs(p.x), std::fabs(p.x - b.box_x));
  const double dy = std::min(std::fabs(p.y), std::fabs(p.y - b.box_y));
  const double dz = std::min(std::fabs(p.z + b.a), std::fabs(p.z - b.a));
  return std::min({dx, dy, dz});
}

TEST(ResliceRaster, ScanConvertedSamplesAreThoseInsideTheFrameBox) {
  std::mt19937 rng(20261211);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  int compared = 0, inside_total = 0;
  for (int trial = 0; trial < 200; ++trial) {
    frame_box box;
    box.xs = 0.005 + 0.03 * uni(rng);
    box.ys = 0.005 + 0.03 * uni(rng);
    box.box_x = (20 + 60 * uni(rng)) * box.xs;
    box.box_y = (20 + 60 * uni(rng)) * box.ys;
    box.a = 0.01 + 0.5 * uni(rng);
    const int step = 1 + trial % 3;
    const int width = 70 + static_cast<int>(40 * uni(rng)), height = 60 + static_cast<int>(40 * uni(rng));

    // A plane through a random point near the box, sampled on a grid of
    // perpendicular steps in cm.
    const vec3_t u = random_unit(rng);
    const vec3_t v = vec3_normalise(vec3_cross(u, random_unit(rng)));
    const double spacing = (box.box_x + box.box_y) / (0.6 * std::min(width, height));
    const vec3_t through{box.box_x * uni(rng), box.box_y * uni(rng), box.a * (2 * uni(rng) - 1)};
    const vec3_t origin_cm = through - (spacing * width / 2) * u - (spacing * height / 2) * v;
    auto to_frame = [&](const vec3_t& c) { return vec3_t{c.x / box.xs, c.y / box.ys, c.z}; };
    const vec3_t origin = to_frame(origin_cm);
    const vec3_t col = to_frame(step * spacing * u), row = to_frame(step * spacing * v);

    vec2_t points[kMaxClipPoints];
    int slots[12];
    std::fill(slots, slots + 12, -1);
    int n = frame_box_crossings(origin, col, row, points, slots, box);
    order_intersections(points, slots, n);
    const vec2_t clip[4] = {{-1e-5, -1e-5},
                            {(width - 1.0) / step + 1e-5, -1e-5},
                            {(width - 1.0) / step + 1e-5, (height - 1.0) / step + 1e-5},
                            {-1e-5, (height - 1.0) / step + 1e-5}};
    n = clip_intersection_to_poly(points, n, clip, 4);
    std::set<std::pair<int, int>> covered;
    scan_convert(points, n, step, width, height, nullptr, [&](int j, int first, int last) {
      for (int i = first; i <= last; ++i)
        EXPECT_TRUE(covered.insert({i, j}).second) << "sample emitted twice";
    });

    const double band = 1e-6;
    for (int j = 0; j <= (height - 1) / step; ++j) {
      for (int i = 0; i <= (width - 1) / step; ++i) {
        const vec3_t p = origin_cm + (i * step * spacing) * u + (j * step * spacing) * v;
        const bool inside =
            p.x >= 0 && p.x <= box.box_x && p.y >= 0 && p.y <= box.box_y && std::fabs(p.z) <= box.a;
        if (distance_to_surface(p, box) < band) continue;
        ++compared;
        inside_total += inside;
        EXPECT_EQ(covered.count({i, j}) == 1, inside) << "trial " << trial << " sample " << i << "," << j
                                                      << " point " << p.x << " " << p.y << " " << p.z;
      }
    }
  }
  // The trials must have exercised both outcomes in earnest.
  EXPECT_GT(inside_total, 10000);
  EXPECT_GT(compared - inside_total, 10000);
}

TEST(ResliceRaster, PlaneMissingOrTouchingTheBoxFillsNothing) {
  frame_box box{1.0, 1.0, 10.0, 10.0, 1.0};
  vec2_t points[kMaxClipPoints];
  int slots[12];
  // z = 5 lies beyond the half-depth: no crossing at all.
  std::fill(slots, slots + 12, -1);
  EXPECT_EQ(frame_box_crossings({0, 0, 5}, {1, 0, 0}, {0, 1, 0}, points, slots, box), 0);

  // A plane touching the box along one edge (x = 10 ... tilted outward)
  // yields points on that edge only, which clip to fewer than three.
  std::fill(slots, slots + 12, -1);
  const vec3_t origin{10, 0, -1};
  int n = frame_box_crossings(origin, {1, 0, 1}, {0, 1, 0}, points, slots, box);
  order_intersections(points, slots, n);
  const vec2_t clip[4] = {{-1e-5, -1e-5}, {20, -1e-5}, {20, 20}, {-1e-5, 20}};
  n = clip_intersection_to_poly(points, n, clip, 4);
  int emitted = 0;
  scan_convert(points, n, 1, 21, 21, nullptr, [&](int, int, int) { ++emitted; });
  EXPECT_EQ(emitted, 0);
}

TEST(ResliceRaster, CrossingsFollowAdjacentEdgesIntoAPolygon) {
  // The plane z = 0 through a box of half-depth 1: the four z edges cross at
  // the rectangle's corners, met in the order 0 (0,0), 1 (0,Y), 3 (X,Y), 2 (X,0).
  frame_box box{1.0, 1.0, 4.0, 3.0, 1.0};
  vec2_t points[12];
  int slots[12];
  std::fill(slots, slots + 12, -1);
  const int n = frame_box_crossings({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, points, slots, box);
  ASSERT_EQ(n, 4);
  order_intersections(points, slots, n);
  const vec2_t expected[4] = {{0, 0}, {0, 3}, {4, 3}, {4, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(points[i].x, expected[i].x) << i;
    EXPECT_DOUBLE_EQ(points[i].y, expected[i].y) << i;
  }
}

TEST(ResliceRaster, ClippingKeepsPointsOnTheClipBorder) {
  // A square whose left edge lies exactly on the clip rectangle's border.
  vec2_t points[kMaxClipPoints] = {{0, 0}, {0, 4}, {6, 4}, {6, 0}};
  const vec2_t clip[4] = {{0, 0}, {5, 0}, {5, 5}, {0, 5}};
  const int n = clip_intersection_to_poly(points, 4, clip, 4);
  std::set<std::pair<double, double>> got;
  for (int i = 0; i < n; ++i) got.insert({points[i].x, points[i].y});
  const std::set<std::pair<double, double>> want{{0, 0}, {0, 4}, {5, 4}, {5, 0}};
  EXPECT_EQ(got, want);
}

span_list one_row(std::vector<int32_t> row) { return span_list{std::move(row)}; }

TEST(ResliceRaster, MergingSpansJoinsOverlappingAndTouchingSpans) {
  struct merge_case {
    std::vector<int32_t> a, b, union_;
  };
  const merge_case cases[] = {
      {{7, 9}, {2, 5}, {2, 5, 7, 9}},    // column 6 keeps them apart
      {{7, 9}, {2, 6}, {2, 9}},          // adjacent spans join
      {{3, 4, 6, 9}, {2, 8}, {2, 9}},    // one span swallows two
      {{}, {1, 2, 8, 9}, {1, 2, 8, 9}},  // an empty row takes a copy
      {{0, 1, 20, 30}, {10, 12}, {0, 1, 10, 12, 20, 30}},
      {{0, 1}, {40, 50}, {0, 1, 40, 50}},  // after every span of A
      {{5, 6, 10, 11}, {0, 12}, {0, 12}},
  };
  for (const merge_case& c : cases) {
    span_list a = one_row(c.a);
    const span_list b = one_row(c.b);
    merge_spans(&a, &b);
    EXPECT_EQ(a[0], c.union_);
  }
  span_list a = one_row({1, 2});
  merge_spans(&a, nullptr);  // a missing list changes nothing
  EXPECT_EQ(a[0], (std::vector<int32_t>{1, 2}));
}

TEST(ResliceRaster, InvertingSpansGivesTheComplementWithinTheColumns) {
  struct invert_case {
    std::vector<int32_t> row, complement;
  };
  const int32_t columns = 20;  // columns 0 .. 19
  const invert_case cases[] = {
      {{0, 19}, {}},
      {{}, {0, 19}},
      {{3, 5}, {0, 2, 6, 19}},
      {{0, 5, 10, 19}, {6, 9}},
      {{2, 4, 5, 7}, {0, 1, 8, 19}},  // touching spans leave no gap between them
  };
  for (const invert_case& c : cases) {
    span_list list = one_row(c.row);
    invert_spans(&list, columns);
    EXPECT_EQ(list[0], c.complement);
  }
}

TEST(ResliceRaster, ScanConversionKeepsToTheSpans) {
  // A rectangle covering columns 0..9 of rows 0..4, cropped to columns 2..3
  // and 7..20.
  vec2_t points[4] = {{-0.5, -0.5}, {9.5, -0.5}, {9.5, 4.5}, {-0.5, 4.5}};
  span_list spans(5, std::vector<int32_t>{2, 3, 7, 20});
  std::set<std::pair<int, int>> covered;
  scan_convert(points, 4, 1, 100, 100, &spans, [&](int j, int first, int last) {
    for (int i = first; i <= last; ++i) covered.insert({i, j});
  });
  std::set<std::pair<int, int>> want;
  for (int j = 0; j <= 4; ++j)
    for (int i : {2, 3, 7, 8, 9}) want.insert({i, j});
  EXPECT_EQ(covered, want);
}

}  // namespace

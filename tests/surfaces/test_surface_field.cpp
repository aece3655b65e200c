// The distance field of a plane against the exact Euclidean distance, and
// its peaks.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "surface_test_support.h"

using namespace surface_test;

namespace {

// A plane holding its own contours, rastered and chamfer coded.
struct field_plane {
  frame_contours_t entry;
  interp_plane_t plane;
  surface_interp s;

  explicit field_plane(std::vector<contour_t> contours, int margin = 6, int connect = 3) {
    entry.contours = std::move(contours);
    plane.contours = &entry;
    plane.field = entry.measure(margin, false).release();
    s.connect = connect;
    s.chamfer_code(plane);
  }
  ~field_plane() {
    delete[] plane.field;
    delete[] plane.peaks;
    delete[] plane.peak_vectors;
  }
  int w() const { return entry.box_width; }
  int h() const { return entry.box_height; }
  int at(int x, int y) const { return plane.field[size_t(y) * w() + x]; }
  // Centre of cell (x, y) in frame pixels.
  vec2_t centre(int x, int y) const { return {entry.box_x + x + 0.5, entry.box_y + y + 0.5}; }
};

}  // namespace

// The 12/17 chamfer never undercuts 12 x the Euclidean length of a path and
// overshoots it by at most 1/12 (sqrt(12^2 + 5^2) = 13); the seeds next to
// the contour are exact to a twelfth. So every cell lies in
// [12 d - 12, 13 d + 12], d the distance in pixels to the circle.
TEST(SurfaceField, DiscFieldIsTheEuclideanDistanceWithinTheChamferError) {
  const double R = 25, cx = 100.5, cy = 80.5;
  field_plane f({circle(cx, cy, R, 360)}, 12);
  ASSERT_GT(f.w(), 60);
  int inside = 0, outside = 0;
  for (int y = 1; y < f.h() - 1; ++y)
    for (int x = 1; x < f.w() - 1; ++x) {
      const vec2_t c = f.centre(x, y);
      const double rho = std::hypot(c.x - cx, c.y - cy), d = std::fabs(R - rho);
      const int v = f.at(x, y);
      if (d > 0.05) {  // on the contour the sign is +-1 either way
        ASSERT_EQ(v > 0, rho < R) << x << "," << y;
      }
      EXPECT_GE(std::abs(v), 12 * d - 12) << x << "," << y;
      EXPECT_LE(std::abs(v), 13 * d + 12) << x << "," << y;
      ++(rho < R ? inside : outside);
    }
  EXPECT_GT(inside, 1800);
  EXPECT_GT(outside, 1000);
  // The border is extrapolated 12 below its inner neighbour.
  EXPECT_EQ(f.at(5, 0), f.at(5, 1) - 12);
  EXPECT_EQ(f.at(0, 5), f.at(1, 5) - 12);
  EXPECT_EQ(f.at(0, 0), f.at(1, 0) - 12);
}

TEST(SurfaceField, PlaneWithoutContoursIsLeftAlone) {
  surface_interp s;
  interp_plane_t p;
  s.chamfer_code(p);
  s.extract_peaks(p);
  EXPECT_EQ(p.field, nullptr);
  EXPECT_EQ(p.peak_count, 0);
  EXPECT_EQ(p.peaks, nullptr);
}

TEST(SurfaceField, PeaksOfDiscs) {
  struct row {
    const char* name;
    double radius;
  };
  // Radius 40 puts the centre near 480 twelfths, where 16-bit sums of the
  // ridge measure would wrap.
  for (const row r : {row{"r 20", 20}, row{"r 40", 40}}) {
    SCOPED_TRACE(r.name);
    field_plane f({circle(100.5, 100.5, r.radius, 360)});
    f.s.extract_peaks(f.plane);
    int positive = 0;
    for (int i = 0; i < f.plane.peak_count; ++i) {
      const peak_t& p = f.plane.peaks[i];
      EXPECT_EQ(p.match, 0);
      EXPECT_EQ(p.value, f.at(p.x, p.y));
      if (p.value <= 0) continue;
      ++positive;
      // The centre cell (pixel 100, whose centre is the disc's).
      EXPECT_EQ(p.x + f.entry.box_x, 100);
      EXPECT_EQ(p.y + f.entry.box_y, 100);
      EXPECT_GE(p.value, 12 * r.radius - 12);
      EXPECT_LE(p.value, 13 * r.radius + 12);
    }
    EXPECT_EQ(positive, 1);
    ASSERT_NE(f.plane.peak_vectors, nullptr);
  }
}

// Two discs far apart: one inside peak each, and the outside ridge between
// them gives outside peaks on the line x = 150 that is equidistant from both.
TEST(SurfaceField, TwoDiscsGiveTwoInsidePeaksAndARidgeBetween) {
  field_plane f({circle(100.5, 100.5, 15, 240), circle(200.5, 100.5, 15, 240)});
  f.s.extract_peaks(f.plane);
  std::vector<int> inside_x;
  int between = 0;
  for (int i = 0; i < f.plane.peak_count; ++i) {
    const peak_t& p = f.plane.peaks[i];
    const int x = p.x + f.entry.box_x;
    if (p.value > 0)
      inside_x.push_back(x);
    else if (std::abs(x - 150) <= 1)
      ++between;
  }
  EXPECT_EQ(inside_x, (std::vector<int>{100, 200}));
  EXPECT_GE(between, 1);
}

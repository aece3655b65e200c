// The rotation sphere's arithmetic against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "data/reslice_info.h"
#include "visual/track_math.h"

namespace {

TEST(TrackMath, SphereDepthOnTheSphereAndOnTheSheet) {
  EXPECT_DOUBLE_EQ(trackball_sphere_depth(10, 0, 0), 10);
  EXPECT_DOUBLE_EQ(trackball_sphere_depth(10, 3, 4), std::sqrt(75.0));
  EXPECT_NEAR(trackball_sphere_depth(10, 10, 0), 5, 1e-12);  // (10/sqrt 2)^2 / 10
  EXPECT_NEAR(trackball_sphere_depth(10, 0, -20), 2.5, 1e-12);
}

TEST(TrackMath, CentreToRightDragTurnsAboutMinusY) {
  const track_rotation same = trackball_drag_rotation(2, 3, 2, 3);
  EXPECT_EQ(same.w, 1);
  EXPECT_EQ(same.x, 0);
  // From (0, 0, 10) to (10, 0, 5): axis P2 x P1 = (0, -100, 0), chord sqrt(125).
  const track_rotation r = trackball_drag_rotation(0, 0, 10, 0);
  const double phi = 2 * std::asin(std::sqrt(125.0) / 20);
  EXPECT_NEAR(r.x, 0, 1e-12);
  EXPECT_NEAR(r.y, -std::sin(phi / 2), 1e-12);
  EXPECT_NEAR(r.z, 0, 1e-12);
  EXPECT_NEAR(r.w, std::cos(phi / 2), 1e-12);
}

TEST(TrackMath, CompositionRotatesLikeTheProductOfTheTurns) {
  const double z[3] = {0, 0, 2};
  const track_rotation quarter = rotation_from_axis_angle(z, M_PI / 2);
  EXPECT_NEAR(quarter.z, std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(quarter.w, std::sqrt(0.5), 1e-12);
  const track_rotation half = compose_rotations(quarter, quarter);
  EXPECT_NEAR(half.z, 1, 1e-12);
  EXPECT_NEAR(half.w, 0, 1e-12);
  // x then y is not y then x: (x, y, z, w) = (s^2, s^2, s^2, s^2) vs (s^2, s^2, -s^2, s^2).
  const double xa[3] = {1, 0, 0}, ya[3] = {0, 1, 0};
  const track_rotation x = rotation_from_axis_angle(xa, M_PI / 2), y = rotation_from_axis_angle(ya, M_PI / 2);
  const track_rotation xy = compose_rotations(x, y);
  EXPECT_NEAR(xy.x, 0.5, 1e-12);
  EXPECT_NEAR(xy.y, 0.5, 1e-12);
  EXPECT_NEAR(xy.z, -0.5, 1e-12);
  EXPECT_NEAR(xy.w, 0.5, 1e-12);
}

TEST(TrackMath, ManyCompositionsKeepUnitLength) {
  const double axis[3] = {0.3, -0.5, 0.8};
  const track_rotation step = rotation_from_axis_angle(axis, 0.0123);
  track_rotation r;
  r.x = 1e-6;  // a slightly long start: renormalising brings it back
  for (int k = 0; k < 1000; ++k) r = compose_rotations(step, r);
  for (int k = 0; k < 98; ++k) r = compose_rotations(step, r);  // at least one renormalisation since
  EXPECT_NEAR(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w), 1, 1e-12);
}

// Rotation by angle (radians) about a unit axis, Rodrigues' formula, row-major.
struct mat3 {
  double a[3][3];
};
mat3 rodrigues(const double k[3], double angle) {
  const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  return {{{t * k[0] * k[0] + c, t * k[0] * k[1] - s * k[2], t * k[0] * k[2] + s * k[1]},
           {t * k[0] * k[1] + s * k[2], t * k[1] * k[1] + c, t * k[1] * k[2] - s * k[0]},
           {t * k[0] * k[2] - s * k[1], t * k[1] * k[2] + s * k[0], t * k[2] * k[2] + c}}};
}
mat3 mul(const mat3& a, const mat3& b) {
  mat3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) c.a[i][j] += a.a[i][k] * b.a[k][j];
  return c;
}
mat3 transpose(const mat3& a) {
  mat3 t{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t.a[i][j] = a.a[j][i];
  return t;
}
vec3_t apply(const mat3& m, const vec3_t& v) {
  return {m.a[0][0] * v.x + m.a[0][1] * v.y + m.a[0][2] * v.z, m.a[1][0] * v.x + m.a[1][1] * v.y + m.a[1][2] * v.z,
          m.a[2][0] * v.x + m.a[2][1] * v.y + m.a[2][2] * v.z};
}

void expect_vec(const vec3_t& got, const vec3_t& want, const char* what) {
  EXPECT_NEAR(got.x, want.x, 1e-12) << what;
  EXPECT_NEAR(got.y, want.y, 1e-12) << what;
  EXPECT_NEAR(got.z, want.z, 1e-12) << what;
}

TEST(TrackMath, CentreToRightEdgeOfTheControl) {
  // Any aspect ratio: the centre is (0, 0), the right edge's middle (11, 0).
  double x1, y1, x2, y2;
  trackball_control_point(100, 30, 200, 60, x1, y1);
  trackball_control_point(200, 30, 200, 60, x2, y2);
  EXPECT_DOUBLE_EQ(x1, 0);
  EXPECT_DOUBLE_EQ(y1, 0);
  EXPECT_DOUBLE_EQ(x2, 11);
  EXPECT_DOUBLE_EQ(y2, 0);
  double tx, ty;
  trackball_control_point(0, 0, 200, 60, tx, ty);  // top left, y upwards
  EXPECT_DOUBLE_EQ(tx, -11);
  EXPECT_DOUBLE_EQ(ty, 11);
  const track_rotation q = trackball_drag_rotation(x1, y1, x2, y2);
  const double s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  EXPECT_NEAR(q.x / s, 0, 1e-12);
  EXPECT_NEAR(q.y / s, -1, 1e-12);
  EXPECT_NEAR(q.z / s, 0, 1e-12);
  EXPECT_NEAR(2 * std::atan2(s, q.w) * 180 / M_PI, 75.74, 0.005);
}

TEST(TrackMath, ArrowKeysTurnThePlaneInTheViewsFrame) {
  const double step = 7 * M_PI / 180;
  const double y_axis[3] = {0, 1, 0}, x_axis[3] = {1, 0, 0}, z_axis[3] = {0, 0, 1};
  // Key, Shift, and the turn of the increment, about which axis by how much.
  struct key_case {
    int key;
    bool shift;
    const double* axis;
    double angle;
  } cases[] = {{314, false, y_axis, step}, {316, false, y_axis, -step}, {315, false, x_axis, step},
               {317, false, x_axis, -step}, {314, true, z_axis, -step},  {315, true, z_axis, -step},
               {316, true, z_axis, step},   {317, true, z_axis, step}};
  // A view turned about an oblique axis and moved: the move does not count.
  const double view_axis[3] = {2 / 7.0, 3 / 7.0, 6 / 7.0};
  const mat3 v = rodrigues(view_axis, 0.9);
  matrix4_t view{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) view[4 * c + r] = v.a[r][c];
  view[12] = 5;
  view[13] = -3;
  view[14] = 11;
  view[15] = 1;
  const vec3_t normal{0.6, 0, 0.8}, up{0, 1, 0};
  for (const key_case& k : cases) {
    const track_rotation q = trackball_key_increment(k.key, k.shift, step);
    EXPECT_NEAR(q.w, std::cos(step / 2), 1e-12) << k.key;
    // The plane turns the other way from the sphere, in the view's frame.
    const mat3 m = mul(transpose(v), mul(rodrigues(k.axis, -k.angle), v));
    vec3_t n, u;
    trackball_turn_plane(q, view, normal, up, n, u);
    expect_vec(n, apply(m, normal), "normal");
    expect_vec(u, apply(m, up), "up");
  }
  const track_rotation other = trackball_key_increment('A', false, step);
  EXPECT_EQ(other.w, 1);
}

TEST(TrackMath, GridLinesLieAtTheOffsetPlusWholeUnits) {
  struct line_case {
    double offset;
    std::vector<double> want;
  } cases[] = {{0, {0, 1, 2, 3, 4, -1, -2, -3, -4}},
               {2.25, {0.25, 1.25, 2.25, 3.25, -0.75, -1.75, -2.75, -3.75}},
               {-2.3, {-0.3, 0.7, 1.7, 2.7, 3.7, -1.3, -2.3, -3.3}}};
  for (const line_case& c : cases) {
    const std::vector<double> got = grid_line_positions(c.offset);
    ASSERT_EQ(got.size(), c.want.size()) << c.offset;
    for (size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], c.want[k], 1e-12) << c.offset;
  }
}

TEST(TrackMath, GridsMoveThePlaneByItsOwnSize) {
  reslice_info p;
  p.normal = {1, 0, 0};
  p.up = {0, 0, 2};  // the moves take its direction only
  p.centre = {1, 2, 3};
  p.width = 300;
  p.height = 200;
  const double s = 0.01;
  // Whole control to the right: half the width along up x normal = +y.
  expect_vec(trackgrid_drag_centre(p, 1, 0, s), {1, 3.5, 3}, "drag right");
  // Whole control upwards: half the height against up.
  expect_vec(trackgrid_drag_centre(p, 0, 1, s), {1, 2, 2}, "drag up");
  // Line grid: half of width + height along the normal.
  expect_vec(trackzgrid_step_vector(p, s), {2.5, 0, 0}, "line grid");

  double a, b;
  ASSERT_TRUE(trackgrid_key_step(316, 4, s, 0.02, a, b));
  EXPECT_DOUBLE_EQ(a, 0.04);
  EXPECT_DOUBLE_EQ(b, 0);
  ASSERT_TRUE(trackgrid_key_step(315, 4, s, 0.02, a, b));
  EXPECT_DOUBLE_EQ(b, 0.08);
  EXPECT_FALSE(trackgrid_key_step('x', 4, s, 0.02, a, b));
  expect_vec(trackgrid_key_centre(p, 0.04, 0.08), {1, 2.04, 2.92}, "keys");
  // The grid slides as far as a drag moving the plane as far would.
  EXPECT_DOUBLE_EQ(grid_key_slide(1.5, 300, s), 8);
  EXPECT_EQ(grid_key_slide(1.5, 300, 0), 0);

  // Up and Down step by the frame spacing, whatever its sign; without one,
  // as Right and Left do.
  struct z_case {
    int key;
    double zscale, want;
  } z_cases[] = {{315, -0.25, 0.25}, {317, -0.25, -0.25}, {315, 0, 0.06}, {317, 0, -0.06},
                 {316, -0.25, 0.06}, {314, 0.5, -0.06}};
  for (const z_case& c : z_cases) {
    double step = 0;
    ASSERT_TRUE(trackzgrid_key_step(c.key, 4, 0.01, 0.02, c.zscale, step));
    EXPECT_DOUBLE_EQ(step, c.want) << c.key << " " << c.zscale;
  }
}

}  // namespace

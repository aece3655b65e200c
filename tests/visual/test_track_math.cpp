// The rotation sphere's arithmetic against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace

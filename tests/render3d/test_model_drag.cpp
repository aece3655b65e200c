// Moving the shape model by hand: the twist about the landmark axis, turns
// about the registered centroid and shifts in screen directions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render3d/model_drag.h"

namespace {

vec3_t apply(const matrix4_t& m, const vec3_t& p) {
  vec3_t q;
  matrix4_transform_point(q, m, p);
  return q;
}

struct DragCase : ::testing::Test {
  matrix4_t g, to_centroid, modelview;
  const vec3_t centroid{4, -2, 7}, a{10, 0, 3}, b{-6, 5, 1};
  void SetUp() override {
    matrix4_from_position(g, 12, -3, 8, 25, -40, 15);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) g[i] *= 1.7;
    g[0] = -g[0], g[4] = -g[4], g[8] = -g[8];  // mirrored as well
    matrix4_translation(to_centroid, centroid.x, centroid.y, centroid.z);
    matrix4_from_position(modelview, 0.3, -0.2, -30, 60, 20, -35);
  }
};

TEST_F(DragCase, AShiftTwistKeepsTheLandmarkAxisFixed) {
  for (float dx : {7.0f, -4.0f, 0.5f})
    for (float dy : {3.0f, -9.0f}) {
      model_drag_step step;
      step.dx = dx, step.dy = dy, step.left = true, step.shift = true;
      bool vertical = false;
      const matrix4_t h = model_drag_registration(g, to_centroid, modelview, &a, &b, step, vertical);
      EXPECT_NEAR(vec3_length(apply(h, a) - apply(g, a)), 0, 1e-9);
      EXPECT_NEAR(vec3_length(apply(h, b) - apply(g, b)), 0, 1e-9);
      // A point off the axis turns by the drag's length about it.
      const vec3_t off{0, 0, 40};
      const vec3_t axis = vec3_normalise(b - a);
      const vec3_t r0 = off - a - vec3_scalar_mul(vec3_dot(off - a, axis), axis);
      // Back into model space through g's inverse: g is 1.7 x (mirrored) rigid.
      matrix4_t rigid = g;
      for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) rigid[i] /= 1.7;
      const vec3_t moved_world = apply(h, off), base = apply(g, a);
      const vec3_t d = vec3_scalar_mul(1 / 1.7, moved_world - base);
      const vec3_t local{d.x * rigid[0] + d.y * rigid[1] + d.z * rigid[2],
                         d.x * rigid[4] + d.y * rigid[5] + d.z * rigid[6],
                         d.x * rigid[8] + d.y * rigid[9] + d.z * rigid[10]};
      const vec3_t r1 = local - vec3_scalar_mul(vec3_dot(local, axis), axis);
      const double angle = std::acos(std::clamp(vec3_dot(r0, r1) / (vec3_length(r0) * vec3_length(r1)), -1.0, 1.0));
      EXPECT_NEAR(angle * 180 / NV_PI, std::sqrt(dx * dx + dy * dy), 1e-6) << dx << " " << dy;
    }
}

TEST_F(DragCase, WithoutAnAxisShiftIsAPlainDrag) {
  model_drag_step step;
  step.dx = 5, step.dy = 2, step.middle = true;
  bool v1 = false, v2 = false;
  const matrix4_t plain = model_drag_registration(g, to_centroid, modelview, nullptr, nullptr, step, v1);
  step.shift = true;
  const matrix4_t shifted = model_drag_registration(g, to_centroid, modelview, nullptr, nullptr, step, v2);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(plain[i], shifted[i]);
}

TEST_F(DragCase, TurnsKeepTheRegisteredCentroidAndShiftsFollowTheScreen) {
  const vec3_t c = apply(g, centroid);
  for (int button = 0; button < 2; ++button) {
    model_drag_step step;
    step.dx = 6, step.dy = -4;
    (button == 0 ? step.left : step.middle) = true;
    bool vertical = false;
    const matrix4_t h = model_drag_registration(g, to_centroid, modelview, &a, &b, step, vertical);
    EXPECT_NEAR(vec3_length(apply(h, centroid) - c), 0, 1e-9) << button;
    EXPECT_GT(vec3_length(apply(h, a) - apply(g, a)), 0.1) << button;
  }
  model_drag_step step;
  step.dx = 8, step.dy = 5, step.right = true, step.xscale = 0.02, step.zoom = 2;
  bool vertical = false;
  const matrix4_t h = model_drag_registration(g, to_centroid, modelview, &a, &b, step, vertical);
  // The screen's (k dx, -k dy, 0) in the world: the view's rows are its axes.
  const double k = 10 * 0.02 / 2;
  const vec3_t sx{modelview[0], modelview[4], modelview[8]}, sy{modelview[1], modelview[5], modelview[9]};
  const vec3_t expected = vec3_scalar_mul(k * 8, sx) + vec3_scalar_mul(-k * 5, sy);
  for (const vec3_t& p : {centroid, a, b})
    EXPECT_NEAR(vec3_length(apply(h, p) - apply(g, p) - expected), 0, 1e-9);
}

TEST(ModelWheel, OneNotchScalesByATwentieth) {
  EXPECT_DOUBLE_EQ(model_wheel_factor(120, 120), 1 / 0.95);
  EXPECT_DOUBLE_EQ(model_wheel_factor(-120, 120), 1 / 1.05);
  EXPECT_DOUBLE_EQ(model_wheel_factor(0, 120), 1.0);
}

}  // namespace

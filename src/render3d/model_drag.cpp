#include "render3d/model_drag.h"

#include <cmath>

namespace {

matrix4_t product(const matrix4_t& a, const matrix4_t& b) {
  matrix4_t c;
  matrix4_multiply(a, c, b);
  return c;
}

}  // namespace

matrix4_t model_drag_registration(const matrix4_t& registration, const matrix4_t& to_centroid,
                                  const matrix4_t& modelview, const vec3_t* axis_a, const vec3_t* axis_b,
                                  const model_drag_step& step, bool& vertical_axis) {
  const float dx = step.dx, dy = step.dy;
  bool negative;
  if (std::fabs(dx) > std::fabs(dy) && std::fabs(dx) > 1.0f) {
    vertical_axis = false;
    negative = dx < 0.0f;
  } else if (std::fabs(dy) > std::fabs(dx) && std::fabs(dy) > 1.0f) {
    vertical_axis = true;
    negative = dy < 0.0f;
  } else {
    negative = vertical_axis ? dy < 0.0f : dx < 0.0f;
  }
  float s = std::sqrt(dx * dx + dy * dy);
  if (dx + dy < 0.0f) s = -s;
  const double angle = std::fabs(static_cast<double>(s));

  if (axis_a && axis_b && step.shift) {
    // A twist about the landmark axis, in model space.
    matrix4_t r;
    matrix4_rotation_about_axis(r, *axis_a, *axis_b, negative ? -angle : angle);
    return product(registration, r);
  }

  // Screen-space motion about the registered centroid.
  const matrix4_t g_c = product(registration, to_centroid);
  matrix4_t t, t_inverse;
  matrix4_translation(t, g_c[12], g_c[13], g_c[14]);
  matrix4_inverse_translation(t_inverse, g_c[12], g_c[13], g_c[14]);
  matrix4_t rv = modelview, rv_inverse;
  rv[12] = rv[13] = rv[14] = 0.0;
  matrix4_rigid_inverse(rv, rv_inverse);
  matrix4_t x = product(t, rv_inverse);
  if (step.left) {
    matrix4_t r;
    matrix4_rotation_about_axis(r, {0.0, 0.0, 0.0}, {double(dy), double(dx), 0.0}, angle);
    x = product(x, r);
  } else if (step.middle) {
    matrix4_t spin;
    matrix4_from_position(spin, 0.0, 0.0, 0.0, double(s), 0.0, 0.0);
    x = product(x, spin);
  } else if (step.right) {
    // Pixels to the model's millimetres.
    const double k = 10.0 * step.xscale / step.zoom;
    matrix4_t shift;
    matrix4_translation(shift, k * dx, -k * dy, 0.0);
    x = product(x, shift);
  }
  return product(product(product(x, rv), t_inverse), registration);
}

double model_wheel_factor(int32_t r, int32_t d) {
  if (d == 0) return 1.0;
  return 1.0 / (1.0 - static_cast<double>(r) / (20.0 * d));
}

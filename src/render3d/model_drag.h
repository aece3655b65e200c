// The arithmetic of moving the fitted shape model by hand in the 3D view:
// a drag with Control turns, spins or shifts the registered model about its
// centroid in screen directions, with Shift it twists the model about its
// landmark axis, and the wheel with Control scales it.
#pragma once

#include <cstdint>

#include "data/geometry.h"

struct model_drag_step {
  float dx = 0.0f, dy = 0.0f;  // pointer motion, window pixels, y downwards
  bool left = false, middle = false, right = false;
  bool shift = false;
  double xscale = 1.0;  // centimetres per image pixel
  double zoom = 1.0;
};

// The registration after one drag step. registration maps model to
// registered space, to_centroid translates by the model's centroid and
// modelview is the 3D view's. axis_a and axis_b (both or neither null) are
// the model points of the landmark axis for a Shift twist. vertical_axis
// keeps the direction that decided the last twist between steps.
matrix4_t model_drag_registration(const matrix4_t& registration, const matrix4_t& to_centroid,
                                  const matrix4_t& modelview, const vec3_t* axis_a, const vec3_t* axis_b,
                                  const model_drag_step& step, bool& vertical_axis);

// The scale of one wheel event of rotation r and delta d.
double model_wheel_factor(int32_t r, int32_t d);

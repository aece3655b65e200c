// Frame locations defined by hand: the frames, in their order, moved along
// one image axis and turned about one image axis at an offset from it.
#pragma once

#include <cstdint>
#include <vector>

#include "data/dynabuf.h"

struct manual_sweep {
  int32_t frames = 0;
  int32_t translate_axis = 0;  // 0 none, 1 elevational, 2 lateral, 3 axial
  int32_t rotate_axis = 0;     // 0 none, 1 lateral, 2 axial, 3 elevational
  double step = 0.0;           // cm between neighbouring frames
  double angle_step = 0.0;     // degrees between neighbouring frames
  double radius = 0.0;         // cm from the rotation axis
  double image_width = 0.0;    // cm
};

// Frame i placed by T^i R^i O: turned by i angle steps about the rotation
// axis through the origin with the image held at the offset O, then moved by
// i steps along the translation axis.
std::vector<position_t> manual_positions(const manual_sweep& sweep);

#include "settings/manual_positions.h"

#include "data/geometry.h"

std::vector<position_t> manual_positions(const manual_sweep& s) {
  matrix4_t step, turn, offset;
  const double t = s.step;
  switch (s.translate_axis) {
    case 1: matrix4_from_position(step, 0, 0, t, 0, 0, 0); break;
    case 2: matrix4_from_position(step, t, 0, 0, 0, 0, 0); break;
    case 3: matrix4_from_position(step, 0, t, 0, 0, 0, 0); break;
    default: matrix4_identity(step); break;
  }
  const double a = s.angle_step, r = s.radius, w = s.image_width;
  switch (s.rotate_axis) {
    case 1:  // lateral: a roll
      matrix4_from_position(turn, 0, 0, 0, 0, 0, a);
      matrix4_from_position(offset, 0, r, 0, 0, 0, 0);
      break;
    case 2:  // axial: an elevation
      matrix4_from_position(turn, 0, 0, 0, 0, a, 0);
      matrix4_from_position(offset, r - w / 2, 0, 0, 0, 0, 0);
      break;
    case 3:  // elevational: an azimuth
      matrix4_from_position(turn, 0, 0, 0, a, 0, 0);
      matrix4_from_position(offset, -w / 2, 0, r, 0, 0, 0);
      break;
    default:
      matrix4_identity(turn);
      matrix4_identity(offset);
      break;
  }
  std::vector<position_t> out;
  matrix4_t m, placed, tm, next;
  matrix4_identity(m);
  for (int32_t i = 0; i < s.frames; ++i) {
    matrix4_multiply(m, placed, offset);
    double x, y, z, az, el, ro;
    matrix4_to_position(placed, x, y, z, az, el, ro);
    out.push_back({float(x), float(y), float(z), float(az), float(el), float(ro)});
    matrix4_multiply(step, tm, m);
    matrix4_multiply(tm, next, turn);
    m = next;
  }
  return out;
}

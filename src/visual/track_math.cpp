#include "visual/track_math.h"

#include <algorithm>
#include <cmath>

namespace {
int composition_count = 0;
}  // namespace

double trackball_sphere_depth(double r, double x, double y) {
  const double d = std::sqrt(x * x + y * y);
  if (d < r * 0.7071067811865476) return std::sqrt(r * r - d * d);
  const double t = r / 1.4142135623730951;
  return t * t / d;
}

track_rotation trackball_drag_rotation(double p1x, double p1y, double p2x, double p2y) {
  if (p1x == p2x && p1y == p2y) return {};
  const double p1[3] = {p1x, p1y, trackball_sphere_depth(10, p1x, p1y)};
  const double p2[3] = {p2x, p2y, trackball_sphere_depth(10, p2x, p2y)};
  double a[3] = {p2[1] * p1[2] - p2[2] * p1[1], p2[2] * p1[0] - p2[0] * p1[2], p2[0] * p1[1] - p2[1] * p1[0]};
  const double len = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
  if (len != 0)
    for (double& c : a) c /= len;
  const double dx = p1[0] - p2[0], dy = p1[1] - p2[1], dz = p1[2] - p2[2];
  const double t = std::clamp(std::sqrt(dx * dx + dy * dy + dz * dz) / 20.0, -1.0, 1.0);
  const double phi = 2 * std::asin(t);
  const double s = std::sin(phi / 2);
  return {a[0] * s, a[1] * s, a[2] * s, std::cos(phi / 2)};
}

track_rotation rotation_from_axis_angle(const double axis[3], double angle) {
  const double len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double s = len > 0 ? std::sin(angle / 2) / len : 0;
  return {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle / 2)};
}

track_rotation compose_rotations(const track_rotation& p, const track_rotation& q) {
  track_rotation r;
  // Vector part: p.v q.w + q.v p.w + q.v x p.v.
  r.x = p.x * q.w + q.x * p.w + (q.y * p.z - q.z * p.y);
  r.y = p.y * q.w + q.y * p.w + (q.z * p.x - q.x * p.z);
  r.z = p.z * q.w + q.z * p.w + (q.x * p.y - q.y * p.x);
  r.w = p.w * q.w - (p.x * q.x + p.y * q.y + p.z * q.z);
  if (++composition_count > 97) {
    composition_count = 0;
    // Divided by the length, so that the result is a unit quaternion again.
    const double len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
    if (len > 0) {
      r.x /= len;
      r.y /= len;
      r.z /= len;
      r.w /= len;
    }
  }
  return r;
}

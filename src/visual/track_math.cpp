#include "visual/track_math.h"

#include <algorithm>
#include <cmath>

#include "data/reslice_info.h"

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

void trackball_control_point(int x, int y, int w, int h, double& cx, double& cy) {
  cx = w > 0 ? (2.0 * x - w) * 11.0 / w : 0.0;
  cy = h > 0 ? (h - 2.0 * y) * 11.0 / h : 0.0;
}

track_rotation trackball_key_increment(int key, bool shift, double step) {
  double ax = 0, ay = 0, az = 0;
  switch (key) {
    case 314:  // Left
      (shift ? az : ay) = shift ? -step : step;
      break;
    case 316:  // Right
      (shift ? az : ay) = shift ? step : -step;
      break;
    case 315:  // Up
      (shift ? az : ax) = shift ? -step : step;
      break;
    case 317:  // Down
      (shift ? az : ax) = shift ? step : -step;
      break;
    default:
      return {};
  }
  static const double x_axis[3] = {1, 0, 0}, y_axis[3] = {0, 1, 0}, z_axis[3] = {0, 0, 1};
  const track_rotation t1 = compose_rotations(rotation_from_axis_angle(y_axis, ay), rotation_from_axis_angle(x_axis, ax));
  return compose_rotations(t1, rotation_from_axis_angle(z_axis, az));
}

void trackball_turn_plane(const track_rotation& q, const matrix4_t& view, const vec3_t& normal,
                          const vec3_t& up, vec3_t& new_normal, vec3_t& new_up) {
  matrix4_t r, v = view, vi, rv, m;
  matrix4_from_quaternion(r, -q.w, q.x, q.y, q.z);
  v[12] = v[13] = v[14] = 0.0;
  matrix4_rigid_inverse(v, vi);
  matrix4_multiply(r, rv, v);
  matrix4_multiply(vi, m, rv);
  vec3_t n;
  matrix4_transform_point(n, m, normal);
  new_normal = vec3_normalise(n);
  matrix4_transform_point(new_up, m, up);
}

std::vector<double> grid_line_positions(double offset) {
  std::vector<double> at;
  if (!std::isfinite(offset)) return at;
  const double f = offset - std::trunc(offset);
  for (double x = f; x <= 4.0; x += 1.0) at.push_back(x);
  for (double x = f - 1.0; x >= -4.0; x -= 1.0) at.push_back(x);
  return at;
}

vec3_t trackgrid_drag_centre(const reslice_info& plane, double fx, double fy, double xscale) {
  const vec3_t h_axis = vec3_normalise(vec3_cross(plane.up, plane.normal)) * (plane.width / 2.0 * xscale);
  const vec3_t v_axis = vec3_normalise(plane.up) * (plane.height / 2.0 * xscale);
  return plane.centre + fx * h_axis - fy * v_axis;
}

bool trackgrid_key_step(int key, double m, double xscale, double yscale, double& a, double& b) {
  a = b = 0.0;
  switch (key) {
    case 314: a = -m * xscale; return true;
    case 316: a = m * xscale; return true;
    case 315: b = m * yscale; return true;
    case 317: b = -m * yscale; return true;
    default: return false;
  }
}

vec3_t trackgrid_key_centre(const reslice_info& plane, double a, double b) {
  const vec3_t u = vec3_normalise(plane.up);
  return plane.centre + a * vec3_cross(u, plane.normal) - b * u;
}

double grid_key_slide(double length, double pixels, double xscale) {
  const double side = pixels * xscale;
  return side != 0.0 && std::isfinite(side) ? 16.0 * length / side : 0.0;
}

vec3_t trackzgrid_step_vector(const reslice_info& plane, double xscale) {
  return vec3_normalise(plane.normal) * ((plane.width + plane.height) / 2.0 * xscale);
}

bool trackzgrid_key_step(int key, double m, double xscale, double yscale, double zscale, double& a) {
  const double p = m * (xscale + yscale) / 2.0;
  switch (key) {
    case 314: a = -p; return true;
    case 316: a = p; return true;
    case 315: a = zscale != 0.0 ? std::fabs(zscale) : p; return true;
    case 317: a = zscale != 0.0 ? -std::fabs(zscale) : -p; return true;
    default: a = 0.0; return false;
  }
}

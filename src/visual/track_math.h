// The rotation sphere's arithmetic, without a display: rotations as unit
// quaternions (vector part x, y, z and scalar part w).
#pragma once

struct track_rotation {
  double x = 0, y = 0, z = 0, w = 1;
};

// Height over the plane of a point at (x, y) on a sphere of radius r,
// continued outside r/sqrt(2) by a hyperbolic sheet.
double trackball_sphere_depth(double r, double x, double y);

// The rotation that a drag from p1 to p2 (control units, sphere radius 10)
// gives; the identity when the points are equal.
track_rotation trackball_drag_rotation(double p1x, double p1y, double p2x, double p2y);

// The rotation by angle radians about axis (any length but 0).
track_rotation rotation_from_axis_angle(const double axis[3], double angle);

// The rotation p followed by q. Every 98th call since the last one renormalises
// the result to length 1, against drift; the count is shared by all callers.
track_rotation compose_rotations(const track_rotation& p, const track_rotation& q);

// The rotation sphere's arithmetic, without a display: rotations as unit
// quaternions (vector part x, y, z and scalar part w).
#pragma once

#include <vector>

#include "data/geometry.h"

class reslice_info;

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

// ---- the track controls' arithmetic, without a window

// A window point of a client area w x h pixels in rotation sphere units: the
// area spans -11..11 both ways, y upwards, whatever its aspect ratio.
void trackball_control_point(int x, int y, int w, int h, double& cx, double& cy);

// The increment of an arrow key (314 to 317) turning by step radians: about
// y (Left, Right) or x (Up, Down), with Shift about z. Three compositions.
track_rotation trackball_key_increment(int key, bool shift, double step);

// The plane's normal and up vector turned by q as seen in the 3D view whose
// viewing matrix is view (its translation is ignored): M = V^-1 R V, with R
// the rotation of q's scalar part negated.
void trackball_turn_plane(const track_rotation& q, const matrix4_t& view, const vec3_t& normal,
                          const vec3_t& up, vec3_t& new_normal, vec3_t& new_up);

// Where a grid control draws its lines (the control spans -4..4 grid units):
// the offset's fractional part and the whole steps from it, upwards first.
std::vector<double> grid_line_positions(double offset);

// A trackgrid drag by fractions fx, fy of the control (fy positive upwards):
// the plane's new centre, moved by half its width (height) per whole control.
vec3_t trackgrid_drag_centre(const reslice_info& plane, double fx, double fy, double xscale);

// A trackgrid arrow key moving m reslice pixels: the horizontal and vertical
// steps a, b in cm; false for any other key.
bool trackgrid_key_step(int key, double m, double xscale, double yscale, double& a, double& b);
// The centre after the steps a (along up x normal) and b (against up).
vec3_t trackgrid_key_centre(const reslice_info& plane, double a, double b);
// How far the grid slides for a step of length cm over a plane side of
// pixels; 0 when the side has no length.
double grid_key_slide(double length, double pixels, double xscale);

// The trackzgrid's step for a drag across the whole control: the unit normal
// times half of (width + height) times xscale.
vec3_t trackzgrid_step_vector(const reslice_info& plane, double xscale);
// A trackzgrid arrow key: the step along the normal in cm (Up and Down by the
// frame spacing when zscale is not 0); false for any other key.
bool trackzgrid_key_step(int key, double m, double xscale, double yscale, double zscale, double& a);

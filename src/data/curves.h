// Landmark curves: named 3D polylines with a normal at every point, each
// belonging to an object, and the tests that pick and close them in 3D.
//
// Positions into a curve are point indices; points.size() stands for the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

struct curve_point {
  double x = 0.0, y = 0.0, z = 0.0;     // world coordinates, centimetres
  double nx = 0.0, ny = 0.0, nz = 0.0;  // surface normal at the point
  int32_t tag = 0;                      // set by the projection onto a surface
};

struct curve_t {
  std::vector<curve_point> points;
  bool closed = false;
  bool on_surface = false;
  wxString name;
  int32_t object = 0;

  size_t end() const { return points.size(); }

  // 1: point is near first, 2: near second, 3: near the segment between
  // them, 0: none. Either may be end().
  int hit_test(const vec3_t& point, size_t first, size_t second, double tolerance) const;
  // First point or segment near point; equal positions mean a point hit.
  bool find_near_segment(const vec3_t& point, size_t& first, size_t& second,
                         double tolerance) const;
  // Closes a curve being drawn when the drawing point comes back onto it.
  bool trim_to_point(const vec3_t& point, double tolerance);
};

struct curve_set {
  std::vector<curve_t> curves;

  size_t size() const { return curves.size(); }
  curve_t& operator[](size_t i) { return curves[i]; }
  const curve_t& operator[](size_t i) const { return curves[i]; }

  // Appends curve and returns the new element. With name_it, the curve is
  // named "Curve %i" with the smallest i not yet used by a curve of the same
  // object.
  curve_t& add_curve(const curve_t& curve, bool name_it);
};
